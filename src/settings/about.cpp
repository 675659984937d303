// The About page's picture, texts and links.
#include "settings/about.h"

#include "platform/image.h"
#include "settings/hyper_link.h"
#include "skin/control_id.h"

#include <QLabel>
#include <QPixmap>

namespace morvane {

CAbout::CAbout(const std::string& module_directory, DesktopShell& shell, QWidget* parent)
    : SheetPage(QStringLiteral("About"), dialog_font(QStringLiteral("Microsoft Sans Serif"), 10),
                QSize(319, 207), parent) {
    picture_ = new QLabel(this);
    Image about;
    // Without its picture the page still shows its texts.
    if (about.Load(module_directory + "icons/about.bmp")) {
        picture_->setPixmap(QPixmap::fromImage(about.MakeBitmap()));
    }
    const QRect picture_place = units().rect(98, 9, 0, 0);
    picture_->setGeometry(picture_place.x(), picture_place.y(), static_cast<int>(about.GetWidth()),
                          static_cast<int>(about.GetHeight()));

    place(new QLabel(QStringLiteral("Morvane " MORVANE_VERSION), this), 51, 137, 100, 8);

    home_page_link_ = new CHyperLink(QStringLiteral("Goto Morvane's homepage"), shell, this);
    place(home_page_link_, 51, 152, 126, 8);
    home_page_link_->fit_to_text();
    contact_link_ = new CHyperLink(
        QStringLiteral("Click here to contact us (%1)").arg(QString::fromLatin1(support_address)),
        shell, this);
    place(contact_link_, 51, 168, 187, 8);
    contact_link_->fit_to_text();

    place(new QLabel(QStringLiteral("Morvane is made and looked after by the Morvane project."),
                     this),
          51, 184, 239, 8);

    SetControlId(contact_link_, contact_link_id);
    SetControlId(home_page_link_, home_page_link_id);
}

void CAbout::OnInitDialog() {
    contact_link_->set_url(QStringLiteral("mailto:") + QString::fromLatin1(support_address));
    home_page_link_->set_url(QString::fromLatin1(home_page_url));
}

} // namespace morvane
