// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog shown after a batch in which files failed or did not reach the player: under
// "These files were not converted:" each file that failed, and under "Converted, not sent to
// the player:" each one that converted but could not be sent, in the order they ended, each
// row its path and, below it, why; and a Close button. A screen reader hears the first row as
// the dialog opens, each row as one sentence ("…/broken.mkv: no picture could be decoded").
#pragma once

#include "jobs/failed_file.h"

#include <QDialog>
#include <vector>

class QTreeWidget;

namespace morvane {

class FailedFilesDialog : public QDialog {
    Q_OBJECT

public:
    FailedFilesDialog(const std::vector<FailedFile>& failed_files,
                      const std::vector<FailedFile>& not_sent_files, QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    // The chosen row's colours: its text stands out from the selection colour.
    void fit_list_colours();
    // A heading and its list; none when there are no files.
    QTreeWidget* add_list(const std::vector<FailedFile>& files, const QString& heading,
                          const QString& name, const QString& object_name);
};

} // namespace morvane
