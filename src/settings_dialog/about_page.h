// SPDX-License-Identifier: GPL-3.0-or-later
// The About page of the settings dialog: the product's picture, name and version, a link to
// its home page, a link to write to its support address, and the maker's notice.
#pragma once

#include "platform/desktop_shell.h"

#include <QWidget>
#include <string>

namespace morvane {

class LinkButton;

class AboutPage : public QWidget {
    Q_OBJECT

public:
    static constexpr const char* support_address = "support@morvane.org";
    static constexpr const char* home_page_url = "https://morvane.org/";

    // The picture is icons/about.bmp in data_folder (which ends in "/"); the links open
    // through shell, which must outlive the page.
    AboutPage(const std::string& data_folder, DesktopShell& shell, QWidget* parent = nullptr);

private:
    LinkButton* make_link(const QString& text, const QString& url);
    void open_link(const QString& url);

    DesktopShell& shell_;
};

} // namespace morvane
