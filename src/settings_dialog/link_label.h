// SPDX-License-Identifier: GPL-3.0-or-later
// A link on a settings page: a QLabel holding one rich-text link, reached with Tab and
// opened with Enter or a click. Qt's label takes a second Tab to put the keyboard on its
// link, and until then Enter goes to the dialog's default button; this one puts it there
// as the focus arrives.
#pragma once

#include <QLabel>

namespace morvane {

class LinkLabel : public QLabel {
    Q_OBJECT

public:
    // Shows text as a link to url (its tooltip); linkActivated(url) asks for it to be opened.
    LinkLabel(const QString& text, const QString& url, QWidget* parent = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

} // namespace morvane
