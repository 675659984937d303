// SPDX-License-Identifier: GPL-3.0-or-later
// Where files are dropped: the chosen device's picture and below it, between batches, the
// player the files go to (with "Eject"), the prompt or the last batch's summary (with its link
// to the files that did not make it), and during a batch the progress panel. It is the view
// only: what it shows comes from the ConversionController, what the user does goes out as
// signals.
//
// It is a button too: a click, Return or Space opens the file chooser (as Ctrl+O does), its
// menu adds a folder, and to assistive technology it is a push button with a press action.
#pragma once

#include "skin/skin_pixmap.h"

#include <QAbstractButton>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

namespace morvane {

class Announcer;
class LinkButton;
class ProgressPanel;

class DropArea : public QAbstractButton {
    Q_OBJECT

public:
    // Asks the user for files, or a folder, to convert; empty when they chose none.
    using FileChooser = std::function<std::vector<std::string>(QWidget* parent)>;

    // skin_folder holds the stop button's picture (stop.bmp).
    explicit DropArea(const std::string& skin_folder, QWidget* parent = nullptr);

    void set_file_chooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    void set_folder_chooser(FileChooser chooser) { folder_chooser_ = std::move(chooser); }
    // The chooser, then files_added with what was chosen.
    void choose_files();
    void choose_folder();

    void show_device_picture(const std::string& path);
    // Between batches: the prompt or the summary, and the link to the files that did not make
    // it (hidden when `link` is empty).
    void show_idle_text(const QString& text, const QString& link = {});
    // The player's line: "Send to: PSP 'STICK' — 12.4 GB free", or whatever the controller
    // says of it (an eject's result, that the device cannot receive files); with "Eject
    // <title>" below it when `eject_title` is not empty. An empty text hides both.
    struct PlayerLine {
        QString title;       // "PSP 'STICK'"; the line says "Send to: <title>" when set
        QString free_space;  // "12.4 GB", when known
        QString text;        // said instead, when set
        QString eject_title; // "Eject <title>" is offered
    };
    void show_player_line(const PlayerLine& line);
    // The progress panel replaces the idle texts, or they come back; the keyboard goes
    // where a keyboard user goes next, never on to the minimise button.
    void show_batch_running(bool running);
    // Stop was pressed: the keyboard leaves the button it disables for the area.
    void show_stopping();

    bool drop_highlighted() const { return drop_highlighted_; }
    // The parts a person reads (and tests look at).
    QLabel* status_label() const { return status_label_; }
    QLabel* player_label() const { return player_label_; }
    LinkButton* eject_link() const { return eject_link_; }
    LinkButton* failed_files_link() const { return failed_files_link_; }
    ProgressPanel* progress_panel() const { return progress_panel_; }
    QLabel* file_label() const;
    QLabel* count_label() const;
    QProgressBar* progress_bar() const;
    QAbstractButton* stop_button() const;
    Announcer* announcer() const { return announcer_; }

signals:
    void files_added(const std::vector<std::string>& paths); // dropped or chosen
    void stop_clicked();
    void eject_clicked();
    void failed_files_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override; // the player's line fits the new width
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void add_chosen(const std::vector<std::string>& paths);
    void set_drop_highlighted(bool highlighted);
    void lay_out_player_line();

    SkinPixmap device_picture_; // with its @2x art where there is some
    FileChooser chooser_;
    FileChooser folder_chooser_;
    PlayerLine player_line_;

    QWidget* idle_panel_ = nullptr;
    QLabel* player_label_ = nullptr;
    LinkButton* eject_link_ = nullptr;
    QLabel* status_label_ = nullptr;
    LinkButton* failed_files_link_ = nullptr;
    ProgressPanel* progress_panel_ = nullptr;
    Announcer* announcer_ = nullptr;
    bool drop_highlighted_ = false;
};

} // namespace morvane
