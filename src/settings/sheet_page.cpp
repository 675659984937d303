// Opening, applying and closing a settings page.
#include "settings/sheet_page.h"

namespace morvane {

SheetPage::SheetPage(const QString& caption, const QFont& font, QSize template_units,
                     QWidget* parent)
    : QWidget(parent), caption_(caption), units_(font), template_units_(template_units) {
    setFont(font);
    hide();
}

QSize SheetPage::template_size() const {
    return units_.rect(0, 0, template_units_.width(), template_units_.height()).size();
}

void SheetPage::open_page() {
    if (opened_) {
        return;
    }
    opened_ = true;
    OnInitDialog();
}

bool SheetPage::apply_page() {
    if (!opened_) {
        return false;
    }
    OnApply();
    return true;
}

void SheetPage::close_page() {
    opened_ = false;
    hide();
}

void SheetPage::place(QWidget* control, int x, int y, int width, int height) const {
    control->setGeometry(units_.rect(x, y, width, height));
}

} // namespace morvane
