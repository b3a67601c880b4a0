// The snapshots page's changes to snapshots other than delete and rollback:
// a creation with the clean-up the retention preferences ask for, and the
// editing of a name and description, shown in place.

#include "snapshotspage.h"

#include "snapshotdialogs.h"
#include "snapshotrowdelegate.h"
#include "ui/components.h"

#include <QDateTime>
#include <QPointer>
#include <QTableWidget>

namespace {

QVariantMap snapshotMap(const Tavrin::SnapshotInfo &snap)
{
    return {{QStringLiteral("id"), snap.id},
            {QStringLiteral("name"), snap.name},
            {QStringLiteral("desc"), snap.desc},
            {QStringLiteral("time"), snap.time}};
}

Tavrin::SnapshotInfo snapshotFromMap(const QVariantMap &map)
{
    Tavrin::SnapshotInfo snap;
    snap.id = map.value(QStringLiteral("id")).toString();
    snap.name = map.value(QStringLiteral("name")).toString();
    snap.desc = map.value(QStringLiteral("desc")).toString();
    snap.time = map.value(QStringLiteral("time")).toLongLong();
    snap.isInitial = Tavrin::snapshotLooksInitial(snap.name, snap.desc);
    return snap;
}

} // namespace

void SnapshotsPage::updateLimitCard(int count)
{
    if (retention.limit <= 0) {
        limitCard->setValue(tr("不限制"), TavrinUi::Normal, TavrinUi::Hero);
        limitCard->setStatus(QString(), TavrinUi::Muted);
        limitCard->setToolTip(QString());
        limitCard->setAccessibleDescription(QString());
        return;
    }
    const bool over = count > retention.limit;
    QString note = retention.autoPrune ? tr("创建备份时自动删除超出上限的最旧普通备份。")
                                       : tr("超限自动清理已关闭，超出上限的备份不会被删除。");
    if (over)
        note = tr("当前 %1 个，超出上限 %2 个。%3").arg(count).arg(count - retention.limit).arg(note);
    limitCard->setValue(tr("%1 个").arg(retention.limit), over ? TavrinUi::Warning : TavrinUi::Normal,
                        TavrinUi::Hero);
    limitCard->setStatus(retention.autoPrune ? tr("自动清理") : tr("不自动清理"),
                         retention.autoPrune ? TavrinUi::Muted : TavrinUi::Warning);
    limitCard->setToolTip(note);
    limitCard->setAccessibleDescription(note);
}

void SnapshotsPage::onCreate()
{
    if (operationRunning) {
        banner->setSemantic(TavrinUi::Warning);
        banner->setClosable(true);
        banner->setDetails(QString(), QString());
        banner->setText(tr("上一项操作尚未完成，请稍候再试。"));
        return;
    }
    // Read again: the preferences may have changed since the list was read.
    retention = Tavrin::readRetentionPrefs();
    const bool listKnown = loadError->isHidden();
    updateLimitCard(listKnown ? int(snapshots.size()) : -1);
    const Tavrin::PrunePlan prune = retention.prunes() && listKnown
                                        ? Tavrin::planPruning(snapshots, retention.limit, 1, {safetyBackupId},
                                                              Tavrin::maxPrunedPerCreate())
                                        : Tavrin::PrunePlan();

    SnapshotDialogs::TextDialogSetup setup;
    setup.mode = SnapshotDialogs::TextDialogSetup::Create;
    setup.name = tr("手动备份-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmm"));
    setup.notice = SnapshotDialogs::pruneNotice(prune, retention, listKnown);
    QPointer<SnapshotsPage> self(this);
    const std::optional<SnapshotDialogs::SnapshotText> text = SnapshotDialogs::askSnapshotText(this, setup);
    if (!self || !text)
        return;
    const QString problem = SnapshotDialogs::createProblem(text->name, text->desc);
    if (!problem.isEmpty() || operationRunning) {
        banner->setSemantic(problem.isEmpty() ? TavrinUi::Warning : TavrinUi::Danger);
        banner->setClosable(true);
        banner->setDetails(QString(), QString());
        banner->setText(problem.isEmpty() ? tr("上一项操作尚未完成，请稍候再试。") : problem);
        return;
    }
    // Exactly the snapshots the dialog named, even if the list has changed since.
    runCreate(text->name, text->desc, prune.remove);
}

void SnapshotsPage::runCreate(const QString &name, const QString &desc,
                              const QList<Tavrin::SnapshotInfo> &removing)
{
    const auto done = [this, name, removing](const QVariant &value) {
        const QVariantMap result = value.toMap();
        if (holdWhileChildRuns(result, [this] {
                finishOperation();
                refresh();
            }))
            return;
        finishOperation();
        const QString msg = result.value(QStringLiteral("msg")).toString();
        if (removing.isEmpty()) {
            if (result.value(QStringLiteral("ok")).toBool())
                showSuccess(tr("备份“%1”创建成功。").arg(SnapshotDialogs::shortName(name)));
            else
                showFailure(tr("创建失败，请查看详情了解具体原因。"), msg);
        } else {
            Tavrin::PruningCreateOutcome outcome;
            outcome.authorized = result.value(QStringLiteral("authorized")).toBool();
            outcome.created = result.value(QStringLiteral("created")).toBool();
            outcome.removed = result.value(QStringLiteral("removed")).toStringList();
            outcome.notRemoved = result.value(QStringLiteral("notRemoved")).toStringList();
            bool warning = false;
            const QString summary = SnapshotDialogs::pruneSummary(outcome, name, removing, &warning);
            if (outcome.created && !warning)
                showSuccess(summary);
            else if (warning)
                showFeedbackWithDetails(TavrinUi::Warning, summary, tr("完整输出"),
                                        Tavrin::friendlyExecError(msg), false);
            else
                showFailure(summary, msg);
        }
        refresh();
    };

    if (removing.isEmpty()) {
        startOperation(tr("正在创建备份, 请稍候..."));
        runAsync(
            [name, desc] {
                const Tavrin::CommandResult r = Tavrin::createSnapshot(name, desc);
                QVariantMap result;
                result.insert(QStringLiteral("ok"), r.ok);
                result.insert(QStringLiteral("msg"), r.error);
                result.insert(QStringLiteral("child"), r.runningChild);
                return QVariant(result);
            },
            done);
        return;
    }
    QStringList ids;
    for (const Tavrin::SnapshotInfo &s : removing)
        ids << s.id;
    startOperation(tr("正在创建备份并清理超限备份, 请稍候..."));
    runAsync(
        [name, desc, ids] {
            // One authorization for the new snapshot and the removals.
            const Tavrin::PruningCreateOutcome o = Tavrin::createSnapshotPruning(name, desc, ids);
            QVariantMap result;
            result.insert(QStringLiteral("authorized"), o.authorized);
            result.insert(QStringLiteral("created"), o.created);
            result.insert(QStringLiteral("removed"), o.removed);
            result.insert(QStringLiteral("notRemoved"), o.notRemoved);
            result.insert(QStringLiteral("msg"), o.error);
            result.insert(QStringLiteral("child"), o.runningChild);
            return QVariant(result);
        },
        done);
}

void SnapshotsPage::onEdit(const QString &id)
{
    const Tavrin::SnapshotInfo *snap = operationRunning ? nullptr : findSnapshot(id);
    if (!snap || snap->isInitial)
        return;
    const Tavrin::SnapshotInfo listed = *snap;
    // The dialog starts from what the tool holds now, not from a list that may be old.
    startOperation(tr("正在读取备份信息..."));
    runAsync([id] { return QVariant(snapshotMap(Tavrin::getSnapshotDetail(id))); },
             [this, listed](const QVariant &value) {
                 finishOperation();
                 Tavrin::SnapshotInfo current = snapshotFromMap(value.toMap());
                 if (current.id != listed.id) {
                     showFailure(tr("无法读取该备份的当前名称与描述，未做任何修改。"),
                                 tr("snapshot show %1 未返回该备份").arg(listed.id));
                     return;
                 }
                 if (current.isInitial)
                     return;
                 editSnapshot(current);
             });
}

void SnapshotsPage::editSnapshot(const Tavrin::SnapshotInfo &current)
{
    SnapshotDialogs::TextDialogSetup setup;
    setup.mode = SnapshotDialogs::TextDialogSetup::Edit;
    setup.name = current.name;
    setup.desc = current.desc;
    QPointer<SnapshotsPage> self(this);
    const std::optional<SnapshotDialogs::SnapshotText> text = SnapshotDialogs::askSnapshotText(this, setup);
    if (!self || !text)
        return;
    // Nothing changed: nothing to authorize.
    if (text->name == current.name.trimmed() && text->desc == current.desc.trimmed())
        return;
    const QString problem = SnapshotDialogs::editProblem(text->name, text->desc);
    if (!problem.isEmpty() || operationRunning) {
        banner->setSemantic(problem.isEmpty() ? TavrinUi::Warning : TavrinUi::Danger);
        banner->setClosable(true);
        banner->setDetails(QString(), QString());
        banner->setText(problem.isEmpty() ? tr("上一项操作尚未完成，请稍候再试。") : problem);
        return;
    }

    const QString id = current.id;
    const QString name = text->name;
    const QString desc = text->desc;
    const qint64 time = current.time;
    startOperation(tr("正在保存备份信息..."));
    runAsync(
        [id, name, desc, time] {
            const Tavrin::CommandResult r = Tavrin::modifySnapshot(id, name, desc);
            QVariantMap result;
            result.insert(QStringLiteral("ok"), r.ok);
            result.insert(QStringLiteral("msg"), r.error);
            result.insert(QStringLiteral("child"), r.runningChild);
            if (r.ok) {
                // The row shows what the tool now holds; what was asked for when it cannot say.
                Tavrin::SnapshotInfo shown = Tavrin::getSnapshotDetail(id);
                if (shown.id != id)
                    shown = Tavrin::SnapshotInfo{id, name, desc, time, false};
                result.insert(QStringLiteral("snap"), snapshotMap(shown));
            }
            return QVariant(result);
        },
        [this](const QVariant &value) {
            const QVariantMap result = value.toMap();
            if (holdWhileChildRuns(result, [this] {
                    finishOperation();
                    refresh();
                }))
                return;
            finishOperation();
            if (!result.value(QStringLiteral("ok")).toBool()) {
                showFailure(tr("修改失败，请查看详情了解具体原因。"),
                            result.value(QStringLiteral("msg")).toString());
                return;
            }
            const Tavrin::SnapshotInfo edited = snapshotFromMap(result.value(QStringLiteral("snap")).toMap());
            showEdited(edited);
            showSuccess(tr("备份“%1”已更新。").arg(SnapshotDialogs::shortName(edited.name)));
        });
}

// The row changes in place: the selection, the focus and what an assistive
// tool holds of the table stay.
void SnapshotsPage::showEdited(const Tavrin::SnapshotInfo &edited)
{
    for (Tavrin::SnapshotInfo &snap : snapshots) {
        if (snap.id != edited.id)
            continue;
        snap.name = edited.name;
        snap.desc = edited.desc;
        if (edited.time > 0)
            snap.time = edited.time;
        snap.isInitial = edited.isInitial;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (rowId(row) != snap.id)
                continue;
            fillRow(row, snap, !safetyBackupId.isEmpty() && snap.id == safetyBackupId);
            describeRow(row, snap);
        }
        return;
    }
}
