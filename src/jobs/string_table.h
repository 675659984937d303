// The user interface's fixed texts.
#pragma once

namespace morvane::strings {

inline constexpr const char* window_title = "Morvane";
inline constexpr const char* idle_prompt = "Drop audio/video files";

} // namespace morvane::strings
