#pragma once

#include "zabstractdialog.h"

class QLabel;
class QVBoxLayout;

// The application's About dialog: icon, name, version, description,
// website, licence; subclasses add sections with addContent().
// Object names: "ZAboutProductName", "ZAboutVersion", "ZAboutDescription",
// "ZAboutWebsite", "ZAboutLicense", "ZAboutAcknowledgement".
class ZAboutDialog : public ZAbstractDialog
{
    Q_OBJECT
public:
    explicit ZAboutDialog(QWidget *parent = nullptr);

    void setProductName(const QString &name);
    void setProductIcon(const QIcon &icon);
    void setVersion(const QString &version);
    void setDescription(const QString &description);
    void setWebsiteName(const QString &name);
    void setWebsiteLink(const QString &link);
    void setLicense(const QString &license);
    void setAcknowledgementVisible(bool visible);
    void addContent(QWidget *widget);

private:
    void updateWebsite();

    QLabel *m_icon;
    QLabel *m_name;
    QLabel *m_version;
    QLabel *m_description;
    QLabel *m_website;
    QLabel *m_license;
    QLabel *m_acknowledgement;
    QVBoxLayout *m_content;
    QString m_websiteName;
    QString m_websiteLink;
};
