// The General page's controls, their filling from the settings and their writing back.
#include "settings/general_page.h"

#include "skin/control_id.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace morvane {

namespace {

// Only a box that is plainly on or off changes its field.
void store_check(const QCheckBox* box, int& field) {
    if (box->checkState() == Qt::Checked) {
        field = 1;
    } else if (box->checkState() == Qt::Unchecked) {
        field = 0;
    }
}

} // namespace

CGeneralPage::CGeneralPage(DesktopShell& shell, QWidget* parent)
    : SheetPage(QStringLiteral("General"), dialog_font(QStringLiteral("Microsoft Sans Serif"), 10),
                QSize(319, 207), parent),
      shell_(shell) {
    // Group boxes are drawn under the controls they frame, which are the page's own children.
    auto* output_box = new QGroupBox(QStringLiteral("Output Folder"), this);
    place(output_box, 7, 17, 298, 47);
    folder_ = new QLineEdit(this);
    folder_->setReadOnly(true);
    place(folder_, 10, 36, 194, 14);
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    place(browse_, 206, 36, 47, 14);
    open_ = new QPushButton(QStringLiteral("Open"), this);
    place(open_, 254, 36, 47, 14);

    auto* others_box = new QGroupBox(QStringLiteral("Others"), this);
    place(others_box, 7, 69, 298, 71);
    shutdown_ = new QCheckBox(QStringLiteral("Shutdown after convertion"), this);
    place(shutdown_, 38, 85, 110, 10);
    open_output_ = new QCheckBox(QStringLiteral("Open the output folder after convertion"), this);
    place(open_output_, 38, 103, 186, 10);
    topmost_ = new QCheckBox(QStringLiteral("Topmost"), this);
    place(topmost_, 38, 121, 43, 10);

    SetControlId(folder_, folder_id);
    SetControlId(browse_, browse_id);
    SetControlId(open_, open_id);
    SetControlId(shutdown_, shutdown_id);
    SetControlId(open_output_, open_output_id);
    SetControlId(topmost_, topmost_id);

    connect(browse_, &QPushButton::clicked, this, &CGeneralPage::OnBrowse);
    connect(open_, &QPushButton::clicked, this, &CGeneralPage::OnOpen);
}

void CGeneralPage::OnInitDialog() {
    if (settings_ == nullptr) {
        return;
    }
    shutdown_->setChecked(settings_->shutdown_after_batch != 0);
    topmost_->setChecked(settings_->topmost != 0);
    open_output_->setChecked(settings_->open_output_after_batch != 0);
    chosen_folder_.reset();
    folder_->setText(QFile::decodeName(QByteArray::fromStdString(settings_->output_folder)));
}

void CGeneralPage::OnApply() {
    if (settings_ == nullptr) {
        return;
    }
    store_check(shutdown_, settings_->shutdown_after_batch);
    store_check(topmost_, settings_->topmost);
    store_check(open_output_, settings_->open_output_after_batch);
    // The field is read-only, so only Browse changes it; paths are never cut.
    if (chosen_folder_) {
        settings_->output_folder = *chosen_folder_;
    }
}

void CGeneralPage::OnBrowse() {
    const std::optional<std::string> chosen = folder_picker_ ? folder_picker_(this) : std::nullopt;
    if (!chosen || chosen->empty()) {
        return;
    }
    std::string folder = *chosen;
    if (folder.back() != '/') {
        folder += '/';
    }
    folder_->setText(QFile::decodeName(QByteArray::fromStdString(folder)));
    chosen_folder_ = std::move(folder);
}

void CGeneralPage::OnOpen() {
    // The stored folder, not the field: a folder just chosen is not yet the output folder.
    // A failure shows nothing, as a folder that does not exist yet is no error here.
    if (settings_ != nullptr) {
        shell_.open_folder(settings_->output_folder);
    }
}

} // namespace morvane
