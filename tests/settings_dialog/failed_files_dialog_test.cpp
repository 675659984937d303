// SPDX-License-Identifier: GPL-3.0-or-later
// The failed-files dialog: each file with its reason in columns that fill the table, and a
// Close button that ends it, as Return does.
#include "settings_dialog/failed_files_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(FailedFilesDialogTest, ListsEachFileWithItsReasonAndClosesByButtonOrReturn) {
    const std::vector<FailedFile> failed = {
        {"/music/b\xc3\xa4nd/01 first.ogg", "Invalid data found when processing input"},
        {"/videos/second.mkv", "No space left on device"},
    };
    for (const bool by_key : {false, true}) {
        FailedFilesDialog dialog(failed);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* table = dialog.findChild<QTreeWidget*>();
        ASSERT_NE(table, nullptr);
        ASSERT_EQ(table->topLevelItemCount(), 2);
        EXPECT_EQ(table->topLevelItem(0)->text(0),
                  QString::fromUtf8("/music/b\xc3\xa4nd/01 first.ogg"));
        EXPECT_EQ(table->topLevelItem(0)->text(1), "Invalid data found when processing input");
        EXPECT_EQ(table->topLevelItem(1)->text(0), "/videos/second.mkv");
        EXPECT_EQ(table->topLevelItem(1)->text(1), "No space left on device");
        // What a screen reader meets first: a named table on its first row.
        EXPECT_EQ(table->accessibleName(), "Files not converted");
        EXPECT_EQ(table->currentItem(), table->topLevelItem(0));
        // The columns fill the table's width, at this size and after a resize.
        for (const int wider : {0, 200}) {
            dialog.resize(dialog.width() + wider, dialog.height());
            QCoreApplication::processEvents();
            const QHeaderView* header = table->header();
            EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1), table->viewport()->width());
            // Reasons whole, whatever the paths take.
            EXPECT_GE(header->sectionSize(1), table->fontMetrics().horizontalAdvance(
                                                  "Invalid data found when processing input"));
        }
        EXPECT_EQ(dialog.windowTitle(), "Not converted");

        if (by_key) {
            QTest::keyClick(&dialog, Qt::Key_Return);
        } else {
            QPushButton* close =
                dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
            ASSERT_NE(close, nullptr);
            QTest::mouseClick(close, Qt::LeftButton, {}, close->rect().center());
        }
        EXPECT_FALSE(dialog.isVisible());
    }
}

} // namespace
} // namespace morvane
