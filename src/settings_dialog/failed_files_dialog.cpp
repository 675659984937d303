// SPDX-License-Identifier: GPL-3.0-or-later
// Layout and rows of the failed-files dialog.
#include "settings_dialog/failed_files_dialog.h"

#include "settings_dialog/current_item_focus.h"
#include "skin/readable_colour.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace morvane {

FailedFilesDialog::FailedFilesDialog(const std::vector<FailedFile>& failed_files,
                                     const std::vector<FailedFile>& not_sent_files, QWidget* parent)
    : QDialog(parent) {
    if (failed_files.empty() && !not_sent_files.empty()) {
        setWindowTitle(tr("Not sent to the player"));
    } else {
        setWindowTitle(tr("Not converted"));
    }
    setSizeGripEnabled(true);
    setLayout(new QVBoxLayout);

    QTreeWidget* first = add_list(failed_files, tr("These files were not converted:"),
                                  tr("Files not converted"), QStringLiteral("failed_files"));
    QTreeWidget* second =
        add_list(not_sent_files, tr("Converted, not sent to the player:"),
                 tr("Converted, not sent to the player"), QStringLiteral("not_sent_files"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Enter ends the dialog as Escape and Close do: it only informs.
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout()->addWidget(buttons);
    fit_list_colours();

    // The first list has the keyboard (and a screen reader reads its first row).
    if (QTreeWidget* focused = first != nullptr ? first : second) {
        focused->setCurrentItem(focused->topLevelItem(0));
        focused->setFocus(Qt::OtherFocusReason);
    }

    // Wide enough for the rows' whole texts where the screen allows; narrower screens elide.
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    int rows = 0;
    for (const std::vector<FailedFile>* files : {&failed_files, &not_sent_files}) {
        for (const FailedFile& file : *files) {
            widest = std::max(
                {widest,
                 metrics.horizontalAdvance(QFile::decodeName(QByteArray::fromStdString(file.path))),
                 metrics.horizontalAdvance(QString::fromStdString(file.reason))});
        }
        rows += static_cast<int>(files->size());
    }
    // Eight rows of two lines at most in view; each list's heading, the button and margins.
    int wanted = widest + 8 * metrics.averageCharWidth();
    int height = metrics.height() * (std::min(rows, 8) * 2 + 12);
    if (const QScreen* screen = this->screen()) {
        wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
        height = std::min(height, screen->availableGeometry().height() * 9 / 10);
    }
    resize(std::max(wanted, metrics.averageCharWidth() * 80), height);
}

void FailedFilesDialog::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        fit_list_colours(); // a theme changed while the dialog shows
    }
}

void FailedFilesDialog::fit_list_colours() {
    // Themes draw the chosen row's text at 3.7:1 or less on their selection colour. Text this
    // small is drawn in shades, its strongest pixels an eighth short of its colour: the
    // colours are asked for 5.5:1 so that the letters as drawn reach 4.5:1.
    for (QTreeWidget* list : findChildren<QTreeWidget*>()) {
        list->setPalette(readable_highlight(palette(), 100, 5.5));
    }
}

QTreeWidget* FailedFilesDialog::add_list(const std::vector<FailedFile>& files,
                                         const QString& heading, const QString& name,
                                         const QString& object_name) {
    if (files.empty()) {
        return nullptr;
    }
    auto* list = new QTreeWidget(this);
    list->setObjectName(object_name);
    list->setColumnCount(1);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setAlternatingRowColors(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The file's name is at the end of its path: cut in the middle, never there.
    list->setTextElideMode(Qt::ElideMiddle);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Qt's item views do not take their name from a buddy label: without one a screen reader
    // says only "tree".
    list->setAccessibleName(name);
    new CurrentItemFocus(list);
    for (const FailedFile& file : files) {
        const QString path = QFile::decodeName(QByteArray::fromStdString(file.path));
        const QString reason = QString::fromStdString(file.reason);
        auto* row = new QTreeWidgetItem(list);
        // The path, and why below it; read as one sentence.
        row->setText(0, path + QLatin1Char('\n') + reason);
        row->setData(0, Qt::AccessibleTextRole, tr("%1: %2").arg(path, reason));
        row->setToolTip(0, path);
    }
    // Each list starts on its first row; only the one with the keyboard shows it chosen.
    list->selectionModel()->setCurrentIndex(list->model()->index(0, 0),
                                            QItemSelectionModel::NoUpdate);
    auto* label = new QLabel(heading, this);
    label->setBuddy(list);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->addWidget(label);
    box->addWidget(list, static_cast<int>(files.size())); // room as the rows need it
    return list;
}

} // namespace morvane
