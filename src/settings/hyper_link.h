// A line of text that behaves like a web link: blue and underlined, teal while it has the
// focus, purple once opened; a pointing hand over it and its target as its tooltip. A click
// (pressed and released on it) or the space bar opens the target through the desktop; a
// failure beeps and says why in a message box.
#pragma once

#include "platform/desktop_shell.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <string>

namespace morvane {

class CHyperLink : public QLabel {
    Q_OBJECT

public:
    // Until set_url gives another target the link opens its own text. shell must outlive it.
    CHyperLink(const QString& text, DesktopShell& shell, QWidget* parent);

    void set_url(const QString& url);
    QString url() const { return url_; }

    bool focused() const { return focused_; }
    bool hovering() const { return hovering_; }
    bool visited() const { return visited_; }
    QColor text_colour() const;

    // Shrinks or grows the control to its text, keeping the side its alignment holds to.
    void fit_to_text();

    // What the message box says when the desktop could not open a link, given its reason;
    // an empty reason is an unknown error.
    static QString open_error_text(const std::string& reason);
    // The code shown for an unknown error: the desktop's handlers give none.
    static constexpr int unknown_error_code = -1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void open_link();
    void report_open_error(const std::string& reason);

    DesktopShell& shell_;
    bool focused_ = false;
    bool hovering_ = false;
    bool visited_ = false;
    QString url_;
};

} // namespace morvane
