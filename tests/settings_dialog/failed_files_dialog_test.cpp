// SPDX-License-Identifier: GPL-3.0-or-later
// The failed-files dialog: the files not converted and those not sent to the player under
// headings of their own, each row its path and why (one sentence to a screen reader), the
// keyboard on the first row, chosen in colours that a person can read in a light theme and a
// dark one, and a Close button that ends it, as Return does.
#include "settings_dialog/failed_files_dialog.h"
#include "skin/readable_colour.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace morvane {
namespace {

// A dark desktop theme's colours as Qt takes them from GTK's Adwaita:dark.
QPalette dark_palette() {
    QPalette dark = QApplication::palette();
    for (const auto& [role, colour] : {std::pair{QPalette::Window, 0x323232},
                                       {QPalette::Button, 0x323232},
                                       {QPalette::Base, 0x242424},
                                       {QPalette::AlternateBase, 0x2b2b2b},
                                       {QPalette::WindowText, 0xf0f0f0},
                                       {QPalette::ButtonText, 0xf0f0f0},
                                       {QPalette::Text, 0xf0f0f0},
                                       {QPalette::HighlightedText, 0xf0f0f0},
                                       {QPalette::Highlight, 0x308cc6}}) {
        dark.setColor(role, QColor(QRgb(colour)));
    }
    return dark;
}

// How the first row's letters, as drawn, stand out from the row: the pixel that stands out
// most from the row's right end, where no text reaches.
double first_row_contrast(QTreeWidget* list) {
    const QRect row = list->visualItemRect(list->topLevelItem(0));
    const QImage shot = list->viewport()->grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const QColor ground = shot.pixelColor(QPoint(row.right() - 4, row.center().y()) * ratio);
    double most = 1;
    for (int y = static_cast<int>(row.top() * ratio); y < (row.bottom() + 1) * ratio; ++y) {
        for (int x = static_cast<int>(row.left() * ratio); x < row.right() * ratio; ++x) {
            most = std::max(most, contrast_ratio(shot.pixelColor(x, y), ground));
        }
    }
    return most;
}

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
        bool dark;
    } cases[] = {
        {"both", failed, not_sent, "Not converted", "failed_files", false},
        {"not converted only", failed, {}, "Not converted", "failed_files", true},
        {"not sent only", {}, not_sent, "Not sent to the player", "not_sent_files", true},
    };
    const QPalette light = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
    for (const auto& each : cases) {
        QApplication::setPalette(each.dark ? dark_palette() : light);
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
            // Chosen, and readable so (WCAG's 4.5:1 for text).
            EXPECT_TRUE(focused->topLevelItem(0)->isSelected());
            EXPECT_GE(first_row_contrast(focused), 4.5) << (each.dark ? "dark" : "light");

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
