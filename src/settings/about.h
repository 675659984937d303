// The About page of the settings sheet: the product's picture, name and version, a link to
// its home page, a link to write to its support address, and the maker's notice.
#pragma once

#include "platform/desktop_shell.h"
#include "settings/sheet_page.h"

#include <string>

class QLabel;

namespace morvane {

class CHyperLink;

class CAbout : public SheetPage {
    Q_OBJECT

public:
    static constexpr int contact_link_id = 1015;
    static constexpr int home_page_link_id = 1016;

    static constexpr const char* support_address = "support@morvane.org";
    static constexpr const char* home_page_url = "https://morvane.org/";

    // The picture is icons/about.bmp in module_directory (which ends in "/"); the links open
    // through shell, which must outlive the page.
    CAbout(const std::string& module_directory, DesktopShell& shell, QWidget* parent = nullptr);

    CHyperLink& contact_link() const { return *contact_link_; }
    CHyperLink& home_page_link() const { return *home_page_link_; }
    const QLabel& picture() const { return *picture_; }

protected:
    void OnInitDialog() override;

private:
    CHyperLink* contact_link_;
    CHyperLink* home_page_link_;
    QLabel* picture_;
};

} // namespace morvane
