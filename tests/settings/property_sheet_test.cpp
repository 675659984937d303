// The settings sheet: its list of pages, switching by clicks only, where pages sit, and the
// pixels of the header band, the frames and the navigation rows.
#include "sheet_fixture.h"

#include <QFontMetrics>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace morvane::test {
namespace {

using SheetTest = SheetFixture;

QColor fade(const QColor& start, int k, int width) {
    const auto channel = [&](int c0) {
        return static_cast<int>(c0 + (k - 1) * (255 - c0) / static_cast<double>(width));
    };
    return QColor(channel(start.red()), channel(start.green()), channel(start.blue()));
}

TEST_F(SheetTest, ListsThePagesInOrderAndOpensOnGeneral) {
    auto sheet = open_sheet();
    EXPECT_EQ(sheet->windowTitle(), "Setting Dialog");
    QListWidget* list = sheet->nav_list();
    EXPECT_EQ(ControlId(list), 65535);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "General");
    EXPECT_EQ(list->item(1)->text(), "Devices");
    EXPECT_EQ(list->item(2)->text(), "About");
    EXPECT_EQ(sheet->caption_text(), "General");
    EXPECT_TRUE(general.isVisible());
    EXPECT_TRUE(list->hasFocus());
    // OK and Cancel, nothing else.
    EXPECT_EQ(sheet->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly).size(), 2);
    EXPECT_EQ(control<QPushButton>(sheet.get(), 1)->text(), "OK");
    EXPECT_EQ(control<QPushButton>(sheet.get(), 2)->text(), "Cancel");
    // Rows as tall as a 24-point line; the page 20 pixels clear of the sheet's right edge.
    EXPECT_EQ(list->visualItemRect(list->item(1)).height(), QFontMetrics(list->font()).height());
    // The list from x = 10 to 150, down to the page's foot.
    EXPECT_EQ(list->geometry(),
              QRect(QPoint(10, list->y()), QPoint(149, sheet->page_rect().bottom())));
    EXPECT_EQ(sheet->page_rect().right() + 1, sheet->width() - 20);
}

TEST_F(SheetTest, OnlyClicksOnTitlesSwitchPagesAndEveryPageSitsInPageRect) {
    auto sheet = open_sheet();
    const QRect page_rect = sheet->page_rect();
    QTest::keyClick(sheet->nav_list(), Qt::Key_Down);
    EXPECT_EQ(sheet->active_page(), 0) << "the keyboard moves the selection only";
    const char* captions[] = {"General", "Devices", "About"};
    for (int row : {1, 2, 0, 1, 2}) {
        click_row(*sheet, row);
        EXPECT_EQ(sheet->active_page(), row);
        EXPECT_EQ(sheet->selected_page(), row);
        EXPECT_EQ(sheet->caption_text(), captions[row]);
        for (SheetPage* page : pages()) {
            EXPECT_EQ(page->isVisible(), page == pages()[row]) << captions[row];
            EXPECT_EQ(page->geometry(), page_rect) << page->caption().toStdString();
        }
    }
    // Below the last title: nothing changes, not even a pixel.
    const QImage before = on_screen(*sheet);
    QListWidget* list = sheet->nav_list();
    const QRect last = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      {last.center().x(), last.bottom() + 20});
    EXPECT_EQ(sheet->active_page(), 2);
    EXPECT_EQ(sheet->caption_text(), "About");
    EXPECT_EQ(on_screen(*sheet), before);
}

TEST_F(SheetTest, CutsLongTitlesAndCopesWithoutPages) {
    SheetPage long_page(QString(200, QChar(u'x')), QFont(), QSize(100, 100));
    auto gone = std::make_unique<SheetPage>("Gone", QFont(), QSize(100, 100));
    CMyPropertySheet sheet;
    sheet.AddPage(&long_page);
    sheet.AddPage(gone.get());
    gone.reset();
    sheet.show();
    EXPECT_EQ(sheet.caption_text(), QString(127, QChar(u'x')));
    click_row(sheet, 1); // a page its owner destroyed is not shown
    EXPECT_EQ(sheet.selected_page(), 0);
    sheet.accept();

    CMyPropertySheet empty;
    empty.show();
    on_screen(empty);
    EXPECT_EQ(empty.active_page(), -1);
}

TEST_F(SheetTest, HeaderBandFadesTowardsWhiteUnderAShadowedTitleInGreyFrames) {
    auto sheet = open_sheet();
    const QImage screen = on_screen(*sheet);
    const QRect page = sheet->page_rect();
    const QRect list = sheet->nav_list()->geometry();
    const int top = list.top() - 1;
    const int left = page.left() - 1;
    const int width = page.width() + 2;
    const QColor header(92, 132, 255);
    // The first rows lie above the title, down to the last row above the page: pure fade.
    for (int y : {top, top + 1, top + 2, page.top() - 1}) {
        for (int k = 0; k < width; ++k) {
            const QColor expected = k == 0 ? header : fade(header, k, width);
            ASSERT_EQ(QColor(screen.pixel(left + k, y)), expected)
                << "column " << k << " row " << y;
        }
    }
    const QColor grey(141, 141, 141);
    EXPECT_EQ(QColor(screen.pixel(left, page.top() + 5)), grey);
    EXPECT_EQ(QColor(screen.pixel(page.right() + 1, page.bottom() + 1)), grey);
    EXPECT_EQ(QColor(screen.pixel(list.left() - 1, list.center().y())), grey);
    EXPECT_EQ(QColor(screen.pixel(list.right() + 1, list.center().y())), grey);

    // A white title starting 24 pixels into the page, over a dark shadow.
    int white = 0, dark = 0, leftmost_white = screen.width();
    for (int y = top + 3; y < page.top(); ++y) {
        for (int x = page.left(); x < page.left() + 120; ++x) {
            const QRgb pixel = screen.pixel(x, y);
            if (pixel == qRgb(255, 255, 255)) {
                ++white;
                leftmost_white = std::min(leftmost_white, x);
            }
            dark += qRed(pixel) < 64 && qGreen(pixel) < 64 && qBlue(pixel) < 64;
        }
    }
    EXPECT_GT(white, 20);
    EXPECT_GT(dark, 20);
    EXPECT_GE(leftmost_white, page.left() + 24);
    EXPECT_LT(leftmost_white, page.left() + 30);
}

TEST_F(SheetTest, SelectedRowIsFilledWhileTheListHasTheFocus) {
    auto sheet = open_sheet();
    QListWidget* list = sheet->nav_list();
    const auto pixel = [&](const QImage& screen, int row, int x, int y) {
        const QRect item = list->visualItemRect(list->item(row));
        return QColor(screen.pixel(list->x() + item.left() + x, list->y() + item.top() + y));
    };
    const QColor selection(0, 132, 255), white(Qt::white);
    const int h = list->visualItemRect(list->item(0)).height();
    const int drawn_width = list->viewport()->width() - 6;
    const int right = 3 + drawn_width - 1;

    QImage screen = on_screen(*sheet);
    // Row 0 is filled from 3 pixels down, inside 3-pixel side margins.
    EXPECT_EQ(pixel(screen, 0, right - 2, 2), white);
    EXPECT_EQ(pixel(screen, 0, right - 2, 3), selection);
    EXPECT_EQ(pixel(screen, 0, 2, h / 2), white);
    EXPECT_EQ(pixel(screen, 0, 3, h / 2), selection);
    EXPECT_EQ(pixel(screen, 0, right, h / 2), selection);
    EXPECT_EQ(pixel(screen, 0, right + 1, h / 2), white);
    EXPECT_EQ(pixel(screen, 1, right - 2, h / 2), white);
    // The fading line under every row: first column white, then from the separator colour.
    for (int row = 0; row < 2; ++row) {
        for (int y : {h - 2, h - 1}) {
            EXPECT_EQ(pixel(screen, row, 3, y), white);
            for (int k = 1; k < drawn_width; ++k) {
                ASSERT_EQ(pixel(screen, row, 3 + k, y), fade(selection, k, drawn_width))
                    << "row " << row << " column " << k;
            }
        }
    }
    // The 9-point title in white, centred on the tall row.
    int first = h, last = -1;
    for (int y = 3; y < h - 2; ++y) {
        for (int x = 27; x < right; ++x) {
            if (pixel(screen, 0, x, y) == white) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
        }
    }
    EXPECT_NEAR((first + last) / 2.0, h / 2.0, 4.0);
    EXPECT_LT(last - first, QFontMetrics(list->font()).height() / 2);

    // Without the focus the selected row is drawn like the others; a click brings it back.
    control<QWidget>(&general, CGeneralPage::topmost_id)->setFocus();
    EXPECT_EQ(pixel(on_screen(*sheet), 0, right - 2, h / 2), white);
    click_row(*sheet, 2);
    screen = on_screen(*sheet);
    EXPECT_EQ(pixel(screen, 0, right - 2, h / 2), white);
    EXPECT_EQ(pixel(screen, 2, right - 2, h / 2), selection);
}

TEST_F(SheetTest, EnterEndsWithOkEscapeWithCancelAndThePagesSurvive) {
    for (const auto& [key, expected] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                        std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        {
            CMyPropertySheet sheet;
            for (SheetPage* page : pages()) {
                sheet.AddPage(page);
            }
            QTimer::singleShot(0, &sheet,
                               [&sheet, key = key] { QTest::keyClick(sheet.nav_list(), key); });
            EXPECT_EQ(sheet.exec(), expected);
        }
        for (SheetPage* page : pages()) {
            EXPECT_EQ(page->parent(), nullptr);
            EXPECT_FALSE(page->isVisible());
            EXPECT_FALSE(page->was_opened());
        }
    }
}

} // namespace
} // namespace morvane::test
