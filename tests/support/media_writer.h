// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the media file a MediaDescription describes, with FFmpeg's real encoders and muxers.
#pragma once

#include "support/av_handles.h"
#include "support/media_description.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace morvane::test {

// Writes `description` to `path` (replacing it). Throws std::runtime_error carrying FFmpeg's
// message when a container, encoder or parameter is refused.
void write_media(const std::filesystem::path& path, const MediaDescription& description);

class MediaWriter {
public:
    // Opens the container and every encoder; nothing is written yet.
    MediaWriter(const std::filesystem::path& path, const MediaDescription& description);
    MediaWriter(const MediaWriter&) = delete;
    MediaWriter& operator=(const MediaWriter&) = delete;

    // Encodes every track, interleaved by time, and finishes the file. Once only.
    void write();

private:
    // One output stream and what feeds it. Every track counts in units of its own time base
    // (a frame, a sample or a data packet), so unit n has the pts n (frame_times[n] with a
    // variable frame rate); a jump moves every packet whose dts is at or after jump_from.
    struct Track {
        enum class Kind { video, audio, data, cover_art };
        Kind kind = Kind::video;
        AVStream* stream = nullptr;
        av::CodecContextPtr encoder;
        av::FramePtr frame;
        AVRational time_base{1, 1};
        std::int64_t unit_count = 0;
        std::int64_t next_unit = 0;
        // Units from jump_from on are moved jump_units later.
        std::int64_t jump_from = 0;
        std::int64_t jump_units = 0;
        // Units starting in [gap_from, gap_to) are not written.
        std::int64_t gap_from = 0;
        std::int64_t gap_to = 0;
        double tone_hz = 0.0;
        double tone_rise = 0.0; // Hz per second
        // The first packet whose pts reaches stamp_from is stamped stamp_units later.
        std::int64_t stamp_from = INT64_MAX;
        std::int64_t stamp_units = 0;
        // The dts of the track's first packet while packets are held, and how much later
        // every packet goes: the start, and the delay the container would add without it
        // (both in the stream's time base).
        std::int64_t first_dts = AV_NOPTS_VALUE;
        std::int64_t start_units = 0;
        double amplitude = 0.0;
        MediaDescription::Video::Pattern pattern = MediaDescription::Video::Pattern::colour_bars;
        bool top_field_first = true;
        bool beeps = false;
        // Variable frame rate: each frame's pts (time base 1/1000).
        std::vector<std::int64_t> frame_times;
        av::FramePtr second_frame; // the flash's white picture
    };

    void add_video(const MediaDescription::Video& video);
    void add_audio(const MediaDescription::Audio& audio);
    void add_data(const MediaDescription::Data& data);
    void add_cover_art(const MediaDescription::CoverArt& cover_art);
    void plan_jump(Track& track, double jump_seconds) const;
    static void plan_gap(Track& track, double from_seconds, double to_seconds);
    // The start of each flash and beep, in microseconds.
    void plan_flashes(const MediaDescription& description);
    std::int64_t unit_pts(const Track& track, std::int64_t unit) const;
    bool flash_at(std::int64_t microseconds) const;

    void write_cover_art(Track& track);
    void write_next_unit(Track& track);
    void write_video_frame(Track& track);
    void write_audio_frame(Track& track);
    void write_data_packet(Track& track);
    // Sends a frame (nullptr: end of stream) and muxes whatever packets come out.
    void encode(Track& track, const AVFrame* frame);
    void mux(Track& track, AVPacket& packet);
    // With a start, in a container that moves negative times later: packets wait in held_
    // until every track that writes any has given its first, so that the delay the container
    // would add without the start is known; then they all go out, that and the start later.
    bool writes_packets(const Track& track) const;
    void hold(Track& track, AVPacket& packet);
    void release_held();
    void write_packet(Track& track, AVPacket& packet);

    std::filesystem::path path_;
    double longest_seconds_ = 0.0;
    av::OutputPtr output_;
    std::vector<Track> tracks_;
    std::vector<std::int64_t> flash_starts_;
    double start_seconds_ = 0.0;
    // Packets held until the start's delay is known (only with a start, only at the beginning).
    bool holding_ = false;
    std::vector<av::PacketPtr> held_;
    av::PacketPtr packet_;
    bool written_ = false;
};

} // namespace morvane::test
