// The audio output path: keep the output clock on the input's timestamps, bring the sound to
// the encoder's rate and layout, and cut it into the encoder's frames.
#include "engine/engine.h"

#include <cstring>

namespace morvane {

namespace {

// Decoders may leave the channel order unspecified; the resampler wants a real layout.
AVChannelLayout usable_layout(const AVChannelLayout& layout) {
    AVChannelLayout usable{};
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&usable, layout.nb_channels);
    } else {
        av_channel_layout_copy(&usable, &layout);
    }
    return usable;
}

} // namespace

Engine::Step Engine::encode_audio_frame(OutputStreamRecord& output, InputStreamRecord& input,
                                        const std::uint8_t* samples, int byte_count,
                                        const AVChannelLayout& input_layout, int input_rate) {
    AVCodecContext* enc = output.encoder;
    const int input_channels = input_layout.nb_channels;
    if (input_channels != enc->ch_layout.nb_channels || input_rate != enc->sample_rate) {
        output.audio_resample = true;
    }

    AVChannelLayout layout = usable_layout(input_layout);
    if (output.audio_resample &&
        output.resampler.configure(layout, AV_SAMPLE_FMT_S16, input_rate, enc->ch_layout,
                                   AV_SAMPLE_FMT_S16, enc->sample_rate) < 0) {
        av_channel_layout_uninit(&layout);
        message("Can not resample %d channels @ %d Hz to %d channels @ %d Hz\n", input_channels,
                input_rate, enc->ch_layout.nb_channels, enc->sample_rate);
        close_engine_files();
        return Step::fatal;
    }
    av_channel_layout_uninit(&layout);

    // The output clock is re-anchored to the input's timestamps on every block: no samples
    // are added or dropped, gaps in the input stay gaps in the output.
    const int queued = av_audio_fifo_size(output.fifo.get());
    const double input_time = static_cast<double>(input.current_timestamp - options_.start_time) /
                              AV_TIME_BASE * enc->sample_rate;
    output.next_output_frame = static_cast<std::int64_t>(input_time + 0.5) - queued;

    const std::uint8_t* block = samples;
    int block_samples = byte_count / (2 * input_channels);
    if (output.audio_resample) {
        block_samples = output.resampler.convert_to_buffer(&samples, block_samples);
        if (block_samples < 0) {
            return Step::ok; // a block the resampler cannot take is skipped
        }
        block = output.resampler.buffer();
    }
    if (block_samples > 0 &&
        av_audio_fifo_write(output.fifo.get(),
                            reinterpret_cast<void**>(const_cast<std::uint8_t**>(&block)),
                            block_samples) < block_samples) {
        return Step::ok;
    }

    const int frame_size = enc->frame_size > 1 ? enc->frame_size : 0;
    const int capacity = output.encoder_frame->nb_samples;
    for (;;) {
        const int available = av_audio_fifo_size(output.fifo.get());
        const int take = frame_size > 0 ? frame_size : std::min(available, capacity);
        if (take == 0 || available < take) {
            return Step::ok;
        }
        if (encode_audio_block(output, take) == Step::fatal) {
            return Step::fatal;
        }
    }
}

Engine::Step Engine::encode_audio_block(OutputStreamRecord& output, int sample_count) {
    AVCodecContext* enc = output.encoder;
    AVFrame* frame = output.encoder_frame.get();
    const int capacity = enc->frame_size > 1 ? enc->frame_size : 4096;
    if (frame->nb_samples != capacity) {
        // A short last frame shrank it; give the buffer its full size back first.
        frame->nb_samples = capacity;
    }
    if (av_frame_make_writable(frame) < 0) {
        return Step::ok;
    }
    const int channels = enc->ch_layout.nb_channels;
    const std::size_t bytes =
        static_cast<std::size_t>(sample_count) * static_cast<std::size_t>(channels) * 2;
    if (output.fifo_read_buffer.size() < bytes) {
        output.fifo_read_buffer.resize(bytes);
    }
    std::uint8_t* packed =
        enc->sample_fmt == AV_SAMPLE_FMT_S16 ? frame->data[0] : output.fifo_read_buffer.data();
    if (av_audio_fifo_read(output.fifo.get(), reinterpret_cast<void**>(&packed), sample_count) <
        sample_count) {
        return Step::ok;
    }
    if (enc->sample_fmt != AV_SAMPLE_FMT_S16) {
        if (output.to_encoder_format.configure(enc->ch_layout, AV_SAMPLE_FMT_S16, enc->sample_rate,
                                               enc->ch_layout, enc->sample_fmt,
                                               enc->sample_rate) < 0 ||
            output.to_encoder_format.convert(frame->extended_data, capacity,
                                             const_cast<const std::uint8_t**>(&packed),
                                             sample_count) < 0) {
            return Step::ok;
        }
    }
    frame->nb_samples = sample_count;
    frame->pts = output.next_output_frame;
    if (avcodec_send_frame(enc, frame) < 0) {
        message("Audio encoding failed\n");
        close_engine_files();
        return Step::fatal;
    }
    output.next_output_frame += sample_count;
    output.frame_number += 1;
    return receive_and_write_packets(output);
}

} // namespace morvane
