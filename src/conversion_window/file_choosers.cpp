// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion_window/file_choosers.h"

#include "jobs/input_collector.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace morvane {

namespace {

QString words(const char* text) {
    return QCoreApplication::translate("morvane::DropArea", text);
}

} // namespace

QString media_file_filter() {
    QStringList patterns;
    for (const std::string& extension : media_extensions()) {
        patterns << QStringLiteral("*.") + QString::fromStdString(extension);
    }
    return words("Audio and video files (%1)").arg(patterns.join(QLatin1Char(' '))) +
           QStringLiteral(";;") + words("All files (*)");
}

std::vector<std::string> choose_folder_with_dialog(QWidget* parent) {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, words("Add a Folder to Convert"));
    if (chosen.isEmpty()) {
        return {};
    }
    return {QFile::encodeName(chosen).toStdString()};
}

std::vector<std::string> choose_files_with_dialog(QWidget* parent) {
    // Some two hundred extensions: the filter shows by its name alone.
    const QStringList chosen = QFileDialog::getOpenFileNames(
        parent, words("Add Files to Convert"), QString(), media_file_filter(), nullptr,
        QFileDialog::HideNameFilterDetails);
    std::vector<std::string> paths;
    for (const QString& file : chosen) {
        paths.push_back(QFile::encodeName(file).toStdString());
    }
    return paths;
}

} // namespace morvane
