// SPDX-License-Identifier: GPL-3.0-or-later
// Frame-by-frame decoding of one stream of a media file, for the inspectors.
#include "support/stream_decoder.h"

#include "support/av_error.h"

extern "C" {
#include <libavutil/avutil.h>
}

#include <string>

namespace morvane::test {

StreamDecoder::StreamDecoder(const std::filesystem::path& path, AVMediaType type, int ordinal) {
    const std::string name = path.string();
    AVFormatContext* input = nullptr;
    av::check(avformat_open_input(&input, name.c_str(), nullptr, nullptr), "opening " + name);
    input_.reset(input);
    av::check(avformat_find_stream_info(input_.get(), nullptr), "probing " + name);

    int seen = 0;
    for (unsigned index = 0; index < input_->nb_streams && stream_ == nullptr; ++index) {
        AVStream* stream = input_->streams[index];
        if (stream->codecpar->codec_type == type &&
            !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && seen++ == ordinal) {
            stream_ = stream;
        }
    }
    if (stream_ == nullptr) {
        av::fail(name + " has no " + av_get_media_type_string(type) + " stream " +
                 std::to_string(ordinal));
    }
    const AVCodec* codec = avcodec_find_decoder(stream_->codecpar->codec_id);
    if (codec == nullptr) {
        av::fail(std::string("no decoder for ") + avcodec_get_name(stream_->codecpar->codec_id));
    }
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_) {
        av::fail("cannot allocate a decoder");
    }
    av::check(avcodec_parameters_to_context(decoder_.get(), stream_->codecpar),
              "copying stream parameters");
    decoder_->pkt_timebase = stream_->time_base;
    decoder_->thread_count = 1;
    av::check(avcodec_open2(decoder_.get(), codec, nullptr),
              std::string("opening decoder ") + codec->name);
    packet_.reset(av_packet_alloc());
    if (!packet_) {
        av::fail("cannot allocate a packet");
    }
}

bool StreamDecoder::next(AVFrame& frame) {
    while (true) {
        const int result = avcodec_receive_frame(decoder_.get(), &frame);
        if (result == 0) {
            return true;
        }
        if (result == AVERROR_EOF) {
            return false;
        }
        if (result == AVERROR_INVALIDDATA) {
            ++damaged_packets_;
            continue;
        }
        if (result != AVERROR(EAGAIN)) {
            av::check(result, "decoding");
        }
        feed();
    }
}

void StreamDecoder::feed() {
    if (draining_) {
        // Nothing left to give, yet the decoder asks for more: it will not answer EOF.
        av::fail("decoder wants input after the end of the stream");
    }
    while (true) {
        const int result = av_read_frame(input_.get(), packet_.get());
        if (result < 0) {
            // The end of the file, or as far as a damaged one can be read: drain the decoder.
            draining_ = true;
            av::check(avcodec_send_packet(decoder_.get(), nullptr), "draining the decoder");
            return;
        }
        if (packet_->stream_index != stream_->index) {
            av_packet_unref(packet_.get());
            continue;
        }
        const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
        av_packet_unref(packet_.get());
        if (sent == AVERROR_INVALIDDATA) {
            ++damaged_packets_;
            continue;
        }
        av::check(sent, "decoding");
        return;
    }
}

} // namespace morvane::test
