// The Video&Audio page: a choice of four video qualities, kept as a bit rate. The main window
// builds it and gives it the settings, but does not offer it in the sheet; conversions take
// their bit rate from the device.
#pragma once

#include "settings/app_settings.h"
#include "settings/sheet_page.h"

#include <array>

class QButtonGroup;
class QRadioButton;

namespace morvane {

class CAVSetting : public SheetPage {
    Q_OBJECT

public:
    struct Quality {
        int id;
        const char* text;
        int bit_rate; // bits per second
    };
    static constexpr std::array<Quality, 4> qualities{{
        {1032, "Highest Quality", 2500000},
        {1028, "Higher Quality", 1500000},
        {1029, "Normal Quality", 1200000},
        {1030, "Lower Quality", 800000},
    }};

    explicit CAVSetting(QWidget* parent = nullptr);

    void set_settings(AppSettings* settings) { settings_ = settings; }
    int pending_bit_rate() const { return pending_bit_rate_; }

protected:
    void OnInitDialog() override;
    void OnApply() override;

private:
    AppSettings* settings_ = nullptr;
    int pending_bit_rate_ = 0;
    QButtonGroup* buttons_;
};

} // namespace morvane
