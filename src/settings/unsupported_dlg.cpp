// Layout and rows of the failed-files dialog.
#include "settings/unsupported_dlg.h"

#include "settings/dialog_units.h"
#include "skin/control_id.h"

#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTreeWidget>

namespace morvane {

CUnsupportedDlg::CUnsupportedDlg(const std::vector<std::string>& failed_paths, QWidget* parent)
    : QDialog(parent), list_(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Not Supported"));
    setModal(true);
    QFont font(QStringLiteral("MS Shell Dlg"));
    font.setPointSize(8);
    setFont(font);
    const DialogUnits units(font);
    setFixedSize(units.x(392), units.y(201));

    // The text stands as it has always read.
    auto* line = new QLabel(QStringLiteral("Failded to convert the following files:"), this);
    line->setGeometry(units.rect(7, 14, 355, 8));

    list_->setGeometry(units.rect(7, 29, 378, 165));
    SetControlId(list_, list_id);
    list_->setColumnCount(1);
    list_->setHeaderLabels({QStringLiteral("File Location")});
    list_->headerItem()->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    list_->header()->setStretchLastSection(false);
    list_->setColumnWidth(0, column_width);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setTextElideMode(Qt::ElideRight);

    for (const std::string& path : failed_paths) {
        add_row(path, std::string());
    }
}

CUnsupportedDlg::CUnsupportedDlg(const std::vector<FailedFile>& failed_files, QWidget* parent)
    : CUnsupportedDlg(std::vector<std::string>(), parent) {
    for (const FailedFile& file : failed_files) {
        add_row(file.path, file.reason);
    }
}

void CUnsupportedDlg::add_row(const std::string& path, const std::string& reason) {
    auto* row = new QTreeWidgetItem(list_);
    row->setText(0, QFile::decodeName(QByteArray::fromStdString(path)));
    row->setTextAlignment(0, Qt::AlignLeft | Qt::AlignVCenter);
    if (!reason.empty()) {
        row->setToolTip(0, QString::fromStdString(reason));
    }
}

void CUnsupportedDlg::reject() {
    accept();
}

void CUnsupportedDlg::keyPressEvent(QKeyEvent* event) {
    // No button takes Enter here, so the dialog does.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace morvane
