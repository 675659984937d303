// SPDX-License-Identifier: GPL-3.0-or-later
// Ready descriptions of the files the engine's tests convert. Each names its container, so a
// test may give the file any name it likes.
#pragma once

#include "support/media_description.h"

namespace morvane::test {

// H.264 (libx264) + AAC stereo 44.1 kHz in MP4. An odd width or height is encoded in yuv444p
// (High 4:4:4 Predictive), since 4:2:0 H.264 cannot code odd sizes; FFmpeg decodes it back
// at the odd size.
MediaDescription mp4_h264_aac(int width, int height, AVRational frame_rate = {25, 1},
                              double seconds = 2.0);

// MPEG-4 Part 2 (yuv420p, odd sizes too) + AAC stereo 44.1 kHz in MP4.
MediaDescription mp4_mpeg4_aac(int width, int height, AVRational frame_rate = {25, 1},
                               double seconds = 2.0);

// H.264 + two AAC tracks (440 Hz, then 1000 Hz) in MP4.
MediaDescription mp4_two_audio_tracks(double seconds = 2.0);

// 16-bit PCM in WAV.
MediaDescription wav_pcm(int sample_rate, int channels, double seconds = 2.0);

// MP3 (libmp3lame).
MediaDescription mp3_audio(int sample_rate = 44100, int channels = 2, double seconds = 2.0);

// MP3 with a PNG cover picture (attached-picture disposition) in its ID3 tag.
MediaDescription mp3_with_cover_art(double seconds = 2.0);

// MPEG-2 video at 4 Mbit/s + MP2 stereo 48 kHz in an MPEG-2 program stream ("vob" muxer;
// .mpg, .vob).
MediaDescription mpeg_ps_mpeg2_mp2(int width = 720, int height = 576,
                                   AVRational frame_rate = {25, 1}, double seconds = 2.0);

// MPEG-TS whose only stream is a KLV data stream.
MediaDescription ts_data_only(double seconds = 2.0);

// H.264 + AAC in MPEG-TS, every timestamp from the halfway point on moved `jump_seconds` later.
MediaDescription ts_with_timestamp_jump(double jump_seconds = 20.0, double seconds = 2.0);

// A broadcast recording: 320x240 at 25 fps, flash pattern, with beeping sound at 48 kHz in
// MPEG-TS. `video`: AV_CODEC_ID_MPEG2VIDEO (at 3 Mbit/s) or AV_CODEC_ID_H264; `audio`:
// AV_CODEC_ID_AC3, AV_CODEC_ID_MP2 (mono or stereo only) or AV_CODEC_ID_AAC, with `channels`
// channels (6: 5.1).
MediaDescription ts_broadcast(AVCodecID video, AVCodecID audio, int channels = 2,
                              double seconds = 2.0);

// A PAL DV camcorder film: DV 720x576 at 25 fps (yuv420p), the moving bar coded interlaced,
// bottom field first, which only each picture states (the stream's header says nothing of
// fields), with 16-bit PCM stereo at 48 kHz, in AVI. Clear `audio` for a film without sound.
MediaDescription dv_film(double seconds = 2.0);

} // namespace morvane::test
