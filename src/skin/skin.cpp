// SPDX-License-Identifier: GPL-3.0-or-later
// Reading Skin.xml and creating the controls it describes.
#include "skin/skin.h"

#include "skin/skin_button.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QtDebug>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tinyxml2.h>

namespace morvane {

namespace {

constexpr const char* skin_file_name = "Skin.xml";
// The longest path the system opens, terminator included.
constexpr std::size_t max_path_bytes = PATH_MAX;
// Widget coordinates beyond Qt's own limit would overflow its arithmetic.
constexpr long largest_coordinate = QWIDGETSIZE_MAX;

void report(const std::string& line) {
    qWarning().noquote() << "Morvane skin:" << QString::fromStdString(line);
}

std::string where(const tinyxml2::XMLElement& element) {
    return "line " + std::to_string(element.GetLineNum());
}

// As atoi reads it: leading white space, a sign, decimal digits up to the first other
// character; no digits give 0. Out-of-range values saturate instead of being undefined.
int parse_integer(const char* text) {
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
            *edge = parse_integer(value);
        }
        return edge != nullptr;
    }
    const char* missing_edge() const {
        return !left ? "left" : !top ? "top" : !right ? "right" : !bottom ? "bottom" : nullptr;
    }
    // Right and bottom are exclusive; a reversed edge gives an empty control.
    QRect geometry() const {
        const auto clamp = [](int v) {
            return static_cast<int>(std::clamp<long>(v, -largest_coordinate, largest_coordinate));
        };
        const int l = clamp(*left);
        const int t = clamp(*top);
        return {l, t, std::max(0, clamp(*right) - l), std::max(0, clamp(*bottom) - t)};
    }
};

// The skin folder followed by a file name, or nothing (and a line on stderr) when the
// result is longer than the system can open.
std::optional<std::string> join_skin_path(const std::string& folder, const char* name) {
    std::string path = folder + name;
    if (path.size() + 1 > max_path_bytes) {
        report("path longer than " + std::to_string(max_path_bytes - 1) +
               " bytes ignored: " + path.substr(0, 80) + "...");
        return std::nullopt;
    }
    return path;
}

// Reads the whole skin file; a directory, a device or a huge file is refused with a warning
// rather than read.
bool read_skin_file(const std::string& path, std::string& content) {
    constexpr qint64 largest_skin_file = 4 * 1024 * 1024;
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    // Looked at before it is opened: opening a named pipe would wait for a writer forever.
    const QFileInfo info(name);
    QString problem;
    QFile file(name);
    if (!info.exists()) {
        problem = QStringLiteral("no such file");
    } else if (!info.isFile()) {
        problem = QStringLiteral("not a regular file");
    } else if (info.size() > largest_skin_file) {
        problem = QStringLiteral("larger than %1 bytes").arg(largest_skin_file);
    } else if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            problem = file.errorString();
        }
        content.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    if (!problem.isEmpty()) {
        report("cannot read " + path + ": " + problem.toStdString() +
               "; the window stays unskinned");
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
    const std::optional<std::string> file_path = join_skin_path(folder_, skin_file_name);
    if (!file_path) {
        return false;
    }
    std::string content;
    if (!read_skin_file(*file_path, content)) {
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
        const std::optional<std::string> path = join_skin_path(folder_, image);
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
        // "previewwnd" and "scrollbar" elements are accepted and make nothing: they only held
        // a place (no skin's window scrolls).
        if (is(type, "button")) {
            create_button(*element);
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
            id = parse_integer(value);
        } else if (is(name, "image")) {
            image = value;
        } else if (is(name, "count")) {
            count = parse_integer(value);
        } else if (is(name, "hor")) {
            horizontal = parse_integer(value) != 0;
        } else if (is(name, "owndraw")) {
            owner_drawn = parse_integer(value) != 0;
        }
    }
    if (const char* missing = rectangle.missing_edge()) {
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
    const std::optional<std::string> path = join_skin_path(folder_, image->c_str());
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

bool Skin::fit_owner() {
    if (owner_ == nullptr || background_.is_null()) {
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
    if (background_.is_null()) {
        return;
    }
    const QPixmap& pixmap = background_.for_ratio(painter.device()->devicePixelRatioF());
    painter.drawPixmap(QRect(QPoint(0, 0), background_.size()), pixmap);
}

} // namespace morvane
