#include "jobs/media_probe.h"

#include "engine/ffmpeg_error.h"
#include "engine/ffmpeg_ptr.h"
#include "engine/stream_choice.h"

#include <sys/stat.h>

namespace morvane {

bool probe_media(const std::string& path, MediaProbe& probe) {
    probe = MediaProbe{};
    // Only files are media: reading a named pipe or a device would wait for data forever.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        probe.error = "not a regular file";
        return false;
    }
    AVFormatContext* raw_context = nullptr;
    if (const int error = avformat_open_input(&raw_context, path.c_str(), nullptr, nullptr);
        error < 0) {
        probe.error = ffmpeg_error_text(error);
        return false;
    }
    InputFormatPtr container(raw_context);
    if (const int error = avformat_find_stream_info(container.get(), nullptr); error < 0) {
        probe.error = ffmpeg_error_text(error);
        return false;
    }
    if (container->duration > 0) {
        probe.duration_seconds = static_cast<double>(container->duration) / AV_TIME_BASE;
    }
    // The streams the engine converts, so that the codec check looks at the same ones.
    const StreamChoice choice = choose_streams(*container);
    for (const int index : {choice.video, choice.audio}) {
        if (index >= 0) {
            const AVStream* stream = container->streams[index];
            probe.streams[static_cast<std::size_t>(probe.stream_count++)] = {
                stream->codecpar->codec_id, stream->codecpar->codec_type};
        }
    }
    return true;
}

double media_duration_seconds(const std::string& path) {
    MediaProbe probe;
    return probe_media(path, probe) ? probe.duration_seconds : 0;
}

} // namespace morvane
