#include "updatepage.h"

#include "backend/reclaim.h"
#include "backend/upgradespace.h"
#include "compare/compareentry.h"
#include "mainwindow.h"
#include "scrollpage.h"
#include "ui/components.h"
#include "ui/confirmdialog.h"
#include "ui/pageblocks.h"

#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

#include "zlabel.h"

namespace {

qint64 g_requiredFreeBytes = Tavrin::kUpgradeFallbackBytes;

// A count that does not fit an int is unreadable, not zero.
int countOf(const QString &digits)
{
    bool ok = false;
    const int value = digits.toInt(&ok);
    return ok ? value : -1;
}

int jsonCount(const QJsonValue &value)
{
    if (!value.isDouble())
        return -1;
    const double d = value.toDouble();
    if (d < 0 || d > double(std::numeric_limits<int>::max()) || d != std::floor(d))
        return -1;
    return int(d);
}

QVariant resultMap(const Tavrin::CommandResult &r)
{
    QVariantMap map;
    map.insert(QStringLiteral("ok"), r.ok);
    map.insert(QStringLiteral("out"), r.output);
    map.insert(QStringLiteral("msg"), r.error);
    map.insert(QStringLiteral("child"), r.runningChild);
    return map;
}

QPushButton *actionButton(const QString &text, bool primary, const QString &accessible)
{
    QPushButton *b = Ui::button(text, primary);
    b->setFocusPolicy(Qt::StrongFocus);
    b->setAutoDefault(false);
    b->setAccessibleName(accessible);
    return b;
}

} // namespace

QPair<int, int> UpdatePage::parseCheckCounts(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("Total\\s*count\\s*:\\s*(\\d+)\\s*,\\s*Need\\s*download\\s*count\\s*:\\s*(\\d+)"),
        QRegularExpression::CaseInsensitiveOption);
    const QPair<int, int> none(-1, -1);
    const QRegularExpressionMatch m = pattern.match(text);
    if (m.hasMatch()) {
        const int total = countOf(m.captured(1));
        const int need = countOf(m.captured(2));
        return total < 0 || need < 0 ? none : qMakePair(total, need);
    }
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    if (!doc.isObject())
        return none;
    const QJsonObject object = doc.object();
    const QJsonObject data = object.value(QLatin1String("data")).toObject();
    QPair<int, int> counts = none;
    if (data.contains(QLatin1String("total")) && data.contains(QLatin1String("need_download")))
        counts = {jsonCount(data.value(QLatin1String("total"))),
                  jsonCount(data.value(QLatin1String("need_download")))};
    else
        counts = {jsonCount(object.value(QLatin1String("total_count"))),
                  jsonCount(object.value(QLatin1String("need_download_count")))};
    return counts.first < 0 || counts.second < 0 ? none : counts;
}

void UpdatePage::setRequiredFreeBytes(qint64 bytes)
{
    g_requiredFreeBytes = qMax<qint64>(0, bytes);
}

qint64 UpdatePage::requiredFreeBytes()
{
    return g_requiredFreeBytes;
}

UpdatePage::UpdatePage(MainWindow *window) : BasePage(window), window(window)
{
    useLoadingMask = false;

    const ScrollPage frame = buildScrollPage(this, 16);
    auto *scroll = frame.scroll;
    QWidget *content = frame.content;
    QVBoxLayout *layout = frame.layout;

    layout->addWidget(Ui::pageHeader(tr("系统更新"), tr("通过Tavrin系统原子更新机制升级系统"),
                                     QStringLiteral("cycle-update")));

    banner = new TavrinUi::TavrinInlineBanner(content);
    banner->setVisible(false);
    feedbackBanner = banner;
    layout->addWidget(banner);

    rebootButton = actionButton(tr("立即重启"), true, tr("立即重启以进入新系统"));
    rebootButton->setVisible(false);
    connect(rebootButton, &QPushButton::clicked, this, &UpdatePage::onReboot);
    stagedChanges = new StagedChangesButton(this);
    auto *afterUpgrade = new QHBoxLayout;
    afterUpgrade->addWidget(rebootButton);
    afterUpgrade->addWidget(stagedChanges);
    afterUpgrade->addStretch(1);
    layout->addLayout(afterUpgrade);

    auto *checkSection = new TavrinUi::TavrinSection(tr("更新检查"), tr("检查系统是否有可用的更新"), content);
    auto *statusRow = new QHBoxLayout;
    statusRow->setSpacing(12);
    statusIcon = new QLabel(checkSection);
    statusIcon->setFixedSize(48, 48);
    statusIcon->setAlignment(Qt::AlignCenter);
    statusRow->addWidget(statusIcon, 0, Qt::AlignTop);
    statusText = TavrinUi::makeLabel(QString(), TavrinUi::ItemTitle, TavrinUi::Normal);
    statusText->setWordWrap(true);
    statusText->setObjectName(QStringLiteral("tavrinUpdateStatus"));
    statusRow->addWidget(statusText, 1);
    statusBadge = new TavrinUi::TavrinBadge(tr("未检查"), TavrinUi::Muted, checkSection);
    statusRow->addWidget(statusBadge, 0, Qt::AlignVCenter);
    checkSection->contentLayout()->addLayout(statusRow);
    layout->addWidget(checkSection);
    updateStatusCard(TavrinUi::Muted, tr("尚未检查更新，点击下方「检查更新」获取最新状态。"));

    auto *aboutSection = new TavrinUi::TavrinSection(tr("更新说明"), tr("Tavrin系统升级特性"), content);
    const QList<QStringList> features = {
        {QStringLiteral("shield-check"), tr("自动备份与回滚"),
         tr("升级前系统自动创建备份，升级失败自动回滚到之前状态")},
        {QStringLiteral("cycle-update"), tr("原子更新"),
         tr("更新过程要么全部成功，要么整体回退，无需手动干预")},
        {QStringLiteral("layers-snapshot"), tr("部署保留策略"),
         tr("升级会创建新的系统部署，旧部署按「最大备份部署数」策略保留")},
        {QStringLiteral("system-reboot"), tr("重启生效"), tr("升级完成后需重启进入新系统")}};
    for (const QStringList &f : features)
        aboutSection->contentLayout()->addWidget(Ui::featureRow(f.at(0), f.at(1), f.at(2), aboutSection));
    layout->addWidget(aboutSection);

    auto *actionSection = new TavrinUi::TavrinSection(tr("操作"), QString(), content);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    QPushButton *check = actionButton(tr("检查更新"), false, tr("检查更新"));
    QPushButton *upgrade = actionButton(tr("下载并升级"), true, tr("下载并升级系统"));
    QPushButton *clean = actionButton(tr("清理下载缓存"), false, tr("清理升级下载缓存"));
    connect(check, &QPushButton::clicked, this, &UpdatePage::onCheck);
    connect(upgrade, &QPushButton::clicked, this, &UpdatePage::onUpgrade);
    connect(clean, &QPushButton::clicked, this, &UpdatePage::onClean);
    for (QPushButton *b : {check, upgrade, clean})
        buttons->addWidget(b);
    buttons->addStretch(1);
    actionSection->contentLayout()->addLayout(buttons);
    layout->addWidget(actionSection);

    loading = new TavrinUi::TavrinLocalLoading(QString(), content);
    loading->stop();
    layout->addWidget(loading);

    detailsBox = new TavrinUi::TavrinCollapsible(tr("更新详情"), content);
    detailsBox->setObjectName(QStringLiteral("tavrinUpdateDetails"));
    outputLabel = TavrinUi::makeLabel(QString(), TavrinUi::Caption, TavrinUi::Normal);
    outputLabel->setTextFormat(Qt::PlainText);
    outputLabel->setWordWrap(true);
    outputLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    detailsBox->setContent(outputLabel);
    detailsBox->setVisible(false);
    layout->addWidget(detailsBox);
    layout->addStretch(1);

    scroll->setWidget(content);
}

void UpdatePage::refresh()
{
    stagedChanges->check();
}

void UpdatePage::requestCheckUpdate()
{
    onCheck();
}

void UpdatePage::begin(const QString &loadingText)
{
    operationRunning = true;
    setOutput(QString());
    loading->setText(loadingText);
    loading->start();
}

void UpdatePage::finish()
{
    loading->stop();
    operationRunning = false;
}

void UpdatePage::showResult(TavrinUi::Semantic semantic, const QString &text, bool autoDismiss)
{
    rebootButton->setVisible(false);
    banner->setDetails(QString(), QString());
    banner->setSemantic(semantic);
    banner->setClosable(!autoDismiss);
    banner->setText(text);
    if (autoDismiss)
        banner->autoDismiss(3000);
}

void UpdatePage::setOutput(const QString &output)
{
    const QString t = output.trimmed();
    const QPair<int, int> counts = parseCheckCounts(t);
    if (counts.first < 0)
        outputLabel->setText(t);
    else if (counts.second > 0)
        outputLabel->setText(tr("可更新项：%1　需下载：%2").arg(counts.first).arg(counts.second));
    else if (counts.first > 0)
        outputLabel->setText(tr("可更新项：%1").arg(counts.first));
    else
        outputLabel->setText(tr("可更新项：0（系统已是最新）"));
    detailsBox->setVisible(!t.isEmpty());
}

void UpdatePage::updateStatusCard(TavrinUi::Semantic semantic, const QString &text)
{
    statusText->setText(text);
    QIcon icon;
    switch (semantic) {
    case TavrinUi::Success:
        icon = QIcon(QStringLiteral(":/icons/nav/shield-check.svg"));
        statusBadge->setText(tr("已是最新"));
        statusBadge->setSemantic(TavrinUi::Success);
        break;
    case TavrinUi::Danger:
        icon = TavrinUi::themedIcon(QStringLiteral("dialog-error"), QStyle::SP_MessageBoxCritical);
        statusBadge->setText(tr("检查失败"));
        statusBadge->setSemantic(TavrinUi::Danger);
        break;
    case TavrinUi::Accent:
        icon = QIcon(QStringLiteral(":/icons/nav/cycle-update.svg"));
        statusBadge->setText(tr("有可用更新"));
        statusBadge->setSemantic(TavrinUi::Accent);
        break;
    default:
        icon = QIcon(QStringLiteral(":/icons/nav/cycle-update.svg"));
        statusBadge->setText(tr("未检查"));
        statusBadge->setSemantic(TavrinUi::Muted);
        break;
    }
    statusIcon->setPixmap(icon.pixmap(28, 28));
}

void UpdatePage::onCheck()
{
    if (operationRunning)
        return;
    begin(tr("正在检查更新..."));
    // A size from an earlier check may no longer hold.
    reportedUpgradeBytes = -1;
    runAsync([] { return resultMap(Tavrin::checkUpgrade()); },
             [this](const QVariant &value) {
                 const QVariantMap r = value.toMap();
                 // Still at work as root after its time-out: in progress until it ends.
                 if (holdWhileChildRuns(r, [this] { finish(); }))
                     return;
                 finish();
                 const QString out = r.value(QStringLiteral("out")).toString();
                 const QString msg = r.value(QStringLiteral("msg")).toString();
                 if (!r.value(QStringLiteral("ok")).toBool()) {
                     updateStatusCard(TavrinUi::Danger, tr("检查更新失败"));
                     showResult(TavrinUi::Danger,
                                tr("检查更新失败: %1")
                                    .arg(msg.isEmpty() ? tr("未知错误") : Tavrin::friendlyExecError(msg)),
                                false);
                     setOutput(out.isEmpty() ? msg : out);
                     return;
                 }
                 reportedUpgradeBytes = Tavrin::parseUpgradeSize(out);
                 // An upgrade staged earlier can be looked at before the reboot.
                 stagedChanges->check();
                 const QPair<int, int> counts = parseCheckCounts(out.trimmed());
                 if (counts.first < 0) {
                     updateStatusCard(TavrinUi::Muted, tr("检查完成，未获取到更新摘要。"));
                     showResult(TavrinUi::Success, tr("检查完成"), true);
                 } else if (counts.first > 0) {
                     const QString text =
                         counts.second == 0
                             ? tr("发现 %1 个可更新项。").arg(counts.first)
                             : tr("发现 %1 个可更新项，需下载 %2 个。").arg(counts.first).arg(counts.second);
                     updateStatusCard(TavrinUi::Accent, text);
                     showResult(TavrinUi::Success, text, true);
                 } else {
                     const QString text = tr("系统已是最新版本，无需更新。");
                     updateStatusCard(TavrinUi::Success, text);
                     showResult(TavrinUi::Success, text, true);
                 }
                 setOutput(out);
             });
}

void UpdatePage::onUpgrade()
{
    if (operationRunning)
        return;
    // Free space and what is staged are read off the GUI thread; the question follows.
    operationRunning = true;
    loading->setText(tr("正在检查磁盘空间..."));
    loading->start();
    const qint64 reported = reportedUpgradeBytes;
    const qint64 need = reported >= 0 ? reported : requiredFreeBytes();
    runAsyncQuiet(
        [need] {
            QVariantList spaces;
            for (const Tavrin::UpgradeSpace &space : Tavrin::upgradeSpace(need)) {
                spaces.append(QVariantMap{{QStringLiteral("paths"), space.paths},
                                          {QStringLiteral("free"), space.freeBytes},
                                          {QStringLiteral("error"), space.error},
                                          {QStringLiteral("need"), space.requiredBytes}});
            }
            QVariantMap result;
            result.insert(QStringLiteral("spaces"), spaces);
            result.insert(QStringLiteral("staged"), QVariant::fromValue(Tavrin::readStagedRollback()));
            return QVariant(result);
        },
        [this, reported](const QVariant &value) {
            finish();
            const QVariantMap result = value.toMap();
            TavrinUi::ConfirmRequest req;
            req.title = tr("系统升级");
            req.message = tr(
                "将开始下载并升级系统。\n\n升级前系统会自动创建备份; 升级期间请勿关机或断电。\n确定继续吗？");
            req.confirmText = tr("开始升级");
            req.cancelText = tr("取消");
            addSpaceWarnings(req, result.value(QStringLiteral("spaces")).toList(), reported);
            const auto staged = result.value(QStringLiteral("staged")).value<Tavrin::StagedRollback>();
            if (staged.staged) {
                req.tone = 2;
                req.consequences.append(
                    tr("已安排在下次启动时生效的还原（回滚到「%1」）将被此次升级取代，不会生效。")
                        .arg(staged.targetName.isEmpty() ? staged.targetId : staged.targetName));
                if (!staged.backupName.isEmpty())
                    req.consequences.append(
                        tr("回滚前安全备份「%1」不会自动删除，可在快照页手动删除。").arg(staged.backupName));
            }
            QPointer<UpdatePage> self(this);
            if (!TavrinUi::askConfirm(this, req) || !self)
                return;
            startUpgrade();
        });
}

void UpdatePage::addSpaceWarnings(TavrinUi::ConfirmRequest &req, const QVariantList &spaces, qint64 reported)
{
    const QString needSource = reported >= 0 ? tr("更新检查报告") : tr("未获取到更新大小，按安全下限");
    bool shortOrUnknown = false;
    for (const QVariant &entry : spaces) {
        const QVariantMap space = entry.toMap();
        const QString where = space.value(QStringLiteral("paths")).toStringList().join(QStringLiteral("、"));
        const qint64 freeBytes = space.value(QStringLiteral("free")).toLongLong();
        const qint64 need = space.value(QStringLiteral("need")).toLongLong();
        if (freeBytes < 0) {
            shortOrUnknown = true;
            req.facts.append(
                tr("%1: 剩余空间未知（%2），升级需要 %3")
                    .arg(where, space.value(QStringLiteral("error")).toString(), Tavrin::formatSize(need)));
        } else if (freeBytes < need) {
            shortOrUnknown = true;
            req.facts.append(
                tr("%1: 剩余 %2，升级需要 %3（%4）")
                    .arg(where, Tavrin::formatSize(freeBytes), Tavrin::formatSize(need), needSource));
        }
    }
    if (shortOrUnknown)
        req.consequences.append(
            tr("磁盘空间可能不足，升级可能因此失败；建议先清理下载缓存或删除不再需要的部署。"));
}

void UpdatePage::startUpgrade()
{
    if (operationRunning)
        return;
    begin(tr("正在下载并升级系统, 请耐心等待..."));
    runAsync([] { return resultMap(Tavrin::runUpgrade()); },
             [this](const QVariant &value) {
                 const QVariantMap r = value.toMap();
                 // Still at work as root after its time-out: in progress until it ends.
                 if (holdWhileChildRuns(r, [this] { finish(); }))
                     return;
                 finish();
                 const QString out = r.value(QStringLiteral("out")).toString();
                 if (r.value(QStringLiteral("ok")).toBool()) {
                     reportedUpgradeBytes = -1;
                     showResult(TavrinUi::Success, tr("系统升级完成，需重启后进入新系统。"), false);
                     rebootButton->setVisible(true);
                     stagedChanges->check();
                 } else {
                     showResult(
                         TavrinUi::Danger,
                         tr("升级失败: %1")
                             .arg(Tavrin::friendlyExecError(r.value(QStringLiteral("msg")).toString())),
                         false);
                 }
                 // A failure that printed nothing still leaves the tool's text readable.
                 setOutput(out.isEmpty() && !r.value(QStringLiteral("ok")).toBool()
                               ? r.value(QStringLiteral("msg")).toString()
                               : out);
             });
}

void UpdatePage::onClean()
{
    if (operationRunning)
        return;
    begin(tr("正在清理下载缓存..."));
    runAsync([] { return resultMap(Tavrin::cleanUpgradeCache(false)); },
             [this](const QVariant &value) {
                 const QVariantMap r = value.toMap();
                 // Still at work as root after its time-out: in progress until it ends.
                 if (holdWhileChildRuns(r, [this] { finish(); }))
                     return;
                 finish();
                 if (r.value(QStringLiteral("ok")).toBool())
                     showResult(TavrinUi::Success, tr("缓存清理完成"), true);
                 else
                     showResult(
                         TavrinUi::Danger,
                         tr("清理失败: %1")
                             .arg(Tavrin::friendlyExecError(r.value(QStringLiteral("msg")).toString())),
                         false);
             });
}

void UpdatePage::onReboot()
{
    TavrinUi::ConfirmRequest req;
    req.title = tr("立即重启");
    req.message = tr("系统将立即重启并进入新系统。请先保存您的工作。");
    req.confirmText = tr("立即重启");
    req.cancelText = tr("稍后手动重启");
    QPointer<UpdatePage> self(this);
    const bool reboot = TavrinUi::askConfirm(this, req);
    if (!self || !reboot)
        return;
    if (!Tavrin::startReboot()) {
        banner->setDetails(QString(), QString());
        banner->setSemantic(TavrinUi::Danger);
        banner->setClosable(true);
        banner->setText(tr("无法启动重启，请稍后手动重启系统。"));
    }
}
