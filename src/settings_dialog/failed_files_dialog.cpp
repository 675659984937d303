// SPDX-License-Identifier: GPL-3.0-or-later
// Layout and rows of the failed-files dialog.
#include "settings_dialog/failed_files_dialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace morvane {

FailedFilesDialog::FailedFilesDialog(const std::vector<FailedFile>& failed_files, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Not converted"));
    setSizeGripEnabled(true);

    auto* table = new QTreeWidget(this);
    table->setObjectName(QStringLiteral("failed_files"));
    table->setColumnCount(2);
    table->setHeaderLabels({tr("File Location"), tr("Reason")});
    table->setRootIsDecorated(false);
    table->setUniformRowHeights(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The file's name is at the end of its path: cut in the middle, never there.
    table->setTextElideMode(Qt::ElideMiddle);
    // Reasons are shown whole; the paths take the rest of the width, so the header has no
    // empty end.
    table->header()->setStretchLastSection(false);
    table->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    const QFontMetrics metrics = table->fontMetrics();
    int widest_path = metrics.horizontalAdvance(table->headerItem()->text(0));
    int widest_reason = metrics.horizontalAdvance(table->headerItem()->text(1));
    for (const FailedFile& file : failed_files) {
        auto* row = new QTreeWidgetItem(table);
        const QString path = QFile::decodeName(QByteArray::fromStdString(file.path));
        const QString reason = QString::fromStdString(file.reason);
        row->setText(0, path);
        row->setToolTip(0, path);
        row->setText(1, reason);
        row->setToolTip(1, reason);
        widest_path = std::max(widest_path, metrics.horizontalAdvance(path));
        widest_reason = std::max(widest_reason, metrics.horizontalAdvance(reason));
    }

    auto* line = new QLabel(tr("These files were not converted:"), this);
    line->setBuddy(table);
    // Qt's item views do not take their name from a buddy label: without one a screen reader
    // says only "tree". It then reads the first row; arrows move from there.
    table->setAccessibleName(tr("Files not converted"));
    if (table->topLevelItemCount() > 0) {
        table->setCurrentItem(table->topLevelItem(0));
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    // Enter ends the dialog as Escape and Close do: it only informs.
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(line);
    layout->addWidget(table, 1);
    layout->addWidget(buttons);

    // Wide enough for the rows' whole texts where the screen allows; narrower screens elide.
    const int margins = layout->contentsMargins().left() + layout->contentsMargins().right() +
                        2 * table->frameWidth() + 6 * metrics.averageCharWidth();
    int wanted = widest_path + widest_reason + margins;
    if (const QScreen* screen = this->screen()) {
        wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
    }
    resize(std::max(wanted, metrics.averageCharWidth() * 80), metrics.height() * 20);
}

} // namespace morvane
