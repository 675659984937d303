// SPDX-License-Identifier: GPL-3.0-or-later
// File names a FAT file system (a memory stick, a player's disk) takes as they are.
#pragma once

#include <string>

namespace morvane {

// `name` (a file name, no folder) made safe for FAT: the characters FAT forbids
// (" * / : < > ? \ |, control characters) and bytes that are not UTF-8 become '_'; dots and
// spaces are taken off both ends of the part before the extension (FAT drops trailing ones,
// and a leading dot would hide the file); the result keeps its extension and stays short
// enough that the naming rule's "_<n>" still fits within FAT's 255 characters. A name with
// nothing left becomes "untitled".
std::string fat_file_name(const std::string& name);

} // namespace morvane
