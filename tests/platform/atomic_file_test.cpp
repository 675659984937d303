// SPDX-License-Identifier: GPL-3.0-or-later
// A save either replaces the whole file or leaves the old one as it was.
#include "platform/atomic_file.h"
#include "support/file_size_limit.h"
#include "support/temp_folder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace morvane {
namespace {

namespace fs = std::filesystem;

using test::read_file;

size_t entries_in(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
}

TEST(AtomicFile, ReplacesThroughLinksKeepsPermissionsAndLeavesNothingElse) {
    test::TempFolder folder;
    const fs::path real = folder.file("config.ini");
    std::ofstream(real) << "old contents, longer than the new";
    ::chmod(real.c_str(), 0640);
    const fs::path link = folder.file("link.ini");
    fs::create_symlink(real, link);

    ASSERT_TRUE(replace_file_atomically(link.string(), "new"));
    EXPECT_EQ(read_file(real), "new");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
    EXPECT_EQ(entries_in(folder.path()), 2u);

    EXPECT_FALSE(replace_file_atomically(folder.file("missing/config.ini").string(), "x"));
}

// The disk filling up half-way (here: a file size limit) must not cost the old file.
TEST(AtomicFile, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
    test::TempFolder folder;
    const fs::path path = folder.file("config.ini");
    std::ofstream(path) << "[Common]\nOutputFolder=/old/\n";

    EXPECT_TRUE(test::true_under_file_size_limit(16, [&] {
        return !replace_file_atomically(path.string(), std::string(4096, 'n'));
    })) << "the failure is reported";
    EXPECT_EQ(read_file(path), "[Common]\nOutputFolder=/old/\n");
    EXPECT_EQ(entries_in(folder.path()), 1u) << "no temporary file stays behind";
}

} // namespace
} // namespace morvane
