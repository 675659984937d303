// SPDX-License-Identifier: GPL-3.0-or-later
// The About page's picture, texts and links.
#include "settings_dialog/about_page.h"

#include "settings_dialog/failure_message.h"
#include "settings_dialog/picture_file.h"
#include "skin/link_button.h"

#include <QLabel>
#include <QVBoxLayout>

namespace morvane {

AboutPage::AboutPage(const std::string& data_folder, DesktopShell& shell, QWidget* parent)
    : QWidget(parent), shell_(shell) {
    // Without its picture the page still shows its texts.
    auto* picture = new QLabel(this);
    picture->setPixmap(load_picture(data_folder + "icons/about.bmp"));
    picture->setAlignment(Qt::AlignCenter);

    const QString home_page = QString::fromLatin1(home_page_url);
    const QString address = QString::fromLatin1(support_address);
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(tr("Morvane %1").arg(QStringLiteral(MORVANE_VERSION)), this));
    LinkButton* home_page_link = make_link(tr("Morvane's home page: %1").arg(home_page), home_page);
    home_page_link->setObjectName(QStringLiteral("home_page_link"));
    texts->addWidget(home_page_link);
    LinkButton* contact_link =
        make_link(tr("Write to us: %1").arg(address), QStringLiteral("mailto:") + address);
    contact_link->setObjectName(QStringLiteral("contact_link"));
    texts->addWidget(contact_link);
    texts->addWidget(
        new QLabel(tr("Morvane is made and looked after by the Morvane project."), this));

    // The texts stand left-aligned under the picture, as one block centred on the page.
    auto* centred = new QHBoxLayout;
    centred->addStretch(1);
    centred->addLayout(texts);
    centred->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture);
    layout->addLayout(centred);
    layout->addStretch(1);
}

LinkButton* AboutPage::make_link(const QString& text, const QString& url) {
    auto* link = new LinkButton(text, this);
    link->setToolTip(url);
    link->setAccessibleDescription(url);
    connect(link, &QAbstractButton::clicked, this, [this, url] { open_link(url); });
    return link;
}

void AboutPage::open_link(const QString& url) {
    const DesktopShell::Failure failure = shell_.open_url(url.toStdString());
    if (!failure) {
        return;
    }
    const QString why = failure->empty() ? tr("Unknown error.") : QString::fromStdString(*failure);
    show_failure(this, tr("Can't open link:\n\n%1").arg(why));
}

} // namespace morvane
