#include "jobs/conversion_job.h"

#include "engine/conver_callback.h"
#include "engine/stream_choice.h"
#include "jobs/clock_text.h"
#include "jobs/media_probe.h"
#include "jobs/output_mark.h"
#include "jobs/output_naming.h"
#include "jobs/source_identity.h"
#include "jobs/temporary_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/stat.h>

namespace morvane {

namespace {

std::string codec_name(AVCodecID codec) {
    return avcodec_get_name(codec);
}

JobOutcome failed(std::string reason) {
    JobOutcome outcome;
    outcome.reason = std::move(reason);
    return outcome;
}

// Why a path cannot be an input at all, in plain words; nothing when it is a file.
std::optional<std::string> unreadable_input(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? std::string("no such file") : std::string(std::strerror(errno));
    }
    if (S_ISDIR(status.st_mode)) {
        return std::string("is a folder");
    }
    if (!S_ISREG(status.st_mode)) {
        // Reading a named pipe or a device would wait for data forever.
        return std::string("not a regular file");
    }
    return std::nullopt;
}

// "0:04 of 0:20", or "0:04" when the whole is unknown.
std::string progress_text(double seconds, double total) {
    return total > 0 ? clock_text(seconds) + " of " + clock_text(total) : clock_text(seconds);
}

// An output this much shorter than its input says (and by this share) is not the input
// converted: the rest is missing, cut off or unreadable.
constexpr double max_missing_seconds = 2.0;
constexpr double max_missing_share = 0.05;

// The duration the container itself states (its header, the streams' own durations); none
// when FFmpeg only guessed it from the bit rate.
double stated_duration_seconds(const AVFormatContext& container) {
    if (container.duration <= 0 ||
        container.duration_estimation_method != AVFMT_DURATION_FROM_STREAM) {
        return 0;
    }
    return static_cast<double>(container.duration) / AV_TIME_BASE;
}

// The outputs this input made before, among the names its output takes (the planned name,
// then name_0, name_1, ... up to the first free one): a complete one, and one a stop cut short.
struct EarlierOutputs {
    std::string complete;
    std::string cut;
};

EarlierOutputs earlier_outputs(const std::optional<std::string>& source, const std::string& planned,
                               const std::string& extension) {
    EarlierOutputs found;
    if (!source) {
        return found;
    }
    for (long long attempt = 0;; ++attempt) {
        const std::string candidate = output_name_candidate(planned, extension, attempt);
        struct stat status {};
        if (::lstat(candidate.c_str(), &status) != 0) {
            return found;
        }
        if (!S_ISREG(status.st_mode)) {
            continue;
        }
        if (const std::optional<OutputMark> mark = read_output_mark(candidate);
            mark && mark->source == *source) {
            std::string& slot = mark->complete ? found.complete : found.cut;
            if (slot.empty()) {
                slot = candidate;
            }
        }
    }
}

bool is_cut_output_of(const std::string& path, const std::optional<std::string>& source) {
    const std::optional<OutputMark> mark = read_output_mark(path);
    return source && mark && mark->source == *source && !mark->complete;
}

// Passes the engine's reports on and remembers whether the answer stopped the conversion.
// A "stop" answered to the final 100% report comes too late to shorten anything.
class StopWatch : public CConverCallback {
public:
    explicit StopWatch(CConverCallback* callback) : callback_(callback) {}
    bool on_progress(int percent) override {
        if (callback_ == nullptr) {
            return true;
        }
        const bool go_on = callback_->on_progress(percent);
        if (!go_on && percent < 100) {
            stopped_ = true;
        }
        return go_on;
    }
    bool stopped() const { return stopped_; }

private:
    CConverCallback* callback_;
    bool stopped_ = false;
};

} // namespace

std::string stopped_text(const JobOutcome& outcome) {
    return "stopped at " + progress_text(outcome.seconds_done, outcome.seconds_total);
}

ConversionJob::ConversionJob(Engine& engine, TranscodeProgress& progress)
    : engine_(engine), progress_(progress) {}

JobOutcome ConversionJob::convert_one(const std::string& path, const DeviceProfile& device,
                                      const std::string& output_folder, CConverCallback* callback,
                                      const std::function<void(double)>& on_conversion_start) {
    if (const std::optional<std::string> refusal = unreadable_input(path)) {
        return failed(*refusal);
    }
    // The engine's own opening of the file is what the checks read: one probe, and the
    // streams checked are the very streams converted.
    // A sound-only device chosen for an earlier file of the batch must not take this file's
    // pictures away.
    engine_.options().video_disable = false;
    if (engine_.open_input_file(progress_, path) != 0) {
        return failed(engine_reason("cannot read this file"));
    }
    const AVFormatContext& container = *engine_.tables().input_files.front().container;
    const StreamChoice chosen = choose_streams(container);
    const AVCodecID video =
        chosen.video >= 0 ? container.streams[chosen.video]->codecpar->codec_id : AV_CODEC_ID_NONE;
    const AVCodecID audio =
        chosen.audio >= 0 ? container.streams[chosen.audio]->codecpar->codec_id : AV_CODEC_ID_NONE;
    const double duration_seconds =
        container.duration > 0 ? static_cast<double>(container.duration) / AV_TIME_BASE : 0;
    const double stated_seconds = stated_duration_seconds(container);
    auto refuse = [&](std::string reason) {
        engine_.close_engine_files();
        return failed(std::move(reason));
    };
    // Whatever FFmpeg on this system decodes is taken.
    if (video != AV_CODEC_ID_NONE && avcodec_find_decoder(video) == nullptr) {
        return refuse("cannot decode its video (" + codec_name(video) + ")");
    }
    if (audio != AV_CODEC_ID_NONE && avcodec_find_decoder(audio) == nullptr) {
        return refuse("cannot decode its sound (" + codec_name(audio) + ")");
    }
    const bool has_audio = audio != AV_CODEC_ID_NONE;
    const bool video_output = (device.media_kinds & KIND_VIDEO) && video != AV_CODEC_ID_NONE;
    const std::string& extension = video_output ? device.video_extension : device.audio_extension;
    const std::string planned = planned_output_path(device, path, video_output, output_folder);
    const std::optional<std::string> source = source_identity(path);
    const EarlierOutputs earlier = earlier_outputs(source, planned, extension);
    if (skip_existing_ && !earlier.complete.empty()) {
        engine_.close_engine_files();
        JobOutcome outcome;
        outcome.status = JobStatus::skipped;
        outcome.reason = "already converted: " + earlier.complete;
        return outcome;
    }

    if (!set_options(device, video_output, has_audio)) {
        return refuse("the device plays neither video nor audio");
    }
    if (!video_output && !has_audio) {
        return refuse("no sound to convert");
    }
    engine_.options().output_tags =
        source ? output_mark_tags(*source) : std::vector<std::pair<std::string, std::string>>{};

    const std::string folder = planned.substr(0, planned.find_last_of('/') + 1);
    TemporaryOutput output;
    TemporaryOutput::remove_stale(folder);
    if (const std::optional<std::string> error = output.create(folder, extension)) {
        engine_.close_engine_files();
        return failed("cannot write in the output folder: " + *error);
    }
    if (engine_.open_output_file(output.path()) != 0) {
        return failed(engine_reason("cannot write the output file"));
    }

    StopWatch stop_watch(callback);
    progress_.callback = &stop_watch;
    if (on_conversion_start) {
        on_conversion_start(duration_seconds);
    }
    const int result = engine_.transcode(progress_);
    progress_.callback = nullptr;
    const bool wrote_something = engine_.tables().packets_written > 0;
    const bool wrote_pictures = engine_.tables().pictures_written > 0;
    const double seconds_reached = static_cast<double>(progress_.position) / AV_TIME_BASE;
    const std::string engine_error = engine_.last_error();
    const std::string input_error = engine_.input_error();
    engine_.close_engine_files(); // the muxer's file is flushed and closed here
    if (result != 0) {
        return failed(engine_error.empty() ? "conversion failed" : engine_error);
    }
    JobOutcome outcome;
    outcome.seconds_total = duration_seconds;
    if (!wrote_something) {
        if (stop_watch.stopped()) {
            outcome.status = JobStatus::stopped; // before its first packet: nothing to keep
            return outcome;
        }
        return failed("nothing in this file could be decoded");
    }
    if (video_output && !wrote_pictures && !stop_watch.stopped()) {
        return failed("no picture in this file could be decoded");
    }
    if (source) {
        // Unmarked, the output is still good; a rerun just does not know it as this input's.
        finish_output_mark(output.path(), *source, !stop_watch.stopped());
    }
    // A cut output of this input is replaced, if it still is one; otherwise a new name.
    const bool replace = !earlier.cut.empty() && is_cut_output_of(earlier.cut, source);
    const std::optional<std::string> error =
        replace ? output.commit_replacing(earlier.cut)
                : output.commit(planned, extension, outcome.output_path);
    if (error) {
        return failed("cannot write the output file: " + *error);
    }
    if (replace) {
        outcome.output_path = earlier.cut;
    }
    if (stop_watch.stopped()) {
        outcome.status = JobStatus::stopped;
        outcome.seconds_done = media_duration_seconds(outcome.output_path);
        return outcome;
    }
    outcome.status = JobStatus::converted;
    const double missing = stated_seconds - seconds_reached;
    if (!input_error.empty()) {
        outcome.status = JobStatus::incomplete;
        outcome.reason = "incomplete: reading failed at " +
                         progress_text(seconds_reached, stated_seconds) + " (" + input_error + ")";
    } else if (stated_seconds > 0 && missing > max_missing_seconds &&
               missing > max_missing_share * stated_seconds) {
        outcome.status = JobStatus::incomplete;
        outcome.reason =
            "incomplete: the input ends at " + progress_text(seconds_reached, stated_seconds);
    }
    outcome.seconds_done = seconds_reached;
    return outcome;
}

std::string ConversionJob::engine_reason(const char* fallback) const {
    return engine_.last_error().empty() ? fallback : engine_.last_error();
}

bool ConversionJob::set_options(const DeviceProfile& device, bool video_output, bool has_audio) {
    EngineOptions& options = engine_.options();
    options.silent_sound = false;
    const bool video_player =
        (device.media_kinds & KIND_VIDEO) && (device.media_kinds & KIND_AUDIO);
    if (video_player) {
        if (video_output) {
            options.video_bit_rate = device.target_bit_rate;
            engine_.set_frame_rate_preset(3);
            const int larger = std::max(device.screen_width, device.screen_height);
            const int smaller = std::min(device.screen_width, device.screen_height);
            char size[32];
            std::snprintf(size, sizeof size, "%dx%d", larger, smaller);
            engine_.set_frame_size_fit(size);
            options.video_codec_override = device.video_codec;
            options.audio_codec_override = device.video_audio_codec;
            // The players want a sound track with every film: silence where there is none.
            if (!has_audio) {
                options.silent_sound = true;
                options.audio_sample_rate = 44100;
            }
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
