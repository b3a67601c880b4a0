#pragma once

#include <QIcon>
#include <QString>

#include "zaboutdialog.h"

class QPushButton;

namespace TavrinUi {

QString productVersion();
// "版本 1.0.0  ·  Zarnex 25 Tavrin系统管理工具"
QString productVersionLine();
QIcon productIcon();

// The product facts (technical base, platforms, author) as label/value rows.
QWidget *createProductFacts(QWidget *parent = nullptr);
// One row per feature of the immutable system: icon, title, description.
QWidget *createTechReference(QWidget *parent = nullptr);
// One row per equivalent command line, each with a copy button whose idle
// text is copyText ("复制命令" when empty).
QWidget *createCommandReference(QWidget *parent = nullptr, const QString &copyText = QString());
// "复制版本信息": puts the product name and version line on the clipboard.
QPushButton *createCopyVersionButton(QWidget *parent = nullptr);

class TavrinAboutDialog : public ZAboutDialog
{
    Q_OBJECT

public:
    explicit TavrinAboutDialog(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_fitted = false;
};

} // namespace TavrinUi
