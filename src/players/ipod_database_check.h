// SPDX-License-Identifier: GPL-3.0-or-later
// Looking at an iPod's database files before and after libgpod reads them: libgpod would
// block on a FIFO where a file should be, and when it cannot read a database it rarely says
// what is wrong with the file itself.
#pragma once

#include <optional>
#include <string>

namespace morvane {

// The first of the files libgpod reads when it opens the iPod at `root` (with its final '/')
// that is there but no regular file: "iPod_Control/iTunes/iTunesDB is not a regular file".
std::optional<std::string> unreadable_database_file(const std::string& root);

// What is wrong with the database of the iPod at `root` that libgpod could not read, as far
// as the file shows it: missing, empty, cut short, or not beginning as an iTunes database
// does ("iPod_Control/iTunes/iTunesDB (5000 bytes) does not begin as an iTunes database
// does: ..."). Empty when the file looks whole.
std::string database_problem(const std::string& root);

} // namespace morvane
