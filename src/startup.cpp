#include "startup.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <clocale>
#include <cstring>

namespace TavrinStartup {

LaunchRequest scanArguments(int argc, const char *const *argv)
{
    LaunchRequest request;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--monitor") == 0) {
            return LaunchRequest{true, QDate()};
        }
        // The value is not skipped: "--show-disk --monitor" still means the monitor.
        if (std::strcmp(argv[i], "--show-disk") == 0 && i + 1 < argc)
            request.showDiskDate = QDate::fromString(QString::fromLocal8Bit(argv[i + 1]), Qt::ISODate);
    }
    return request;
}

QString applyLanguageSetting()
{
    QString language;
    {
        QSettings settings(QStringLiteral("zarnex"), QStringLiteral("tavrin-manager"));
        language = settings.value(QStringLiteral("language"), QStringLiteral("system")).toString();
    }
    qunsetenv("LC_ALL");
    if (language != QLatin1String("en_US") && language != QLatin1String("zh_CN")) {
        qunsetenv("LANGUAGE");
        return QString();
    }
    const bool english = language == QLatin1String("en_US");
    const char *posix = english ? "en_US.UTF-8" : "zh_CN.UTF-8";
    std::setlocale(LC_ALL, posix);
    qputenv("LANGUAGE", language.toLatin1());
    qputenv("LANG", posix);
    QLocale::setDefault(english ? QLocale(QLocale::English, QLocale::UnitedStates)
                                : QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China));
    return language;
}

QStringList translationDirectories(const QString &homeDir, const QString &appDir)
{
    QStringList dirs{homeDir + QStringLiteral("/.local/share/tavrin-manager/translations"),
                     QStringLiteral("/usr/share/tavrin-manager/translations")};
    // An install below another prefix (/usr/local: /usr is read-only on Zarnex)
    // keeps its catalogues in <prefix>/share, beside <prefix>/bin.
    const QString prefixDir =
        QDir::cleanPath(appDir + QStringLiteral("/../share/tavrin-manager/translations"));
    if (!dirs.contains(prefixDir))
        dirs << prefixDir;
    dirs << appDir + QStringLiteral("/translations") << appDir;
    return dirs;
}

QString loadTranslation(QTranslator *translator, const QString &language, const QStringList &directories)
{
    if (language.isEmpty())
        return QString();
    const QString fileName = QStringLiteral("tavrin-manager_%1.qm").arg(language);
    for (const QString &dir : directories) {
        if (translator->load(fileName, dir))
            return dir;
    }
    return QString();
}

bool installProgramTranslation(const QString &language)
{
    static QTranslator *translator = nullptr;
    if (language.isEmpty())
        return false;
    if (!translator)
        translator = new QTranslator(QCoreApplication::instance());
    const QStringList dirs = translationDirectories(QDir::homePath(), QCoreApplication::applicationDirPath());
    if (loadTranslation(translator, language, dirs).isEmpty())
        return false;
    return QCoreApplication::installTranslator(translator);
}

QString Texts::productName()
{
    return tr("Tavrin设置");
}

} // namespace TavrinStartup
