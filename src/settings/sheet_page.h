// A page of the settings sheet. The page objects live as long as their owner (the main
// window) and are lent to one sheet at a time; "opened" means the page was shown in the
// running sheet, which is when it reads the settings, and only an opened page writes them
// back when the sheet is closed with OK.
#pragma once

#include "settings/dialog_units.h"

#include <QString>
#include <QWidget>

namespace morvane {

class SheetPage : public QWidget {
    Q_OBJECT

public:
    // template_units is the page's size in dialog units of font, which its controls use.
    SheetPage(const QString& caption, const QFont& font, QSize template_units,
              QWidget* parent = nullptr);

    // The title the sheet lists the page under and shows in its header band.
    QString caption() const { return caption_; }
    // The template's size in pixels.
    QSize template_size() const;
    bool was_opened() const { return opened_; }

    // Called by the sheet: the first open of a run initialises the page from the settings;
    // apply writes them back if the page was opened; close ends the run.
    void open_page();
    bool apply_page();
    void close_page();

protected:
    // Fills the controls from the settings.
    virtual void OnInitDialog() {}
    // Commits the controls into the settings.
    virtual void OnApply() {}

    const DialogUnits& units() const { return units_; }
    // A control placed at a template rectangle in dialog units.
    void place(QWidget* control, int x, int y, int width, int height) const;

private:
    QString caption_;
    DialogUnits units_;
    QSize template_units_;
    bool opened_ = false;
};

} // namespace morvane
