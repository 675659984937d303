// SPDX-License-Identifier: GPL-3.0-or-later
#include "jobs/device_table.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(DeviceTable, StoredIndexOutsideTheTableSelectsTheFirstRow) {
    const DeviceTable table = device_table("/x/");
    EXPECT_EQ(valid_device_index(4, table), 4);
    EXPECT_EQ(valid_device_index(5, table), 0);
    EXPECT_EQ(valid_device_index(-1, table), 0);
}

} // namespace
} // namespace morvane
