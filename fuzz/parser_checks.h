// SPDX-License-Identifier: GPL-3.0-or-later
// What the parsers of files others write promise, checked on one input each: the fuzz targets
// of parser_fuzzer.cpp feed them the fuzzer's bytes, and the test suite replays the kept seeds
// and findings through the same code. Each check writes the bytes where the program reads
// them (a SysInfo, a journal, an output's tags, a config.ini) under `work_folder`, runs the
// real code over them, and returns the promise it saw broken; nothing when all held (failing
// to read is fine, crashing, hanging or misbehaving is not). A check may leave files in
// `work_folder` for the next input.
#pragma once

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace morvane::fuzz {

// iPod_Control/Device/SysInfo, as the iPod's root is told and its model named, by us and by
// libgpod.
std::optional<std::string> check_sysinfo(std::string_view bytes,
                                         const std::filesystem::path& work_folder);

// iPod_Control/iTunes/morvane-journal, as the next sender removes the copies it notes.
std::optional<std::string> check_ipod_journal(std::string_view bytes,
                                              const std::filesystem::path& work_folder);

// An output's mark: the bytes are its entries, written into the tags of an MP3 (or, when
// the first line is "mp4", of a film MP4) made by the engine, then read back as the job and
// the senders read them.
std::optional<std::string> check_output_mark(std::string_view bytes,
                                             const std::filesystem::path& work_folder);

// config.ini, as the settings are read from it and written back into it.
std::optional<std::string> check_config_ini(std::string_view bytes,
                                            const std::filesystem::path& work_folder);

// Writes `bytes` as the whole file at `path`; false when it could not.
inline bool write_whole_file(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

} // namespace morvane::fuzz
