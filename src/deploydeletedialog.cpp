#include "deploydeletedialog.h"

#include "backend/freedspacecache.h"
#include "ui/confirmdialog.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>

namespace {

struct Text
{
    Q_DECLARE_TR_FUNCTIONS(DeploysPage)
};

QString freedLine(const Tavrin::FreedSpaceCache *figures, const QString &commit)
{
    const std::optional<Tavrin::MeasuredSize> size = figures ? figures->figure(commit) : std::nullopt;
    return Text::tr("可释放空间: %1").arg(size ? Tavrin::formatMeasuredSize(*size) : Text::tr("计算中…"));
}

// The line and, when the figure is not exact, why.
void showFigure(QLabel *line, const Tavrin::FreedSpaceCache *figures, const QString &commit)
{
    line->setText(freedLine(figures, commit));
    const std::optional<Tavrin::MeasuredSize> size = figures ? figures->figure(commit) : std::nullopt;
    line->setToolTip(size ? size->error : QString());
    line->setAccessibleDescription(line->toolTip());
}

} // namespace

bool confirmDeployDelete(QWidget *parent, const Tavrin::DeployInfo &d, Tavrin::FreedSpaceCache *figures)
{
    const QString commit = d.commit;
    const QString name = d.version.isEmpty() ? d.commit.left(12) : d.version;
    const QPointer<Tavrin::FreedSpaceCache> source(figures);
    if (figures)
        figures->request(commit);

    TavrinUi::ConfirmRequest req;
    req.title = Text::tr("删除部署");
    req.message = Text::tr("删除后该版本的系统将无法再启动，占用空间会被释放。此操作不可撤销。");
    req.facts = {Text::tr("系统版本: %1").arg(name), Text::tr("部署时间: %1").arg(Tavrin::formatTime(d.time)),
                 Text::tr("提交ID: %1").arg(d.commit.left(12) + QStringLiteral("...")), freedLine(figures, commit)};
    req.confirmText = Text::tr("删除");
    req.cancelText = Text::tr("取消");
    req.tone = 2;
    req.prepare = [source, commit](QWidget *, const QList<QLabel *> &facts) {
        QLabel *line = facts.value(3);
        if (!source || !line)
            return;
        QObject::connect(source, &Tavrin::FreedSpaceCache::figureChanged, line,
                         [source, commit, line](const QString &changed) {
                             if (changed != commit || !source)
                                 return;
                             showFigure(line, source, commit);
                             // Dropped (the lists changed): this dialog still wants its figure.
                             if (!source->figure(commit))
                                 source->request(commit);
                         });
        // The figure may have arrived between the request and the dialog.
        showFigure(line, source, commit);
    };
    return TavrinUi::askConfirm(parent, req);
}
