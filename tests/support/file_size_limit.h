// SPDX-License-Identifier: GPL-3.0-or-later
// A disk filling up half-way, as a file size limit: the work runs in a child process (the
// limit must not reach the test itself) where no file can grow beyond `bytes`.
#pragma once

#include <cstddef>
#include <functional>

namespace morvane::test {

// Whether `work` returned true in a child limited to files of `bytes`.
bool true_under_file_size_limit(std::size_t bytes, const std::function<bool()>& work);

} // namespace morvane::test
