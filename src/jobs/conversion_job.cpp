#include "jobs/conversion_job.h"

#include "jobs/media_probe.h"
#include "jobs/output_naming.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace morvane {

namespace {

std::string codec_name(AVCodecID codec) {
    return avcodec_get_name(codec);
}

} // namespace

ConversionJob::ConversionJob(Engine& engine, TranscodeProgress& progress,
                             const SupportedCodecs& codecs)
    : engine_(engine), progress_(progress), codecs_(codecs) {}

JobOutcome ConversionJob::fail(std::string reason) {
    JobOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

JobOutcome ConversionJob::convert_one(const std::string& path, const DeviceProfile& device,
                                      const std::string& output_folder, CConverCallback* callback,
                                      const std::function<void()>& on_conversion_start) {
    MediaProbe probe;
    if (!probe_media(path, probe)) {
        return fail("cannot read this file");
    }
    AVCodecID video = AV_CODEC_ID_NONE;
    AVCodecID audio = AV_CODEC_ID_NONE;
    for (int index = 0; index < probe.stream_count; ++index) {
        const MediaProbe::Stream& stream = probe.streams[static_cast<std::size_t>(index)];
        if (stream.media_type == AVMEDIA_TYPE_VIDEO) {
            video = stream.codec_id;
        } else if (stream.media_type == AVMEDIA_TYPE_AUDIO) {
            audio = stream.codec_id;
        }
    }
    if (video != AV_CODEC_ID_NONE && !codecs_.is_supported_video(video)) {
        return fail("unsupported video codec " + codec_name(video));
    }
    if (audio != AV_CODEC_ID_NONE && !codecs_.is_supported_audio(audio)) {
        return fail("unsupported audio codec " + codec_name(audio));
    }
    const bool has_video_and_audio = video != AV_CODEC_ID_NONE && audio != AV_CODEC_ID_NONE;

    if (engine_.open_input_file(progress_, path) != 0) {
        return fail("cannot read this file");
    }
    if (!set_options(device, has_video_and_audio)) {
        engine_.close_engine_files();
        return fail("the device plays neither video nor audio");
    }
    const bool video_output = (device.media_kinds & KIND_VIDEO) && has_video_and_audio;
    if (!video_output && audio == AV_CODEC_ID_NONE) {
        engine_.close_engine_files();
        return fail("no sound to convert");
    }

    const std::optional<std::string> output =
        make_output_path(device, path, video_output, output_folder);
    if (!output) {
        engine_.close_engine_files();
        return fail("cannot create a file in the output folder");
    }
    auto discard_output = [&] {
        std::error_code ignored;
        std::filesystem::remove(*output, ignored);
    };
    if (engine_.open_output_file(*output) != 0) {
        discard_output();
        return fail("cannot write the output file");
    }

    progress_.callback = callback;
    if (on_conversion_start) {
        on_conversion_start();
    }
    const int result = engine_.transcode(progress_);
    const bool wrote_something = engine_.tables().packets_written > 0;
    engine_.close_engine_files();
    if (result != 0) {
        discard_output();
        return fail("conversion failed");
    }
    if (!wrote_something) {
        discard_output();
        return fail("nothing in this file could be decoded");
    }
    JobOutcome outcome;
    outcome.converted = true;
    outcome.output_path = *output;
    return outcome;
}

bool ConversionJob::set_options(const DeviceProfile& device, bool has_video_and_audio) {
    EngineOptions& options = engine_.options();
    const bool video_player =
        (device.media_kinds & KIND_VIDEO) && (device.media_kinds & KIND_AUDIO);
    if (video_player) {
        if (has_video_and_audio) {
            options.video_bit_rate = device.target_bit_rate;
            engine_.set_frame_rate_preset(3);
            const int larger = std::max(device.screen_width, device.screen_height);
            const int smaller = std::min(device.screen_width, device.screen_height);
            char size[32];
            std::snprintf(size, sizeof size, "%dx%d", larger, smaller);
            engine_.set_frame_size_fit(size);
            options.video_codec_override = device.video_codec;
            options.audio_codec_override = device.video_audio_codec;
        } else {
            options.audio_codec_override = device.audio_codec;
        }
        if (device.target_channels != -1) {
            options.audio_channels = device.target_channels;
        }
        if (device.target_sample_rate != -1) {
            options.audio_sample_rate = device.target_sample_rate;
        }
        return true;
    }
    if (device.media_kinds == KIND_AUDIO) {
        // The source's channel count and rate are kept: the player takes what the file has.
        options.video_disable = true;
        options.audio_codec_override = device.audio_codec;
        return true;
    }
    return false;
}

} // namespace morvane
