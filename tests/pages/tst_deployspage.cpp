#include "backend/backend_p.h"
#include "backend/freedspacecache.h"
#include "backend/reclaim.h"
#include "deploydeletedialog.h"
#include "deployspage.h"
#include "pagetest.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMutex>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardPaths>
#include <QThreadPool>
#include <QPushButton>
#include <QTableWidget>

// The deployments list against the simulated system, driven through its
// buttons and dialogs.
class TestDeploysPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<DeploysPage> page;

    QTableWidget *table() const { return page->findChild<QTableWidget *>(); }
    TavrinUi::TavrinInlineBanner *banner() const { return page->BasePage::banner(); }

    bool reload()
    {
        page->refresh();
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 120000);
    }

    QString version(int row) const
    {
        auto labels = PageTest::childrenOfType<Ui::ElidedLabel>(table()->cellWidget(row, 1));
        return labels.isEmpty() ? QString() : labels.first()->text();
    }

    QAbstractButton *deleteButton(int row) const
    {
        return table()->cellWidget(row, 5)->findChild<QAbstractButton *>();
    }

    int rowWithStatus(const QString &status) const
    {
        for (int r = 0; r < table()->rowCount(); ++r) {
            if (table()->item(r, 2)->text() == status)
                return r;
        }
        return -1;
    }

    QString details() const
    {
        auto *box = banner()->details();
        auto *label = box ? qobject_cast<QLabel *>(box->content()) : nullptr;
        return label ? label->text() : QString();
    }

    // Sum of the file sizes the sim put into a deployment of its own.
    qint64 ownFilesSize(const QString &commit, const QString &tag) const
    {
        const QByteArray out = sim->run(
            QStringLiteral("ostree"),
            {QStringLiteral("--repo=") + sim->path(QStringLiteral("/ostree/repo")), QStringLiteral("ls"),
             QStringLiteral("-R"), commit, QStringLiteral("/var/lib/zarnex-state/") + tag});
        qint64 sum = 0;
        for (const QByteArray &line : out.split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() >= 5 && line.startsWith('-'))
                sum += f.at(3).toLongLong();
        }
        return sum;
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        // Two snapshots: none of them is made from the rollback backup, so its
        // own files are held by nothing else.
        sim = std::make_unique<PageTest::SimRoot>(QStringList{QStringLiteral("--files"), QStringLiteral("40"),
                                                              QStringLiteral("--snapshots"),
                                                              QStringLiteral("2")});
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        page = std::make_unique<DeploysPage>(nullptr);
        page->resize(1000, 700);
        page->show();
        QVERIFY(reload());
    }

    void cleanup()
    {
        page.reset();
        for (const char *v : {"SIM_CTL_FAIL", "SIM_CTL_FAIL_MESSAGE", "SIM_CTL_GARBAGE"})
            qunsetenv(v);
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void listsStatusesAndGuardsProtectedRows()
    {
        // A pending upgrade joins the booted one among the rows that cannot go.
        QVERIFY(Tavrin::runUpgrade().ok);
        QVERIFY(reload());

        const QList<Tavrin::DeployInfo> list = Tavrin::getDeploys();
        QCOMPARE(table()->rowCount(), list.size());
        QCOMPARE(list.size(), 4);
        const int booted = rowWithStatus(QStringLiteral("当前启动"));
        const int pending = rowWithStatus(QStringLiteral("待生效"));
        const int backup = rowWithStatus(QStringLiteral("回滚备份"));
        const int history = rowWithStatus(QStringLiteral("历史"));
        QVERIFY(booted >= 0 && pending >= 0 && backup >= 0 && history >= 0);
        QCOMPARE(version(pending), QStringLiteral("25.1.3"));
        QVERIFY(
            PageTest::childrenOfType<Ui::ElidedLabel>(table()->cellWidget(booted, 1)).first()->font().bold());
        QVERIFY(!deleteButton(booted)->isEnabled());
        QVERIFY(!deleteButton(pending)->isEnabled());
        QVERIFY(deleteButton(backup)->isEnabled());
        QCOMPARE(deleteButton(history)->accessibleName(), QStringLiteral("删除部署：25.1.1"));
        for (int r = 0; r < list.size(); ++r) {
            QCOMPARE(table()->item(r, 0)->text(), QString::number(r));
            QCOMPARE(table()->item(r, 4)->text(), list.at(r).commit.left(16) + QStringLiteral("..."));
            QCOMPARE(table()->item(r, 4)->toolTip(), list.at(r).commit);
        }
        const auto cards = PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page.get());
        QStringList values;
        for (auto *c : cards)
            values << c->valueLabel()->text();
        QCOMPARE(values, (QStringList{QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("2")}));
    }

    void deleteRemovesFromSystem()
    {
        const int history = rowWithStatus(QStringLiteral("历史"));
        const QString commit = Tavrin::getDeploys().at(history).commit;
        QString seen;
        PageTest::answerNextDialog(QStringLiteral("删除"), QString(), &seen);
        deleteButton(history)->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY(seen.contains(QStringLiteral("系统版本: 25.1.1")));
        QVERIFY(seen.contains(QStringLiteral("提交ID: ") + commit.left(12) + QStringLiteral("...")));
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QCOMPARE(banner()->text(), QStringLiteral("部署已删除，占用空间已释放。"));
        QCOMPARE(table()->rowCount(), 2);
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys())
            QVERIFY(d.commit != commit);
    }

    void declinedDeleteRunsNothing()
    {
        PageTest::answerNextDialog(QStringLiteral("取消"));
        deleteButton(rowWithStatus(QStringLiteral("历史")))->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(Tavrin::getDeploys().size(), 3);
        QCOMPARE(table()->rowCount(), 3);
    }

    void undeployErrorsHumanised_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        const QString pending = QStringLiteral(
            "该版本是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，无法删除。");
        const QString current = QStringLiteral("这是当前正在运行的系统版本，无法删除。");
        const QString missing =
            QStringLiteral("找不到对应的系统版本（索引越界或已不存在），请刷新列表后重试。");
        const QString auth = QStringLiteral("没有获得管理员授权，删除未执行。请确认已正确输入密码；若仍失败，"
                                            "请检查系统的授权（polkit）设置。");
        QTest::newRow("mainline") << "error: cannot undeploy the REPLACEMENT MAINLINE deployment" << pending;
        QTest::newRow("mainline zh") << "错误：不能删除替换主线部署" << pending;
        QTest::newRow("current mixed case") << "Cannot undeploy the Current Deployment" << current;
        QTest::newRow("current zh") << "该部署正在使用" << current;
        QTest::newRow("no such before auth") << "No such deployment; authentication skipped" << missing;
        QTest::newRow("range") << "index out of range" << missing;
        QTest::newRow("not authorized") << "error: Not Authorized" << auth;
        QTest::newRow("password zh") << "需要密码" << auth;
        QTest::newRow("other") << "disk on fire" << QStringLiteral("删除失败，请查看详情了解具体原因。");
    }

    void undeployErrorsHumanised()
    {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        QCOMPARE(DeploysPage::humanizeUndeployError(message), expected);

        qputenv("SIM_CTL_FAIL", "admin undeploy");
        qputenv("SIM_CTL_FAIL_MESSAGE", message.toUtf8());
        PageTest::answerNextDialog(QStringLiteral("删除"));
        deleteButton(rowWithStatus(QStringLiteral("历史")))->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(banner()->semantic(), TavrinUi::Danger);
        QCOMPARE(banner()->text(), expected);
        QVERIFY2(details().contains(message), qPrintable(details()));
        QCOMPARE(table()->rowCount(), 3);
        // Usable again at once.
        QVERIFY(deleteButton(rowWithStatus(QStringLiteral("历史")))->isEnabled());
    }

    void failedReadIsNoEmptyList_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::newRow("tool fails") << QByteArray("SIM_CTL_FAIL");
        QTest::newRow("garbage") << QByteArray("SIM_CTL_GARBAGE");
    }

    void failedReadIsNoEmptyList()
    {
        QFETCH(QByteArray, variable);
        qputenv(variable.constData(), "admin status");
        QVERIFY(reload());
        auto *failure = page->findChild<QWidget *>(QStringLiteral("tavrinDeployReadFailure"));
        QVERIFY(failure && failure->isVisible());
        QVERIFY(!table()->isVisible());
        QCOMPARE(banner()->semantic(), TavrinUi::Danger);
        QVERIFY(!details().isEmpty());
        qunsetenv(variable.constData());
        QAbstractButton *retry = PageTest::findButton(failure, QStringLiteral("重试"));
        QVERIFY(retry);
        retry->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY(!failure->isVisible());
        QCOMPARE(table()->rowCount(), 3);
        QVERIFY(!banner()->isVisible());
    }

    // The delete dialog says what the deletion frees: the objects no other
    // deployment or snapshot holds. The backup's own files are held by nothing
    // else; the history deployment is the parent of both others.
    void deleteDialogSaysWhatItFrees_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("tag");
        QTest::newRow("rollback backup") << QStringLiteral("回滚备份") << QStringLiteral("v2512");
        QTest::newRow("history") << QStringLiteral("历史") << QString();
    }

    void deleteDialogSaysWhatItFrees()
    {
        QFETCH(QString, status);
        QFETCH(QString, tag);
        const int row = rowWithStatus(status);
        const QString commit = Tavrin::getDeploys().at(row).commit;
        const qint64 expected = tag.isEmpty() ? 0 : ownFilesSize(commit, tag);
        QVERIFY(tag.isEmpty() || expected > 0);
        const QString line = QStringLiteral("可释放空间: ") + Tavrin::formatSize(expected);
        bool shown = false;
        PageTest::onNextDialog([&](QDialog *d) {
            const QString first = PageTest::dialogText(d);
            QVERIFY2(first.contains(QStringLiteral("可释放空间: 计算中…")) || first.contains(line),
                     qPrintable(first));
            QTRY_VERIFY_WITH_TIMEOUT(PageTest::dialogText(d).contains(line), 60000);
            shown = true;
            PageTest::findButton(d, QStringLiteral("取消"))->click();
        });
        deleteButton(row)->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY(shown);
        QCOMPARE(Tavrin::deployFreedBytes(commit), expected);
        QCOMPARE(Tavrin::deployFreedBytes(QStringLiteral("0123")), qint64(-1));
    }
    // The dialog shows the figure of its own deployment: another one's
    // arriving leaves its line alone, its own replaces "计算中…", and a
    // changed deployment list sends it back to "计算中…" until it is computed
    // again. Asked for again, a figure is computed anew only when the refs changed.
    void deleteDialogShowsItsOwnFigure()
    {
        struct Gate
        {
            QMutex mutex;
            QHash<QString, qint64> bytes{{QStringLiteral("own"), 3 * 1024}, {QStringLiteral("other"), 7 * 1024}};
            QString refs = QStringLiteral("refs-1");
            int computed = 0;
            QSemaphore own;
        };
        auto gate = std::make_shared<Gate>();
        Tavrin::FreedSpaceCache figures(
            [gate](const QString &commit) {
                if (commit == QLatin1String("own"))
                    gate->own.acquire();
                QMutexLocker lock(&gate->mutex);
                gate->computed += commit == QLatin1String("own") ? 1 : 0;
                return Tavrin::FreedFigure{Tavrin::MeasuredSize::exact(gate->bytes.value(commit)), gate->refs};
            },
            [gate] {
                QMutexLocker lock(&gate->mutex);
                return gate->refs;
            });
        const auto unblock = qScopeGuard([gate] { gate->own.release(10); });
        auto setOwn = [gate](qint64 bytes, const QString &refs) {
            QMutexLocker lock(&gate->mutex);
            gate->bytes.insert(QStringLiteral("own"), bytes);
            gate->refs = refs;
        };
        Tavrin::DeployInfo d;
        d.version = QStringLiteral("25.1.1");
        d.commit = QStringLiteral("own");
        auto waitFor = [](QDialog *dialog, const QString &size) {
            return QTest::qWaitFor(
                [&] { return PageTest::dialogText(dialog).contains(QStringLiteral("可释放空间: ") + size); }, 30000);
        };
        QStringList seen;
        PageTest::onNextDialog([&](QDialog *dialog) {
            seen << PageTest::dialogText(dialog);
            figures.request(QStringLiteral("other"));
            QTRY_VERIFY_WITH_TIMEOUT(figures.figure(QStringLiteral("other")).has_value(), 30000);
            seen << PageTest::dialogText(dialog);
            gate->own.release();
            QVERIFY(waitFor(dialog, QStringLiteral("3.00 KB")));
            setOwn(5 * 1024, QStringLiteral("refs-1"));
            figures.setDeployments({QStringLiteral("own")});
            seen << PageTest::dialogText(dialog);
            gate->own.release();
            QVERIFY(waitFor(dialog, QStringLiteral("5.00 KB")));
            PageTest::findButton(dialog, QStringLiteral("取消"))->click();
        });
        QVERIFY(!confirmDeployDelete(page.get(), d, &figures));
        QCOMPARE(seen.size(), 3);
        for (const QString &text : seen) {
            QVERIFY2(text.contains(QStringLiteral("可释放空间: 计算中…")), qPrintable(text));
            QVERIFY2(!text.contains(QStringLiteral("7.00 KB")), qPrintable(text));
        }
        QCOMPARE(gate->computed, 2);

        // Opened again: the same refs serve the known figure, other refs compute it anew.
        for (const QString &refs : {QStringLiteral("refs-1"), QStringLiteral("refs-2")}) {
            setOwn(9 * 1024, refs);
            gate->own.release();
            const QString expected =
                refs == QLatin1String("refs-1") ? QStringLiteral("5.00 KB") : QStringLiteral("9.00 KB");
            PageTest::onNextDialog([&](QDialog *dialog) {
                QVERIFY(waitFor(dialog, expected));
                PageTest::findButton(dialog, QStringLiteral("取消"))->click();
            });
            QVERIFY(!confirmDeployDelete(page.get(), d, &figures));
        }
        QCOMPARE(gate->computed, 3);
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    // Qt's painting hands image conversions to the global thread pool and
    // waits for them on the GUI thread. With every "ostree ls" slowed by
    // seconds, the pool must still take work at once while the dialog waits
    // for its figure, or the window would freeze until the listings end.
    void slowListingsLeaveTheGlobalPoolFree()
    {
        QDir cache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
        for (const QString &name : cache.entryList({QStringLiteral("tree_*")}, QDir::Files))
            QVERIFY(cache.remove(name));
        Tavrin::resetSizeCachesForTesting();
        qputenv("SIM_OSTREE_DELAY", "4");
        const auto unset = qScopeGuard([] { qunsetenv("SIM_OSTREE_DELAY"); });
        const int row = rowWithStatus(QStringLiteral("回滚备份"));
        QVERIFY(row >= 0);
        bool checked = false;
        const int listingsBefore = sim->callCount(QStringLiteral("ostree --repo"));
        PageTest::onNextDialog([&](QDialog *d) {
            QTRY_VERIFY_WITH_TIMEOUT(sim->callCount(QStringLiteral("ostree --repo")) > listingsBefore, 20000);
            // Every thread of the pool at once, as a large conversion splits
            // into one piece per thread: one thread held by a listing fails it.
            QThreadPool *global = QThreadPool::globalInstance();
            struct Barrier
            {
                QAtomicInt started;
                QAtomicInt together;
            };
            const auto barrier = std::make_shared<Barrier>();
            const int tasks = global->maxThreadCount();
            for (int i = 0; i < tasks; ++i) {
                global->start([barrier, tasks] {
                    barrier->started.ref();
                    const QDeadlineTimer limit(3000);
                    while (barrier->started.loadRelaxed() < tasks && !limit.hasExpired())
                        QThread::msleep(5);
                    if (barrier->started.loadRelaxed() >= tasks)
                        barrier->together.ref();
                });
            }
            QTRY_VERIFY_WITH_TIMEOUT(barrier->together.loadRelaxed() == tasks, 2000);
            // Still waiting for the listings: the check ran while they were slow.
            QVERIFY2(PageTest::dialogText(d).contains(QStringLiteral("可释放空间: 计算中…")),
                     qPrintable(PageTest::dialogText(d)));
            QVERIFY(!d->grab().isNull());
            checked = true;
            PageTest::findButton(d, QStringLiteral("取消"))->click();
            global->waitForDone();
        });
        deleteButton(row)->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY(checked);
    }

    // The snapshot's delete dialog: its own directory plus the files of its
    // tree that nothing else holds.
    void snapshotDeleteSaysWhatItFrees()
    {
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        QCOMPARE(snaps.size(), 2);
        const Tavrin::SnapshotInfo snap = snaps.at(1);
        QFile ref(sim->path(QStringLiteral("/ostree/repo/refs/heads/snapshot/") + snap.id));
        QVERIFY(ref.open(QIODevice::ReadOnly));
        const QString commit = QString::fromLatin1(ref.readAll()).trimmed();
        const qint64 unique = ownFilesSize(commit, snap.id.left(8));
        const qint64 dir = sim->run(QStringLiteral("du"),
                                    {QStringLiteral("-sb"),
                                     sim->path(QStringLiteral("/persistent/ostree/snapshot/") + snap.id)})
                               .split('\t')
                               .first()
                               .toLongLong();
        QVERIFY(unique > 0 && dir > 0);

        SnapshotsPage snapshots(nullptr);
        snapshots.resize(1000, 700);
        snapshots.show();
        snapshots.refresh();
        // The page is idle once its rows are shown; the sizes follow.
        QVERIFY(QTest::qWaitFor([&snapshots] { return !snapshots.isBusy() && !snapshots.sizesPending(); },
                                120000));
        auto *list = snapshots.findChild<QTableWidget *>();
        QString seen;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &seen);
        auto *rows = qobject_cast<SnapshotRowDelegate *>(list->itemDelegateForColumn(5));
        QVERIFY(rows);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          rows->actionRect(1, SnapshotRowDelegate::Delete).center());
        QVERIFY2(seen.contains(QStringLiteral("可释放空间: ") + Tavrin::formatSize(unique + dir)),
                 qPrintable(seen));
        QCOMPARE(Tavrin::getSnapshots().size(), 2);
    }
};

TAVRIN_TEST_MAIN(TestDeploysPage)
#include "tst_deployspage.moc"
