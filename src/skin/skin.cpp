// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Skin.xml and creating the controls it describes.
#include "skin/skin.h"

#include "skin/skin_button.h"
#include "skin/skin_scroll_bar.h"

#include <QPainter>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <tinyxml2.h>

namespace morvane {

namespace {

constexpr const char* kSkinFileName = "Skin.xml";
// The longest path the system opens, terminator included.
constexpr std::size_t kMaxPathBytes = PATH_MAX;
// Widget coordinates beyond Qt's own limit would overflow its arithmetic.
constexpr long kLargestCoordinate = QWIDGETSIZE_MAX;

void report(const std::string& line) {
    std::fprintf(stderr, "Morvane skin: %s\n", line.c_str());
}

std::string where(const tinyxml2::XMLElement& element) {
    return "line " + std::to_string(element.GetLineNum());
}

// As atoi reads it: leading white space, a sign, decimal digits up to the first other
// character; no digits give 0. Out-of-range values saturate instead of being undefined.
int parseInteger(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

struct Rectangle {
    std::optional<int> left, top, right, bottom;

    bool read(const char* name, const char* value) {
        std::optional<int>* edge = std::strcmp(name, "left") == 0     ? &left
                                   : std::strcmp(name, "top") == 0    ? &top
                                   : std::strcmp(name, "right") == 0  ? &right
                                   : std::strcmp(name, "bottom") == 0 ? &bottom
                                                                      : nullptr;
        if (edge != nullptr) {
            *edge = parseInteger(value);
        }
        return edge != nullptr;
    }
    const char* missingEdge() const {
        return !left ? "left" : !top ? "top" : !right ? "right" : !bottom ? "bottom" : nullptr;
    }
    // Right and bottom are exclusive; a reversed edge gives an empty control.
    QRect geometry() const {
        const auto clamp = [](int v) {
            return static_cast<int>(std::clamp<long>(v, -kLargestCoordinate, kLargestCoordinate));
        };
        const int l = clamp(*left);
        const int t = clamp(*top);
        return {l, t, std::max(0, clamp(*right) - l), std::max(0, clamp(*bottom) - t)};
    }
};

// The skin folder followed by a file name, or nothing (and a line on stderr) when the
// result is longer than the system can open.
std::optional<std::string> joinSkinPath(const std::string& folder, const char* name) {
    std::string path = folder + name;
    if (path.size() + 1 > kMaxPathBytes) {
        report("path longer than " + std::to_string(kMaxPathBytes - 1) +
               " bytes ignored: " + path.substr(0, 80) + "...");
        return std::nullopt;
    }
    return path;
}

// Reads the whole skin file; a directory, a device or a huge file is refused with a line
// on stderr rather than read.
bool readSkinFile(const std::string& path, std::string& content) {
    constexpr off_t kLargestSkinFile = 4 * 1024 * 1024;
    std::string problem;
    struct stat status {};
    // Looked at before it is opened: opening a named pipe would wait for a writer forever.
    if (stat(path.c_str(), &status) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        problem = "not a regular file";
    } else if (status.st_size > kLargestSkinFile) {
        problem = "larger than " + std::to_string(kLargestSkinFile) + " bytes";
    } else {
        const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
        content.resize(static_cast<std::size_t>(status.st_size));
        if (!file) {
            problem = std::strerror(errno);
        } else if (std::fread(content.data(), 1, content.size(), file.get()) != content.size()) {
            problem = "read error";
        }
    }
    if (!problem.empty()) {
        report("cannot read " + path + ": " + problem + "; the window stays unskinned");
        return false;
    }
    return true;
}

bool is(const char* name, const char* wanted) {
    return std::strcmp(name, wanted) == 0;
}

} // namespace

Skin::Skin(QWidget* owner) : owner_(owner) {}

Skin::~Skin() {
    clear();
}

void Skin::clear() {
    for (const QPointer<QWidget>& control : controls_) {
        delete control.data();
    }
    controls_.clear();
    background_ = SkinPixmap();
}

std::vector<QWidget*> Skin::controls() const {
    std::vector<QWidget*> alive;
    for (const QPointer<QWidget>& control : controls_) {
        if (control) {
            alive.push_back(control.data());
        }
    }
    return alive;
}

bool Skin::load(const std::string& folder) {
    clear();
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') {
        folder_ += '/';
    }
    if (owner_ == nullptr) {
        report("no owner window to skin");
        return false;
    }
    const std::optional<std::string> file_path = joinSkinPath(folder_, kSkinFileName);
    if (!file_path) {
        return false;
    }
    std::string content;
    if (!readSkinFile(*file_path, content)) {
        return false;
    }
    tinyxml2::XMLDocument document;
    if (document.Parse(content.data(), content.size()) != tinyxml2::XML_SUCCESS) {
        report(*file_path + " is not well-formed (" + document.ErrorStr() +
               "); the window stays unskinned");
        return false;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr) {
        report(*file_path + " has no root element; the window stays unskinned");
        return false;
    }
    const tinyxml2::XMLElement* window = root->FirstChildElement();
    if (window == nullptr) {
        report(*file_path + " has no window element; the window stays unskinned");
        return false;
    }

    // "resize_l", "resize_t", "resize_r" and "resize_b" are accepted and have no effect:
    // the background is always drawn at its own size.
    if (const char* image = window->Attribute("image")) {
        const std::optional<std::string> path = joinSkinPath(folder_, image);
        if (path && !background_.load(*path)) {
            report("cannot load background image " + *path);
        }
    }

    for (const tinyxml2::XMLElement* element = window->FirstChildElement(); element;
         element = element->NextSiblingElement()) {
        const char* type = element->Attribute("type");
        if (type == nullptr) {
            continue;
        }
        // "previewwnd" placeholders are accepted and make nothing: they only held a place.
        if (is(type, "button")) {
            create_button(*element);
        } else if (is(type, "scrollbar")) {
            create_scroll_bar(*element);
        }
    }
    return true;
}

void Skin::create_button(const tinyxml2::XMLElement& element) {
    int id = 0;
    Rectangle rectangle;
    std::optional<std::string> image;
    std::optional<int> count;
    bool horizontal = true;
    bool owner_drawn = false;
    for (const tinyxml2::XMLAttribute* attribute = element.FirstAttribute(); attribute;
         attribute = attribute->Next()) {
        const char* name = attribute->Name();
        const char* value = attribute->Value();
        if (rectangle.read(name, value)) {
            continue;
        }
        if (is(name, "id")) {
            id = parseInteger(value);
        } else if (is(name, "image")) {
            image = value;
        } else if (is(name, "count")) {
            count = parseInteger(value);
        } else if (is(name, "hor")) {
            horizontal = parseInteger(value) != 0;
        } else if (is(name, "owndraw")) {
            owner_drawn = parseInteger(value) != 0;
        }
    }
    if (const char* missing = rectangle.missingEdge()) {
        report(where(element) + ": button " + std::to_string(id) + " has no \"" + missing +
               "\"; skipped");
        return;
    }
    if (!image) {
        report(where(element) + ": button " + std::to_string(id) + " has no \"image\"; skipped");
        return;
    }
    if (!count || *count < 1) {
        report(where(element) + ": button " + std::to_string(id) +
               " needs a \"count\" of at least 1; skipped");
        return;
    }
    const std::optional<std::string> path = joinSkinPath(folder_, image->c_str());
    if (!path) {
        return;
    }

    auto* button = new SkinButton(owner_drawn, owner_);
    button->setGeometry(rectangle.geometry());
    if (!button->load_strip(*path, *count, horizontal)) {
        report("cannot load button image " + *path);
    }
    button->show();
    controls_.emplace_back(button);
    // The first button of each command carries it; others are only pictures.
    QPointer<SkinButton>* command = id == minimise_id   ? &minimise_
                                    : id == close_id    ? &close_
                                    : id == settings_id ? &settings_
                                                        : nullptr;
    if (command != nullptr && command->isNull()) {
        *command = button;
    }
}

void Skin::create_scroll_bar(const tinyxml2::XMLElement& element) {
    int id = 0;
    Rectangle rectangle;
    std::optional<std::string> buttons_image;
    std::optional<std::string> bar_image;
    for (const tinyxml2::XMLAttribute* attribute = element.FirstAttribute(); attribute;
         attribute = attribute->Next()) {
        const char* name = attribute->Name();
        const char* value = attribute->Value();
        // "thumb_image" and "thumb_resize_offset" are accepted: nothing draws a thumb.
        if (rectangle.read(name, value)) {
            continue;
        }
        if (is(name, "id")) {
            id = parseInteger(value);
        } else if (is(name, "buttons_image")) {
            buttons_image = value;
        } else if (is(name, "bar_image")) {
            bar_image = value;
        }
    }
    const char* missing = rectangle.missingEdge();
    if (missing == nullptr && !buttons_image) {
        missing = "buttons_image";
    }
    if (missing == nullptr && !bar_image) {
        missing = "bar_image";
    }
    if (missing != nullptr) {
        report(where(element) + ": scrollbar " + std::to_string(id) + " has no \"" + missing +
               "\"; skipped");
        return;
    }
    const std::optional<std::string> bar_path = joinSkinPath(folder_, bar_image->c_str());
    const std::optional<std::string> buttons_path = joinSkinPath(folder_, buttons_image->c_str());
    if (!bar_path || !buttons_path) {
        return;
    }

    auto* scrollbar = new SkinScrollBar(owner_);
    scrollbar->setGeometry(rectangle.geometry());
    if (!scrollbar->load_images(*bar_path, *buttons_path)) {
        report("cannot load scrollbar images " + *bar_path + ", " + *buttons_path);
    }
    scrollbar->show();
    controls_.emplace_back(scrollbar);
}

bool Skin::fit_owner() {
    if (owner_ == nullptr || background_.isNull()) {
        return false;
    }
    const QSize size = background_.size();
    owner_->resize(size);
    const QRegion shape = background_.opaque_region(QRect(QPoint(0, 0), size));
    if (shape == QRegion(QRect(QPoint(0, 0), size)) || shape.isEmpty()) {
        owner_->clearMask();
    } else {
        owner_->setMask(shape);
    }
    owner_->update();
    return true;
}

void Skin::paint_background(QPainter& painter) const {
    if (background_.isNull()) {
        return;
    }
    const QPixmap& pixmap = background_.for_ratio(painter.device()->devicePixelRatioF());
    painter.drawPixmap(QRect(QPoint(0, 0), background_.size()), pixmap);
}

} // namespace morvane
