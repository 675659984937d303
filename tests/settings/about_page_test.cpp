// The About page and its links: what it shows, how a link looks in each state, how it is
// opened (and not opened), and what a failed open says.
#include "settings/hyper_link.h"
#include "sheet_fixture.h"

#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace morvane::test {
namespace {

using Call = RecordingShell::Call;

class AboutTest : public SheetFixture {
protected:
    std::unique_ptr<CMyPropertySheet> open_about() {
        auto sheet = open_sheet();
        click_row(*sheet, 2);
        return sheet;
    }

    // How many pixels of the link's area on screen have exactly this colour.
    static int pixels_of(CMyPropertySheet& sheet, const CHyperLink& link, const QColor& colour) {
        const QImage screen = on_screen(sheet);
        const QRect area(link.mapTo(&sheet, QPoint(0, 0)), link.size());
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                count += QColor(screen.pixel(x, y)) == colour;
            }
        }
        return count;
    }

    // Runs the action, answers the message box it opens and returns the box's text.
    static QString message_after(const std::function<void()>& action) {
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(active_modal());
            ASSERT_NE(box, nullptr);
            text = box->text();
            icon = box->icon();
            EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
            QTest::keyClick(box, Qt::Key_Return);
        });
        action();
        EXPECT_EQ(icon, QMessageBox::Warning);
        return text;
    }

    CHyperLink& home() { return about.home_page_link(); }
    CHyperLink& contact() { return about.contact_link(); }
};

TEST_F(AboutTest, ShowsThePictureTheVersionAndTheTwoLinks) {
    auto sheet = open_about();
    EXPECT_EQ(sheet->caption_text(), "About");
    ASSERT_FALSE(about.picture().pixmap().isNull());
    EXPECT_EQ(about.picture().pixmap().size(), QSize(180, 180));
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains("Morvane 1.0.7"));

    EXPECT_EQ(ControlId(&home()), 1016);
    EXPECT_EQ(ControlId(&contact()), 1015);
    EXPECT_EQ(home().text(), "Goto Morvane's homepage");
    EXPECT_EQ(contact().text(), "Click here to contact us (support@morvane.org)");
    EXPECT_EQ(home().url(), "https://morvane.org/");
    EXPECT_EQ(contact().url(), "mailto:support@morvane.org");
    for (CHyperLink* link : {&home(), &contact()}) {
        EXPECT_EQ(link->toolTip(), link->url());
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(link->font().underline());
        // Shrunk to its text, keeping its top-left corner.
        EXPECT_EQ(link->width(), QFontMetrics(link->font()).horizontalAdvance(link->text()));
        EXPECT_EQ(link->height(), QFontMetrics(link->font()).height());
    }
}

TEST_F(AboutTest, ColoursFollowFocusAndVisits) {
    auto sheet = open_about();
    const QColor blue(0, 0, 255), teal(0, 128, 128), purple(128, 0, 128);
    EXPECT_EQ(home().text_colour(), blue);
    EXPECT_GT(pixels_of(*sheet, home(), blue), 10);

    QTest::mouseClick(&home(), Qt::LeftButton);
    EXPECT_EQ(shell.calls(), (std::vector<Call>{{Call::Kind::open_url, "https://morvane.org/"}}));
    EXPECT_TRUE(home().visited());
    EXPECT_TRUE(home().focused());
    EXPECT_EQ(home().text_colour(), teal);
    EXPECT_GT(pixels_of(*sheet, home(), teal), 10);
    EXPECT_EQ(pixels_of(*sheet, home(), blue), 0);

    contact().setFocus();
    EXPECT_FALSE(home().focused());
    EXPECT_EQ(home().text_colour(), purple);
    EXPECT_GT(pixels_of(*sheet, home(), purple), 10);
    EXPECT_EQ(contact().text_colour(), teal);
    EXPECT_FALSE(contact().visited());
}

TEST_F(AboutTest, OpensOnAClickReleasedOnItOrTheSpaceBarOnly) {
    auto sheet = open_about();
    QTest::mousePress(&home(), Qt::LeftButton);
    EXPECT_TRUE(home().focused());
    QTest::mouseRelease(&home(), Qt::LeftButton, {}, QPoint(home().width() + 30, 5));
    QTest::keyClick(&contact(), Qt::Key_A);
    QTest::keyClick(&contact(), Qt::Key_Enter);
    EXPECT_TRUE(shell.calls().empty());
    EXPECT_FALSE(home().visited());

    contact().setFocus();
    QTest::keyClick(&contact(), Qt::Key_Space);
    // A link never given a target opens its own text.
    CHyperLink plain("https://morvane.org/download/", shell, &about);
    plain.show();
    plain.setFocus();
    QTest::keyClick(&plain, Qt::Key_Space);
    EXPECT_EQ(shell.calls(),
              (std::vector<Call>{{Call::Kind::open_url, "mailto:support@morvane.org"},
                                 {Call::Kind::open_url, "https://morvane.org/download/"}}));
}

TEST_F(AboutTest, AFailedOpenSaysWhyAndLeavesTheLinkUnvisited) {
    auto sheet = open_about();
    shell.fail_with("no program handles mailto: links");
    EXPECT_EQ(message_after([&] { QTest::mouseClick(&contact(), Qt::LeftButton); }),
              "Can't open link:\n\nno program handles mailto: links");
    EXPECT_FALSE(contact().visited());
    EXPECT_EQ(shell.count(Call::Kind::open_url), 1);

    shell.fail_with("");
    EXPECT_EQ(message_after([&] { QTest::keyClick(&home(), Qt::Key_Space); }),
              "Can't open link:\n\nUnknown Error (-1) occurred.");
    EXPECT_FALSE(home().visited());
    EXPECT_EQ(active_modal(), sheet.get());
}

} // namespace
} // namespace morvane::test
