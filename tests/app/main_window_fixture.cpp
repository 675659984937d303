// SPDX-License-Identifier: GPL-3.0-or-later
// The main window tests' fixture.
#include "main_window_fixture.h"

#include "conversion_window/conversion_controller.h"
#include "conversion_window/drop_area.h"
#include "support/media_presets.h"
#include "support/media_writer.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>

namespace morvane::test {

namespace fs = std::filesystem;

void drop_files(QWidget* target, const std::vector<std::string>& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
    data.setUrls(urls);
    const QPointF where(target->width() / 2.0, target->height() / 2.0);
    QDragEnterEvent enter(where.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    ASSERT_TRUE(drop.isAccepted());
}

MainWindowFixture::MainWindowFixture() {
    fs::copy(fs::path(MORVANE_ASSETS_DIR), module_folder.path(), fs::copy_options::recursive);
    location.data_folder = module_folder.path().string() + "/";
    location.config_directory = config_folder.path().string() + "/";
    location.default_output_folder = output_folder.path().string() + "/";
}

std::unique_ptr<MainWindow> MainWindowFixture::open_window() {
    auto window = std::make_unique<MainWindow>(location, shell);
    // Progress as often as there is news: no clip has to outlast a half-second throttle.
    window->conversion()->set_report_interval(std::chrono::milliseconds(1));
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    return window;
}

void MainWindowFixture::write_config(const std::string& text) {
    std::ofstream(location.config_file()) << "[Common]\n" << text;
}

std::string MainWindowFixture::config() const {
    std::ifstream file(location.config_file());
    return std::string((std::istreambuf_iterator<char>(file)), {});
}

std::string MainWindowFixture::tone(const std::string& name) {
    write_media(media.file(name), wav_pcm(44100, 2, 2.0));
    return media.file(name).string();
}

std::string MainWindowFixture::clip(const std::string& name, double seconds, QSize size) {
    write_media(media.file(name), mp4_h264_aac(size.width(), size.height(), {25, 1}, seconds));
    return media.file(name).string();
}

std::set<std::string> MainWindowFixture::outputs() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_folder.path())) {
        const std::string name = entry.path().filename().string();
        if (name.front() != '.') { // a conversion's hidden temporary
            names.insert(name);
        }
    }
    return names;
}

} // namespace morvane::test
