#include "masterswitch.h"

#include "backend/pools.h"
#include "basepage.h"
#include "countdowndialog.h"
#include "ui/confirmdialog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <memory>

#include "zicontheme.h"
#include "zlabel.h"
#include "zspinner.h"
#include "zswitchbutton.h"

namespace TavrinSwitch {

namespace {

struct SwitchText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinSwitch)
};

// The highlight is painted into the row's own margins, so these keep the
// content where it would be without them.
constexpr int kFlashMarginX = 12;
constexpr int kFlashMarginY = 4;

// One switch of the protection at a time, whichever row started it: the
// privileged call outlives page refreshes and page changes.
enum class Activity { Idle, Asking, Running };
Activity g_activity = Activity::Idle;

QList<QPointer<TavrinSwitchRow>> &rows()
{
    static QList<QPointer<TavrinSwitchRow>> list;
    return list;
}

void setActivity(Activity activity)
{
    g_activity = activity;
    auto &list = rows();
    list.removeAll(nullptr);
    for (const QPointer<TavrinSwitchRow> &row : std::as_const(list))
        QMetaObject::invokeMethod(row, "updateBusy", Qt::DirectConnection);
}

void runSwitch(BasePage *page, bool enableProtection, bool clearAfterReboot,
               const std::function<void(bool)> &done)
{
    setActivity(Activity::Running);
    auto *watcher = new QFutureWatcher<Tavrin::CommandResult>(page);
    // A page closed under a running switch never reports; the next switch
    // must not wait for it.
    auto reported = std::make_shared<bool>(false);
    QObject::connect(watcher, &QObject::destroyed, [reported] {
        if (!*reported)
            setActivity(Activity::Idle);
    });
    QObject::connect(
        watcher, &QFutureWatcher<Tavrin::CommandResult>::finished, page, [page, watcher, done, reported] {
            *reported = true;
            const Tavrin::CommandResult result = watcher->result();
            watcher->deleteLater();
            // Timed out with the root command still at work: the switch stays
            // busy until it ends, then the owner re-reads what it did.
            if (page->holdWhileChildRuns({{QStringLiteral("child"), result.runningChild}}, [done] { done(false); }))
                return;
            if (result.ok) {
                page->showFeedback(TavrinUi::Success, SwitchText::tr("设置成功，请重启系统使设置生效。"),
                                   true);
            } else {
                const QString friendly = Tavrin::friendlyExecError(result.error);
                const QString raw = result.error.trimmed();
                const QString details =
                    friendly == raw || raw.isEmpty() ? friendly : friendly + QLatin1Char('\n') + raw;
                page->showFeedbackWithDetails(TavrinUi::Danger,
                                              SwitchText::tr("设置失败，请查看详情了解具体原因。"),
                                              SwitchText::tr("完整输出"), details, false);
            }
            done(result.ok);
        });
    watcher->setFuture(QtConcurrent::run(&Tavrin::taskPool(), [enableProtection, clearAfterReboot] {
        return enableProtection ? Tavrin::disableWritable() : Tavrin::enableWritable(clearAfterReboot, true);
    }));
}

} // namespace

QString securityIconName()
{
    // The program's own shield first: probing a theme for a name it lacks
    // costs a look into every one of its directories.
    if (QFile::exists(QStringLiteral(":/icons/nav/shield-check.svg")))
        return QStringLiteral("shield-check");
    for (const char *name : {"security", "preferences-security", "security-high"}) {
        if (!ZIconTheme::findQIcon(QLatin1String(name)).isNull())
            return QLatin1String(name);
    }
    return QStringLiteral("security");
}

Presentation presentationFor(const Tavrin::WritableStatus &status)
{
    Presentation p;
    if (!status.known()) {
        p.text = SwitchText::tr("未知状态 · 无法读取Tavrin配置");
        p.semantic = TavrinUi::Muted;
        return p;
    }
    p.known = true;
    if (!status.enabled) {
        p.checked = true;
        p.text = SwitchText::tr("保护中 · 核心目录只读");
        p.semantic = TavrinUi::Success;
    } else if (status.clearAfterReboot) {
        p.text = SwitchText::tr("已临时关闭 · 重启后自动恢复");
        p.semantic = TavrinUi::Warning;
    } else {
        p.text = SwitchText::tr("已完全关闭 · 重启后仍保持关闭");
        p.semantic = TavrinUi::Danger;
    }
    return p;
}

bool switchInProgress()
{
    return g_activity != Activity::Idle;
}

bool switchRunning()
{
    return g_activity == Activity::Running;
}

void requestSwitch(BasePage *page, bool enableProtection, const std::function<void(bool)> &finished)
{
    if (!page || switchInProgress()) {
        finished(false);
        return;
    }
    setActivity(Activity::Asking);
    const auto done = [finished](bool ok) {
        setActivity(Activity::Idle);
        finished(ok);
    };

    bool clearAfterReboot = false;
    if (enableProtection) {
        TavrinUi::ConfirmRequest req;
        req.title = SwitchText::tr("开启Tavrin保护");
        req.message = SwitchText::tr("确定要恢复核心目录只读保护吗？此操作需要重启后生效。");
        req.confirmText = SwitchText::tr("恢复保护");
        req.cancelText = SwitchText::tr("取消");
        req.tone = 0;
        if (!TavrinUi::askConfirm(page, req)) {
            done(false);
            return;
        }
    } else {
        int option = 0;
        TavrinUi::ConfirmRequest req;
        req.title = SwitchText::tr("关闭Tavrin保护");
        req.message = SwitchText::tr("关闭后核心目录将解除只读保护，恶意软件与误操作可能直接破坏系统。");
        req.consequences = {SwitchText::tr("核心系统目录将变为可写"),
                            SwitchText::tr("恶意软件或误操作可直接破坏系统文件"),
                            SwitchText::tr("重启后按所选方式决定是否恢复保护")};
        req.options = {SwitchText::tr("临时关闭（重启后自动恢复）"),
                       SwitchText::tr("完全关闭（重启后仍保持关闭）")};
        req.defaultOption = 0;
        req.selectedOption = &option;
        req.confirmText = SwitchText::tr("关闭保护");
        req.cancelText = SwitchText::tr("取消");
        req.tone = 1;
        // The page may go away while the dialogs run their own event loops.
        QPointer<BasePage> guard(page);
        if (!TavrinUi::askConfirm(page, req) || !guard) {
            done(false);
            return;
        }
        if (option == 1) {
            TavrinCountdownDialog dialog(page);
            TavrinUi::makeDialogNonBlockingWindowModal(&dialog);
            if (dialog.exec() != QDialog::Accepted || !guard) {
                done(false);
                return;
            }
        }
        clearAfterReboot = option == 0;
    }
    runSwitch(page, enableProtection, clearAfterReboot, done);
}

TavrinSwitchRow::TavrinSwitchRow(BasePage *page, bool showDetailButton, QWidget *parent)
    : QWidget(parent), page(page)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(kFlashMarginX, kFlashMarginY, kFlashMarginX, kFlashMarginY);
    layout->setSpacing(12);

    iconLabel = new QLabel(this);
    iconLabel->setFixedSize(40, 40);
    iconLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(iconLabel, 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(3);
    ZLabel *title = TavrinUi::makeLabel(SwitchText::tr("Tavrin功能"), TavrinUi::ItemTitle, TavrinUi::Normal);
    title->setObjectName(QStringLiteral("tavrinRowLabel"));
    column->addWidget(title);
    statusLabel = TavrinUi::makeLabel(QString(), TavrinUi::Body, TavrinUi::Muted);
    statusLabel->setObjectName(QStringLiteral("tavrinSwitchStatus"));
    statusLabel->setWordWrap(true);
    statusLabel->setTextFormat(Qt::PlainText);
    column->addWidget(statusLabel);
    layout->addLayout(column, 1);

    if (showDetailButton) {
        detailButton = new QPushButton(SwitchText::tr("详情"), this);
        detailButton->setObjectName(QStringLiteral("tavrinSwitchDetail"));
        detailButton->setFlat(true);
        detailButton->setCursor(Qt::PointingHandCursor);
        connect(detailButton, &QPushButton::clicked, this, &TavrinSwitchRow::detailRequested);
        layout->addWidget(detailButton, 0, Qt::AlignVCenter);
    }

    busySpinner = new ZSpinner(this);
    busySpinner->setObjectName(QStringLiteral("tavrinSwitchSpinner"));
    busySpinner->setVisible(false);
    layout->addWidget(busySpinner, 0, Qt::AlignVCenter);
    busyLabel = TavrinUi::makeLabel(SwitchText::tr("正在切换…"), TavrinUi::Body, TavrinUi::Muted);
    busyLabel->setObjectName(QStringLiteral("tavrinSwitchBusy"));
    busyLabel->setVisible(false);
    layout->addWidget(busyLabel, 0, Qt::AlignVCenter);

    switchButton = new ZSwitchButton(this);
    switchButton->setObjectName(QStringLiteral("tavrinMasterSwitch"));
    switchButton->setAccessibleName(SwitchText::tr("Tavrin功能"));
    layout->addWidget(switchButton, 0, Qt::AlignVCenter);
    connect(switchButton, &ZSwitchButton::toggled, this, &TavrinSwitchRow::onToggled);

    rows().append(this);
    refreshIcon();
    applyStatus(presentationFor(Tavrin::WritableStatus{}));
}

TavrinSwitchRow::~TavrinSwitchRow()
{
    rows().removeAll(this);
}

void TavrinSwitchRow::applyStatus(const Presentation &p)
{
    {
        const QSignalBlocker blocker(switchButton);
        switchButton->setChecked(p.known && p.checked);
    }
    known = p.known;
    statusLabel->setText(p.text);
    TavrinUi::applySemantic(statusLabel, p.known ? p.semantic : TavrinUi::Muted);
    refreshIcon();
    updateBusy();
}

void TavrinSwitchRow::updateBusy()
{
    const bool busy = pending || switchInProgress();
    switchButton->setEnabled(known && !busy);
    const bool running = switchRunning();
    busyLabel->setVisible(running);
    busySpinner->setVisible(running);
    if (running)
        busySpinner->start();
    else
        busySpinner->stop();
    switchButton->setAccessibleDescription(running ? busyLabel->text() : statusLabel->text());
}

QString TavrinSwitchRow::statusText() const
{
    return statusLabel->text();
}

void TavrinSwitchRow::onToggled(bool checked)
{
    pending = true;
    updateBusy();
    // The dialogs run their own event loops: not inside the click (or the
    // assistive tool's action request) that toggled the switch.
    QPointer<TavrinSwitchRow> self(this);
    QTimer::singleShot(0, this, [self, checked] {
        requestSwitch(self->page, checked, [self](bool) {
            if (!self)
                return;
            self->pending = false;
            self->updateBusy();
            emit self->switchChanged();
        });
    });
}

void TavrinSwitchRow::setHighlight(double value)
{
    highlightValue = value;
    update();
}

void TavrinSwitchRow::flashHighlight()
{
    if (TavrinUi::reduceMotionRequested()) {
        if (flashAnimation)
            flashAnimation->stop();
        if (flashTimer)
            flashTimer->stop();
        setHighlight(1.0);
        QPointer<TavrinSwitchRow> self(this);
        QTimer::singleShot(1200, this, [self] {
            if (self)
                self->setHighlight(0.0);
        });
        return;
    }
    if (!flashAnimation) {
        flashAnimation = new QPropertyAnimation(this, "highlight", this);
        flashAnimation->setDuration(320);
        flashAnimation->setStartValue(1.0);
        flashAnimation->setEndValue(0.0);
        flashAnimation->setEasingCurve(QEasingCurve::OutCubic);
    }
    flashAnimation->stop();
    setHighlight(1.0);
    if (!flashTimer) {
        flashTimer = new QTimer(this);
        flashTimer->setSingleShot(true);
        connect(flashTimer, &QTimer::timeout, flashAnimation, [this] { flashAnimation->start(); });
    }
    flashTimer->start(1200);
}

void TavrinSwitchRow::paintEvent(QPaintEvent *event)
{
    if (highlightValue > 0.0) {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = TavrinUi::softFill(TavrinUi::Accent, 38);
        fill.setAlphaF(fill.alphaF() * highlightValue);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    QWidget::paintEvent(event);
}

void TavrinSwitchRow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshIcon();
}

void TavrinSwitchRow::refreshIcon()
{
    const QIcon icon = TavrinUi::themedIcon(securityIconName(), QStyle::SP_MessageBoxInformation);
    // The shield is drawn in colour only while the state is known: a green
    // shield beside "unknown" would read as protected.
    iconLabel->setPixmap(icon.pixmap(QSize(32, 32), known ? QIcon::Normal : QIcon::Disabled));
    if (detailButton) {
        QPalette pal = detailButton->palette();
        pal.setColor(QPalette::ButtonText, TavrinUi::semanticColor(TavrinUi::Accent));
        detailButton->setPalette(pal);
    }
}

} // namespace TavrinSwitch
