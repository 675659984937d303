// FFmpeg error codes turned into exceptions with FFmpeg's own text.
#include "support/av_error.h"

extern "C" {
#include <libavutil/error.h>
}

#include <array>
#include <stdexcept>

namespace morvane::test::av {

std::string error_text(int error_code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> buffer{};
    if (av_strerror(error_code, buffer.data(), buffer.size()) < 0) {
        return "FFmpeg error " + std::to_string(error_code);
    }
    return buffer.data();
}

int check(int result, std::string_view what) {
    if (result < 0) {
        throw std::runtime_error(std::string(what) + ": " + error_text(result));
    }
    return result;
}

void fail(std::string_view what) {
    throw std::runtime_error(std::string(what));
}

} // namespace morvane::test::av
