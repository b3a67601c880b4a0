#include "backend/backend_p.h"
#include "backend/privplan.h"
#include "backend/syspaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <sys/statvfs.h>

#ifndef TAVRIN_HELPER_DIR_FROM_BIN
#define TAVRIN_HELPER_DIR_FROM_BIN "../libexec/tavrin-manager"
#endif

namespace Tavrin {

namespace {

const QLatin1String kHelperName("tavrin-manager-helper");

// Enough for every step of the longest plan (a rollback with its clean-up).
int planTimeout(const QJsonArray &steps, int floorMs)
{
    qint64 total = floorMs;
    for (const QJsonValue &v : steps)
        total += qint64(v.toObject().value(QLatin1String("timeout")).toInt());
    return int(qMin<qint64>(total, qint64(Plan::kMaxStepTimeoutMs) * 2));
}

} // namespace

QString helperPath()
{
    if (!systemRoot().isEmpty())
        return systemPath(QStringLiteral("/usr/libexec/tavrin-manager/") + kHelperName);
    // Beside the program: the one that was installed with it, whatever the prefix.
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (dir.isEmpty())
        return QStringLiteral("/usr/libexec/tavrin-manager/") + kHelperName;
    return QDir::cleanPath(dir + QStringLiteral("/" TAVRIN_HELPER_DIR_FROM_BIN "/") + kHelperName);
}

bool usrReadOnly()
{
    if (!systemRoot().isEmpty() && QFileInfo::exists(systemPath(QStringLiteral("/var/lib/zarnex-sim/usr-readonly"))))
        return true;
    struct statvfs fs
    {
    };
    const QByteArray usr = QFile::encodeName(systemPath(QStringLiteral("/usr")));
    return ::statvfs(usr.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY);
}

PlanReport runPlan(const QJsonArray &steps, int timeoutMs)
{
    PlanReport report;
    const QByteArray plan = QJsonDocument(QJsonObject{{"steps", steps}}).toJson(QJsonDocument::Compact);
    report.command = runProcessWithInput(helperPath(), {}, plan, planTimeout(steps, timeoutMs), true);
    // The report is the helper's last line; sudo or pkexec print nothing there.
    const QString out = report.command.output;
    const QJsonObject answer = parseJson(out.mid(out.lastIndexOf(QLatin1Char('\n')) + 1));
    if (!answer.contains(QLatin1String("ok")))
        return report;
    report.answered = true;
    report.ok = answer.value(QLatin1String("ok")).toBool() && report.command.ok;
    report.committed = answer.value(QLatin1String("committed")).toBool();
    report.failedStep = answer.value(QLatin1String("failedStep")).toInt(-1);
    report.values = answer.value(QLatin1String("values")).toObject();
    for (const QJsonValue &v : answer.value(QLatin1String("steps")).toArray())
        report.statuses << v.toObject().value(QLatin1String("status")).toString();
    if (!report.ok) {
        const QString why = answer.value(QLatin1String("error")).toString();
        report.command.ok = false;
        report.command.error = why.isEmpty() ? Backend::tr("命令执行失败") : why;
    }
    return report;
}

CommandResult planResult(const PlanReport &report)
{
    CommandResult r = report.command;
    r.ok = report.answered && report.ok;
    if (!r.ok && r.error.isEmpty())
        r.error = Backend::tr("命令执行失败");
    if (r.ok)
        r.error.clear();
    return r;
}

} // namespace Tavrin
