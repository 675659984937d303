// SPDX-License-Identifier: GPL-3.0-or-later
// Reads one stream of a media file and decodes it frame by frame, for the inspectors. Damaged
// packets are counted and skipped, as a player would, rather than ending the read.
#pragma once

#include "support/av_handles.h"

#include <filesystem>

namespace morvane::test {

class StreamDecoder {
public:
    // Opens the `ordinal`-th stream of `type` (0: the first), attached pictures left out.
    // Throws std::runtime_error when the file or a decoder cannot be opened.
    StreamDecoder(const std::filesystem::path& path, AVMediaType type, int ordinal = 0);
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // The next decoded frame into `frame`; false once the stream is drained.
    bool next(AVFrame& frame);

    const AVStream& stream() const { return *stream_; }
    const AVCodecContext& decoder() const { return *decoder_; }
    // Packets (or frames) the decoder refused as invalid data.
    int damaged_packets() const { return damaged_packets_; }

private:
    // Feeds the decoder one packet of the stream, or the end of the stream.
    void feed();

    av::InputPtr input_;
    AVStream* stream_ = nullptr;
    av::CodecContextPtr decoder_;
    av::PacketPtr packet_;
    bool draining_ = false;
    int damaged_packets_ = 0;
};

} // namespace morvane::test
