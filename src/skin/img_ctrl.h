// Shows one picture at its own size, centred on a white field (the Devices page's device
// picture). A picture larger than the control is centred and clipped, never scaled.
#pragma once

#include "platform/image.h"

#include <QWidget>
#include <string>

namespace morvane {

class CImgCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CImgCtrl(QWidget* parent = nullptr);

    // Replaces the picture with the file at path (any format Image reads) and repaints.
    // False when it could not be loaded: the control then shows the white field only.
    bool LoadPicture(const std::string& path);
    const Image& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Image m_image;
};

} // namespace morvane
