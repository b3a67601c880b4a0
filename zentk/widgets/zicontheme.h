#pragma once

#include <QIcon>

// Named icon lookup: the desktop's icon theme first, then the icon themes the
// set-up installs (breeze or breeze-dark to match the theme, then hicolor).
class ZIconTheme
{
public:
    static QIcon findQIcon(const QString &iconName); // null when absent
    static QStringList fallbackThemes();
};
