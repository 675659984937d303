// The failed-files dialog shown after a batch: the full path of each file that could not be
// converted, one row each in the order they failed. Purely informative: Enter, Escape and
// the close button all end it alike, as an acknowledgement.
#pragma once

#include "jobs/failed_file.h"

#include <QDialog>
#include <string>
#include <vector>

class QTreeWidget;

namespace morvane {

class CUnsupportedDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int list_id = 1001;
    static constexpr int column_width = 550;

    // The list is read here only. Without a parent the application's active window owns it.
    explicit CUnsupportedDlg(const std::vector<std::string>& failed_paths,
                             QWidget* parent = nullptr);
    // As above; each row's tooltip tells why that file failed.
    explicit CUnsupportedDlg(const std::vector<FailedFile>& failed_files,
                             QWidget* parent = nullptr);

    QTreeWidget* list() const { return list_; }

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void add_row(const std::string& path, const std::string& reason);

    QTreeWidget* list_;
};

} // namespace morvane
