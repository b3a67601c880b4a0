// The free-space planner against the simulated system: what it offers, what
// each row frees (files the simulation put into one tree only, a snapshot's
// own directory, the upgrade cache), and the removal under one authorization.

#include "backend/backend_p.h"
#include "diskpage/freespacedialog.h"
#include "pagetest.h"
#include "planner/freespacemodel.h"

#include "ui/appearance.h"
#include "zguiapplicationhelper.h"

#include <QDirIterator>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

using namespace Tavrin::FreeSpace;

namespace {

// The simulation's upgrade cache: metadata/repomd.json and two downloads.
constexpr qint64 kCacheBytes = 40000 + 900000 + 350000;
// What an upgrade adds to it.
constexpr qint64 kUpgradeDelta = 256 * 1024;

} // namespace

class TestFreeSpacePlanner : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    QPointer<FreeSpaceDialog> dialog;

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

    QString refCommit(const QString &ref) const
    {
        return QString::fromLatin1(readFile(sim->path(QStringLiteral("/ostree/repo/refs/heads/") + ref)))
            .trimmed();
    }

    static QByteArray readFile(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    int promptCount() const
    {
        return readFile(sim->path(QStringLiteral("/var/log/zarnex-sim/prompts.log"))).count('\n');
    }

    qint64 cacheFiles() const
    {
        QDirIterator it(sim->path(QStringLiteral("/var/cache/zarnex-immutable-ctl")), QDir::Files,
                        QDirIterator::Subdirectories);
        qint64 n = 0;
        while (it.hasNext()) {
            it.next();
            ++n;
        }
        return n;
    }

    // The rows of the dialog: key -> (size text, title).
    QMap<QString, QStringList> rows() const
    {
        QMap<QString, QStringList> out;
        const QAbstractItemModel *m = dialog->view()->model();
        for (int g = 0; g < m->rowCount(); ++g) {
            const QModelIndex group = m->index(g, 0);
            for (int r = 0; r < m->rowCount(group); ++r) {
                const QModelIndex name = m->index(r, 0, group);
                out.insert(name.data(FreeSpaceModel::KeyRole).toString(),
                           {m->index(r, FreeSpaceModel::SizeColumn, group).data().toString(),
                            name.data().toString()});
            }
        }
        return out;
    }

    bool open()
    {
        dialog = openFreeSpacePlanner(nullptr);
        PageTest::answeredDialogs().insert(dialog);
        return QTest::qWaitFor(
            [&] { return !dialog->model()->isLoading() && !dialog->model()->isMeasuring(); }, 120000);
    }

    QString snapshotKey() const { return QStringLiteral("snapshot:") + Tavrin::getSnapshots().at(1).id; }
    QString backupDeployKey() const
    {
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys()) {
            if (d.isRollbackBackup)
                return QStringLiteral("deployment:") + d.commit;
        }
        return QString();
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        // Two snapshots: the second is made from the oldest deployment, so the
        // rollback backup's own files are held by nothing else.
        sim = std::make_unique<PageTest::SimRoot>(QStringList{QStringLiteral("--files"), QStringLiteral("40"),
                                                              QStringLiteral("--snapshots"),
                                                              QStringLiteral("2")});
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
    }

    void cleanup()
    {
        delete dialog;
        for (const char *v : {"SIM_CTL_FAIL", "SIM_DISMISS_PROMPT", "SIM_SUDO"})
            qunsetenv(v);
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    // Offered: the ordinary snapshot, the deployments neither booted nor
    // staged, the cache; each with what it alone frees, after the list.
    void offersWhatMayGoWithItsSize()
    {
        QVERIFY(Tavrin::runUpgrade().ok); // a staged deployment, never offered
        dialog = new FreeSpaceDialog;
        PageTest::answeredDialogs().insert(dialog);
        QSignalSpy sized(dialog->model(), &FreeSpaceModel::sizesArrived);
        bool listedBeforeSizes = false;
        connect(dialog->model(), &FreeSpaceModel::loaded, this, [&] {
            listedBeforeSizes = sized.isEmpty() && rows().size() == 4 &&
                                rows().value(snapshotKey()).value(0) == QStringLiteral("计算中…");
        });
        dialog->show();
        QVERIFY(QTest::qWaitFor([&] { return !sized.isEmpty(); }, 120000));
        QVERIFY(listedBeforeSizes);

        const Tavrin::SnapshotInfo snap = Tavrin::getSnapshots().at(1);
        const qint64 snapDir = sim->run(QStringLiteral("du"),
                                        {QStringLiteral("-sb"),
                                         sim->path(QStringLiteral("/persistent/ostree/snapshot/") + snap.id)})
                                   .split('\t')
                                   .first()
                                   .toLongLong();
        const qint64 snapOwn =
            ownFilesSize(refCommit(QStringLiteral("snapshot/") + snap.id), snap.id.left(8));
        QString backupCommit;
        QString history;
        for (const Tavrin::DeployInfo &d : Tavrin::getDeploys()) {
            QVERIFY2(!(d.isBooted || d.hidden) || !rows().contains(QStringLiteral("deployment:") + d.commit),
                     qPrintable(d.version));
            if (d.isRollbackBackup)
                backupCommit = d.commit;
            else if (!d.isBooted && !d.hidden)
                history = d.commit;
        }
        const qint64 backupOwn = ownFilesSize(backupCommit, QStringLiteral("v2512"));
        QVERIFY(snapDir > 0 && snapOwn > 0 && backupOwn > 0);

        const QMap<QString, QStringList> shown = rows();
        QStringList expected{QStringLiteral("cache:"), QStringLiteral("deployment:") + backupCommit,
                             QStringLiteral("deployment:") + history, QStringLiteral("snapshot:") + snap.id};
        expected.sort();
        QCOMPARE(shown.keys(), expected);
        QCOMPARE(shown.value(QStringLiteral("snapshot:") + snap.id).at(0),
                 Tavrin::formatSize(snapOwn + snapDir));
        QCOMPARE(shown.value(QStringLiteral("deployment:") + backupCommit).at(0),
                 Tavrin::formatSize(backupOwn));
        // Its files are kept by the newer deployments and the snapshot.
        QCOMPARE(shown.value(QStringLiteral("deployment:") + history).at(0), Tavrin::formatSize(0));
        QCOMPARE(shown.value(QStringLiteral("cache:")).at(0),
                 Tavrin::formatSize(kCacheBytes + kUpgradeDelta));

        // The running total and the free space after.
        FreeSpaceModel *model = dialog->model();
        auto *totals = dialog->findChild<QLabel *>(QStringLiteral("tavrinFreeSpaceTotals"));
        QCOMPARE(totals->text(), QStringLiteral("未选择任何项目"));
        model->setChecked(QStringLiteral("cache:"), true);
        model->setChecked(QStringLiteral("deployment:") + backupCommit, true);
        const qint64 checked = kCacheBytes + kUpgradeDelta + backupOwn;
        QCOMPARE(model->totals().bytes, checked);
        QCOMPARE(model->freeAfter(), model->inventory().freeBytes + checked);
        QVERIFY(model->inventory().freeBytes > 0);
        QVERIFY2(totals->text().contains(Tavrin::formatSize(checked)), qPrintable(totals->text()));
        QVERIFY2(totals->text().contains(Tavrin::formatSize(model->freeAfter())), qPrintable(totals->text()));

        // The backup of a pending rollback is not offered; settled, it is again.
        for (const char *status : {"pending", "done"}) {
            const QJsonObject state{
                {"backup_snapshot_id", snap.id}, {"status", status}, {"strategy", "reboot3"}};
            QFile file(sim->path(QStringLiteral("/var/lib/tavrin-manager/rollback-state.json")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QJsonDocument(state).toJson());
            file.close();
            QSignalSpy loaded(model, &FreeSpaceModel::loaded);
            model->reload();
            QVERIFY(loaded.wait(60000));
            QCOMPARE(rows().contains(QStringLiteral("snapshot:") + snap.id), qstrcmp(status, "done") == 0);
        }
    }

    // "释放" asks once naming every item and the total, then runs them under
    // one authorization; a failure stops there and leaves the rest as it was;
    // a dismissed prompt changes nothing. The page says which.
    void releasesUnderOneAuthorization_data()
    {
        QTest::addColumn<QByteArray>("knob");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QList<int>>("done"); // per item: 1 done, 0 not run, -1 failed
        QTest::addColumn<QString>("says");
        QTest::newRow("all done") << QByteArray() << QByteArray() << QList<int>{1, 1, 1}
                                  << QStringLiteral("已释放 3 项");
        QTest::newRow("undeploy fails part-way") << QByteArray("SIM_CTL_FAIL") << QByteArray("admin undeploy")
                                                 << QList<int>{1, -1, 0} << QStringLiteral("失败：%1");
        QTest::newRow("prompt dismissed")
            << QByteArray("SIM_DISMISS_PROMPT") << QByteArray("next") << QList<int>{0, 0, 0}
            << QStringLiteral("未获得管理员授权，没有删除任何项目");
    }
    void releasesUnderOneAuthorization()
    {
        QFETCH(QByteArray, knob);
        QFETCH(QByteArray, value);
        QFETCH(QList<int>, done);
        QFETCH(QString, says);
        // Every elevation goes through the prompt, so the prompts can be counted.
        qputenv("SIM_SUDO", "password");
        QVERIFY(open());
        const QStringList keys{snapshotKey(), backupDeployKey(), QStringLiteral("cache:")};
        // Its own directory is root's: only the tree part could be measured.
        QVERIFY2(rows().value(keys.at(0)).at(0).startsWith(QStringLiteral("至少 ")),
                 qPrintable(rows().value(keys.at(0)).at(0)));
        const QStringList titles{rows().value(keys.at(0)).at(1), rows().value(keys.at(1)).at(1),
                                 rows().value(keys.at(2)).at(1)};
        for (const QString &k : keys)
            dialog->model()->setChecked(k, true);
        const qint64 total = dialog->model()->totals().bytes;

        if (value == "next")
            value = QByteArray::number(promptCount() + 1);
        if (!knob.isEmpty())
            qputenv(knob.constData(), value);
        const int promptsBefore = promptCount();
        QString asked;
        PageTest::answerNextDialog(QStringLiteral("释放"), QString(), &asked);
        QSignalSpy released(dialog->model(), &FreeSpaceModel::released);
        QSignalSpy freed(dialog, &FreeSpaceDialog::spaceFreed);
        dialog->findChild<QPushButton *>(QStringLiteral("tavrinFreeSpaceRelease"))->click();
        QVERIFY(released.wait(120000) || !released.isEmpty());
        for (const QString &t : titles)
            QVERIFY2(asked.contains(t), qPrintable(asked));
        QVERIFY2(asked.contains(QStringLiteral("至少 ") + Tavrin::formatSize(total)), qPrintable(asked));
        QCOMPARE(promptCount() - promptsBefore, 1);
        if (!knob.isEmpty())
            qunsetenv(knob.constData());

        QVERIFY(QTest::qWaitFor(
            [&] { return !dialog->model()->isLoading() && !dialog->model()->isMeasuring(); }, 120000));
        const QMap<QString, QStringList> after = rows();
        const QString report = dialog->reportText();
        QVERIFY2(report.contains(says.contains(QLatin1String("%1")) ? says.arg(QString()) : says),
                 qPrintable(report));
        for (int i = 0; i < 3; ++i) {
            const bool gone = done.at(i) == 1;
            QVERIFY2(after.contains(keys.at(i)) != gone, qPrintable(keys.at(i)));
            if (knob == "SIM_DISMISS_PROMPT")
                continue;
            const QString line = done.at(i) == 1    ? QStringLiteral("已删除：")
                                 : done.at(i) == -1 ? QStringLiteral("失败：")
                                                    : QStringLiteral("未执行：");
            QVERIFY2(report.contains(
                         line +
                         QStringLiteral("%1").arg(FreeSpaceModel::groupTitle(i == 0   ? Kind::Snapshot
                                                                             : i == 1 ? Kind::Deployment
                                                                                      : Kind::UpgradeCache)) +
                         QStringLiteral("：") + titles.at(i)),
                     qPrintable(report));
        }
        QCOMPARE(cacheFiles() == 0, done.at(2) == 1);
        QCOMPARE(freed.size(), done.at(0) == 1 ? 1 : 0);
        // Items left in place stay checked for another try.
        for (int i = 0; i < 3; ++i) {
            if (done.at(i) != 1)
                QCOMPARE(dialog->model()->indexOfKey(keys.at(i)).data(Qt::CheckStateRole).toInt(),
                         int(Qt::Checked));
        }
    }

    // One Tab stop for the list, Space and Enter toggle a row, Escape closes;
    // every control says what it acts on.
    void keyboardAndNames()
    {
        QVERIFY(open());
        QTreeView *view = dialog->view();
        QVERIFY(!view->accessibleName().isEmpty());
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->text()));
        dialog->activateWindow();
        view->setFocus();
        const QModelIndex first = dialog->model()->index(0, 0, dialog->model()->index(0, 0));
        view->setCurrentIndex(first);
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(first.data(Qt::AccessibleTextRole).toString().contains(QStringLiteral("已选中")));
        auto *release = dialog->findChild<QPushButton *>(QStringLiteral("tavrinFreeSpaceRelease"));
        QVERIFY(release->isEnabled());
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(first.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(dialog->isVisible()); // Enter never closes nor releases
        QVERIFY(!release->isEnabled());
        QTest::keyClick(view, Qt::Key_Tab);
        QVERIFY(qobject_cast<QPushButton *>(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return dialog.isNull(); }, 5000));
    }

    // At the smallest window size in both themes: nothing cut off, the dark
    // theme dark. PNGs go to TAVRIN_SCREENSHOT_DIR when it is set.
    void rendersInBothThemes()
    {
        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        const QString dpi = qEnvironmentVariableIsSet("QT_FONT_DPI") ? QStringLiteral("-144dpi") : QString();
        double lightness[2] = {0, 0};
        for (int theme = 0; theme < 2; ++theme) {
            ZGuiApplicationHelper::instance()->setPaletteType(theme == 0 ? ZGuiApplicationHelper::LightType
                                                                         : ZGuiApplicationHelper::DarkType);
            TavrinUi::applyAppearance();
            QVERIFY(open());
            dialog->resize(920, 620);
            dialog->model()->setChecked(snapshotKey(), true);
            dialog->model()->setChecked(QStringLiteral("cache:"), true);
            QCoreApplication::processEvents();
            for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
                QVERIFY2(dialog->rect().contains(QRect(b->mapTo(dialog, QPoint(0, 0)), b->size())),
                         qPrintable(b->text()));
                QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
            }
            QHeaderView *header = dialog->view()->header();
            for (int c = 1; c < FreeSpaceModel::ColumnCount; ++c)
                QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
            const QImage shot = dialog->grab().toImage();
            qint64 sum = 0;
            for (int y = 0; y < shot.height(); y += 4)
                for (int x = 0; x < shot.width(); x += 4)
                    sum += QColor(shot.pixel(x, y)).lightness();
            lightness[theme] = double(sum) / ((shot.height() / 4 + 1) * (shot.width() / 4 + 1));
            if (!dir.isEmpty())
                shot.save(dir + QStringLiteral("/freespace-") + (theme == 0 ? "light" : "dark") + dpi +
                          QStringLiteral(".png"));
            delete dialog;
        }
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
        TavrinUi::applyAppearance();
        QVERIFY2(lightness[1] + 60 < lightness[0],
                 qPrintable(QStringLiteral("%1 %2").arg(lightness[0]).arg(lightness[1])));
    }
};

TAVRIN_TEST_MAIN(TestFreeSpacePlanner)
#include "tst_freespaceplanner.moc"
