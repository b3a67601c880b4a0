#include "basepage.h"
#include "backend/backend.h"

#include <QTimer>

#include <QEvent>
#include <QMetaObject>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "zfontsizemanager.h"
#include "zlabel.h"
#include "zspinner.h"

BasePage::BasePage(QWidget *parent) : QWidget(parent)
{
    maskWidget = new QWidget(this);
    maskWidget->setObjectName(QStringLiteral("tavrinMask"));
    maskWidget->setAttribute(Qt::WA_StyledBackground, true);
    auto *outer = new QVBoxLayout(maskWidget);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addStretch();

    auto *centre = new QWidget(maskWidget);
    auto *centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->setSpacing(10);
    maskSpinner = new ZSpinner(centre);
    maskSpinner->setFixedSize(32, 32);
    maskSpinner->start();
    maskLabel = new ZLabel(centre);
    maskLabel->setObjectName(QStringLiteral("tavrinMaskText"));
    ZFontSizeManager::instance()->bind(maskLabel, ZFontSizeManager::T6);
    maskLabel->setAlignment(Qt::AlignCenter);
    centreLayout->addWidget(maskSpinner, 0, Qt::AlignHCenter);
    centreLayout->addWidget(maskLabel);

    outer->addWidget(centre);
    outer->addStretch();
    maskWidget->hide();
}

void BasePage::refresh() {}

void BasePage::shutdown() {}

bool BasePage::isBusy() const
{
    return pendingTasks > 0;
}

QList<TavrinUi::SettingEntry> BasePage::searchableSettings() const
{
    return {};
}

void BasePage::showLoading(const QString &text)
{
    if (!text.isEmpty()) {
        loadingText = text;
        maskLabel->setText(text);
    }
    maskWidget->setGeometry(0, 0, width(), height());
    maskWidget->raise();
    maskWidget->show();
}

void BasePage::hideLoading()
{
    maskWidget->hide();
}

void BasePage::showFeedback(TavrinUi::Semantic semantic, const QString &text, bool autoDismiss)
{
    if (!feedbackBanner || text.isEmpty())
        return;
    feedbackBanner->setSemantic(semantic);
    feedbackBanner->setClosable(true);
    feedbackBanner->setText(text);
    if (autoDismiss)
        feedbackBanner->autoDismiss(5000);
}

void BasePage::showFeedbackWithDetails(TavrinUi::Semantic semantic, const QString &text,
                                       const QString &detailsTitle, const QString &details, bool autoDismiss)
{
    if (!feedbackBanner || text.isEmpty())
        return;
    feedbackBanner->setDetails(QString(), QString());
    showFeedback(semantic, text, autoDismiss);
    if (!details.isEmpty())
        feedbackBanner->setDetails(detailsTitle, details);
}

void BasePage::beginTask()
{
    ++pendingTasks;
}

void BasePage::endTask()
{
    if (pendingTasks > 0)
        --pendingTasks;
    if (pendingTasks == 0)
        emit idleReached();
}

void BasePage::registerSearchTarget(const QString &key, QWidget *widget, QScrollArea *area)
{
    if (!widget || key.isEmpty())
        return;
    searchTargets.insert(key, SearchTarget{widget, area});
}

bool BasePage::highlightSetting(const QString &key)
{
    const auto it = searchTargets.constFind(key);
    if (it == searchTargets.constEnd() || !it->widget)
        return false;
    QWidget *widget = it->widget;
    if (it->scrollArea && it->scrollArea->viewport())
        it->scrollArea->ensureWidgetVisible(widget, 12, 12);
    if (auto *row = qobject_cast<TavrinUi::TavrinRow *>(widget))
        row->flashHighlight();
    else if (widget->qt_metacast("TavrinSwitch::TavrinSwitchRow"))
        QMetaObject::invokeMethod(widget, "flashHighlight", Qt::DirectConnection);
    return true;
}

void BasePage::registerResponsiveCardRow(TavrinUi::TavrinResponsiveCardRow *row, QScrollArea *area,
                                         int reserve)
{
    cardRow = row;
    cardRowArea = area;
    cardRowReserve = reserve;
    if (area && area->viewport())
        area->viewport()->installEventFilter(this);
    feedResponsiveCardRow();
}

void BasePage::feedResponsiveCardRow()
{
    if (!cardRow)
        return;
    int width = this->width();
    if (cardRowArea && cardRowArea->viewport())
        width = cardRowArea->viewport()->width();
    cardRow->setAvailableWidth(width - cardRowReserve);
}

void BasePage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (maskWidget)
        maskWidget->setGeometry(0, 0, width(), height());
    feedResponsiveCardRow();
}

void BasePage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A page's scroll areas are frames, not controls: Tab goes to what they
    // hold, which they scroll into view when it takes the focus.
    for (QScrollArea *area : findChildren<QScrollArea *>()) {
        if (area->focusPolicy() != Qt::NoFocus)
            area->setFocusPolicy(Qt::NoFocus);
    }
    feedResponsiveCardRow();
}

bool BasePage::eventFilter(QObject *watched, QEvent *event)
{
    if (cardRowArea && watched == cardRowArea->viewport() && event->type() == QEvent::Resize)
        feedResponsiveCardRow();
    return QWidget::eventFilter(watched, event);
}

bool BasePage::holdWhileChildRuns(const QVariantMap &result, std::function<void()> whenEnded)
{
    const quint64 child = result.value(QStringLiteral("child")).toULongLong();
    if (child == 0)
        return false;
    const auto ended = [this, whenEnded] {
        showFeedback(TavrinUi::Warning, tr("超时后仍在后台运行的操作已结束，请查看当前状态。"), false);
        if (whenEnded)
            whenEnded();
    };
    if (!Tavrin::childStillRunning(child)) {
        ended();
        return true;
    }
    showFeedback(TavrinUi::Warning, tr("命令执行超时，但操作仍在后台运行；结束前不能开始新的操作。"), false);
    beginTask();
    // The reaper knows when it ends; a look at a set, not at the process.
    auto *poll = new QTimer(this);
    poll->setInterval(500);
    connect(poll, &QTimer::timeout, this, [this, poll, child, ended] {
        if (Tavrin::childStillRunning(child))
            return;
        poll->deleteLater();
        ended();
        endTask();
    });
    poll->start();
    return true;
}

bool BasePage::confirmLeave(const std::function<void()> &)
{
    return true;
}
