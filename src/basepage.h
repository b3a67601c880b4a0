#pragma once

#include <QFutureWatcher>
#include <QHash>
#include <QPointer>
#include <QThreadPool>
#include <QVariant>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <functional>
#include <utility>

#include "backend/pools.h"
#include "ui/components.h"
#include "ui/settingindex.h"

class QScrollArea;
class ZLabel;
class ZSpinner;

class BasePage : public QWidget
{
    Q_OBJECT

public:
    struct SearchTarget
    {
        // Guarded: a row that a page rebuilds must not leave a dangling entry.
        QPointer<QWidget> widget;
        QPointer<QScrollArea> scrollArea;
    };

    explicit BasePage(QWidget *parent = nullptr);

    virtual void refresh();
    virtual void shutdown();
    virtual bool isBusy() const;
    virtual QList<TavrinUi::SettingEntry> searchableSettings() const;
    // Asked before the window shows another page or closes: false keeps the
    // page. A page may instead finish first (a save) and then call `leave`.
    virtual bool confirmLeave(const std::function<void()> &leave);

    template <typename Work> void runAsync(Work work, std::function<void(const QVariant &)> onDone)
    {
        startTask(std::move(work), std::move(onDone), true);
    }

    template <typename Work> void runAsyncQuiet(Work work, std::function<void(const QVariant &)> onDone)
    {
        startTask(std::move(work), std::move(onDone), false);
    }

    void showLoading(const QString &text);
    void hideLoading();
    void showFeedback(TavrinUi::Semantic semantic, const QString &text, bool autoDismiss);
    void showFeedbackWithDetails(TavrinUi::Semantic semantic, const QString &text,
                                 const QString &detailsTitle, const QString &details, bool autoDismiss);

    void beginTask();
    void endTask();

    // After an elevated time-out the root child may still be at work (the
    // user cannot stop it). When `result` (a work result map) names such a
    // child ("child"), the page stays busy and says so until it has ended,
    // then calls `whenEnded`; returns whether it did so.
    bool holdWhileChildRuns(const QVariantMap &result, std::function<void()> whenEnded);

    void registerSearchTarget(const QString &key, QWidget *widget, QScrollArea *area = nullptr);
    bool highlightSetting(const QString &key);

    void registerResponsiveCardRow(TavrinUi::TavrinResponsiveCardRow *row, QScrollArea *area,
                                   int reserve = 0);
    void feedResponsiveCardRow();

    QWidget *loadingMask() const { return maskWidget; }
    TavrinUi::TavrinInlineBanner *banner() const { return feedbackBanner; }
    int taskCount() const { return pendingTasks; }

signals:
    void idleReached();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QWidget *maskWidget = nullptr;
    ZSpinner *maskSpinner = nullptr;
    ZLabel *maskLabel = nullptr;
    QString loadingText;
    bool useLoadingMask = true;
    TavrinUi::TavrinInlineBanner *feedbackBanner = nullptr;

private:
    template <typename Work>
    void startTask(Work work, std::function<void(const QVariant &)> onDone, bool masked)
    {
        // Parented to the page: a destroyed page takes the watcher and the
        // connection with it, so onDone never reaches a dead page.
        auto *watcher = new QFutureWatcher<QVariant>(this);
        beginTask();
        connect(watcher, &QFutureWatcherBase::finished, this,
                [this, watcher, onDone = std::move(onDone), masked] {
                    const QVariant result =
                        watcher->future().resultCount() > 0 ? watcher->result() : QVariant();
                    watcher->deleteLater();
                    if (masked)
                        hideLoading();
                    if (onDone)
                        onDone(result);
                    endTask();
                });
        if (masked && useLoadingMask)
            showLoading(loadingText);
        // The program's own pool: Qt's painting waits on the global one.
        watcher->setFuture(QtConcurrent::run(
            &Tavrin::taskPool(), [work = std::move(work)]() mutable { return QVariant(work()); }));
    }

    int pendingTasks = 0;
    QPointer<TavrinUi::TavrinResponsiveCardRow> cardRow;
    QPointer<QScrollArea> cardRowArea;
    int cardRowReserve = 0;
    QHash<QString, SearchTarget> searchTargets;
};
