// The settings sheet: its list of pages, switching by clicks only, where pages sit, and the
// pixels of the header band, the frames and the navigation rows.
#include "settings/nav_list_delegate.h"
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
    EXPECT_EQ(sheet->active_page(), 0);
    EXPECT_EQ(sheet->selected_page(), 0);
    EXPECT_TRUE(general.isVisible());
    EXPECT_FALSE(devices.isVisible());
    EXPECT_TRUE(list->hasFocus());

    // OK and Cancel, nothing else.
    const auto buttons = sheet->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(control<QPushButton>(sheet.get(), 1)->text(), "OK");
    EXPECT_EQ(control<QPushButton>(sheet.get(), 2)->text(), "Cancel");

    // Rows as tall as a 24-point line; the list from x = 10 to 150, down to the page's foot.
    EXPECT_EQ(list->font().pointSize(), 24);
    EXPECT_EQ(list->visualItemRect(list->item(1)).height(), QFontMetrics(list->font()).height());
    EXPECT_EQ(list->geometry().left(), 10);
    EXPECT_EQ(list->geometry().right() + 1, 150);
    EXPECT_EQ(list->geometry().bottom(), sheet->page_rect().bottom());
    // The page keeps 20 pixels clear of the sheet's right edge.
    EXPECT_EQ(sheet->page_rect().right() + 1, sheet->width() - 20);
}

TEST_F(SheetTest, ClicksSwitchPagesAndEveryPageSitsInPageRect) {
    auto sheet = open_sheet();
    const QRect page_rect = sheet->page_rect();
    EXPECT_EQ(general.geometry(), page_rect);
    const struct {
        int row;
        const char* caption;
        SheetPage* page;
    } steps[] = {{1, "Devices", &devices},
                 {2, "About", &about},
                 {0, "General", &general},
                 {1, "Devices", &devices},
                 {2, "About", &about}};
    for (const auto& step : steps) {
        click_row(*sheet, step.row);
        EXPECT_EQ(sheet->active_page(), step.row);
        EXPECT_EQ(sheet->selected_page(), step.row);
        EXPECT_EQ(sheet->caption_text(), step.caption);
        EXPECT_TRUE(step.page->isVisible());
        for (SheetPage* page :
             {static_cast<SheetPage*>(&general), static_cast<SheetPage*>(&devices),
              static_cast<SheetPage*>(&about)}) {
            EXPECT_EQ(page->isVisible(), page == step.page) << step.caption;
            EXPECT_EQ(page->geometry(), page_rect) << page->caption().toStdString();
        }
        EXPECT_TRUE(sheet->nav_list()->hasFocus());
    }
    EXPECT_EQ(sheet->page_rect(), page_rect);
}

TEST_F(SheetTest, ClickBelowTheLastItemChangesNothing) {
    auto sheet = open_sheet();
    click_row(*sheet, 1);
    const QImage before = on_screen(*sheet);
    QListWidget* list = sheet->nav_list();
    const QRect last = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      {last.center().x(), last.bottom() + 20});
    EXPECT_EQ(sheet->active_page(), 1);
    EXPECT_EQ(sheet->selected_page(), 1);
    EXPECT_EQ(sheet->caption_text(), "Devices");
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(on_screen(*sheet), before);
}

TEST_F(SheetTest, KeyboardMovesTheSelectionButNotThePage) {
    auto sheet = open_sheet();
    QTest::keyClick(sheet->nav_list(), Qt::Key_Down);
    EXPECT_EQ(sheet->nav_list()->currentRow(), 1);
    EXPECT_EQ(sheet->active_page(), 0);
    EXPECT_EQ(sheet->caption_text(), "General");
    EXPECT_TRUE(general.isVisible());
}

TEST_F(SheetTest, LongPageTitlesAreCutInTheHeader) {
    SheetPage long_page(QString(200, QChar(u'x')), QFont(), QSize(100, 100));
    CMyPropertySheet sheet;
    sheet.AddPage(&long_page);
    sheet.show();
    EXPECT_EQ(sheet.caption_text(), QString(127, QChar(u'x')));
    sheet.reject();
}

TEST_F(SheetTest, ASheetWithoutPagesOrWithAPageGoneStillRuns) {
    {
        CMyPropertySheet empty;
        empty.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&empty));
        on_screen(empty);
        EXPECT_EQ(empty.active_page(), -1);
        empty.accept();
    }
    auto gone = std::make_unique<SheetPage>("Gone", QFont(), QSize(100, 100));
    CMyPropertySheet sheet;
    sheet.AddPage(&general);
    sheet.AddPage(gone.get());
    gone.reset();
    sheet.show();
    EXPECT_EQ(sheet.page_count(), 2);
    EXPECT_EQ(sheet.page(1), nullptr);
    click_row(sheet, 1);
    EXPECT_EQ(sheet.active_page(), 0);
    EXPECT_EQ(sheet.selected_page(), 0);
    EXPECT_EQ(sheet.caption_text(), "General");
    sheet.accept();
}

TEST_F(SheetTest, HeaderBandFadesFromTheHeaderColourTowardsWhiteUnderAShadowedTitle) {
    auto sheet = open_sheet();
    const QImage screen = on_screen(*sheet);
    const QRect page = sheet->page_rect();
    const int top = sheet->nav_list()->geometry().top() - 1;
    const int left = page.left() - 1;
    const int width = page.width() + 2;
    const QColor header(92, 132, 255);
    // The first rows lie above the title: pure fade, column by column.
    for (int y = top; y < top + 3; ++y) {
        for (int k = 0; k < width; ++k) {
            const QColor expected = k == 0 ? header : fade(header, k, width);
            ASSERT_EQ(QColor(screen.pixel(left + k, y)), expected)
                << "column " << k << " row " << y;
        }
    }
    EXPECT_EQ(QColor(screen.pixel(left + 1, top)), header);
    // The band ends just above the page; the page's frame shows left of it.
    EXPECT_EQ(QColor(screen.pixel(left + width - 1, page.top() - 1)),
              fade(header, width - 1, width));
    EXPECT_EQ(QColor(screen.pixel(left, page.top() + 5)), QColor(141, 141, 141));
    const QRect list = sheet->nav_list()->geometry();
    EXPECT_EQ(QColor(screen.pixel(list.left() - 1, list.center().y())), QColor(141, 141, 141));
    EXPECT_EQ(QColor(screen.pixel(list.right() + 1, list.center().y())), QColor(141, 141, 141));

    // White title over a black shadow, starting 24 pixels into the page.
    int white = 0;
    int dark = 0;
    int leftmost_white = screen.width();
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
    const QPoint origin = list->geometry().topLeft();
    const auto row_pixel = [&](const QImage& screen, int row, int x, int y) {
        const QRect item = list->visualItemRect(list->item(row));
        return QColor(screen.pixel(origin.x() + item.left() + x, origin.y() + item.top() + y));
    };
    const QColor selection(0, 132, 255);
    const int h = list->visualItemRect(list->item(0)).height();
    const int drawn_width = list->viewport()->width() - 6;
    const int right = 3 + drawn_width - 1;

    QImage screen = on_screen(*sheet);
    // Row 0 is filled from 3 pixels down, inside 3-pixel side margins.
    EXPECT_EQ(row_pixel(screen, 0, right - 2, 2), QColor(Qt::white));
    EXPECT_EQ(row_pixel(screen, 0, right - 2, 3), selection);
    EXPECT_EQ(row_pixel(screen, 0, 2, h / 2), QColor(Qt::white));
    EXPECT_EQ(row_pixel(screen, 0, 3, h / 2), selection);
    EXPECT_EQ(row_pixel(screen, 0, right, h / 2), selection);
    EXPECT_EQ(row_pixel(screen, 0, right + 1, h / 2), QColor(Qt::white));
    EXPECT_EQ(row_pixel(screen, 1, right - 2, h / 2), QColor(Qt::white));
    // The fading line under every row: first column white, then from the separator colour.
    for (int row = 0; row < 2; ++row) {
        for (int y : {h - 2, h - 1}) {
            EXPECT_EQ(row_pixel(screen, row, 3, y), QColor(Qt::white));
            for (int k = 1; k < drawn_width; ++k) {
                ASSERT_EQ(row_pixel(screen, row, 3 + k, y), fade(selection, k, drawn_width))
                    << "row " << row << " column " << k;
            }
        }
    }
    // The title in white, centred on the row's height.
    int first = h;
    int last = -1;
    for (int y = 3; y < h - 2; ++y) {
        for (int x = 3 + NavListDelegate::icon_width + 8; x < right; ++x) {
            if (row_pixel(screen, 0, x, y) == QColor(Qt::white)) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
        }
    }
    ASSERT_GE(last, first);
    EXPECT_NEAR((first + last) / 2.0, h / 2.0, 4.0);

    // Without the focus the selected row is drawn like the others.
    control<QWidget>(&general, CGeneralPage::topmost_id)->setFocus();
    screen = on_screen(*sheet);
    EXPECT_EQ(row_pixel(screen, 0, right - 2, h / 2), QColor(Qt::white));
    // A click gives the list the focus back and highlights the clicked row.
    click_row(*sheet, 2);
    screen = on_screen(*sheet);
    EXPECT_EQ(row_pixel(screen, 0, right - 2, h / 2), QColor(Qt::white));
    EXPECT_EQ(row_pixel(screen, 2, right - 2, h / 2), selection);
}

TEST_F(SheetTest, EnterEndsWithOkEscapeWithCancelAndThePagesSurvive) {
    for (const auto& [key, expected] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                        std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
        {
            CMyPropertySheet sheet;
            sheet.AddPage(&general);
            sheet.AddPage(&devices);
            sheet.AddPage(&about);
            QTimer::singleShot(0, &sheet,
                               [&sheet, key = key] { QTest::keyClick(sheet.nav_list(), key); });
            EXPECT_EQ(sheet.exec(), expected);
            EXPECT_EQ(general.parent(), &sheet);
        }
        for (SheetPage* page :
             {static_cast<SheetPage*>(&general), static_cast<SheetPage*>(&devices),
              static_cast<SheetPage*>(&about)}) {
            EXPECT_EQ(page->parent(), nullptr);
            EXPECT_FALSE(page->isVisible());
            EXPECT_FALSE(page->was_opened());
        }
    }
}

} // namespace
} // namespace morvane::test
