#include "snapshotdeletedialog.h"

#include "snapshotspage.h"
#include "ui/confirmdialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

namespace {

struct Text
{
    Q_DECLARE_TR_FUNCTIONS(SnapshotsPage)
};

} // namespace

bool confirmSnapshotDelete(SnapshotsPage *page, const Tavrin::SnapshotInfo &snap, const QString &shownName)
{
    const QString id = snap.id;
    const QPointer<SnapshotsPage> source(page);
    auto freedLine = [source, id] {
        return Text::tr("可释放空间: %1")
            .arg(source ? source->freedText(id) : Tavrin::formatMeasuredSize(Tavrin::MeasuredSize()));
    };

    TavrinUi::ConfirmRequest req;
    req.title = Text::tr("删除备份");
    req.message = Text::tr("删除后该备份的增量数据将被释放，且无法恢复。");
    // What the deletion frees: the snapshot's own data and the objects no other tree holds.
    req.facts = {Text::tr("目标备份: %1").arg(shownName),
                 Text::tr("创建时间: %1").arg(Tavrin::formatTime(snap.time)), freedLine()};
    req.confirmText = Text::tr("删除");
    req.cancelText = Text::tr("取消");
    req.tone = 2;
    req.prepare = [source, freedLine](QWidget *, const QList<QLabel *> &facts) {
        QLabel *line = facts.value(2);
        if (!source || !line)
            return;
        QObject::connect(source, &SnapshotsPage::sizesChanged, line, [line, freedLine] {
            line->setText(freedLine());
        });
    };
    return TavrinUi::askConfirm(page, req);
}
