#include "backend/backend_p.h"
#include "backend/privplan.h"

#include <QFile>

namespace Tavrin {

namespace {

constexpr int kStatusTimeoutMs = 30000;
constexpr int kSwitchTimeoutMs = 300000;
constexpr qint64 kMaxConfigBytes = 4 * 1024 * 1024;
const QLatin1String kGlobal("[global]");

struct ConfigLine
{
    QString text;
    // A line of a file with CRLF ends keeps its carriage return.
    bool carriageReturn = false;
};

// The key of an entry line ("key = value"), or "" for anything else.
QString entryKey(const QString &trimmed)
{
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char('[')))
        return QString();
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    if (eq < 1)
        return QString();
    return trimmed.left(eq).trimmed();
}

QString entryValue(const QString &trimmed)
{
    return trimmed.mid(trimmed.indexOf(QLatin1Char('=')) + 1).trimmed();
}

bool validEntry(const QString &key, const QString &value)
{
    const QString trimmedKey = key.trimmed();
    if (trimmedKey.isEmpty() || trimmedKey != key || key.contains(QLatin1Char('=')) ||
        key.startsWith(QLatin1Char('#')) || key.startsWith(QLatin1Char('[')) ||
        key.startsWith(QLatin1Char(';')))
        return false;
    for (const QString &text : {key, value}) {
        if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
            return false;
    }
    return true;
}

} // namespace

WritableStatus parseWritableStatus(const QString &json)
{
    WritableStatus status;
    status.conf =
        parseJson(json).value(QLatin1String("data")).toObject().value(QLatin1String("conf")).toObject();
    status.enabled = status.conf.value(QLatin1String("enable")).toBool(false);
    status.clearAfterReboot = status.conf.value(QLatin1String("clearAfterReboot")).toBool(false);
    return status;
}

WritableStatus getWritableStatus()
{
    const CommandResult r =
        runProcess(writablePath(), {QStringLiteral("status"), QStringLiteral("-j")}, kStatusTimeoutMs, false);
    WritableStatus status;
    if (!r.ok) {
        status.error = friendlyExecError(r.error);
        return status;
    }
    status = parseWritableStatus(r.output);
    if (!status.known())
        status.error = Backend::tr("无法识别可写层状态: %1").arg(r.output.trimmed().left(400));
    return status;
}

CommandResult enableWritable(bool clearAfterReboot, bool all)
{
    QList<QString> args{QStringLiteral("enable")};
    if (all)
        args << QStringLiteral("-a");
    if (clearAfterReboot)
        args << QStringLiteral("-c");
    args << QStringLiteral("-y");
    return runProcess(writablePath(), args, kSwitchTimeoutMs, true);
}

CommandResult disableWritable()
{
    return runProcess(writablePath(), {QStringLiteral("disable"), QStringLiteral("-y")}, kSwitchTimeoutMs,
                      true);
}

QMap<QString, QString> parseCtlConfig(const QString &text)
{
    QMap<QString, QString> values;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        const QString key = entryKey(trimmed);
        if (!key.isEmpty())
            values.insert(key, entryValue(trimmed));
    }
    return values;
}

QMap<QString, CtlConfigEntry> parseCtlConfigEntries(const QString &text)
{
    QMap<QString, CtlConfigEntry> entries;
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            section = trimmed;
            continue;
        }
        const QString key = entryKey(trimmed);
        if (!key.isEmpty())
            entries.insert(key, CtlConfigEntry{entryValue(trimmed), section});
    }
    return entries;
}

QMap<QString, CtlConfigEntry> getCtlConfigEntries()
{
    QFile file(ctlConfPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseCtlConfigEntries(QString::fromUtf8(readAtMost(file, kMaxConfigBytes)));
}

CtlConfigRead parseCtlConfigRead(const QString &text)
{
    CtlConfigRead read;
    read.ok = true;
    read.effective = parseCtlConfigEntries(text);
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            section = trimmed;
            continue;
        }
        const QString key = entryKey(trimmed);
        if (!key.isEmpty() && section == kGlobal)
            read.global.insert(key, entryValue(trimmed));
    }
    return read;
}

const CtlConfigEntry *CtlConfigRead::overrideOf(const QString &key) const
{
    const auto it = effective.constFind(key);
    if (it == effective.constEnd() || it->section == kGlobal)
        return nullptr;
    return &*it;
}

CtlConfigRead readCtlConfig()
{
    QFile file(ctlConfPath());
    if (!file.exists()) {
        CtlConfigRead none;
        none.ok = true;
        return none;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        CtlConfigRead failed;
        failed.error = Backend::tr("无法读取系统配置文件: %1").arg(file.errorString());
        return failed;
    }
    const QByteArray data = readAtMost(file, kMaxConfigBytes + 1);
    if (data.size() > kMaxConfigBytes || file.error() != QFileDevice::NoError) {
        CtlConfigRead failed;
        failed.error = Backend::tr("无法读取系统配置文件: %1")
                           .arg(data.size() > kMaxConfigBytes ? Backend::tr("文件过大") : file.errorString());
        return failed;
    }
    return parseCtlConfigRead(QString::fromUtf8(data));
}

QMap<QString, QString> getCtlConfig()
{
    QFile file(ctlConfPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseCtlConfig(QString::fromUtf8(readAtMost(file, kMaxConfigBytes)));
}

QString rewriteCtlConfig(const QString &original, const QMap<QString, QString> &values)
{
    QList<ConfigLine> lines;
    const bool finalLineFeed = original.isEmpty() || original.endsWith(QLatin1Char('\n'));
    QStringList pieces = original.split(QLatin1Char('\n'));
    // The empty piece after a final line feed is not a line of the file.
    if (original.endsWith(QLatin1Char('\n')) || original.isEmpty())
        pieces.removeLast();
    for (const QString &piece : std::as_const(pieces)) {
        ConfigLine line;
        line.carriageReturn = piece.endsWith(QLatin1Char('\r'));
        line.text = line.carriageReturn ? piece.chopped(1) : piece;
        lines.append(line);
    }
    const bool useCrLf = !lines.isEmpty() && lines.constFirst().carriageReturn;

    QSet<QString> written;
    bool inGlobal = false;
    qsizetype globalEnd = -1; // index after the last entry (or the header) of the first "[global]"
    bool firstGlobalClosed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        ConfigLine &line = lines[i];
        const QString trimmed = line.text.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (inGlobal)
                firstGlobalClosed = true;
            inGlobal = trimmed == kGlobal;
            if (inGlobal && globalEnd < 0)
                globalEnd = i + 1;
            continue;
        }
        if (!inGlobal)
            continue;
        // Comments at the end of the section usually introduce the next one.
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')) && !firstGlobalClosed)
            globalEnd = i + 1;
        const QString key = entryKey(trimmed);
        if (key.isEmpty() || !values.contains(key))
            continue;
        written.insert(key);
        const QString value = values.value(key);
        // An unchanged value keeps its line as it is (spacing included).
        if (entryValue(trimmed) != value)
            line.text = key + QLatin1Char('=') + value;
    }

    QList<ConfigLine> missing;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!written.contains(it.key()))
            missing.append(ConfigLine{it.key() + QLatin1Char('=') + it.value(), useCrLf});
    }
    if (!missing.isEmpty()) {
        if (globalEnd < 0) {
            if (!lines.isEmpty() && !lines.constLast().text.trimmed().isEmpty())
                missing.prepend(ConfigLine{QString(), useCrLf});
            missing.insert(lines.isEmpty() || lines.constLast().text.trimmed().isEmpty() ? 0 : 1,
                           ConfigLine{kGlobal, useCrLf});
            globalEnd = lines.size();
        }
        for (qsizetype i = 0; i < missing.size(); ++i)
            lines.insert(globalEnd + i, missing.at(i));
    }

    QString out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += QLatin1Char('\n');
        out += lines.at(i).text;
        if (lines.at(i).carriageReturn)
            out += QLatin1Char('\r');
    }
    if (finalLineFeed && !lines.isEmpty())
        out += QLatin1Char('\n');
    return out;
}

CommandResult setCtlConfig(const QMap<QString, QString> &values)
{
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!validEntry(it.key(), it.value())) {
            CommandResult invalid;
            invalid.error = Backend::tr("无效的配置项: %1").arg(it.key());
            return invalid;
        }
    }

    QString original;
    QFile file(ctlConfPath());
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray data = readAtMost(file, kMaxConfigBytes + 1);
        if (data.size() > kMaxConfigBytes || file.error() != QFileDevice::NoError) {
            CommandResult unreadable;
            unreadable.error = Backend::tr("无法读取系统配置文件");
            return unreadable;
        }
        original = QString::fromUtf8(data);
    } else if (file.exists()) {
        // Replacing a file we could not read would throw away every other setting in it.
        CommandResult unreadable;
        unreadable.error = Backend::tr("无法读取系统配置文件");
        return unreadable;
    } else {
        original = kGlobal + QLatin1Char('\n');
    }

    // Written beside the file and renamed over it by the helper: one authorization.
    return planResult(runPlan(
        {Plan::writeStep(QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"),
                         rewriteCtlConfig(original, values))},
        30000));
}

} // namespace Tavrin
