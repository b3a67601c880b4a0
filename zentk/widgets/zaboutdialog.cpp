#include "zaboutdialog.h"

#include "zguiapplicationhelper.h"
#include "zpaint_p.h"

#include <QFontInfo>
#include <QLabel>
#include <QVBoxLayout>

namespace {
QLabel *makeLabel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setAlignment(Qt::AlignHCenter);
    l->setWordWrap(true);
    l->hide();
    return l;
}
} // namespace

ZAboutDialog::ZAboutDialog(QWidget *parent) : ZAbstractDialog(parent)
{
    setObjectName(QStringLiteral("ZAboutDialog"));
    setMinimumWidth(400);

    auto *close = new ZentkWindowButton(ZentkPaint::Glyph::Close, this);
    close->setDanger(true);
    close->setFixedSize(32, 32);
    close->setToolTip(tr("关闭"));
    close->setObjectName(QStringLiteral("ZAboutCloseButton"));
    connect(close, &QToolButton::clicked, this, &QDialog::reject);

    m_icon = makeLabel(this, "ZAboutIcon");
    m_name = makeLabel(this, "ZAboutProductName");
    QFont nameFont = m_name->font();
    nameFont.setBold(true);
    // The application font may be set in pixels, where pointSizeF() is -1.
    nameFont.setPixelSize(QFontInfo(nameFont).pixelSize() * 7 / 5);
    m_name->setFont(nameFont);
    m_version = makeLabel(this, "ZAboutVersion");
    m_description = makeLabel(this, "ZAboutDescription");
    m_website = makeLabel(this, "ZAboutWebsite");
    m_website->setOpenExternalLinks(true);
    // The link colour is fixed when the text is parsed, so it is set again for a new theme.
    connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged, this,
            &ZAboutDialog::updateWebsite);
    m_license = makeLabel(this, "ZAboutLicense");
    m_acknowledgement = makeLabel(this, "ZAboutAcknowledgement");
    m_acknowledgement->setText(tr("鸣谢：Qt 及所有开源贡献者"));

    // The close button sits in the corner; the body keeps the same margin on
    // both sides, so a scroll bar in the added content stays off the border.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 20);
    layout->setSpacing(8);
    layout->addWidget(close, 0, Qt::AlignRight);
    auto *body = new QVBoxLayout;
    body->setContentsMargins(12, 0, 12, 0);
    body->setSpacing(8);
    for (QLabel *l : {m_icon, m_name, m_version, m_description, m_website, m_license, m_acknowledgement})
        body->addWidget(l);
    m_content = new QVBoxLayout;
    body->addLayout(m_content);
    layout->addLayout(body);
    layout->addStretch(1);
}

void ZAboutDialog::setProductName(const QString &name)
{
    m_name->setText(name);
    m_name->setVisible(!name.isEmpty());
    setWindowTitle(name);
}

void ZAboutDialog::setProductIcon(const QIcon &icon)
{
    m_icon->setPixmap(icon.pixmap(QSize(96, 96)));
    m_icon->setVisible(!icon.isNull());
}

void ZAboutDialog::setVersion(const QString &version)
{
    m_version->setText(version);
    m_version->setVisible(!version.isEmpty());
}

void ZAboutDialog::setDescription(const QString &description)
{
    m_description->setText(description);
    m_description->setVisible(!description.isEmpty());
}

void ZAboutDialog::setWebsiteName(const QString &name)
{
    m_websiteName = name;
    updateWebsite();
}

void ZAboutDialog::setWebsiteLink(const QString &link)
{
    m_websiteLink = link;
    updateWebsite();
}

void ZAboutDialog::updateWebsite()
{
    const QString name = m_websiteName.isEmpty() ? m_websiteLink : m_websiteName;
    if (m_websiteLink.isEmpty())
        m_website->setText(name.toHtmlEscaped());
    else
        m_website->setText(QStringLiteral("<a href=\"%1\" style=\"color: %2\">%3</a>")
                               .arg(m_websiteLink.toHtmlEscaped(), linkColor().name(), name.toHtmlEscaped()));
    m_website->setVisible(!name.isEmpty());
}

QColor ZAboutDialog::linkColor() const
{
    const ZPalette pal = ZGuiApplicationHelper::instance()->applicationPalette();
    return ZentkPaint::readableOn(pal.color(QPalette::Active, QPalette::Link),
                                  pal.color(QPalette::Active, QPalette::Window));
}

void ZAboutDialog::setLicense(const QString &license)
{
    m_license->setText(license);
    m_license->setVisible(!license.isEmpty());
}

void ZAboutDialog::setAcknowledgementVisible(bool visible)
{
    m_acknowledgement->setVisible(visible);
}

void ZAboutDialog::addContent(QWidget *widget)
{
    if (widget)
        m_content->addWidget(widget);
}
