#pragma once

#include "backend/backend.h"
#include "basepage.h"

#include <QHash>
#include <QList>

class DeployTable;
class MainWindow;
namespace Tavrin {
class FreedSpaceCache;
}

namespace TavrinUi {
class TavrinEmptyState;
class TavrinInlineBanner;
class TavrinLocalLoading;
class TavrinResponsiveCardRow;
class TavrinStateCard;
} // namespace TavrinUi

class DeploysPage : public BasePage
{
    Q_OBJECT

public:
    // `parent`: where the page lives when that is not the window itself.
    explicit DeploysPage(MainWindow *window, QWidget *parent = nullptr);

    void refresh() override;

    static QString humanizeUndeployError(const QString &raw);

    // Commit of the deployment on the selected row; "" when none is selected.
    QString selectedCommit() const;

private:
    void onLoaded(const QVariant &payload);
    void showReadFailure(const QString &error, const QString &raw);
    void onUndeploy(const QString &commit);
    void onDiscard(const QString &commit);
    void onDiscarded(const QVariantMap &result);
    const Tavrin::DeployInfo *findDeploy(const QString &commit) const;
    void setCards(const QString &total, const QString &booted, const QString &deletable);

private:
    MainWindow *window = nullptr;
    DeployTable *table = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinResponsiveCardRow *cardRow = nullptr;
    TavrinUi::TavrinStateCard *totalCard = nullptr;
    TavrinUi::TavrinStateCard *bootedCard = nullptr;
    TavrinUi::TavrinStateCard *deletableCard = nullptr;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    TavrinUi::TavrinEmptyState *emptyState = nullptr;
    TavrinUi::TavrinEmptyState *failState = nullptr;
    QList<Tavrin::DeployInfo> deploys;
    // What removing a deployment frees, by commit, for its delete dialog.
    Tavrin::FreedSpaceCache *freedFigures = nullptr;
    // What the staged deployment brings (a DeployRowDelegate::Staged value).
    int staged = 0;
    bool operationRunning = false;
};
