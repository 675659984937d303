#include "jobs/media_probe.h"

#include "engine/ffmpeg_ptr.h"

#include <sys/stat.h>

namespace morvane {

double media_duration_seconds(const std::string& path) {
    // Only files are media: reading a named pipe or a device would wait for data forever.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return 0;
    }
    AVFormatContext* raw_context = nullptr;
    if (avformat_open_input(&raw_context, path.c_str(), nullptr, nullptr) < 0) {
        return 0;
    }
    InputFormatPtr container(raw_context);
    if (avformat_find_stream_info(container.get(), nullptr) < 0 || container->duration <= 0) {
        return 0;
    }
    return static_cast<double>(container->duration) / AV_TIME_BASE;
}

} // namespace morvane
