#pragma once

#include "backend/backend.h"
#include "basepage.h"

#include <QColor>
#include <QList>

class MainWindow;
class QPushButton;
class ZLabel;

namespace TavrinSwitch {
class TavrinSwitchRow;
}
namespace TavrinUi {
class TavrinInlineBanner;
class TavrinLocalLoading;
class TavrinResponsiveCardRow;
class TavrinSkeleton;
class TavrinStateCard;
} // namespace TavrinUi

enum BarRole { SystemRepoRole = 0, DataRepoRole = 1, SnapshotDataRole = 2, FreeSpaceRole = 3 };

QColor barColor(BarRole role);

class RoleDot : public QWidget
{
public:
    explicit RoleDot(BarRole role, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    BarRole role;
};

class StorageBar : public QWidget
{
public:
    explicit StorageBar(QWidget *parent = nullptr);

    void setValues(const QList<qint64> &segments, qint64 total);
    QList<qint64> segments() const { return values; }
    qint64 total() const { return sum; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QList<qint64> values;
    qint64 sum = 0;
};

class OverviewPage : public BasePage
{
    Q_OBJECT

public:
    explicit OverviewPage(MainWindow *window);

    void refresh() override;

private:
    void onLoadedFast(const QVariant &payload);
    void onLoadedSizes(const QVariant &payload);
    void buildContent();
    QWidget *makeInfoRow(const QString &title, ZLabel **valueOut);
    QWidget *makeLegendRow(const QString &title, BarRole role, ZLabel **valueOut);
    QPushButton *makeShortcut(const QString &text, const QString &icon);
    void showSnapshotCount();
    void showReadFailures();

    MainWindow *window = nullptr;
    TavrinSwitch::TavrinSwitchRow *switchRow = nullptr;
    TavrinUi::TavrinLocalLoading *loading = nullptr;
    TavrinUi::TavrinSkeleton *skeleton = nullptr;
    TavrinUi::TavrinInlineBanner *banner = nullptr;
    TavrinUi::TavrinResponsiveCardRow *cardRow = nullptr;
    TavrinUi::TavrinStateCard *protectCard = nullptr;
    TavrinUi::TavrinStateCard *writableCard = nullptr;
    TavrinUi::TavrinStateCard *snapshotCard = nullptr;
    TavrinUi::TavrinStateCard *diskCard = nullptr;
    QWidget *content = nullptr;
    QList<Tavrin::SnapshotInfo> snapshots;
    // Why the list or the protection state could not be read ("" when read).
    QString snapshotsError;
    QString protectionError;
    QString writableError;
    bool readFailureShown = false;
    StorageBar *storageBar = nullptr;
    ZLabel *legendValues[4] = {};
    ZLabel *systemName = nullptr;
    ZLabel *systemVersion = nullptr;
    ZLabel *kernelVersion = nullptr;
    ZLabel *deployVersion = nullptr;
    bool firstLoad = true;
};
