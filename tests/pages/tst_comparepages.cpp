#include "backend/backend_p.h"
#include "backend/comparestates.h"
#include "compare/comparedialog.h"
#include "compare/comparemodel.h"
#include "deployspage.h"
#include "pagetest.h"
#include "snapshotspage.h"
#include "updatepage.h"
#include "versionpage.h"

#include "ui/appearance.h"
#include "zguiapplicationhelper.h"

#include <QAccessible>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QHeaderView>
#include <QTreeView>

// The three ways into a comparison, each against the simulated system, whose
// trees differ in known files, sizes and package lists. The expected changes
// come from full listings of both trees, not from the comparison's own road.
class TestComparePages : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;

    struct Listed
    {
        char type;
        qint64 size;
        QString checksum;
        int mode;
    };

    // Path -> entry of every file of a commit, from "ostree ls -R -C".
    QMap<QString, Listed> listing(const QString &commit) const
    {
        QMap<QString, Listed> files;
        const QByteArray out = sim->run(sim->path(QStringLiteral("/usr/bin/ostree")),
                                        {QStringLiteral("--repo=") + sim->path(QStringLiteral("/ostree/repo")),
                                         QStringLiteral("ls"), QStringLiteral("-R"), QStringLiteral("-C"), commit});
        for (const QByteArray &line : out.split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() < 6 || f.at(0).at(0) == 'd')
                continue;
            files.insert(QString::fromUtf8(f.at(5)),
                         {f.at(0).at(0), f.at(3).toLongLong(), QString::fromLatin1(f.at(4)), f.at(0).mid(1).toInt(nullptr, 8)});
        }
        return files;
    }

    // "A path size", "D path size", "M path old new" of every file that differs.
    QStringList expectedRows(const QString &before, const QString &after) const
    {
        const QMap<QString, Listed> a = listing(before), b = listing(after);
        QStringList rows;
        for (auto it = a.cbegin(); it != a.cend(); ++it) {
            if (!b.contains(it.key()))
                rows << QStringLiteral("removed %1 %2 ").arg(it.key()).arg(it->size);
            else if (b.value(it.key()).checksum != it->checksum || b.value(it.key()).mode != it->mode)
                rows << QStringLiteral("modified %1 %2 %3").arg(it.key()).arg(it->size).arg(b.value(it.key()).size);
        }
        for (auto it = b.cbegin(); it != b.cend(); ++it)
            if (!a.contains(it.key()))
                rows << QStringLiteral("added %1  %2").arg(it.key()).arg(it->size);
        rows.sort();
        return rows;
    }

    // The same rows as the comparison's CSV export says them.
    static QStringList exportedRows(CompareDialog *dialog)
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("changes.csv"));
        QString error;
        if (!dialog->exportCsv(path, &error)) {
            qWarning("export failed: %s", qPrintable(error));
            return {};
        }
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList rows;
        const QList<QByteArray> lines = f.readAll().split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> c = lines.at(i).trimmed().split(',');
            // Directories are listed too; the oracle counts files only.
            if (c.size() >= 9 && c.at(7) != "directory" && c.at(8) != "directory")
                rows << QStringLiteral("%1 %2 %3 %4").arg(QString::fromUtf8(c.at(1)), QString::fromUtf8(c.at(0)),
                                                          QString::fromUtf8(c.at(2)), QString::fromUtf8(c.at(3)));
        }
        rows.sort();
        return rows;
    }

    static CompareDialog *openDialog()
    {
        CompareDialog *found = nullptr;
        QTest::qWaitFor([&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<CompareDialog *>(w); d && d->isVisible())
                    found = d;
            return found != nullptr;
        }, 60000);
        return found;
    }

    static QStringList packageRows(CompareDialog *dialog)
    {
        auto *table = dialog->findChild<QTableWidget *>(QStringLiteral("tavrinComparePackages"));
        if (!table)
            return {QStringLiteral("no package tab")};
        QStringList rows;
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c)
                cells << table->item(r, c)->text();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }

    static bool finished(CompareDialog *dialog)
    {
        return QTest::qWaitFor([dialog] { return dialog->isFinished() && dialog->findChild<QTableWidget *>() ; }, 60000)
               || dialog->isFinished();
    }

private slots:
    void init()
    {
        // The large-font run repeats the layout checks only.
        if (qEnvironmentVariableIsSet("QT_FONT_DPI") && qstrcmp(QTest::currentTestFunction(), "rendersInBothThemes") != 0)
            QSKIP("layout checks only at this font size");
        Tavrin::resetSizeCachesForTesting();
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<CompareDialog *>(w))
                delete w;
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    // Two rows, one snapshot and one deployment, chosen with the keyboard in the picker.
    void twoRowsFromTheVersionPage()
    {
        VersionManagementPage page(nullptr);
        page.resize(1000, 760);
        page.show();
        page.refresh();
        QVERIFY(QTest::qWaitFor([&] { return !page.isBusy(); }, 120000));

        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        QVERIFY(states.error.isEmpty());
        const Tavrin::CompareState snapshot = states.states.at(1); // made from 25.1.1, with its own files
        const Tavrin::CompareState *booted = Tavrin::bootedState(states);
        QVERIFY(booted && !snapshot.commit.isEmpty());

        PageTest::onNextDialog([&](QDialog *d) {
            auto *list = d->findChild<QListWidget *>(QStringLiteral("tavrinComparePickList"));
            QVERIFY(list);
            auto *compare = d->findChild<QPushButton *>(QStringLiteral("tavrinComparePickCompare"));
            QVERIFY(!compare->isEnabled());
            for (int i = 0; i < list->count(); ++i) {
                if (i != 1 && !list->item(i)->text().contains(QStringLiteral("当前系统")))
                    continue;
                list->setCurrentRow(i);
                QTest::keyClick(list, Qt::Key_Space);
            }
            QVERIFY(compare->isEnabled());
            QTest::keyClick(list, Qt::Key_Return);
        });
        page.findChild<QPushButton *>(QStringLiteral("tavrinCompareButton"))->click();
        CompareDialog *dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));

        const QStringList expected = expectedRows(snapshot.commit, booted->commit);
        QVERIFY(expected.size() >= 5);
        QCOMPARE(exportedRows(dialog), expected);
        QString error;
        QVERIFY(!dialog->exportCsv(QStringLiteral("/nonexistent-dir/changes.csv"), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY2(dialog->summaryText().startsWith(QStringLiteral("新增 4 个文件，删除 3 个，修改 1 个")),
                 qPrintable(dialog->summaryText()));
        QCOMPARE(packageRows(dialog),
                 (QStringList{"legacy-helper 删除 0.9-3 —", "libc6 升级 2.36-9+deb12u2 2.36-9+deb12u3",
                              "linux-image-zarnex 升级 6.6.11-1 6.6.12-1", "mesa-vulkan-drivers 降级 23.0.5-1 23.0.4-1",
                              "tavrin-tools 新增 — 1.2~beta1", "zarnex-base 升级 25.1.1-1 25.1.2-1"}));

        // The tree: largest change first; a screen reader hears each row whole.
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("tavrinCompareTree"));
        QAbstractItemModel *model = tree->model();
        QVERIFY(model->rowCount() >= 1);
        const QModelIndex top = model->index(0, 0);
        QVERIFY2(top.data(Qt::AccessibleTextRole).toString().startsWith(QStringLiteral("目录 /")),
                 qPrintable(top.data(Qt::AccessibleTextRole).toString()));

        // Filter, then copy the path of the one file left with the keyboard.
        auto *filter = dialog->findChild<QLineEdit *>(QStringLiteral("tavrinCompareFilter"));
        filter->setText(QStringLiteral("packages/status"));
        QModelIndex leaf;
        QVERIFY(QTest::qWaitFor([&] {
            leaf = QModelIndex();
            for (QModelIndex i = model->index(0, 0); i.isValid(); i = model->index(0, 0, i))
                leaf = i;
            return leaf.isValid() && leaf.data(CompareTreeModel::PathRole).toString().endsWith(QStringLiteral("/status"));
        }, 10000));
        QCOMPARE(leaf.siblingAtColumn(CompareTreeModel::ChangeColumn).data().toString(), QStringLiteral("修改"));
        tree->setCurrentIndex(leaf);
        tree->setFocus();
        dialog->findChild<QPushButton *>(QStringLiteral("tavrinCompareCopy"))->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("/usr/lib/zarnex/packages/status"));
        filter->setText(QStringLiteral("no-such-path"));
        QVERIFY(QTest::qWaitFor([&] { return model->rowCount() == 0; }, 10000));
    }

    // One row of the deployments against the booted system; without a row the page says so.
    void oneRowAgainstTheBootedSystem()
    {
        VersionManagementPage page(nullptr);
        page.resize(1000, 760);
        page.show();
        page.showSubPage(1);
        QVERIFY(QTest::qWaitFor([&] { return !page.isBusy(); }, 120000));
        auto *button = page.findChild<QPushButton *>(QStringLiteral("tavrinCompareBootedButton"));
        button->click();
        QVERIFY(QTest::qWaitFor([&] { return page.banner()->isVisible(); }, 5000));
        QVERIFY2(page.banner()->text().contains(QStringLiteral("选择")), qPrintable(page.banner()->text()));

        auto *table = page.findChild<QTableWidget *>(QStringLiteral("tavrinDeployTable"));
        const QList<Tavrin::DeployInfo> deploys = Tavrin::getDeploys();
        int backup = -1, booted = -1;
        for (int i = 0; i < deploys.size(); ++i) {
            if (deploys.at(i).isRollbackBackup)
                backup = i;
            if (deploys.at(i).isBooted)
                booted = i;
        }
        QVERIFY(backup >= 0 && booted >= 0);
        table->setFocus();
        table->selectRow(backup);
        button->click();
        CompareDialog *dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QCOMPARE(exportedRows(dialog), expectedRows(deploys.at(backup).commit, deploys.at(booted).commit));
        QVERIFY2(dialog->summaryText().startsWith(QStringLiteral("新增 4 个文件，删除 4 个，修改 0 个")),
                 qPrintable(dialog->summaryText()));
        QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));
        QCOMPARE(packageRows(dialog), QStringList());
        delete dialog;

        // The booted row against itself: identical, said as such.
        table->selectRow(booted);
        button->click();
        dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QCOMPARE(dialog->summaryText(), QStringLiteral("两者完全相同：没有文件变化。"));
    }

    // A commit that left the repository, and a tree without a package list.
    void vanishedCommitAndNoPackageList()
    {
        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        const Tavrin::CompareState initial = states.states.at(0); // the base tree: no package list
        Tavrin::CompareState gone = initial;
        gone.commit = QString(64, QLatin1Char('e'));
        auto *dialog = openCompare(nullptr, initial, gone);
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QVERIFY2(dialog->summaryText().contains(QStringLiteral("已不在系统仓库中"))
                     && dialog->summaryText().contains(QStringLiteral("No such metadata object")),
                 qPrintable(dialog->summaryText()));
        QVERIFY(!dialog->findChild<QPushButton *>(QStringLiteral("tavrinCompareExport"))->isEnabled());
        delete dialog;

        dialog = openCompare(nullptr, initial, *Tavrin::bootedState(states));
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QTest::qWait(0);
        QVERIFY(dialog->summaryText().startsWith(QStringLiteral("新增 ")));
        QCOMPARE(dialog->findChild<QTabWidget *>()->count(), 1);
    }

    // The view at the smallest window size in both themes: nothing cut off, the
    // dark theme dark. PNGs go to TAVRIN_SCREENSHOT_DIR when it is set.
    void rendersInBothThemes()
    {
        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        const QString dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        const QString dpi = qEnvironmentVariableIsSet("QT_FONT_DPI") ? QStringLiteral("-144dpi") : QString();
        double lightness[2] = {0, 0};
        for (int theme = 0; theme < 2; ++theme) {
            ZGuiApplicationHelper::instance()->setPaletteType(theme == 0 ? ZGuiApplicationHelper::LightType
                                                                         : ZGuiApplicationHelper::DarkType);
            TavrinUi::applyAppearance();
            auto *dialog = openCompare(nullptr, states.states.at(1), *Tavrin::bootedState(states));
            dialog->resize(920, 620);
            QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
            QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));
            auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("tavrinCompareTree"));
            tree->expandAll();
            tree->setCurrentIndex(tree->model()->index(0, 0));
            QCoreApplication::processEvents();
            for (auto *b : dialog->findChildren<QPushButton *>()) {
                if (!b->isVisible())
                    continue;
                QVERIFY2(dialog->rect().contains(QRect(b->mapTo(dialog, QPoint(0, 0)), b->size())),
                         qPrintable(b->text()));
                QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
            }
            for (int c = 1; c < CompareTreeModel::ColumnCount; ++c)
                QVERIFY(tree->header()->sectionSize(c) >= tree->header()->sectionSizeHint(c));
            const QImage files = dialog->grab().toImage();
            qint64 sum = 0;
            for (int y = 0; y < files.height(); y += 4)
                for (int x = 0; x < files.width(); x += 4)
                    sum += QColor(files.pixel(x, y)).lightness();
            lightness[theme] = double(sum) / ((files.height() / 4 + 1) * (files.width() / 4 + 1));
            const QString name = theme == 0 ? QStringLiteral("light") : QStringLiteral("dark");
            if (!dir.isEmpty())
                files.save(dir + QStringLiteral("/compare-files-") + name + dpi + QStringLiteral(".png"));
            dialog->findChild<QTabWidget *>()->setCurrentIndex(1);
            QCoreApplication::processEvents();
            if (!dir.isEmpty())
                dialog->grab().save(dir + QStringLiteral("/compare-packages-") + name + dpi + QStringLiteral(".png"));
            delete dialog;
        }
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::UnknownType);
        TavrinUi::applyAppearance();
        QVERIFY2(lightness[1] + 60 < lightness[0], qPrintable(QStringLiteral("%1 %2").arg(lightness[0]).arg(lightness[1])));
    }

    // Tab walks the controls in reading order; Escape in the filter does not lose the window's work.
    void keyboardRoute()
    {
        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        auto *dialog = openCompare(nullptr, states.states.at(1), *Tavrin::bootedState(states));
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));
        dialog->activateWindow();
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("tavrinCompareTree"));
        // "复制路径" is a Tab stop once there is a row to copy.
        tree->setCurrentIndex(tree->model()->index(0, 0));
        auto *filter = dialog->findChild<QLineEdit *>(QStringLiteral("tavrinCompareFilter"));
        filter->setFocus();
        QStringList route;
        for (int i = 0; i < 7; ++i) {
            QWidget *w = QApplication::focusWidget();
            QVERIFY(w);
            route << (w->accessibleName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->accessibleName());
            QTest::keyClick(w, Qt::Key_Tab);
        }
        QCOMPARE(route, (QStringList{"按路径筛选变化", "复制所选变化的路径", "将全部变化导出为 CSV 文件", "比较结果",
                                     "按目录分组的文件变化", "关闭比较窗口", "按路径筛选变化"}));
        // Arrows move through the tree, Right opens a directory, and Return on a row keeps the window.
        tree->setFocus();
        tree->collapseAll();
        tree->setCurrentIndex(tree->model()->index(0, 0));
        QTest::keyClick(tree, Qt::Key_Right);
        QVERIFY(tree->isExpanded(tree->model()->index(0, 0)));
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentIndex().parent(), tree->model()->index(0, 0));
        QTest::keyClick(tree, Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), tree->currentIndex().data(CompareTreeModel::PathRole).toString());
        delete dialog;
    }

    // What a screen reader finds: every control named, the tree's rows read whole, and
    // nothing invalid while the view refills under it.
    void accessibleWhileFilling()
    {
        if (qEnvironmentVariableIsSet("TAVRIN_ACCESSIBILITY_REQUIRED"))
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 30000);
        if (!QAccessible::isActive())
            QSKIP("accessibility is inactive here; tst_comparepages_accessible runs this with a bridge");
        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        auto *dialog = openCompare(nullptr, states.states.at(1), *Tavrin::bootedState(states));
        QStringList unnamed, invalid, lines;
        const bool dump = qEnvironmentVariableIsSet("TAVRIN_A11Y_DUMP");
        auto walk = [&](QAccessibleInterface *iface, int depth, auto &&self) -> void {
            if (!iface || depth > 8)
                return;
            if (!iface->isValid()) {
                invalid << QString::number(depth);
                return;
            }
            const QAccessible::Role role = iface->role();
            const QString name = iface->text(QAccessible::Name);
            if (dump && lines.size() < 80)
                lines << QString(depth * 2, QLatin1Char(' ')) + QString::number(int(role), 16) + QLatin1Char(' ') + name;
            if ((role == QAccessible::PushButton || role == QAccessible::EditableText || role == QAccessible::PageTab
                 || role == QAccessible::Tree || role == QAccessible::Table) && name.isEmpty() && iface->state().focusable)
                unnamed << QString::number(int(role), 16);
            for (int i = 0; i < iface->childCount(); ++i)
                self(iface->child(i), depth + 1, self);
        };
        // Read while the sizes arrive and the tree is rebuilt, then once more at the end.
        while (!dialog->isFinished()) {
            walk(QAccessible::queryAccessibleInterface(dialog), 0, walk);
            QTest::qWait(5);
        }
        QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));
        auto *tree = dialog->findChild<QTreeView *>(QStringLiteral("tavrinCompareTree"));
        tree->expandAll();
        lines.clear();
        walk(QAccessible::queryAccessibleInterface(dialog), 0, walk);
        if (dump)
            qInfo().noquote() << lines.join(QLatin1Char('\n'));
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid.join(QLatin1Char(','))));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char(','))));
        // A row is read as one sentence: path, change and both sizes.
        QAccessibleInterface *treeIface = QAccessible::queryAccessibleInterface(tree);
        QStringList cells;
        for (int i = 0; i < treeIface->childCount(); ++i)
            if (QAccessibleInterface *c = treeIface->child(i))
                cells << c->text(QAccessible::Name);
        QVERIFY2(cells.contains(QStringLiteral("/usr/lib/zarnex/packages/status：修改，旧大小 1.15 KB，新大小 1.15 KB，大小变化 +2 B")),
                 qPrintable(cells.join(QLatin1Char('|'))));
        delete dialog;
    }

    // The update page after an upgrade: "查看变更" shows booted against staged before the reboot.
    void stagedUpgradeFromTheUpdatePage()
    {
        UpdatePage page(nullptr);
        page.resize(1000, 760);
        page.show();
        auto *view = page.findChild<QPushButton *>(QStringLiteral("tavrinViewStagedChanges"));
        QVERIFY(view && !view->isVisible());
        PageTest::answerNextDialog(QStringLiteral("开始升级"));
        PageTest::findButton(&page, QStringLiteral("下载并升级"))->click();
        QVERIFY(QTest::qWaitFor([&] { return !page.isBusy() && view->isVisible(); }, 120000));

        const Tavrin::CompareStateList states = Tavrin::listCompareStates();
        const Tavrin::CompareState *booted = Tavrin::bootedState(states);
        const Tavrin::CompareState *staged = Tavrin::stagedState(states);
        QVERIFY(booted && staged);
        QCOMPARE(staged->label, QStringLiteral("25.1.3"));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Space);
        CompareDialog *dialog = openDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->windowTitle().contains(QStringLiteral("待生效的系统 25.1.3")));
        QVERIFY(QTest::qWaitFor([&] { return dialog->isFinished(); }, 60000));
        QCOMPARE(exportedRows(dialog), expectedRows(booted->commit, staged->commit));
        QVERIFY2(dialog->summaryText().startsWith(QStringLiteral("新增 6 个文件，删除 0 个，修改 1 个")),
                 qPrintable(dialog->summaryText()));
        QVERIFY(QTest::qWaitFor([&] { return dialog->findChild<QTableWidget *>() != nullptr; }, 60000));
        QVERIFY(packageRows(dialog).contains(QStringLiteral("zarnex-base 升级 25.1.2-1 25.1.3-1")));
        QVERIFY(packageRows(dialog).contains(QStringLiteral("mesa-vulkan-drivers 降级 23.0.4-1 23.0.3-1")));
        // Escape closes the window.
        QPointer<CompareDialog> guard(dialog);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return guard.isNull(); }, 5000));

        // A page opened after the download finds the staged upgrade when shown.
        UpdatePage later(nullptr);
        later.show();
        auto *laterView = later.findChild<QPushButton *>(QStringLiteral("tavrinViewStagedChanges"));
        QVERIFY(laterView && !laterView->isVisible());
        later.refresh();
        QVERIFY(QTest::qWaitFor([&] { return laterView->isVisible(); }, 60000));
    }
};

TAVRIN_TEST_MAIN(TestComparePages)
#include "tst_comparepages.moc"
