// The Video&Audio page's quality buttons.
#include "settings/av_setting.h"

#include "skin/control_id.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>

namespace morvane {

CAVSetting::CAVSetting(QWidget* parent)
    : SheetPage(QStringLiteral("Video&Audio"), dialog_font(QStringLiteral("MS Shell Dlg"), 8),
                QSize(354, 218), parent),
      buttons_(new QButtonGroup(this)) {
    place(new QGroupBox(QStringLiteral("Video Quality"), this), 20, 18, 314, 81);
    int y = 31;
    for (const Quality& quality : qualities) {
        auto* button = new QRadioButton(QString::fromLatin1(quality.text), this);
        place(button, 35, y, 78, 10);
        SetControlId(button, quality.id);
        buttons_->addButton(button, quality.bit_rate);
        y += 17;
    }
    connect(buttons_, &QButtonGroup::idClicked, this,
            [this](int bit_rate) { pending_bit_rate_ = bit_rate; });
}

void CAVSetting::OnInitDialog() {
    if (settings_ == nullptr) {
        return;
    }
    pending_bit_rate_ = settings_->quality_bit_rate;
    // No button is checked for a rate that none offers.
    buttons_->setExclusive(false);
    for (QAbstractButton* button : buttons_->buttons()) {
        button->setChecked(buttons_->id(button) == pending_bit_rate_);
    }
    buttons_->setExclusive(true);
}

void CAVSetting::OnApply() {
    if (settings_ != nullptr) {
        settings_->quality_bit_rate = pending_bit_rate_;
    }
}

} // namespace morvane
