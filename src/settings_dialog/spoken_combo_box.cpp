// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings_dialog/spoken_combo_box.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>

namespace morvane {

namespace {

// The combo box to assistive technology: its role, its label's relation and its actions as
// Qt's own, and a text interface over the current text. The list that pops up is a window
// of its own, which Qt makes accessible as it shows.
class SpokenComboBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit SpokenComboBoxAccessible(SpokenComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox) {
        addControllingSignal(QStringLiteral("activated(int)"));
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        // The name is the label's (a buddy label), as for any control; the value is the text.
        if (kind == QAccessible::Value) {
            return box()->currentText();
        }
        return QAccessibleWidget::text(kind);
    }

    QStringList actionNames() const override {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name == showMenuAction() || name == pressAction()) {
            box()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    // The text: the current value, all of it selected.
    QString text(int start, int end) const override { return current().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(current().size()); }
    int selectionCount() const override { return current().isEmpty() ? 0 : 1; }
    void selection(int index, int* start, int* end) const override {
        *start = 0;
        *end = index == 0 ? characterCount() : 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return characterCount(); }
    void setCursorPosition(int) override {}
    QRect characterRect(int offset) const override {
        const QFontMetrics metrics = box()->fontMetrics();
        const QString before = current().left(offset);
        const QPoint origin = box()->mapToGlobal(QPoint(0, 0));
        return QRect(origin + QPoint(metrics.horizontalAdvance(before), 0),
                     QSize(metrics.horizontalAdvance(current().mid(offset, 1)), box()->height()));
    }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    QString current() const { return box()->currentText(); }
};

QAccessibleInterface* spoken_combo_box_accessible(const QString& class_name, QObject* object) {
    if (class_name == QLatin1String("morvane::SpokenComboBox")) {
        return new SpokenComboBoxAccessible(static_cast<SpokenComboBox*>(object));
    }
    return nullptr;
}

} // namespace

SpokenComboBox::SpokenComboBox(QWidget* parent) : QComboBox(parent) {
    // Qt keeps its factories in a list of its own; adding the same one twice is harmless.
    QAccessible::removeFactory(spoken_combo_box_accessible);
    QAccessible::installFactory(spoken_combo_box_accessible);
    connect(this, &QComboBox::currentTextChanged, this, &SpokenComboBox::report_new_text);
}

void SpokenComboBox::report_new_text(const QString& text) {
    const bool changed = text != reported_text_;
    reported_text_ = text;
    if (!QAccessible::isActive() || !changed) {
        return;
    }
    // Told as text put in, not as the old text replaced: Orca would say "selection deleted"
    // of the old one first.
    QAccessibleTextInsertEvent put_in(this, 0, text);
    QAccessible::updateAccessibility(&put_in);
}

} // namespace morvane
