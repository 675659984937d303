// SPDX-License-Identifier: GPL-3.0-or-later
// A button that looks like a link: the desktop's link colour (made lighter or darker where it
// would not stand out 4.5:1 from what it is drawn on, its background role), underlined, no
// frame. It is one stop of the Tab key (left again with one Shift+Tab), is pressed with
// Return, Space or a click, and is a push button with a press action to assistive
// technology. Its text says where it leads.
#pragma once

#include <QPushButton>

namespace morvane {

class LinkButton : public QPushButton {
    Q_OBJECT

public:
    explicit LinkButton(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace morvane
