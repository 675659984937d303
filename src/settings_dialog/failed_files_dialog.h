// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog shown after a batch in which files failed: each file with the reason it could
// not be converted, in the order they failed, and a Close button.
#pragma once

#include "jobs/failed_file.h"

#include <QDialog>
#include <vector>

class QTreeWidget;

namespace morvane {

class FailedFilesDialog : public QDialog {
    Q_OBJECT

public:
    explicit FailedFilesDialog(const std::vector<FailedFile>& failed_files,
                               QWidget* parent = nullptr);
};

} // namespace morvane
