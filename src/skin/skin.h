// SPDX-License-Identifier: GPL-3.0-or-later
// The skin of a frameless window: reads the folder's "Skin.xml", loads the background the
// owner is sized to, shaped by and painted with, and creates the skinned buttons it lists
// as children of the owner. A button's id says what it does (1000 minimise, 1001 close, 1002
// settings). A damaged skin never stops the owner: it comes up unskinned, or without the
// damaged control, and one warning (qWarning) says why.
#pragma once

#include "skin/skin_button.h"
#include "skin/skin_pixmap.h"

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

class QPainter;

namespace tinyxml2 {
class XMLElement;
}

namespace morvane {

class Skin {
public:
    static constexpr int minimise_id = 1000;
    static constexpr int close_id = 1001;
    static constexpr int settings_id = 1002;

    explicit Skin(QWidget* owner);
    // Deletes the controls it created that still exist.
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Reads folder + "Skin.xml" (a missing final '/' is added), loads the background and
    // creates the controls, replacing what an earlier call made. False when the file could
    // not be used at all (missing, not well-formed, no root or window element, path too
    // long): the owner is then left unskinned.
    bool load(const std::string& folder);
    // Gives the owner the background's size and, where the background is transparent (the
    // key colour), its shape. False, and nothing changes, without a background.
    bool fit_owner();
    // The owner's paint: the background at (0, 0), at the painter's device pixel ratio.
    void paint_background(QPainter& painter) const;

    const std::string& folder() const { return folder_; }
    const SkinPixmap& background() const { return background_; }
    // The buttons the file gave these commands, or null.
    SkinButton* minimise_button() const { return minimise_; }
    SkinButton* close_button() const { return close_; }
    SkinButton* settings_button() const { return settings_; }
    // The created controls that still exist, in the file's order.
    std::vector<QWidget*> controls() const;

private:
    void clear();
    void create_button(const tinyxml2::XMLElement& element);

    QWidget* owner_;
    std::string folder_;
    SkinPixmap background_;
    std::vector<QPointer<QWidget>> controls_;
    QPointer<SkinButton> minimise_;
    QPointer<SkinButton> close_;
    QPointer<SkinButton> settings_;
};

} // namespace morvane
