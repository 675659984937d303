// The empty placeholder a skin may declare ("previewwnd"): it takes its place and its
// clicks and draws nothing, so the owner's background shows through.
#pragma once

#include <QWidget>

namespace morvane {

class CPreviewWnd : public QWidget {
    Q_OBJECT

public:
    CPreviewWnd(int id, QWidget* parent);
};

} // namespace morvane
