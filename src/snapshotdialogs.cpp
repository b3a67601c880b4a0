#include "snapshotdialogs.h"

#include "ui/components.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QTextEdit>
#include <QVBoxLayout>

#include "zdialog.h"
#include "zlabel.h"

namespace SnapshotDialogs {

namespace {

constexpr int kNameLimit = 60;

} // namespace

// Names come from whoever made the snapshot.
QString shortName(const QString &text)
{
    QString line;
    line.reserve(text.size());
    for (const QChar c : text)
        line.append(c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                            c == QChar::ParagraphSeparator
                        ? QChar(QLatin1Char(' '))
                        : c);
    if (line.size() > kNameLimit) {
        const int head = (kNameLimit - 1) / 2;
        line = line.left(head) + QChar(0x2026) + line.right(kNameLimit - 1 - head);
    }
    return line;
}

std::optional<SnapshotText> askSnapshotText(QWidget *parent, const TextDialogSetup &setup)
{
    const bool create = setup.mode == TextDialogSetup::Create;
    ZDialog dialog(parent);
    TavrinUi::disableDialogTransparency(&dialog);
    TavrinUi::makeDialogNonBlockingWindowModal(&dialog);
    dialog.setObjectName(create ? QStringLiteral("tavrinCreateSnapshotDialog")
                                : QStringLiteral("tavrinEditSnapshotDialog"));
    dialog.setTitle(create ? QCoreApplication::translate("SnapshotsPage", "创建备份")
                           : QCoreApplication::translate("SnapshotsPage", "编辑备份"));
    dialog.setFixedWidth(480);
    auto *form = new QWidget(&dialog);
    auto *formLayout = new QVBoxLayout(form);
    formLayout->setContentsMargins(20, 12, 20, 12);
    formLayout->setSpacing(12);
    ZLabel *nameLabel = TavrinUi::makeLabel(QCoreApplication::translate("SnapshotsPage", "备份名称"),
                                            TavrinUi::Body, TavrinUi::Normal);
    nameLabel->setObjectName(QStringLiteral("tavrinRowLabel"));
    formLayout->addWidget(nameLabel);
    auto *nameEdit = new QLineEdit(form);
    nameEdit->setObjectName(QStringLiteral("tavrinSnapshotName"));
    nameEdit->setPlaceholderText(QCoreApplication::translate("SnapshotsPage", "例如: 更新前备份"));
    nameEdit->setText(setup.name);
    nameLabel->setBuddy(nameEdit);
    nameEdit->setAccessibleName(nameLabel->text());
    formLayout->addWidget(nameEdit);
    ZLabel *descLabel = TavrinUi::makeLabel(QCoreApplication::translate("SnapshotsPage", "描述(可选)"),
                                            TavrinUi::Body, TavrinUi::Normal);
    formLayout->addWidget(descLabel);
    auto *descEdit = new QTextEdit(form);
    descLabel->setBuddy(descEdit);
    descEdit->setAccessibleName(descLabel->text());
    // A description has no use for tab characters; Tab moves on to the buttons.
    descEdit->setTabChangesFocus(true);
    descEdit->setObjectName(QStringLiteral("tavrinSnapshotDesc"));
    descEdit->setAcceptRichText(false);
    descEdit->setFixedHeight(76);
    descEdit->setPlaceholderText(QCoreApplication::translate("SnapshotsPage", "记录该备份的用途..."));
    descEdit->setPlainText(setup.desc);
    formLayout->addWidget(descEdit);
    if (!setup.notice.isEmpty()) {
        ZLabel *notice =
            TavrinUi::makeLabel(setup.notice.join(QLatin1Char('\n')), TavrinUi::Body, TavrinUi::Warning);
        notice->setObjectName(QStringLiteral("tavrinPruneNotice"));
        // Names are shown as they are, never as markup.
        notice->setTextFormat(Qt::PlainText);
        notice->setWordWrap(true);
        formLayout->addWidget(notice);
    }
    dialog.addContent(form);
    dialog.addButton(QCoreApplication::translate("SnapshotsPage", "取消"), false, ZDialog::ButtonNormal);
    dialog.addButton(create ? QCoreApplication::translate("SnapshotsPage", "创建")
                            : QCoreApplication::translate("SnapshotsPage", "保存"),
                     true, ZDialog::ButtonRecommend);
    nameEdit->setFocus();
    nameEdit->selectAll();

    QPointer<QWidget> owner(parent);
    const int clicked = dialog.exec();
    if (!owner || clicked != 1)
        return std::nullopt;
    return SnapshotText{nameEdit->text().trimmed(), descEdit->toPlainText().trimmed()};
}

QString createProblem(const QString &name, const QString &desc)
{
    if (name.isEmpty())
        return QCoreApplication::translate("SnapshotsPage", "备份名称不能为空，请填写后重试。");
    return Tavrin::snapshotTextProblem(name, desc);
}

QString editProblem(const QString &name, const QString &desc)
{
    const QString problem = createProblem(name, desc);
    if (!problem.isEmpty())
        return problem;
    if (Tavrin::snapshotLooksInitial(name, desc))
        return QCoreApplication::translate(
            "SnapshotsPage",
            "名称含“First”或描述含“System initialization”的备份会被视为系统初始备份，请换一个写法。");
    return QString();
}

QStringList pruneNotice(const Tavrin::PrunePlan &plan, const Tavrin::RetentionPrefs &prefs, bool listKnown)
{
    if (!prefs.prunes())
        return {};
    if (!listKnown)
        return {
            QCoreApplication::translate("SnapshotsPage", "备份列表未能读取，本次创建不会自动清理超限备份。")};
    QStringList lines;
    if (!plan.remove.isEmpty()) {
        lines << QCoreApplication::translate(
                     "SnapshotsPage", "创建后将超出备份数量上限（%1 个），以下最旧的普通备份将被删除：")
                     .arg(prefs.limit);
        for (const Tavrin::SnapshotInfo &s : plan.remove)
            lines << QCoreApplication::translate("SnapshotsPage", "• %1（%2）")
                         .arg(shortName(s.name), Tavrin::formatTime(s.time));
    }
    if (plan.stillOver > 0)
        lines << QCoreApplication::translate(
                     "SnapshotsPage", "系统初始备份与回滚前安全备份不会被删除，创建后仍有 %1 个超出上限。")
                     .arg(plan.stillOver);
    return lines;
}

QString pruneSummary(const Tavrin::PruningCreateOutcome &outcome, const QString &name,
                     const QList<Tavrin::SnapshotInfo> &removing, bool *warning)
{
    *warning = false;
    if (!outcome.authorized)
        return QCoreApplication::translate("SnapshotsPage", "创建未执行，未删除任何备份，系统未做任何更改。");
    if (!outcome.created)
        return QCoreApplication::translate("SnapshotsPage",
                                           "创建失败，未删除任何备份，请查看详情了解具体原因。");
    if (outcome.notRemoved.isEmpty())
        return QCoreApplication::translate("SnapshotsPage", "备份“%1”创建成功，已清理 %2 个超限备份。")
            .arg(shortName(name))
            .arg(outcome.removed.size());
    *warning = true;
    QStringList names;
    for (const Tavrin::SnapshotInfo &s : removing) {
        if (outcome.notRemoved.contains(s.id))
            names << QStringLiteral("“%1”").arg(shortName(s.name));
    }
    return QCoreApplication::translate("SnapshotsPage", "备份“%1”创建成功，但以下超限备份未能删除：%2")
        .arg(shortName(name), QLocale().createSeparatedList(names));
}

} // namespace SnapshotDialogs
