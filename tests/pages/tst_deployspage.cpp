#include "backend/backend_p.h"
#include "backend/freedspacecache.h"
#include "backend/reclaim.h"
#include "backend/staged.h"
#include "deploydeletedialog.h"
#include "deployrowdelegate.h"
#include "deployspage.h"
#include "pagetest.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "ui/components.h"
#include "ui/pageblocks.h"

#include <QAccessible>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMutex>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardPaths>
#include <QThreadPool>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

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

    QString version(int row) const { return table()->item(row, 1)->text(); }

    // The row's drawn button, used as the mouse uses it.
    struct RowAction
    {
        QTableWidget *table;
        int row;
        DeployRowDelegate *rows() const
        {
            return qobject_cast<DeployRowDelegate *>(table->itemDelegateForColumn(5));
        }
        void click() const
        {
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rows()->actionRect(row).center());
        }
        bool isEnabled() const { return rows()->actionEnabled(row); }
        QString accessibleName() const { return table->item(row, 5)->data(Qt::AccessibleTextRole).toString(); }
        const RowAction *operator->() const { return this; }
    };
    RowAction deleteButton(int row) const { return RowAction{table(), row}; }

    int promptCount() const
    {
        QFile log(sim->path(QStringLiteral("/var/log/zarnex-sim/prompts.log")));
        return log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) : 0;
    }

    // Stages a rollback to the second snapshot, with its safety backup and
    // the state that waits for it.
    void stageRollback()
    {
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        Tavrin::RollbackRequest request;
        request.targetId = snaps.at(1).id;
        request.targetName = snaps.at(1).name;
        request.strategy = QStringLiteral("reboot3");
        request.backupName = QStringLiteral("回滚前备份-test");
        request.backupDesc = QStringLiteral("before");
        request.bootedId = Tavrin::getBootedDeployId();
        QVERIFY(Tavrin::rollBackToSnapshot(request).ok);
        QCOMPARE(Tavrin::getRollbackState().status, QStringLiteral("pending"));
        QVERIFY(!Tavrin::getRollbackState().rollbackCommit.isEmpty());
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
        QVERIFY(table()->item(booted, 1)->data(DeployRowDelegate::BootedRole).toBool());
        QVERIFY(!table()->item(history, 1)->data(DeployRowDelegate::BootedRole).toBool());
        QVERIFY(!deleteButton(booted)->isEnabled());
        // The staged upgrade is not deleted but discarded.
        QCOMPARE(deleteButton(pending)->rows()->actionOf(pending), DeployRowDelegate::Discard);
        QCOMPARE(table()->item(pending, 1)->data(DeployRowDelegate::StagedRole).toInt(),
                 int(DeployRowDelegate::StagedUpgrade));
        QVERIFY(deleteButton(backup)->isEnabled());
        // What the drawn cells show reaches a screen reader.
        QCOMPARE(deleteButton(history)->accessibleName(), QStringLiteral("操作: 删除部署（Enter 或菜单键）"));
        QCOMPARE(deleteButton(pending)->accessibleName(), QStringLiteral("操作: 放弃部署（Enter 或菜单键）"));
        QVERIFY(deleteButton(booted)->accessibleName().startsWith(QStringLiteral("操作: 不能删除：")));
        QCOMPARE(table()->item(pending, 1)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("版本号: 25.1.3，待生效的升级"));
        QCOMPARE(table()->item(booted, 1)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("版本号: 25.1.2，当前启动"));
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

    // A reload refills the rows it had: the cells an assistive tool holds
    // stay alive, and no row carries a widget of its own.
    void rowsAreUpdatedInPlace()
    {
        QCOMPARE(table()->rowCount(), 3);
        QList<QTableWidgetItem *> before;
        for (int c = 0; c < 6; ++c)
            before << table()->item(2, c);
        QVERIFY(Tavrin::runUpgrade().ok);
        QVERIFY(reload());
        QCOMPARE(table()->rowCount(), 4);
        for (int c = 0; c < 6; ++c)
            QCOMPARE(table()->item(2, c), before.at(c));
        const QList<Tavrin::DeployInfo> list = Tavrin::getDeploys();
        for (int r = 0; r < list.size(); ++r) {
            QCOMPARE(version(r), list.at(r).version);
            QCOMPARE(table()->item(r, 1)->data(Qt::UserRole).toString(), list.at(r).commit);
            for (int c = 0; c < 6; ++c)
                QVERIFY(!table()->cellWidget(r, c));
        }
    }

    // Columns are as wide as what they hold in the font in use, and the
    // table never runs past its view: the version gives way, then the commit.
    void widthsFollowTheFont_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("commitShown");
        QTest::newRow("small font, narrow") << 8 << 920 << true;
        QTest::newRow("large font, narrow") << 16 << 920 << false;
        QTest::newRow("large font, wide") << 16 << 1060 << true;
        QTest::newRow("very large font, wide") << 22 << 1060 << false;
    }
    void widthsFollowTheFont()
    {
        QFETCH(int, points);
        QFETCH(int, width);
        QFETCH(bool, commitShown);
        QFont font = table()->font();
        font.setPointSize(points);
        table()->setFont(font);
        page->resize(width, 700);
        QVERIFY(reload());
        QTRY_VERIFY(table()->viewport()->width() > 0);
        QCoreApplication::processEvents();
        QTableWidget *t = table();
        const QFontMetrics fm(t->font());
        QCOMPARE(t->font().pointSize(), points);
        int total = 0;
        for (int c = 0; c < 6; ++c)
            total += t->isColumnHidden(c) ? 0 : t->columnWidth(c);
        QVERIFY2(total <= t->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(total).arg(t->viewport()->width())));
        auto *rows = qobject_cast<DeployRowDelegate *>(t->itemDelegateForColumn(5));
        QVERIFY(t->columnWidth(5) >= rows->actionsWidth());
        for (int r = 0; r < t->rowCount(); ++r) {
            for (int c : {0, 2, 3, 4}) {
                if (t->isColumnHidden(c))
                    continue;
                const int need = fm.horizontalAdvance(t->item(r, c)->text());
                QVERIFY2(need < t->columnWidth(c),
                         qPrintable(QStringLiteral("row %1 column %2: %3 in %4")
                                        .arg(r).arg(c).arg(need).arg(t->columnWidth(c))));
            }
            QVERIFY(rows->actionRect(r).right() <= t->visualRect(t->model()->index(r, 5)).right());
        }
        // Only a room too narrow for the font hides the commit (its tooltip keeps it).
        QCOMPARE(!t->isColumnHidden(4), commitShown);
    }

    // The actions without the mouse: the table is one Tab stop, and Enter,
    // Space or the menu key offer the row's action; Delete asks at once.
    void keyboardReachesRowActions_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("entry"); // empty: no menu
        QTest::addColumn<QString>("dialogTitle"); // empty: nothing asked
        QTest::newRow("Return on history") << "历史" << int(Qt::Key_Return) << "删除部署…"
                                          << "删除部署";
        QTest::newRow("Space on the staged one") << "待生效" << int(Qt::Key_Space) << "放弃待生效部署…"
                                                << "放弃待生效部署";
        QTest::newRow("menu key on the backup") << "回滚备份" << int(Qt::Key_Menu) << "删除部署…"
                                               << "删除部署";
        QTest::newRow("Delete on history") << "历史" << int(Qt::Key_Delete) << QString() << "删除部署";
        QTest::newRow("Delete on the booted one") << "当前启动" << int(Qt::Key_Delete) << QString() << QString();
        QTest::newRow("menu on the booted one") << "当前启动" << int(Qt::Key_Menu) << "删除部署…" << QString();
    }
    void keyboardReachesRowActions()
    {
        QFETCH(QString, status);
        QFETCH(int, key);
        QFETCH(QString, entry);
        QFETCH(QString, dialogTitle);
        QVERIFY(Tavrin::runUpgrade().ok);
        QVERIFY(reload());
        const int row = rowWithStatus(status);
        QVERIFY(row >= 0);
        QVERIFY(!table()->tabKeyNavigation());
        table()->setFocus();
        QTRY_VERIFY(table()->hasFocus());
        table()->setCurrentCell(0, 1);
        for (int r = 0; r < row; ++r)
            QTest::keyClick(table(), Qt::Key_Down);
        QCOMPARE(table()->currentRow(), row);

        QStringList entries;
        bool entryEnabled = false;
        if (!entry.isEmpty()) {
            auto *poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [&entries, &entryEnabled, entry, poll] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                if (!menu)
                    return;
                poll->deleteLater();
                for (QAction *a : menu->actions()) {
                    entries << a->text();
                    if (a->text() == entry && a->isEnabled()) {
                        entryEnabled = true;
                        menu->setActiveAction(a);
                    }
                }
                if (entryEnabled)
                    QTest::keyClick(menu, Qt::Key_Return);
                else
                    menu->close();
            });
            poll->start(10);
        }
        QString asked;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &asked);
        QTest::keyClick(table(), Qt::Key(key));
        if (!entry.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(entries, QStringList{entry}, 10000);
        if (dialogTitle.isEmpty()) {
            QVERIFY(!entryEnabled);
            QCOMPARE(PageTest::dropPendingAnswers(), 1);
            QVERIFY(asked.isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 10000);
        QVERIFY2(asked.contains(dialogTitle), qPrintable(asked));
        QVERIFY2(asked.contains(Tavrin::getDeploys().at(row).commit.left(12)), qPrintable(asked));
        QCOMPARE(Tavrin::getDeploys().size(), 4);
    }

    // The staged deployment, rollback or upgrade, is discarded after a
    // question and one authorization; a staged rollback's state is cancelled
    // with it, so nothing waits for a boot that will not come. Declined,
    // refused or failed, the system stays as it was.
    void stagedDeploymentIsDiscarded_data()
    {
        QTest::addColumn<bool>("rollback");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArrayList>("env");
        QTest::addColumn<bool>("gone");
        QTest::addColumn<int>("semantic");
        QTest::addColumn<QString>("bannerStart");
        const QByteArrayList password{"SIM_SUDO=password"};
        QTest::newRow("upgrade") << false << "放弃部署" << password << true << int(TavrinUi::Success)
                                 << "已放弃待生效的部署";
        QTest::newRow("rollback") << true << "放弃部署" << password << true << int(TavrinUi::Success)
                                  << "已放弃待生效的还原";
        QTest::newRow("rollback, declined") << true << "取消" << password << false << -1 << QString();
        QTest::newRow("rollback, authorization dismissed")
            << true << "放弃部署" << QByteArrayList{"SIM_SUDO=password", "SIM_PKEXEC=dismiss"} << false
            << int(TavrinUi::Warning) << "没有获得管理员授权";
        QTest::newRow("rollback, undeploy fails")
            << true << "放弃部署" << QByteArrayList{"SIM_OSTREE_FAIL=admin undeploy"} << false
            << int(TavrinUi::Danger) << "放弃待生效部署失败";
    }
    void stagedDeploymentIsDiscarded()
    {
        QFETCH(bool, rollback);
        QFETCH(QString, answer);
        QFETCH(QByteArrayList, env);
        QFETCH(bool, gone);
        QFETCH(int, semantic);
        QFETCH(QString, bannerStart);
        if (rollback)
            stageRollback();
        else
            QVERIFY(Tavrin::runUpgrade().ok);
        QVERIFY(reload());
        const int row = rowWithStatus(QStringLiteral("待生效"));
        QVERIFY(row >= 0);
        const QString staged = Tavrin::getStagedDeployId();
        QCOMPARE(table()->item(row, 1)->data(Qt::UserRole).toString(), staged);
        QCOMPARE(table()->item(row, 1)->data(DeployRowDelegate::StagedRole).toInt(),
                 int(rollback ? DeployRowDelegate::StagedRollback : DeployRowDelegate::StagedUpgrade));
        const int snapshots = Tavrin::getSnapshots().size();

        for (const QByteArray &kv : env)
            qputenv(kv.left(kv.indexOf('=')).constData(), kv.mid(kv.indexOf('=') + 1));
        const auto unset = qScopeGuard([&env] {
            for (const QByteArray &kv : env)
                qunsetenv(kv.left(kv.indexOf('=')).constData());
            qputenv("SIM_SUDO", "grant");
            qputenv("SIM_PKEXEC", "grant");
        });
        const int prompts = promptCount();
        QString asked;
        PageTest::answerNextDialog(answer, QString(), &asked);
        deleteButton(row)->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY2(asked.contains(QStringLiteral("放弃待生效部署")) && asked.contains(staged.left(12)),
                 qPrintable(asked));
        QCOMPARE(asked.contains(QStringLiteral("回滚前安全备份会保留")), rollback);

        QCOMPARE(Tavrin::getStagedDeployId().isEmpty(), gone);
        QCOMPARE(table()->rowCount(), gone ? 3 : 4);
        QCOMPARE(rowWithStatus(QStringLiteral("待生效")) < 0, gone);
        QCOMPARE(sim->callCount(QStringLiteral("ostree admin undeploy")),
                 answer == QStringLiteral("取消") || env.contains("SIM_PKEXEC=dismiss") ? 0 : 1);
        if (gone && env.contains("SIM_SUDO=password"))
            QCOMPARE(promptCount() - prompts, 1);
        if (semantic < 0) {
            QVERIFY(!banner()->isVisible());
        } else {
            QCOMPARE(int(banner()->semantic()), semantic);
            QVERIFY2(banner()->text().startsWith(bannerStart), qPrintable(banner()->text()));
        }
        // The safety backup stays either way; only a discarded rollback stops waiting.
        QCOMPARE(Tavrin::getSnapshots().size(), snapshots);
        if (rollback) {
            const Tavrin::RollbackState state = Tavrin::getRollbackState();
            QCOMPARE(state.status, gone ? QStringLiteral("cancelled") : QStringLiteral("pending"));
            QCOMPARE(Tavrin::rollbackStateNote(state).isEmpty(), gone);
            QCOMPARE(state.rollbackCommit, staged);
        }
    }

    // The discard names the staged deployment by its index: once the list has
    // changed the helper refuses it, and nothing is removed.
    void discardRefusedOnceTheListChanged_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("sameCommit");
        QTest::newRow("index now of the booted one") << 1 << true;
        QTest::newRow("another commit staged") << 0 << false;
    }
    void discardRefusedOnceTheListChanged()
    {
        QFETCH(int, index);
        QFETCH(bool, sameCommit);
        QVERIFY(Tavrin::runUpgrade().ok);
        const QList<Tavrin::DeployInfo> list = Tavrin::getDeploys();
        const Tavrin::DeployInfo *found = Tavrin::stagedDeploy(list);
        QVERIFY(found);
        Tavrin::DeployInfo staged = *found;
        staged.index = index;
        if (!sameCommit)
            staged.commit = list.at(3).commit;
        const Tavrin::DiscardOutcome outcome = Tavrin::discardStaged(staged);
        QVERIFY(outcome.authorized);
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.error.contains(QStringLiteral("no longer")), qPrintable(outcome.error));
        QCOMPARE(Tavrin::getDeploys().size(), list.size());
        QCOMPARE(sim->callCount(QStringLiteral("ostree admin undeploy")), 0);
    }

    // Under a screen reader the refills keep every cell a reader holds of the
    // rows that stay, and the reader hears each refill.
    void refillWhileAssistiveToolReads()
    {
        if (qEnvironmentVariableIsSet("TAVRIN_ACCESSIBILITY_REQUIRED"))
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 30000);
        if (!QAccessible::isActive())
            QSKIP("accessibility is inactive here; tst_deployspage_accessible runs this with a bridge");
        static int modelChanges = 0;
        static QStringList invalid;
        modelChanges = 0;
        invalid.clear();
        const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            if (event->type() == QAccessible::TableModelChanged)
                ++modelChanges;
            QAccessibleInterface *iface = event->accessibleInterface();
            if (!iface)
                return;
            if (!iface->isValid()) {
                invalid << QString::number(int(event->type()), 16);
                return;
            }
            (void)iface->text(QAccessible::Name);
            for (int i = 0; i < iface->childCount(); ++i) {
                QAccessibleInterface *child = iface->child(i);
                if (!child || !child->isValid())
                    invalid << QStringLiteral("child %1").arg(i);
                else
                    (void)child->text(QAccessible::Name);
            }
        });
        for (int round = 0; round < 4; ++round) {
            QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(table())->tableInterface();
            QVERIFY(cells);
            QList<QAccessible::Id> held;
            for (int column = 0; column < 6; ++column)
                held << QAccessible::uniqueId(cells->cellAt(0, column));
            // Names of the drawn cells, as a reader reads them.
            QVERIFY(cells->cellAt(0, 5)->text(QAccessible::Name).startsWith(QStringLiteral("操作: ")));
            if (round % 2 == 0) {
                Tavrin::RollbackRequest request;
                request.targetId = Tavrin::getSnapshots().at(1).id;
                request.strategy = QStringLiteral("none");
                QVERIFY(Tavrin::rollBackToSnapshot(request).ok);
            } else {
                const QList<Tavrin::DeployInfo> list = Tavrin::getDeploys();
                const Tavrin::DeployInfo *staged = Tavrin::stagedDeploy(list);
                QVERIFY(staged);
                QVERIFY(Tavrin::discardStaged(*staged).ok);
            }
            QVERIFY(reload());
            for (QAccessible::Id id : std::as_const(held)) {
                QAccessibleInterface *iface = QAccessible::accessibleInterface(id);
                QVERIFY2(iface && iface->isValid(), "an interface of a row that stays was dropped");
                (void)iface->text(QAccessible::Name);
            }
            QCoreApplication::processEvents();
        }
        QAccessible::installUpdateHandler(previous);
        QCOMPARE(table()->rowCount(), 3);
        QVERIFY2(modelChanges >= 4, qPrintable(QString::number(modelChanges)));
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid.join(u',')));
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
