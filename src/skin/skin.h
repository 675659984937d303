// The skin of a frameless window: reads the folder's "Skin.xml", loads the background
// picture the owner is sized to and paints, and creates the skinned buttons, scrollbars
// and placeholders it lists as children of the owner. A damaged skin never stops the
// owner: it comes up unskinned, or without the damaged control, and one line on stderr
// says why.
#pragma once

#include "platform/image.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace tinyxml2 {
class XMLElement;
}

namespace morvane {

class CSkin {
public:
    explicit CSkin(QWidget* owner = nullptr);
    // Deletes the controls created from the file that still exist.
    virtual ~CSkin();
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    void SetOwner(QWidget* owner) { m_pOwner = owner; }
    QWidget* owner() const { return m_pOwner; }

    // Reads skin_dir + "Skin.xml" (skin_dir ends in '/'; one is added when missing), loads
    // the background and creates the controls. Replaces what an earlier call created.
    // False when the file could not be used at all (no owner, missing, not well-formed, no
    // root or window element, path too long): the owner is then left unskinned.
    bool LoadSkin(const std::string& skin_dir);
    // Resizes the owner to the background, keeping its position. False, and nothing
    // changes, without a background.
    bool FitOwnerToBackground();
    // The owner's paint: the background unscaled at (0, 0), when there is one.
    void DrawBackground(QPainter& painter) const;
    // Sends the control identifier of every click on a skin button to handler, for as long
    // as the owner lives.
    void ConnectCommands(const std::function<void(int)>& handler) const;

    const std::string& skinDir() const { return m_szSkinDir; }
    const Image& background() const { return m_imgBackground; }
    // The created controls that still exist, in creation order.
    std::vector<QWidget*> controls() const;

protected:
    void CreateSkinButton(const tinyxml2::XMLElement& element);
    void CreateSkinScrollbar(const tinyxml2::XMLElement& element);
    void CreateSkinPreview(const tinyxml2::XMLElement& element);

    QWidget* m_pOwner;
    std::string m_szSkinDir;
    Image m_imgBackground;
    std::vector<QPointer<QWidget>> m_controls;

private:
    void Clear();
};

} // namespace morvane
