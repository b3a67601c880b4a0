#pragma once

#include <QIcon>

// Named icon lookup: the desktop's icon theme first, then the icon themes the
// set-up installs (breeze or breeze-dark to match the theme, then hicolor).
class ZIconTheme
{
public:
    static QIcon findQIcon(const QString &iconName); // null when absent
    // An icon from one file (the program's resources, a theme file). An SVG
    // is read when the icon is first drawn, once, and every caller of the
    // same file shares its pictures; null when the file does not exist.
    static QIcon fileIcon(const QString &path);
    static QStringList fallbackThemes();
};
