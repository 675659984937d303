// The placeholder keeps its identifier and swallows clicks; Qt paints nothing for it.
#include "skin/preview_wnd.h"

#include "skin/control_id.h"

namespace morvane {

CPreviewWnd::CPreviewWnd(int id, QWidget* parent) : QWidget(parent) {
    SetControlId(this, id);
    setAttribute(Qt::WA_NoMousePropagation);
}

} // namespace morvane
