#include "jobs/output_naming.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace morvane {

std::string output_base_name(const std::string& input_path) {
    const std::size_t slash = input_path.find_last_of('/');
    std::string name = slash == std::string::npos ? input_path : input_path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) {
        name.erase(dot);
    }
    return name;
}

std::optional<std::string> make_output_path(const DeviceProfile& device,
                                            const std::string& input_path, bool video_output,
                                            const std::string& output_folder) {
    const std::string base = output_folder + output_base_name(input_path);
    const std::string& extension = video_output ? device.video_extension : device.audio_extension;
    for (long long k = 0;; ++k) {
        const std::string candidate =
            k == 0 ? base + extension : base + "_" + std::to_string(k - 1) + extension;
        const int descriptor =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            ::close(descriptor);
            return candidate;
        }
        if (errno != EEXIST) {
            return std::nullopt; // no folder, no right to write, a name too long...
        }
    }
}

} // namespace morvane
