// The failed-files dialog: its texts, one row per failed path in order in one 550-pixel
// column, and every way of closing it.
#include "settings/unsupported_dlg.h"
#include "skin/control_id.h"

#include <QHeaderView>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace morvane {
namespace {

const std::vector<std::string> kPaths = {
    "/home/someone/Music/talk.ogg",
    "/home/someone/Videos/Fête à Noël/日本語 clip (broken).mkv",
    "/home/someone/" + std::string(300, 'x') + "/long name.mp2",
};

QStringList rows_of(const CUnsupportedDlg& dialog) {
    QStringList rows;
    for (int row = 0; row < dialog.list()->topLevelItemCount(); ++row) {
        rows << dialog.list()->topLevelItem(row)->text(0);
    }
    return rows;
}

TEST(UnsupportedDlgTest, ListsTheFailedPathsInOrderUnderItsLine) {
    CUnsupportedDlg dialog(kPaths);
    EXPECT_EQ(dialog.windowTitle(), "Not Supported");
    EXPECT_TRUE(dialog.isModal());
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_EQ(texts, QStringList{"Failded to convert the following files:"});

    QTreeWidget* list = dialog.list();
    EXPECT_EQ(ControlId(list), 1001);
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0), "File Location");
    EXPECT_EQ(list->columnWidth(0), 550);
    EXPECT_EQ(rows_of(dialog),
              (QStringList{QString::fromStdString(kPaths[0]), QString::fromStdString(kPaths[1]),
                           QString::fromStdString(kPaths[2])}));
    dialog.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(list->columnWidth(0), 550);
}

TEST(UnsupportedDlgTest, ShowsThePathsOfFailedFilesWithTheReasonAsTooltip) {
    const std::vector<FailedFile> failed = {{"/a/one.ogg", "Vorbis sound is not supported"},
                                            {"/b/two.mkv", "the file is damaged"}};
    CUnsupportedDlg dialog(failed);
    ASSERT_EQ(rows_of(dialog), (QStringList{"/a/one.ogg", "/b/two.mkv"}));
    EXPECT_EQ(dialog.list()->topLevelItem(1)->toolTip(0), "the file is damaged");
    EXPECT_EQ(dialog.list()->columnCount(), 1);
}

TEST(UnsupportedDlgTest, EscapeEnterAndCloseAllEndItAlike) {
    const std::vector<std::function<void(CUnsupportedDlg&)>> endings = {
        [](CUnsupportedDlg& dialog) { QTest::keyClick(dialog.list(), Qt::Key_Escape); },
        [](CUnsupportedDlg& dialog) { QTest::keyClick(dialog.list(), Qt::Key_Return); },
        [](CUnsupportedDlg& dialog) { QTest::keyClick(dialog.list(), Qt::Key_Enter); },
        [](CUnsupportedDlg& dialog) { dialog.close(); },
    };
    for (std::size_t way = 0; way < endings.size(); ++way) {
        CUnsupportedDlg dialog(kPaths);
        bool ended_by_action = false;
        QTimer::singleShot(0, &dialog, [&] {
            endings[way](dialog);
            ended_by_action = !dialog.isVisible();
        });
        // A way that failed to end it must not hang the test.
        QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
        EXPECT_EQ(dialog.exec(), QDialog::Accepted) << "way " << way;
        EXPECT_TRUE(ended_by_action) << "way " << way;
    }
}

} // namespace
} // namespace morvane
