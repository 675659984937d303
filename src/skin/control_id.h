// Numeric control identifiers on widgets: every skinned control keeps the identifier it
// was created with, and its owner finds it again by that number.
#pragma once

class QWidget;

namespace morvane {

void SetControlId(QWidget* control, int id);
// The identifier given with SetControlId, or 0 (the skin file's default) when none was.
int ControlId(const QWidget* control);
// The first direct child of parent with that identifier, or null.
QWidget* FindControl(const QWidget* parent, int id);

} // namespace morvane
