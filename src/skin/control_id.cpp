// Control identifiers kept as a dynamic property, so that any widget can carry one.
#include "skin/control_id.h"

#include <QVariant>
#include <QWidget>

namespace morvane {

namespace {

constexpr const char* kControlIdProperty = "morvaneControlId";

} // namespace

void SetControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

int ControlId(const QWidget* control) {
    return control->property(kControlIdProperty).toInt();
}

QWidget* FindControl(const QWidget* parent, int id) {
    const auto children = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->property(kControlIdProperty).isValid() && ControlId(child) == id) {
            return child;
        }
    }
    return nullptr;
}

} // namespace morvane
