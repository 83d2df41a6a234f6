#include "gui/about/AboutDialog.h"

#include "core/ProductInfo.h"
#include "gui/app/ToolbarPictures.h"
#include "gui/common/TitleWidth.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace vextral::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About Vextral"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(toolbarPicture(Picture::Folders).pixmap(32, 32));
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setText(QStringLiteral("<b>Vextral %1</b><br>The desktop icon harvester.<br><br>"
                                 "<a href=\"%2\">Vextral Homepage</a><br><a href=\"%3\">Email to the author</a>")
                      .arg(QString::fromLatin1(product::kVersion), QString::fromLatin1(product::kHomePage),
                           QString::fromLatin1(product::kAuthorMail)));
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    // Wide enough for the caption in a title bar.
    setMinimumWidth(std::max(layout->sizeHint().width(), titleBarWidth(*this)));
}

} // namespace vextral::gui
