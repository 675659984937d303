// SPDX-License-Identifier: GPL-3.0-or-later
// The failed-files dialog: the files not converted and those not sent to the player under
// headings of their own, each row its path and why (one sentence to a screen reader), the
// keyboard on the first row, and a Close button that ends it, as Return does.
#include "settings_dialog/failed_files_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(FailedFilesDialogTest, ListsEachFileWithItsReasonUnderItsHeadingAndClosesByButtonOrReturn) {
    const std::vector<FailedFile> failed = {
        {"/music/b\xc3\xa4nd/01 first.ogg", "Invalid data found when processing input"},
        {"/videos/second.mkv", "No space left on device"},
    };
    const std::vector<FailedFile> not_sent = {{"/videos/third.mkv", "the stick is full"}};
    const struct {
        const char* what;
        std::vector<FailedFile> failed, not_sent;
        const char* title;
        const char* focused; // the list the keyboard is in
    } cases[] = {
        {"both", failed, not_sent, "Not converted", "failed_files"},
        {"not converted only", failed, {}, "Not converted", "failed_files"},
        {"not sent only", {}, not_sent, "Not sent to the player", "not_sent_files"},
    };
    for (const auto& each : cases) {
        for (const bool by_key : {false, true}) {
            SCOPED_TRACE(std::string(each.what) + (by_key ? ", Return" : ", Close"));
            FailedFilesDialog dialog(each.failed, each.not_sent);
            dialog.show();
            dialog.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
            EXPECT_EQ(dialog.windowTitle(), each.title);
            QStringList headings;
            for (const QLabel* label : dialog.findChildren<QLabel*>()) {
                headings << label->text();
            }
            QStringList expected_headings;
            for (const auto& [files, name, heading] :
                 {std::tuple{&each.failed, "failed_files", "These files were not converted:"},
                  std::tuple{&each.not_sent, "not_sent_files",
                             "Converted, not sent to the player:"}}) {
                auto* list = dialog.findChild<QTreeWidget*>(name);
                if (files->empty()) {
                    EXPECT_EQ(list, nullptr) << "no empty list to Tab through";
                    continue;
                }
                ASSERT_NE(list, nullptr);
                ASSERT_EQ(list->topLevelItemCount(), static_cast<int>(files->size()));
                expected_headings << heading;
                for (int row = 0; row < list->topLevelItemCount(); ++row) {
                    const FailedFile& file = (*files)[static_cast<std::size_t>(row)];
                    const QString path = QString::fromStdString(file.path);
                    const QString reason = QString::fromStdString(file.reason);
                    EXPECT_EQ(list->topLevelItem(row)->text(0), path + "\n" + reason);
                    EXPECT_EQ(list->topLevelItem(row)->data(0, Qt::AccessibleTextRole).toString(),
                              path + ": " + reason);
                }
            }
            EXPECT_EQ(headings, expected_headings);
            // What a screen reader meets first: the first row of the first list.
            auto* focused = dialog.findChild<QTreeWidget*>(each.focused);
            EXPECT_EQ(QApplication::focusWidget(), focused);
            EXPECT_EQ(focused->currentItem(), focused->topLevelItem(0));

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
}

} // namespace
} // namespace morvane
