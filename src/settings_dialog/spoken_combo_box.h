// SPDX-License-Identifier: GPL-3.0-or-later
// A combo box whose value a screen reader speaks, as it takes the focus and at every change.
// Qt 6.4 tells assistive technology of a new value by renaming the combo box, which Orca
// leaves unsaid, and gives it no text, where Orca looks for the value. This one shows its
// current text as the text of the combo box, all of it selected, as an editable combo box
// does, and reports each new value as that text put in: Orca speaks the new text.
#pragma once

#include <QComboBox>

namespace morvane {

class SpokenComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit SpokenComboBox(QWidget* parent = nullptr);

private:
    void report_new_text(const QString& text);

    QString reported_text_;
};

} // namespace morvane
