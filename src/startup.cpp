#include "startup.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <clocale>
#include <cstdio>
#include <cstring>

namespace TavrinStartup {

LaunchRequest scanArguments(int argc, const char *const *argv)
{
    LaunchRequest request;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--monitor") == 0) {
            return LaunchRequest{true, QDate()};
        }
        // The value is not skipped: "--show-disk --monitor" still means the monitor.
        if (std::strcmp(arg, "--show-disk") == 0 && i + 1 < argc)
            request.showDiskDate = QDate::fromString(QString::fromLocal8Bit(argv[i + 1]), Qt::ISODate);
        else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            request.help = true;
        else if (std::strcmp(arg, "--version") == 0)
            request.version = true;
        else if (std::strcmp(arg, "--status") == 0)
            request.status = true;
        else if (std::strcmp(arg, "--json") == 0)
            request.json = true;
    }
    return request;
}

// Defined for this file only by the build, from the project's one place.
QString productVersion()
{
    return QStringLiteral(TAVRIN_VERSION);
}

QString productLicense()
{
    return QStringLiteral(TAVRIN_LICENSE);
}

QString productDevelopers()
{
    return QStringLiteral(TAVRIN_DEVELOPERS);
}

QString productContact()
{
    return QStringLiteral(TAVRIN_CONTACT);
}

QString productHomepage()
{
    return QStringLiteral(TAVRIN_HOMEPAGE);
}

QString installCommandLineTranslation()
{
    QString language = applyLanguageSetting();
    if (language.isEmpty())
        language = QLocale::system().name();
    installProgramTranslation(language);
    return language;
}

int runInfo(const LaunchRequest &request, int argc, char **argv)
{
    QByteArray text;
    if (request.help) {
        // The application object only carries the translator: nothing here needs a display.
        QCoreApplication app(argc, argv);
        installCommandLineTranslation();
        text = Texts::usage().toLocal8Bit() + '\n';
    } else {
        text = QByteArrayLiteral("tavrin-manager ") + productVersion().toLatin1() + '\n';
    }
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
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

QString Texts::usage()
{
    return tr("用法：tavrin-manager [选项]\n"
              "\n"
              "  （无选项）               打开 Tavrin设置 窗口\n"
              "  --show-disk YYYY-MM-DD   打开磁盘页并定位到该日（已有窗口时交给它）\n"
              "  --monitor                运行一次后台磁盘监控周期后退出（由 systemd 用户定时器启动）\n"
              "  --status                 打印系统状态摘要后退出（不提权，不打开窗口）\n"
              "  --status --json          以带版本号的 JSON 对象打印系统状态\n"
              "  --help, -h               显示本帮助后退出\n"
              "  --version                显示版本后退出\n"
              "\n"
              "--status 的退出码：0 一切正常；1 有需要处理的事项（未查看的增长告警、"
              "磁盘将在预测期限内写满、监控停滞）；2 有部分状态无法读取。");
}

} // namespace TavrinStartup
