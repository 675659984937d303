// SPDX-License-Identifier: GPL-3.0-or-later
// Tells a screen reader which item of a list or tree is current when the view takes the
// focus. Qt reports the view itself last, after its current item, so Orca says "Pages. List
// with 3 items." and never which page shows, or names a table without its first row; the
// item is reported again once the view's own report is out.
#pragma once

#include <QObject>

class QAbstractItemView;

namespace morvane {

class CurrentItemFocus : public QObject {
    Q_OBJECT

public:
    // Watches `view` (and lives as long as it does).
    explicit CurrentItemFocus(QAbstractItemView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report_current_item();

    QAbstractItemView* view_;
};

} // namespace morvane
