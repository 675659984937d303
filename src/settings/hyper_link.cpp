// Looks, input and opening of a link.
#include "settings/hyper_link.h"

#include "jobs/string_table.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

namespace morvane {

CHyperLink::CHyperLink(const QString& text, DesktopShell& shell, QWidget* parent)
    : QLabel(text, parent), shell_(shell), url_(text) {
    // Laid out as a plain static text: top-left, single line.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::PointingHandCursor);
    QFont link_font = font();
    link_font.setUnderline(true);
    setFont(link_font);
    setToolTip(url_);
    fit_to_text();
}

void CHyperLink::set_url(const QString& url) {
    url_ = url;
    fit_to_text();
    setToolTip(url_);
}

QColor CHyperLink::text_colour() const {
    if (focused_) {
        return QColor(0, 128, 128);
    }
    if (visited_) {
        return QColor(128, 0, 128);
    }
    return QColor(0, 0, 255);
}

void CHyperLink::fit_to_text() {
    const QFontMetrics metrics(font());
    const int text_width = metrics.horizontalAdvance(text());
    const int text_height = metrics.height();
    QRect area = geometry();
    if (alignment() & Qt::AlignVCenter) {
        const int cut = (area.height() - text_height) / 2;
        area.adjust(0, cut, 0, -cut);
    } else {
        area.setHeight(text_height);
    }
    if (alignment() & Qt::AlignHCenter) {
        const int cut = (area.width() - text_width) / 2;
        area.adjust(cut, 0, -cut, 0);
    } else if (alignment() & Qt::AlignRight) {
        area.setLeft(area.right() + 1 - text_width);
    } else {
        area.setWidth(text_width);
    }
    const QRect contents = contentsRect();
    area.adjust(0, 0, width() - contents.width(), height() - contents.height());
    setGeometry(area);
    update();
}

void CHyperLink::paintEvent(QPaintEvent* /*event*/) {
    // Nothing is painted behind the text: the page shows through.
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(text_colour());
    painter.drawText(contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine, text());
}

void CHyperLink::enterEvent(QEnterEvent* event) {
    hovering_ = true;
    update();
    QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QLabel::leaveEvent(event);
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    focused_ = true;
    update();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    // A press taken back by moving off the link before releasing opens nothing.
    if (focused_ && rect().contains(event->position().toPoint())) {
        open_link();
    }
}

void CHyperLink::focusInEvent(QFocusEvent* event) {
    focused_ = true;
    update();
    QLabel::focusInEvent(event);
}

void CHyperLink::focusOutEvent(QFocusEvent* event) {
    hovering_ = false;
    focused_ = false;
    update();
    QLabel::focusOutEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        open_link();
        return;
    }
    QLabel::keyPressEvent(event);
}

void CHyperLink::open_link() {
    const DesktopShell::Failure failure = shell_.open_url(url_.toStdString());
    if (!failure) {
        visited_ = true;
        update();
        return;
    }
    QApplication::beep();
    report_open_error(*failure);
}

QString CHyperLink::open_error_text(const std::string& reason) {
    const QString why = reason.empty()
                            ? QString::asprintf("Unknown Error (%d) occurred.", unknown_error_code)
                            : QString::fromStdString(reason);
    return QStringLiteral("Can't open link:\n\n") + why;
}

void CHyperLink::report_open_error(const std::string& reason) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(strings::window_title),
                    open_error_text(reason), QMessageBox::Ok, this);
    box.exec();
}

} // namespace morvane
