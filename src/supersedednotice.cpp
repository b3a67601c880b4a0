#include "supersedednotice.h"

#include <QPushButton>

SupersededNotice::SupersededNotice(QWidget *parent) : TavrinUi::TavrinInlineBanner(parent)
{
    setObjectName(QStringLiteral("tavrinSupersededNotice"));
    setSemantic(TavrinUi::Warning);
    setClosable(false);
    removeButton = addAction(tr("删除安全备份"), false);
    removeButton->setAutoDefault(false);
    removeButton->setFocusPolicy(Qt::StrongFocus);
    connect(removeButton, &QPushButton::clicked, this, &SupersededNotice::removeRequested);
    setVisible(false);
}

void SupersededNotice::showState(const Tavrin::RollbackState &state, bool superseded)
{
    shown = state;
    if (!superseded) {
        setVisible(false);
        return;
    }
    const QString target =
        state.rollbackTargetName.isEmpty() ? state.rollbackTarget : state.rollbackTargetName;
    const QString backup =
        state.backupSnapshotName.isEmpty() ? state.backupSnapshotId : state.backupSnapshotName;
    QString text = tr("回滚到「%1」的还原已被随后的升级取代，不会生效。").arg(target);
    if (!backup.isEmpty())
        text += QLatin1Char('\n') + tr("回滚前安全备份「%1」不会再自动删除，可在此手动删除。").arg(backup);
    setText(text);
    removeButton->setText(backup.isEmpty() ? tr("清除还原记录") : tr("删除安全备份"));
    removeButton->setAccessibleName(backup.isEmpty() ? tr("清除还原记录")
                                                     : tr("删除安全备份：%1").arg(backup));
    setVisible(true);
}
