// SPDX-License-Identifier: GPL-3.0-or-later
// Ready descriptions of the usual test files.
#include "support/media_presets.h"

namespace morvane::test {
namespace {

MediaDescription::Video video_track(int width, int height, AVRational frame_rate, double seconds,
                                    AVCodecID codec) {
    MediaDescription::Video video;
    video.width = width;
    video.height = height;
    video.frame_rate = frame_rate;
    video.duration_seconds = seconds;
    video.codec = codec;
    return video;
}

MediaDescription::Audio audio_track(int sample_rate, int channels, double seconds, AVCodecID codec,
                                    double tone_hz = 440.0) {
    MediaDescription::Audio audio;
    audio.sample_rate = sample_rate;
    audio.channels = channels;
    audio.duration_seconds = seconds;
    audio.codec = codec;
    audio.tone_hz = tone_hz;
    return audio;
}

} // namespace

MediaDescription mp4_h264_aac(int width, int height, AVRational frame_rate, double seconds) {
    MediaDescription description;
    description.format_name = "mp4";
    description.video = video_track(width, height, frame_rate, seconds, AV_CODEC_ID_H264);
    if (width % 2 != 0 || height % 2 != 0) {
        description.video->pixel_format = AV_PIX_FMT_YUV444P;
    }
    description.audio.push_back(audio_track(44100, 2, seconds, AV_CODEC_ID_AAC));
    return description;
}

MediaDescription mp4_mpeg4_aac(int width, int height, AVRational frame_rate, double seconds) {
    MediaDescription description;
    description.format_name = "mp4";
    description.video = video_track(width, height, frame_rate, seconds, AV_CODEC_ID_MPEG4);
    description.audio.push_back(audio_track(44100, 2, seconds, AV_CODEC_ID_AAC));
    return description;
}

MediaDescription mp4_two_audio_tracks(double seconds) {
    MediaDescription description = mp4_h264_aac(320, 240, {25, 1}, seconds);
    description.audio.push_back(audio_track(44100, 2, seconds, AV_CODEC_ID_AAC, 1000.0));
    return description;
}

MediaDescription wav_pcm(int sample_rate, int channels, double seconds) {
    MediaDescription description;
    description.format_name = "wav";
    description.audio.push_back(audio_track(sample_rate, channels, seconds, AV_CODEC_ID_PCM_S16LE));
    return description;
}

MediaDescription mp3_audio(int sample_rate, int channels, double seconds) {
    MediaDescription description;
    description.format_name = "mp3";
    description.audio.push_back(audio_track(sample_rate, channels, seconds, AV_CODEC_ID_MP3));
    return description;
}

MediaDescription mp3_with_cover_art(double seconds) {
    MediaDescription description = mp3_audio(44100, 2, seconds);
    description.cover_art = MediaDescription::CoverArt{};
    return description;
}

MediaDescription mpeg_ps_mpeg2_mp2(int width, int height, AVRational frame_rate, double seconds) {
    MediaDescription description;
    description.format_name = "vob";
    description.video = video_track(width, height, frame_rate, seconds, AV_CODEC_ID_MPEG2VIDEO);
    // The program stream muxer schedules packets by the streams' bit rates; a fixed
    // quantiser would leave it the encoder's nominal 200 kbit/s and underflowing buffers.
    description.video->bit_rate = 4000000;
    description.audio.push_back(audio_track(48000, 2, seconds, AV_CODEC_ID_MP2));
    return description;
}

MediaDescription ts_data_only(double seconds) {
    MediaDescription description;
    description.format_name = "mpegts";
    description.data = MediaDescription::Data{};
    description.data->duration_seconds = seconds;
    return description;
}

MediaDescription ts_with_timestamp_jump(double jump_seconds, double seconds) {
    MediaDescription description = mp4_h264_aac(320, 240, {25, 1}, seconds);
    description.format_name = "mpegts";
    description.timestamp_jump_seconds = jump_seconds;
    return description;
}

MediaDescription ts_broadcast(AVCodecID video, AVCodecID audio, int channels, double seconds) {
    MediaDescription description;
    description.format_name = "mpegts";
    description.video = video_track(320, 240, {25, 1}, seconds, video);
    description.video->pattern = MediaDescription::Video::Pattern::flash;
    if (video == AV_CODEC_ID_MPEG2VIDEO) {
        // What a broadcaster spends on standard definition, give or take.
        description.video->bit_rate = 3000000;
    }
    description.audio.push_back(audio_track(48000, channels, seconds, audio));
    description.audio[0].beeps = true;
    return description;
}

MediaDescription dv_film(double seconds) {
    MediaDescription description;
    description.format_name = "avi";
    description.video = video_track(720, 576, {25, 1}, seconds, AV_CODEC_ID_DVVIDEO);
    description.video->pattern = MediaDescription::Video::Pattern::moving_bar;
    description.video->container_states_field_order = false;
    description.audio.push_back(audio_track(48000, 2, seconds, AV_CODEC_ID_PCM_S16LE));
    return description;
}

} // namespace morvane::test
