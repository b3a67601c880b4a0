#include "ui/diskanalysis.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include "backend/backend.h"
#include "disk/diskhistorystore.h"

using Tavrin::DiskDayRecord;
using Tavrin::DiskItem;

namespace DiskPage {

namespace {

const QString kIsoDay = QStringLiteral("yyyy-MM-dd");

AnalysisRow messageRow(const QString &text)
{
    AnalysisRow row;
    row.label = text;
    row.message = true;
    return row;
}

int indexOfDay(const QList<DiskDayRecord> &records, const QDate &day)
{
    for (int i = 0; i < records.size(); ++i) {
        if (records.at(i).date == day)
            return i;
    }
    return -1;
}

QList<AnalysisRow> growthRows(const AnalysisInput &in)
{
    if (!in.focused.isValid() || in.records.isEmpty())
        return {messageRow(Text::tr("点击时间线上任意数据点，查看该日的增长来源"))};
    const int i = indexOfDay(in.records, in.focused);
    if (i < 0)
        return {messageRow(Text::tr("所选日期不在当前加载范围内"))};
    const DiskDayRecord &day = in.records.at(i);

    if (!in.followed.isEmpty()) {
        qint64 size = 0;
        const bool known = directorySize(day, in.followed, &size);
        AnalysisRow first;
        first.path = in.followed;
        first.label = Text::tr("目录 %1").arg(in.followed);
        first.sizeText = known ? Tavrin::formatSize(size) : Text::tr("无数据");
        first.isDir = true;
        AnalysisRow second;
        qint64 before = 0;
        if (!known || i == 0 || !directorySize(in.records.at(i - 1), in.followed, &before)) {
            second.label = Text::tr("前一日暂无数据");
        } else {
            const qint64 delta = size - before;
            second.label = Text::tr("较前一日变化");
            second.sizeText = (delta >= 0 ? QStringLiteral("+") : QString()) + Tavrin::formatSize(delta);
        }
        return {first, second};
    }

    // Without a scanned day before it, whole directory sizes are no growth.
    if (i == 0 || in.records.at(i - 1).topLevel.isEmpty())
        return {messageRow(Text::tr("前一日没有目录扫描记录，无法比较增长"))};
    const DiskDayRecord previous = in.records.at(i - 1);
    const qint64 totalGrowth = day.total - previous.total;
    const QList<DiskItem> items = Tavrin::DiskHistoryStore::topGrowthItems(previous, day, 8);
    if (items.isEmpty())
        return {messageRow(Text::tr("该日无显著增长"))};
    QList<AnalysisRow> rows;
    for (const DiskItem &item : items) {
        AnalysisRow row;
        row.path = item.path;
        row.label = item.path;
        row.sizeText = Tavrin::formatSize(item.size);
        row.shareValid = totalGrowth > 0;
        row.share = row.shareValid ? double(item.size) * 100.0 / double(totalGrowth) : 0.0;
        row.isDir = item.isDir;
        rows << row;
    }
    return rows;
}

} // namespace

QString viewHintFor(int mode)
{
    switch (mode) {
    case Growth:
        return Text::tr(
            "增长：所选日期相对前一日有增长的目录/文件（最多 8 项），占比 = 该目录增量占当日总增量");
    case Ranking:
        return Text::tr("排行：当前目录下所有子项从大到小；单击行让上方时间线跟随，双击进入子目录");
    default:
        return Text::tr("构成：系统盘顶层目录的占用结构（前 5 项 + 其他），占比 = 占系统盘已用");
    }
}

QList<AnalysisRow> analysisRows(const AnalysisInput &in)
{
    if (in.mode == Growth)
        return growthRows(in);

    QList<DiskItem> items;
    qint64 total = 0;
    if (!in.browsePath.isEmpty()) {
        items = in.browseItems;
        for (const DiskItem &item : std::as_const(items))
            total += item.size;
    } else if (!in.records.isEmpty()) {
        items = in.records.constLast().topLevel;
        total = in.records.constLast().total;
    }
    if (items.isEmpty()) {
        return {messageRow(in.scannerBusy ? Text::tr("正在读取子目录…")
                                          : Text::tr("暂无数据：请开启监控或点击“立即扫描”"))};
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const DiskItem &a, const DiskItem &b) { return a.size > b.size; });
    items = items.mid(0, in.mode == Composition ? 5 : 200);
    qint64 kept = 0;
    for (const DiskItem &item : std::as_const(items))
        kept += item.size;
    const qint64 denominator = std::max(total, kept);

    QList<AnalysisRow> rows;
    auto addRow = [&](const QString &path, const QString &label, qint64 size, bool isDir) {
        AnalysisRow row;
        row.path = path;
        row.label = label;
        row.sizeText = Tavrin::formatSize(size);
        row.shareValid = denominator > 0;
        row.share = row.shareValid ? double(size) * 100.0 / double(denominator) : 0.0;
        row.isDir = isDir;
        rows << row;
    };
    for (const DiskItem &item : std::as_const(items))
        addRow(item.path, item.path, item.size, item.isDir);
    if (in.mode == Composition && total > kept)
        addRow(QString(), Text::tr("其他"), total - kept, false);
    return rows;
}

QString shareText(const AnalysisRow &row)
{
    if (row.message || row.sizeText.isEmpty())
        return QString();
    if (!row.shareValid)
        return QStringLiteral("—");
    return QString::number(row.share, 'f', 1) + QLatin1Char('%');
}

bool directorySize(const DiskDayRecord &record, const QString &dir, qint64 *size)
{
    for (const DiskItem &item : record.topLevel) {
        if (item.path == dir) {
            *size = item.size;
            return true;
        }
    }
    const int slash = dir.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    const auto it = record.drillCache.constFind(dir.left(slash));
    if (it == record.drillCache.constEnd())
        return false;
    for (const DiskItem &child : it.value()) {
        if (child.path == dir) {
            *size = child.size;
            return true;
        }
    }
    return false;
}

QList<DiskDayRecord> directorySeries(const QList<DiskDayRecord> &records, const QString &dir)
{
    QList<DiskDayRecord> series;
    for (const DiskDayRecord &record : records) {
        qint64 size = 0;
        if (!directorySize(record, dir, &size))
            continue;
        DiskDayRecord point;
        point.date = record.date;
        point.capacity = record.capacity;
        point.total = size;
        series << point;
    }
    return series;
}

QSet<QDate> spikeDays(const Tavrin::DiskHistoryIndex &index, const QList<DiskDayRecord> &records,
                      qint64 minAlertBytes)
{
    QSet<QDate> days;
    for (const Tavrin::DiskDaySummary &day : index.days) {
        if (day.spike)
            days.insert(day.date);
    }
    for (int i = 1; i < records.size(); ++i) {
        if (records.at(i).total - records.at(i - 1).total >= minAlertBytes)
            days.insert(records.at(i).date);
    }
    return days;
}

Summary summarize(const QDate &from, const QDate &to, const QList<DiskDayRecord> &records,
                  const QList<DiskDayRecord> &recent, const QDate &today)
{
    Summary s;
    if (from.isValid() && to.isValid()) {
        s.rangeLine = Text::tr("%1 ~ %2 · %3 天 · %4 条记录")
                          .arg(from.toString(kIsoDay), to.toString(kIsoDay))
                          .arg(from.daysTo(to) + 1)
                          .arg(records.size());
    }
    const Tavrin::DiskRangeStats stats = Tavrin::DiskHistoryStore::computeRangeStats(records);
    if (!records.isEmpty()) {
        s.netValue = Tavrin::formatSize(stats.netGrowth);
        s.netSemantic = TavrinUi::Accent;
        s.netCaption = Text::tr("区间起始 %1 → 结束 %2")
                           .arg(Tavrin::formatSize(stats.startTotal), Tavrin::formatSize(stats.endTotal));
        s.avgValue = Tavrin::formatSize(stats.avgDailyGrowth);
        if (stats.maxGrowthDate.isValid()) {
            s.maxValue = Tavrin::formatSize(stats.maxDailyGrowth);
            s.maxSemantic = TavrinUi::Warning;
            s.maxDate = stats.maxGrowthDate.toString(kIsoDay);
        } else {
            s.maxValue = QStringLiteral("-");
        }
    } else {
        s.netValue = QStringLiteral("-");
        s.netCaption = Text::tr("所选范围内暂无监控数据");
        s.avgValue = QStringLiteral("-");
        s.maxValue = QStringLiteral("-");
    }
    s.streak = stats.longestStreakStart.isValid() ? stats.longestStreakStart.toString(kIsoDay)
                                                  : Text::tr("无连续增长");
    // "按当前增速": the forecast comes from the newest days, whatever range is shown.
    const Tavrin::DiskRangeStats current = Tavrin::DiskHistoryStore::computeRangeStats(recent);
    if (recent.isEmpty()) {
        s.forecastValue = QStringLiteral("-");
        s.forecastCaption = Text::tr("暂无数据，无法预测");
        s.forecast = TavrinUi::Muted;
    } else if (current.daysToFull < 1) {
        s.forecastValue = Text::tr("暂无风险");
        s.forecastCaption = Text::tr("增长已趋稳，短期不会写满");
        s.forecast = TavrinUi::Accent;
    } else {
        s.forecastValue = Text::tr("约 %1 天后写满").arg(current.daysToFull);
        s.forecastCaption =
            Text::tr("按当前增速 · 预计 %1").arg(today.addDays(current.daysToFull).toString(kIsoDay));
        s.forecast = TavrinUi::Warning;
    }
    return s;
}

QList<DiskDayRecord> recentDays(const QList<DiskDayRecord> &records, const QDate &today)
{
    QList<DiskDayRecord> recent;
    for (const DiskDayRecord &r : records) {
        if (r.date > today.addDays(-kForecastDays) && r.date <= today)
            recent << r;
    }
    return recent;
}

QByteArray recordsCsv(const QList<DiskDayRecord> &records, const QSet<QDate> &spikes)
{
    auto field = [](QString text) {
        // Quote what a spreadsheet would split, and keep a leading formula sign inert.
        if (text.startsWith(QLatin1Char('=')) || text.startsWith(QLatin1Char('+')) ||
            text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('\''));
        if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
            text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
            text.replace(QLatin1String("\""), QLatin1String("\"\""));
            text = QLatin1Char('"') + text + QLatin1Char('"');
        }
        return text;
    };
    QByteArray out = "date,used_bytes,capacity_bytes,growth_bytes,spike,main_cause\r\n";
    for (int i = 0; i < records.size(); ++i) {
        const DiskDayRecord &r = records.at(i);
        QString growth;
        QString cause;
        if (i > 0) {
            growth = QString::number(r.total - records.at(i - 1).total);
            // A cause only against a scanned day: whole sizes are no growth.
            const QList<DiskItem> top =
                records.at(i - 1).topLevel.isEmpty()
                    ? QList<DiskItem>()
                    : Tavrin::DiskHistoryStore::topGrowthItems(records.at(i - 1), r, 1);
            if (!top.isEmpty())
                cause = top.constFirst().path;
        }
        const QStringList cells{r.date.toString(kIsoDay),
                                QString::number(r.total),
                                QString::number(r.capacity),
                                growth,
                                spikes.contains(r.date) ? QStringLiteral("1") : QStringLiteral("0"),
                                field(cause)};
        out += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

QList<AlertEntry> readAlerts(const QString &file)
{
    QFile f(file);
    // The monitor trims the file; anything far larger, or not a regular file (opening a FIFO
    // blocks), is not ours to read on the GUI thread.
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > 8 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray spikes =
        QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("spikes")).toArray();
    QList<AlertEntry> out;
    out.reserve(spikes.size());
    for (const QJsonValue &v : spikes) {
        const QJsonObject o = v.toObject();
        AlertEntry e;
        e.date = o.value(QLatin1String("date")).toString();
        e.causeDir = o.value(QLatin1String("causeDir")).toString();
        e.growth = Tavrin::jsonBytes(o.value(QLatin1String("growth")));
        if (!e.date.isEmpty())
            out << e;
    }
    return out;
}

QList<AlertEntry> readForecastAlerts(const QString &file)
{
    QFile f(file);
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > 8 * 1024 * 1024 || !f.open(QIODevice::ReadOnly))
        return {};
    const QJsonArray notices =
        QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("notices")).toArray();
    QList<AlertEntry> out;
    for (const QJsonValue &v : notices) {
        const QJsonObject o = v.toObject();
        AlertEntry e;
        e.forecast = true;
        e.date = o.value(QLatin1String("date")).toString();
        e.causeDir = o.value(QLatin1String("causeDir")).toString();
        e.growth = Tavrin::jsonBytes(o.value(QLatin1String("causeGrowth")));
        e.daysLeft = o.value(QLatin1String("daysLeft")).isDouble()
                         ? Tavrin::jsonBytes(o.value(QLatin1String("daysLeft")))
                         : -1;
        e.fullDate = o.value(QLatin1String("fullDate")).toString();
        // Only what was sent; a notice without its date or its days is not one.
        if (Tavrin::parseIsoDay(e.date).isValid() && e.daysLeft >= 0 &&
            o.value(QLatin1String("alerted")).toBool())
            out << e;
    }
    return out;
}

QList<AlertEntry> mergeAlerts(const QList<AlertEntry> &spikes, const QList<AlertEntry> &forecasts)
{
    QList<AlertEntry> out = spikes;
    out += forecasts;
    std::stable_sort(out.begin(), out.end(), [](const AlertEntry &a, const AlertEntry &b) {
        return a.date != b.date ? a.date < b.date : (!a.forecast && b.forecast);
    });
    return out;
}

QString forecastAlertText(const AlertEntry &entry)
{
    if (entry.daysLeft <= 0)
        return Text::tr("系统盘已满");
    return Text::tr("预计 %1 天后写满（%2）").arg(QString::number(entry.daysLeft), entry.fullDate);
}

namespace {

ForecastLine forecastOfDay(const QJsonObject &current, const QString &error, const QDate &today,
                           int limitDays);

} // namespace

ForecastLine forecastLine(const QJsonObject &current, const QString &error, const QDate &today, int limitDays)
{
    ForecastLine line = forecastOfDay(current, error, today, limitDays);
    const QDate date = Tavrin::parseIsoDay(current.value(QLatin1String("date")).toString());
    // A forecast of an earlier day says so: the monitor has not run since.
    if (error.isEmpty() && date.isValid() && date < today)
        line.text = Text::tr("%1（%2 的预测）").arg(line.text, date.toString(Qt::ISODate));
    return line;
}

namespace {

ForecastLine forecastOfDay(const QJsonObject &current, const QString &error, const QDate &today,
                           int limitDays)
{
    using namespace TavrinUi;
    if (!error.isEmpty())
        return {Text::tr("写满预测：未知（%1）").arg(error), Warning};
    if (current.isEmpty())
        return {Text::tr("写满预测：尚无，后台监控完成一次采样后给出"), Muted};
    const QString state = current.value(QLatin1String("state")).toString();
    Q_UNUSED(today);
    const QString causeDir = current.value(QLatin1String("causeDir")).toString();
    const QString cause =
        causeDir.isEmpty()
            ? Text::tr("增长最多的目录未知")
            : Text::tr("增长最多：%1（14 天内 %2）")
                  .arg(causeDir,
                       Tavrin::formatSize(Tavrin::jsonBytes(current.value(QLatin1String("causeGrowth")))));
    if (state == QLatin1String("noHistory"))
        return {Text::tr("写满预测：记录不足 3 天，暂不预测"), Muted};
    if (state == QLatin1String("notGrowing"))
        return {Text::tr("写满预测：近 14 天未增长"), Muted};
    if (state == QLatin1String("full"))
        return {Text::tr("写满预测：系统盘已满 · %1").arg(cause), Danger};
    const QJsonValue daysValue = current.value(QLatin1String("daysLeft"));
    if (state != QLatin1String("forecast") || !daysValue.isDouble())
        return {Text::tr("写满预测：未知（%1）").arg(state.isEmpty() ? Text::tr("记录不完整") : state),
                Warning};
    const qint64 days = Tavrin::jsonBytes(daysValue);
    const QString full = current.value(QLatin1String("fullDate")).toString();
    const QString when = full.isEmpty() ? Text::tr("约 %1 天后").arg(days)
                                        : Text::tr("约 %1 天后（%2）").arg(QString::number(days), full);
    const Semantic semantic = limitDays > 0 && days <= limitDays ? Danger : Normal;
    return {Text::tr("写满预测：%1写满 · %2").arg(when, cause), semantic};
}

} // namespace

QMap<QDate, QStringList> deploymentEvents(const QList<Tavrin::DeployInfo> &deploys)
{
    QList<Tavrin::DeployInfo> dated;
    qint64 backupTime = -1;
    for (const Tavrin::DeployInfo &d : deploys) {
        if (d.time <= 0)
            continue;
        dated.append(d);
        if (d.isRollbackBackup)
            backupTime = std::max(backupTime, d.time);
    }
    std::stable_sort(
        dated.begin(), dated.end(),
        [](const Tavrin::DeployInfo &a, const Tavrin::DeployInfo &b) { return a.time < b.time; });
    QMap<QDate, QStringList> out;
    for (const Tavrin::DeployInfo &d : std::as_const(dated)) {
        const QString version = d.version.isEmpty() ? Text::tr("未知版本") : d.version;
        QString text;
        if (d.hidden)
            text = Text::tr("待生效的 %1").arg(version);
        else if (d.isBooted && backupTime >= 0 && d.time > backupTime)
            // The backup is the system that ran before the rollback; what booted after it is the rollback.
            text = Text::tr("回滚到 %1").arg(version);
        else
            text = Text::tr("升级到 %1").arg(version);
        out[QDateTime::fromSecsSinceEpoch(d.time).date()].append(text);
    }
    return out;
}

QString chartSizeText(qint64 bytes)
{
    if (bytes > -1024 && bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" B");
    static const char *const units[] = {"KB", "MB", "GB", "TB"};
    double v = double(bytes) / 1024.0;
    int u = 0;
    while (std::abs(v) >= 1024.0 && u < 3) {
        v /= 1024.0;
        ++u;
    }
    return QString::number(v, 'f', 2) + QLatin1Char(' ') + QLatin1String(units[u]);
}

} // namespace DiskPage
