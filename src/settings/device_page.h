// The Devices page of the settings sheet: the target player, chosen in a list and shown
// with its picture, screen resolution and output formats.
#pragma once

#include "jobs/device_table.h"
#include "settings/app_settings.h"
#include "settings/sheet_page.h"

class QComboBox;
class QLabel;

namespace morvane {

class CImgCtrl;
class CSeparator;

class CDevicePage : public SheetPage {
    Q_OBJECT

public:
    static constexpr int resolution_id = 1011;
    static constexpr int video_format_id = 1012;
    static constexpr int audio_format_id = 1013;
    static constexpr int separator_id = 1014;
    static constexpr int device_list_id = 1019;
    static constexpr int picture_id = 1021;

    explicit CDevicePage(QWidget* parent = nullptr);

    // Both must outlive the sheet's run.
    void set_device_table(const DeviceTable* table) { device_table_ = table; }
    void set_settings(AppSettings* settings) { settings_ = settings; }

    // The device chosen in the list; meaningful while the page is opened.
    int pending_device_index() const { return pending_device_index_; }
    const CImgCtrl& picture() const { return *picture_; }

protected:
    void OnInitDialog() override;
    void OnApply() override;

private:
    void OnSelectionChange(int index);
    void show_device_picture();
    void show_device_details();
    const DeviceProfile* pending_profile() const;

    CSeparator* separator_;
    CImgCtrl* picture_;
    int pending_device_index_ = 0;
    const DeviceTable* device_table_ = nullptr;
    AppSettings* settings_ = nullptr;
    QComboBox* device_list_;
    QLabel* resolution_;
    QLabel* video_format_;
    QLabel* audio_format_;
};

} // namespace morvane
