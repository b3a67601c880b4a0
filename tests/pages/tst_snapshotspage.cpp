#include "backend/backend_p.h"
#include "mainwindow.h"
#include "masterswitch.h"
#include "overviewpage.h"
#include "pagetest.h"
#include "protectionpage.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "ui/appearance.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "versionpage.h"
#include "zguiapplicationhelper.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTextEdit>

#include <QToolTip>
#include <cmath>
#include <optional>

namespace {

const QString kStateFile = QStringLiteral("/var/lib/tavrin-manager/rollback-state.json");
const QStringList kCleanupFiles = {QStringLiteral("/usr/libexec/tavrin-manager/reboot-counter.sh"),
                                   QStringLiteral("/usr/lib/systemd/system/tavrin-rollback-cleanup.service"),
                                   QStringLiteral("/usr/lib/systemd/system/tavrin-rollback-cleanup.timer")};

QString bannerDetails(TavrinUi::TavrinInlineBanner *banner)
{
    if (!banner->details() || !banner->details()->content())
        return QString();
    auto *label = qobject_cast<QLabel *>(banner->details()->content());
    return label ? label->text() : QString();
}

const Tavrin::SnapshotInfo *byName(const QList<Tavrin::SnapshotInfo> &list, const QString &name)
{
    for (const Tavrin::SnapshotInfo &s : list) {
        if (s.name == name)
            return &s;
    }
    return nullptr;
}

// Calls `onPaint` before each paint of the widget it filters.
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(std::function<void()> onPaint) : onPaint(std::move(onPaint)) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            onPaint();
        return false;
    }

private:
    std::function<void()> onPaint;
};

// One of the buttons the table draws in a row's action cell, used as a person
// would: clicked with the mouse, its tooltip read by hovering.
struct RowButton
{
    QTableWidget *table = nullptr;
    int row = -1;
    SnapshotRowDelegate::Action action = SnapshotRowDelegate::NoAction;

    SnapshotRowDelegate *rows() const
    {
        return qobject_cast<SnapshotRowDelegate *>(table->itemDelegateForColumn(5));
    }
    QRect rect() const { return rows()->actionRect(row, action); }
    void click() const { QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect().center()); }
    bool isEnabled() const { return rows()->actionEnabled(row, action); }
    QString toolTip() const
    {
        QToolTip::hideText();
        const QPoint at = rect().center();
        QHelpEvent help(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(table->viewport(), &help);
        const QString text = QToolTip::text();
        QToolTip::hideText();
        return text;
    }
};

} // namespace

class TestSnapshotsPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<SnapshotsPage> page;

    QTableWidget *table() const { return page->findChild<QTableWidget *>(); }
    TavrinUi::TavrinInlineBanner *banner() const { return page->findChild<TavrinUi::TavrinInlineBanner *>(); }

    // Idle and with the sizes in: the page is idle once the rows are shown.
    bool waitIdle() const
    {
        return QTest::qWaitFor([this] { return !page->isBusy() && !page->sizesPending(); }, 120000);
    }

    QStringList sizeColumn() const
    {
        QStringList out;
        for (int r = 0; r < table()->rowCount(); ++r)
            out << cell(r, 3);
        return out;
    }

    // Puts a stand-in for ostree into the system root: `script` runs before
    // (or instead of) the real one. The tree listing caches go, so sizes are
    // computed cold.
    void replaceOstree(const QByteArray &script)
    {
        const QString tool = sim->path(QStringLiteral("/usr/bin/ostree"));
        QFile::remove(tool);
        QFile f(tool);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + script + "\nexec /usr/bin/ostree \"$@\"\n");
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QDir cache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
        for (const QString &name : cache.entryList({QStringLiteral("tree_*")}, QDir::Files))
            QVERIFY(cache.remove(name));
        Tavrin::resetSizeCachesForTesting();
    }

    bool reload()
    {
        page->refresh();
        return waitIdle();
    }

    QString rowName(int row) const { return cell(row, 0); }

    int rowOf(const QString &shownName) const
    {
        for (int r = 0; r < table()->rowCount(); ++r) {
            if (rowName(r) == shownName)
                return r;
        }
        return -1;
    }

    QString cell(int row, int column) const
    {
        QTableWidgetItem *item = table()->item(row, column);
        return item ? item->text() : QString();
    }

    std::optional<RowButton> rowButton(int row, const QString &text) const
    {
        if (row < 0 || row >= table()->rowCount())
            return std::nullopt;
        return RowButton{table(), row,
                         text == QStringLiteral("删除") ? SnapshotRowDelegate::Delete
                                                        : SnapshotRowDelegate::Restore};
    }

    QStringList badges(int row) const
    {
        QStringList out;
        if (table()->item(row, 0)->data(SnapshotRowDelegate::InitialRole).toBool())
            out << QStringLiteral("初始");
        if (table()->item(row, 0)->data(SnapshotRowDelegate::BackupRole).toBool())
            out << QStringLiteral("回滚前");
        return out;
    }

    QString cardValue(const QString &title) const
    {
        for (TavrinUi::TavrinStateCard *card :
             PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page.get())) {
            const auto labels = card->findChildren<QLabel *>();
            for (QLabel *l : labels) {
                if (l->text() == title)
                    return card->valueLabel()->text();
            }
        }
        return QString();
    }

    // Opens the create dialog the way the page's buttons do and fills it in.
    void createThroughDialog(const QString &name, const QString &desc,
                             const QString &button = QStringLiteral("创建"))
    {
        PageTest::onNextDialog([name, desc, button](QDialog *d) {
            auto *nameEdit = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
            auto *descEdit = d->findChild<QTextEdit *>(QStringLiteral("tavrinSnapshotDesc"));
            QVERIFY(nameEdit && descEdit);
            QVERIFY(nameEdit->text().startsWith(QStringLiteral("手动备份-")));
            nameEdit->selectAll();
            QTest::keyClick(nameEdit, Qt::Key_Backspace);
            PageTest::typeText(nameEdit, name);
            descEdit->setPlainText(desc);
            PageTest::findButton(d, button)->click();
        });
        QMetaObject::invokeMethod(page.get(), "onCreate");
    }

    int callCount(const QString &needle) const { return sim->callCount(needle); }

    QJsonObject pendingRollback() const
    {
        const QJsonObject state = sim->readJson(QStringLiteral("/var/lib/zarnex-sim/state.json"));
        for (const QJsonValue &v : state.value(QStringLiteral("deployments")).toArray()) {
            const QJsonObject d = v.toObject();
            if (d.value(QStringLiteral("pending")).toBool() &&
                d.value(QStringLiteral("origin")).toString() == QLatin1String("rollback"))
                return d;
        }
        return {};
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        Tavrin::setBackendClockForTesting(nullptr);
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        page = std::make_unique<SnapshotsPage>(nullptr);
        page->resize(1000, 760);
        page->show();
        QVERIFY(reload());
    }

    void cleanup()
    {
        page.reset();
        sim.reset();
        Tavrin::setBackendClockForTesting(nullptr);
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void listsWhatTheSystemHas()
    {
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        QVERIFY(snaps.size() >= 2);
        QCOMPARE(table()->rowCount(), snaps.size());
        QCOMPARE(cardValue(QStringLiteral("当前数量")), QStringLiteral("%1 个").arg(snaps.size()));
        QCOMPARE(cardValue(QStringLiteral("备份数量上限")), QStringLiteral("不限制"));
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("未启用"));
        for (int r = 0; r < snaps.size(); ++r) {
            const Tavrin::SnapshotInfo &s = snaps.at(r);
            QCOMPARE(rowName(r), s.name);
            QCOMPARE(cell(r, 4), s.id.left(12) + QStringLiteral("..."));
            QCOMPARE(table()->item(r, 4)->toolTip(), s.id);
            QCOMPARE(cell(r, 2), Tavrin::formatTime(s.time));
            // Sizes come from the sim's real trees: every snapshot has some.
            QVERIFY2(cell(r, 3).endsWith(QStringLiteral("B")), qPrintable(cell(r, 3)));
            QCOMPARE(cell(r, 1), s.isInitial ? QStringLiteral("系统初始备份") : QStringLiteral("普通备份"));
            QCOMPARE(badges(r).contains(QStringLiteral("初始")), s.isInitial);
            QCOMPARE(rowButton(r, QStringLiteral("删除"))->isEnabled(), !s.isInitial);
            QCOMPARE(rowButton(r, QStringLiteral("删除"))->toolTip(),
                     s.isInitial ? QStringLiteral("系统初始备份受保护, 不可删除")
                                 : QStringLiteral("删除此备份"));
            QCOMPARE(rowButton(r, QStringLiteral("还原"))->toolTip(),
                     QStringLiteral("将系统还原到此备份的状态（重启后生效）"));
        }
        // What a screen reader reads of each cell: the column, then what the
        // cell shows (the name with its description, and the way to the actions).
        QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(table())->tableInterface();
        QVERIFY(cells);
        for (int r = 0; r < snaps.size(); ++r) {
            for (int c = 0; c < table()->columnCount(); ++c) {
                QAccessibleInterface *iface = cells->cellAt(r, c);
                QVERIFY(iface && iface->isValid());
                const QString text = iface->text(QAccessible::Name);
                QVERIFY2(text.startsWith(table()->horizontalHeaderItem(c)->text() + QStringLiteral(": ")),
                         qPrintable(text));
                if (c == 0)
                    QVERIFY2(text.contains(snaps.at(r).name), qPrintable(text));
                if (c == 5)
                    QVERIFY2(text.contains(QStringLiteral("还原")) && text.contains(QStringLiteral("菜单键")),
                             qPrintable(text));
            }
        }
    }

    void createAddsRowWithSize()
    {
        const int before = table()->rowCount();
        createThroughDialog(QStringLiteral("升级前"), QStringLiteral("装驱动之前"));
        QVERIFY(waitIdle());
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QCOMPARE(banner()->text(), QStringLiteral("备份“升级前”创建成功。"));
        QCOMPARE(table()->rowCount(), before + 1);
        const int row = rowOf(QStringLiteral("升级前"));
        QVERIFY(row >= 0);
        QCOMPARE(cell(row, 1), QStringLiteral("普通备份"));
        QVERIFY(byName(Tavrin::getSnapshots(), QStringLiteral("升级前")));

        // The size list computed before the new snapshot existed is still fresh;
        // once it expires the page fills the new row in on its own.
        if (cell(row, 3) == QStringLiteral("计算中...")) {
            const qint64 later = QDateTime::currentSecsSinceEpoch() + 120;
            Tavrin::setBackendClockForTesting([later] { return later; });
            SnapshotsPage::setSizeRetryDelay(10);
            QTRY_VERIFY_WITH_TIMEOUT(cell(rowOf(QStringLiteral("升级前")), 3).endsWith(QStringLiteral("B")),
                                     60000);
            SnapshotsPage::setSizeRetryDelay(60000);
        }
        QVERIFY(waitIdle());
        QVERIFY(cell(rowOf(QStringLiteral("升级前")), 3).endsWith(QStringLiteral("B")));
    }

    void blankNameRunsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QString>("message");
        const QString blank = QStringLiteral("备份名称不能为空，请填写后重试。");
        QTest::newRow("empty") << QString() << QStringLiteral("desc") << blank;
        QTest::newRow("blanks") << QStringLiteral("    ") << QStringLiteral("desc") << blank;
        // The tool would take these for options ("--help" even exits 0).
        QTest::newRow("name --help") << QStringLiteral("--help") << QStringLiteral("desc")
                                     << QStringLiteral("备份名称不能以“-”开头。");
        QTest::newRow("description -y")
            << QStringLiteral("n") << QStringLiteral(" -y") << QStringLiteral("备份描述不能以“-”开头。");
    }

    void blankNameRunsNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, desc);
        QFETCH(QString, message);
        const int before = table()->rowCount();
        createThroughDialog(name, desc);
        QVERIFY(waitIdle());
        QCOMPARE(banner()->semantic(), TavrinUi::Danger);
        QCOMPARE(banner()->text(), message);
        QCOMPARE(callCount(QStringLiteral("snapshot create")), 0);
        QCOMPARE(Tavrin::getSnapshots().size(), before);
    }

    void cancelledCreateRunsNothing()
    {
        createThroughDialog(QStringLiteral("x"), QString(), QStringLiteral("取消"));
        QVERIFY(waitIdle());
        QVERIFY(banner()->isHidden());
        QCOMPARE(callCount(QStringLiteral("snapshot create")), 0);
    }

    void oddNamesTravelWhole_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("desc");
        QTest::newRow("quotes") << QStringLiteral("he said \"hi\" & 'bye'")
                                << QStringLiteral("it's \"quoted\"");
        QTest::newRow("dashes inside") << QStringLiteral("a -rf --delete-others") << QStringLiteral("x -y");
        QTest::newRow("markup") << QStringLiteral("<b>bold</b>") << QStringLiteral("<i>x</i>");
        QTest::newRow("non-ascii") << QStringLiteral("系统备份 ✓ émoji 🙂")
                                   << QStringLiteral("说明：测试");
        QTest::newRow("very long") << QString(300, QChar(0x957f)) << QString(2000, QLatin1Char('d'));
        QTest::newRow("newline in description")
            << QStringLiteral("multi") << QStringLiteral("line one\nline two");
        QTest::newRow("shell characters")
            << QStringLiteral("$(reboot); `id` | rm *") << QStringLiteral("$HOME");
    }

    void oddNamesTravelWhole()
    {
        QFETCH(QString, name);
        QFETCH(QString, desc);
        createThroughDialog(name, desc);
        QVERIFY(waitIdle());
        QCOMPARE(banner()->semantic(), TavrinUi::Success);

        const QList<Tavrin::SnapshotInfo> listed = Tavrin::getSnapshots();
        const Tavrin::SnapshotInfo *made = byName(listed, name);
        QVERIFY2(made, "the tool did not receive the name as one argument");
        QCOMPARE(made->desc, desc);

        const int row = rowOf(name);
        QVERIFY(row >= 0);
        QCOMPARE(table()->rowHeight(row), 48);
        QVERIFY(!table()->item(row, 0)->toolTip().isEmpty());
        // Both buttons inside their cell, whatever the name.
        const QRect actions = table()->visualRect(table()->model()->index(row, 5));
        QVERIFY(actions.contains(rowButton(row, QStringLiteral("还原"))->rect()));
        QVERIFY(actions.contains(rowButton(row, QStringLiteral("删除"))->rect()));
        QVERIFY(!banner()->text().isEmpty());
        // Shown as the characters typed, never as markup.
        bool shownPlain = false;
        for (QLabel *l : banner()->findChildren<QLabel *>()) {
            if (l->text() == banner()->text())
                shownPlain = l->textFormat() == Qt::PlainText || !Qt::mightBeRichText(l->text());
        }
        QVERIFY(shownPlain);
        QVERIFY(banner()->text().contains(name.left(20)));

        // The delete question names it without taking it for markup.
        QString factLine;
        PageTest::onNextDialog([&factLine](QDialog *d) {
            const auto labels = d->findChildren<QLabel *>();
            for (QLabel *l : labels) {
                const bool shownPlain = l->textFormat() == Qt::PlainText || !Qt::mightBeRichText(l->text());
                if (l->text().startsWith(QStringLiteral("目标备份: ")) && shownPlain)
                    factLine = l->text();
            }
            PageTest::findButton(d, QStringLiteral("取消"))->click();
        });
        rowButton(row, QStringLiteral("删除"))->click();
        QVERIFY2(!factLine.isEmpty(), "the fact line would be shown as markup");
        QVERIFY(factLine.size() <= 80);
    }

    void initialSnapshotCannotBeDeleted()
    {
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        int initialRow = -1;
        for (int r = 0; r < snaps.size(); ++r) {
            if (snaps.at(r).isInitial)
                initialRow = r;
        }
        QVERIFY(initialRow >= 0);
        const std::optional<RowButton> remove = rowButton(initialRow, QStringLiteral("删除"));
        QVERIFY(!remove->isEnabled());
        QCOMPARE(remove->toolTip(), QStringLiteral("系统初始备份受保护, 不可删除"));
        bool asked = false;
        PageTest::onNextDialog([&asked](QDialog *d) {
            asked = true;
            d->reject();
        });
        remove->click();
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, remove->rect().center());
        QCoreApplication::processEvents();
        QVERIFY(!asked);
        QCOMPARE(PageTest::dropPendingAnswers(), 1);
        QCOMPARE(Tavrin::getSnapshots().size(), snaps.size());
    }

    void deleteAsksAndRemoves_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("gone");
        QTest::newRow("confirmed") << "删除" << true;
        QTest::newRow("declined") << "取消" << false;
    }

    void deleteAsksAndRemoves()
    {
        QFETCH(QString, answer);
        QFETCH(bool, gone);
        const int last = table()->rowCount() - 1;
        const Tavrin::SnapshotInfo victim = Tavrin::getSnapshots().at(last);
        QVERIFY(!victim.isInitial);
        QString asked;
        PageTest::answerNextDialog(answer, QString(), &asked);
        rowButton(last, QStringLiteral("删除"))->click();
        QVERIFY(waitIdle());
        QVERIFY(asked.contains(QStringLiteral("目标备份: ") + victim.name));
        QVERIFY(asked.contains(QStringLiteral("创建时间: ") + Tavrin::formatTime(victim.time)));
        QCOMPARE(rowOf(victim.name) < 0, gone);
        const QList<Tavrin::SnapshotInfo> after = Tavrin::getSnapshots();
        QCOMPARE(byName(after, victim.name) == nullptr, gone);
        if (gone) {
            QCOMPARE(banner()->text(), QStringLiteral("备份已删除，占用空间已释放。"));
            QCOMPARE(cardValue(QStringLiteral("当前数量")), QStringLiteral("%1 个").arg(after.size()));
        }
    }

    void toolFailureShowsDetails_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("sudo");
        QTest::addColumn<QByteArray>("pkexec");
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QString>("details");
        QTest::addColumn<int>("extraSnapshots");
        QTest::newRow("create, password dialog dismissed")
            << "create" << QByteArray("password") << QByteArray("dismiss") << QByteArray()
            << "创建失败，请查看详情了解具体原因。"
            << "Request dismissed" << 0;
        QTest::newRow("create, not authorised") << "create" << QByteArray("password") << QByteArray("deny")
                                                << QByteArray() << "创建失败，请查看详情了解具体原因。"
                                                << "Not authorized" << 0;
        QTest::newRow("delete, tool fails")
            << "delete" << QByteArray("grant") << QByteArray("grant") << QByteArray("snapshot delete")
            << "删除失败，请查看详情了解具体原因。"
            << "simulated failure" << 0;
        // The safety snapshot was made before the rollback failed: it is deleted
        // again, so the system is as it was, and the page says so.
        QTest::newRow("rollback, tool fails")
            << "rollback" << QByteArray("grant") << QByteArray("grant") << QByteArray("snapshot rollback")
            << "还原失败，已撤销已完成的步骤，系统未做任何更改。"
            << "simulated failure" << 0;
        QTest::newRow("rollback, backup fails")
            << "rollback" << QByteArray("grant") << QByteArray("grant") << QByteArray("snapshot create")
            << "创建回滚前备份失败，未执行还原，系统未做任何更改。"
            << "simulated failure" << 0;
        QTest::newRow("rollback, authorization dismissed")
            << "rollback" << QByteArray("password") << QByteArray("dismiss") << QByteArray()
            << "还原未执行，系统未做任何更改。"
            << "Request dismissed" << 0;
    }

    void toolFailureShowsDetails()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, sudo);
        QFETCH(QByteArray, pkexec);
        QFETCH(QByteArray, failing);
        QFETCH(QString, banner);
        QFETCH(QString, details);
        QFETCH(int, extraSnapshots);

        const int before = Tavrin::getSnapshots().size();
        qputenv("SIM_SUDO", sudo);
        qputenv("SIM_PKEXEC", pkexec);
        if (!failing.isEmpty())
            qputenv("SIM_CTL_FAIL", failing);
        const int last = table()->rowCount() - 1;
        if (operation == QLatin1String("create")) {
            createThroughDialog(QStringLiteral("refused"), QString());
        } else if (operation == QLatin1String("delete")) {
            PageTest::answerNextDialog(QStringLiteral("删除"));
            rowButton(last, QStringLiteral("删除"))->click();
        } else {
            PageTest::answerNextDialog(QStringLiteral("开始还原"));
            rowButton(last, QStringLiteral("还原"))->click();
        }
        QVERIFY(waitIdle());
        qunsetenv("SIM_CTL_FAIL");
        qputenv("SIM_SUDO", "grant");
        qputenv("SIM_PKEXEC", "grant");

        QVERIFY(this->banner()->isVisible());
        QCOMPARE(this->banner()->semantic(), TavrinUi::Danger);
        QCOMPARE(this->banner()->text(), banner);
        QCOMPARE(this->banner()->details()->headerButton()->text().mid(2), QStringLiteral("完整输出"));
        QVERIFY2(bannerDetails(this->banner()).contains(details), qPrintable(bannerDetails(this->banner())));
        QCOMPARE(Tavrin::getSnapshots().size(), before + extraSnapshots);
        QVERIFY(pendingRollback().isEmpty());
        QVERIFY(!QFileInfo::exists(sim->path(kStateFile)));

        // Usable again at once.
        createThroughDialog(QStringLiteral("afterwards"), QString());
        QVERIFY(waitIdle());
        QCOMPARE(this->banner()->semantic(), TavrinUi::Success);
        QVERIFY(rowOf(QStringLiteral("afterwards")) >= 0);
    }

    void rollbackStrategies_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("strategy");
        QTest::newRow("keep the backup") << "自动创建回滚前备份，保留待手动删除（推荐）"
                                         << "manual";
        QTest::newRow("delete after three boots") << "自动创建，且系统重启 3 次正常后自动删除"
                                                  << "reboot3";
        QTest::newRow("no backup") << "不创建回滚前备份（不推荐）"
                                   << "none";
    }

    void rollbackStrategies()
    {
        QFETCH(QString, option);
        QFETCH(QString, strategy);
        const QList<Tavrin::SnapshotInfo> before = Tavrin::getSnapshots();
        const Tavrin::SnapshotInfo target = before.at(1);
        const QString booted = Tavrin::getBootedDeployId();

        QString asked;
        PageTest::answerNextDialog(QStringLiteral("开始还原"), option, &asked);
        QString ready;
        PageTest::answerNextDialog(QStringLiteral("稍后手动重启"), QString(), &ready);
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(waitIdle());
        QVERIFY(asked.contains(QStringLiteral("目标备份: ") + target.name));
        QVERIFY(ready.contains(QStringLiteral("还原已就绪")));
        QCOMPARE(banner()->semantic(), TavrinUi::Warning);
        QCOMPARE(banner()->text(), QStringLiteral("还原已就绪，请稍后手动重启系统以生效。"));

        // The system has a rollback to the target staged.
        QCOMPARE(pendingRollback().value(QStringLiteral("rollback_target")).toString(), target.id);

        const QList<Tavrin::SnapshotInfo> after = Tavrin::getSnapshots();
        const QJsonObject state = sim->readJson(kStateFile);
        if (strategy == QLatin1String("none")) {
            QCOMPARE(after.size(), before.size());
            QVERIFY(!QFileInfo::exists(sim->path(kStateFile)));
            QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("未启用"));
        } else {
            QCOMPARE(after.size(), before.size() + 1);
            const Tavrin::SnapshotInfo backup = after.last();
            QVERIFY(backup.name.startsWith(QStringLiteral("回滚前备份-")));
            QCOMPARE(backup.desc, QStringLiteral("回滚到[%1]前的系统状态").arg(target.name));
            QCOMPARE(state.value(QStringLiteral("rollback_target")).toString(), target.id);
            QCOMPARE(state.value(QStringLiteral("rollback_target_name")).toString(), target.name);
            QCOMPARE(state.value(QStringLiteral("backup_snapshot_id")).toString(), backup.id);
            QCOMPARE(state.value(QStringLiteral("backup_snapshot_name")).toString(), backup.name);
            QCOMPARE(state.value(QStringLiteral("original_booted")).toString(), booted);
            QCOMPARE(state.value(QStringLiteral("strategy")).toString(), strategy);
            QCOMPARE(state.value(QStringLiteral("status")).toString(), QStringLiteral("pending"));
            QCOMPARE(state.value(QStringLiteral("reboot_count")).toInt(-1), 0);
            QCOMPARE(state.value(QStringLiteral("reboot_limit")).toInt(), 3);
            QVERIFY(qAbs(state.value(QStringLiteral("created_at")).toInteger() -
                         QDateTime::currentSecsSinceEpoch()) < 600);
            // The clean-up waits for the boot of exactly the deployment the rollback staged.
            QCOMPARE(state.value(QStringLiteral("rollback_commit")).toString(),
                     pendingRollback().value(QStringLiteral("commit")).toString());
            QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), strategy == QLatin1String("reboot3")
                                                                      ? QStringLiteral("等待还原生效")
                                                                      : QStringLiteral("进行中"));
            const int row = rowOf(backup.name);
            QVERIFY(row >= 0);
            QCOMPARE(cell(row, 1), QStringLiteral("回滚前备份"));
            QVERIFY(badges(row).contains(QStringLiteral("回滚前")));
        }
        for (const QString &file : kCleanupFiles)
            QCOMPARE(QFileInfo::exists(sim->path(file)), strategy == QLatin1String("reboot3"));
        QCOMPARE(Tavrin::rollbackCleanupInstalled(), strategy == QLatin1String("reboot3"));
    }

    // An upgrade after a staged rollback replaces it: the card says so at once,
    // after the boot into the upgrade and after a new start, and offers the
    // removal of the backup nothing deletes any more.
    void upgradeSupersedesAStagedRollback()
    {
        PageTest::answerNextDialog(QStringLiteral("开始还原"),
                                   QStringLiteral("自动创建，且系统重启 3 次正常后自动删除"));
        PageTest::answerNextDialog(QStringLiteral("稍后手动重启"));
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(waitIdle());
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("等待还原生效"));
        auto *notice =
            page->findChild<TavrinUi::TavrinInlineBanner *>(QStringLiteral("tavrinSupersededNotice"));
        QVERIFY(notice && !notice->isVisible());
        const QJsonObject state = sim->readJson(kStateFile);
        const QString backupId = state.value(QStringLiteral("backup_snapshot_id")).toString();
        const QString backupName = state.value(QStringLiteral("backup_snapshot_name")).toString();
        QVERIFY(!backupId.isEmpty());

        QVERIFY(Tavrin::runUpgrade().ok);
        QVERIFY(reload());
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("已被升级取代"));
        QVERIFY(notice->isVisible());
        QVERIFY2(notice->text().contains(backupName), qPrintable(notice->text()));

        int code = -1;
        sim->run(QStringLiteral("systemctl"), {QStringLiteral("reboot")}, &code);
        QCOMPARE(code, 0);
        page = std::make_unique<SnapshotsPage>(nullptr);
        page->resize(1000, 760);
        page->show();
        QVERIFY(reload());
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("已被升级取代"));
        notice = page->findChild<TavrinUi::TavrinInlineBanner *>(QStringLiteral("tavrinSupersededNotice"));
        QVERIFY(notice->isVisible());
        QAbstractButton *remove = PageTest::findButton(notice, QStringLiteral("删除安全备份"));
        QVERIFY(remove);
        QCOMPARE(remove->accessibleName(), QStringLiteral("删除安全备份：%1").arg(backupName));
        auto backupExists = [&backupId] {
            for (const Tavrin::SnapshotInfo &snap : Tavrin::getSnapshots()) {
                if (snap.id == backupId)
                    return true;
            }
            return false;
        };

        // A dismissed prompt changes nothing, and the page says so.
        qputenv("SIM_SUDO", "password");
        qputenv("SIM_PKEXEC", "dismiss");
        PageTest::answerNextDialog(QStringLiteral("删除"));
        remove->click();
        QVERIFY(waitIdle());
        qputenv("SIM_SUDO", "grant");
        qputenv("SIM_PKEXEC", "grant");
        QCOMPARE(banner()->semantic(), TavrinUi::Danger);
        QVERIFY(backupExists());
        QVERIFY(QFileInfo::exists(sim->path(kStateFile)));

        // One authorization removes the backup and the record.
        const int prompts = callCount(QStringLiteral("tavrin-manager-helper"));
        PageTest::answerNextDialog(QStringLiteral("删除"));
        remove->click();
        QVERIFY(waitIdle());
        QCOMPARE(callCount(QStringLiteral("tavrin-manager-helper")) - prompts, 1);
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QVERIFY(!backupExists());
        QVERIFY(!QFileInfo::exists(sim->path(kStateFile)));
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("未启用"));
        QVERIFY(!notice->isVisible());
    }

    void rebootNowAndCleanupAfterThreeBoots()
    {
        const Tavrin::SnapshotInfo target = Tavrin::getSnapshots().at(1);
        PageTest::answerNextDialog(QStringLiteral("开始还原"),
                                   QStringLiteral("自动创建，且系统重启 3 次正常后自动删除"));
        PageTest::answerNextDialog(QStringLiteral("立即重启"));
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(waitIdle());
        const QString backupId =
            sim->readJson(kStateFile).value(QStringLiteral("backup_snapshot_id")).toString();
        QVERIFY(!backupId.isEmpty());

        // "Reboot" went to the simulated system: the staged rollback is booted.
        QTRY_VERIFY_WITH_TIMEOUT(pendingRollback().isEmpty(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(callCount(QStringLiteral("systemctl reboot")), 1, 60000);
        QVERIFY(Tavrin::getBootedDeployId() != QString());

        // Two more boots reach the limit of three: the backup goes away.
        for (int boot = 0; boot < 2; ++boot) {
            int code = -1;
            sim->run(QStringLiteral("systemctl"), {QStringLiteral("reboot")}, &code);
            QCOMPARE(code, 0);
        }
        const QJsonObject state = sim->readJson(kStateFile);
        QFile bootLog(sim->path(QStringLiteral("/var/log/zarnex-sim/boot.log")));
        QVERIFY(bootLog.open(QIODevice::ReadOnly));
        QVERIFY2(state.value(QStringLiteral("status")).toString() == QLatin1String("done"),
                 bootLog.readAll().constData());
        QCOMPARE(state.value(QStringLiteral("reboot_count")).toInt(), 3);
        bool present = false;
        for (const Tavrin::SnapshotInfo &s : Tavrin::getSnapshots())
            present = present || s.id == backupId;
        QVERIFY(!present);
        QVERIFY(reload());
        QCOMPARE(cardValue(QStringLiteral("回滚前安全备份")), QStringLiteral("已完成"));
        Q_UNUSED(target);
    }

    // The writable layer's state is read off the GUI thread before anything is
    // asked: the click returns at once with the page busy. A read that fails is
    // not "protection on": nothing is asked or run and the page says why, in
    // the tool's words.
    void rollbackChecksWritableLayerFirst_data()
    {
        QTest::addColumn<QByteArray>("knob");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QString>("details");
        QTest::newRow("read") << QByteArray() << QString() << QString();
        QTest::newRow("tool fails") << QByteArray("SIM_WRITABLE_FAIL") << "无法读取可写层状态，未执行还原。"
                                    << "zarnex-immutable-writable: status failed: simulated failure";
        QTest::newRow("answer unreadable")
            << QByteArray("SIM_WRITABLE_GARBAGE") << "无法读取可写层状态，未执行还原。"
            << "无法识别可写层状态: ";
    }

    void rollbackChecksWritableLayerFirst()
    {
        QFETCH(QByteArray, knob);
        QFETCH(QString, banner);
        QFETCH(QString, details);
        if (!knob.isEmpty())
            qputenv(knob.constData(), "status");
        const auto unset = qScopeGuard([knob] {
            if (!knob.isEmpty())
                qunsetenv(knob.constData());
        });
        QString asked;
        if (knob.isEmpty())
            PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &asked);
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(asked.isEmpty());
        QVERIFY(page->isBusy());
        // A second click while the check runs asks nothing more.
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(waitIdle());
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
        QVERIFY(pendingRollback().isEmpty());
        QCOMPARE(callCount(QStringLiteral("snapshot create")), 0);
        if (knob.isEmpty()) {
            QVERIFY2(asked.contains(QStringLiteral("还原到备份")), qPrintable(asked));
            return;
        }
        QVERIFY(this->banner()->isVisible());
        QCOMPARE(this->banner()->semantic(), TavrinUi::Danger);
        QCOMPARE(this->banner()->text(), banner);
        QVERIFY2(bannerDetails(this->banner()).contains(details), qPrintable(bannerDetails(this->banner())));
    }

    void rollbackDeclinedRunsNothing()
    {
        PageTest::dismissNextDialog();
        rowButton(1, QStringLiteral("还原"))->click();
        QVERIFY(waitIdle());
        QVERIFY(pendingRollback().isEmpty());
        QCOMPARE(callCount(QStringLiteral("zarnex-immutable-ctl snapshot")),
                 callCount(QStringLiteral("zarnex-immutable-ctl snapshot list")));
    }

    void clicksIgnoredWhileOperationRuns()
    {
        const int last = table()->rowCount() - 1;
        PageTest::answerNextDialog(QStringLiteral("删除"));
        rowButton(last, QStringLiteral("删除"))->click();
        QVERIFY(page->isBusy());
        bool asked = false;
        PageTest::onNextDialog([&asked](QDialog *d) {
            asked = true;
            d->reject();
        });
        rowButton(0, QStringLiteral("还原"))->click();
        rowButton(1, QStringLiteral("删除"))->click();
        QVERIFY(!asked);
        QCOMPARE(PageTest::dropPendingAnswers(), 1);
        // Create says why it does not start.
        QMetaObject::invokeMethod(page.get(), "onCreate");
        QCOMPARE(banner()->text(), QStringLiteral("上一项操作尚未完成，请稍候再试。"));
        QCOMPARE(banner()->semantic(), TavrinUi::Warning);
        QVERIFY(waitIdle());
        QCOMPARE(callCount(QStringLiteral("snapshot rollback")), 0);
    }

    // The drawn buttons answer the pointer like real ones: a hand over an
    // enabled button, the plain arrow elsewhere and over the initial
    // snapshot's delete button.
    void pointerOverDrawnButtons_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<bool>("hand");
        QTest::newRow("restore") << "restore" << true;
        QTest::newRow("delete") << "delete" << true;
        QTest::newRow("delete of the initial snapshot") << "initial delete" << false;
        QTest::newRow("name cell") << "name" << false;
    }

    void pointerOverDrawnButtons()
    {
        QFETCH(QString, where);
        QFETCH(bool, hand);
        const int initial = table()->item(0, 0)->data(SnapshotRowDelegate::InitialRole).toBool() ? 0 : -1;
        QCOMPARE(initial, 0);
        const int last = table()->rowCount() - 1;
        QPoint at;
        if (where == QLatin1String("restore"))
            at = rowButton(last, QStringLiteral("还原"))->rect().center();
        else if (where == QLatin1String("delete"))
            at = rowButton(last, QStringLiteral("删除"))->rect().center();
        else if (where == QLatin1String("initial delete"))
            at = rowButton(initial, QStringLiteral("删除"))->rect().center();
        else
            at = table()->visualItemRect(table()->item(last, 0)).center();
        QWidget *viewport = table()->viewport();
        // From a spot away from every button, so each row starts plain.
        QTest::mouseMove(viewport, table()->visualItemRect(table()->item(0, 2)).center());
        QTRY_COMPARE(viewport->cursor().shape(), Qt::ArrowCursor);
        QTest::mouseMove(viewport, at);
        QTRY_COMPARE(viewport->cursor().shape(), hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }

    // A button is pressed, the list is read again before the release, and the
    // row under the pointer now holds another snapshot: the release does
    // nothing. A fresh click acts on the snapshot now shown.
    void refillBetweenPressAndRelease_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("dialogTitle");
        QTest::newRow("delete") << "删除"
                                << "删除备份";
        QTest::newRow("restore") << "还原"
                                 << "还原到备份";
    }

    void refillBetweenPressAndRelease()
    {
        QFETCH(QString, button);
        QFETCH(QString, dialogTitle);
        const int row = table()->rowCount() - 2; // the last snapshot moves up into it
        QVERIFY(row >= 1);
        const Tavrin::SnapshotInfo victim = Tavrin::getSnapshots().at(row);
        QVERIFY(!victim.isInitial);
        const QPoint at = rowButton(row, button)->rect().center();
        QTest::mousePress(table()->viewport(), Qt::LeftButton, {}, at);
        QVERIFY(Tavrin::deleteSnapshot(victim.id).ok);
        QVERIFY(reload());
        QCOMPARE(rowOf(victim.name), -1);
        QVERIFY(rowButton(row, button)->rect().contains(at));
        const int deletes = callCount(QStringLiteral("snapshot delete"));

        bool asked = false;
        PageTest::onNextDialog([&asked](QDialog *d) {
            asked = true;
            d->reject();
        });
        QTest::mouseRelease(table()->viewport(), Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        QVERIFY(!asked);
        QCOMPARE(PageTest::dropPendingAnswers(), 1);

        QString question;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &question);
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(!question.isEmpty(), 10000);
        QVERIFY2(question.contains(dialogTitle), qPrintable(question));
        QVERIFY2(question.contains(rowName(row).left(20)), qPrintable(question));
        QCOMPARE(callCount(QStringLiteral("snapshot delete")), deletes);
        QCOMPARE(callCount(QStringLiteral("snapshot rollback")), 0);
    }

    void rollbackRefusedWhileWritable_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("goes");
        QTest::newRow("go to the protection page") << "前往设置" << true;
        QTest::newRow("stay") << "取消" << false;
    }

    void rollbackRefusedWhileWritable()
    {
        QFETCH(QString, answer);
        QFETCH(bool, goes);
        page.reset();
        QVERIFY(Tavrin::enableWritable(true, true).ok);

        MainWindow window;
        window.resize(1100, 760);
        window.show();
        window.gotoPage(VersionManagement, Snapshots);
        auto *versions = qobject_cast<VersionManagementPage *>(window.page(VersionManagement));
        QVERIFY(versions);
        auto *snapshots = versions->findChild<SnapshotsPage *>();
        QVERIFY(snapshots);
        QVERIFY(QTest::qWaitFor([versions] { return !versions->isBusy(); }, 120000));
        auto *list = snapshots->findChild<QTableWidget *>();
        QVERIFY(list && list->rowCount() > 1);
        auto *protection = qobject_cast<ProtectionPage *>(window.page(Protection));
        QVERIFY(protection);
        QCOMPARE(protection->masterSwitchRow()->highlight(), 0.0);

        QString asked;
        PageTest::answerNextDialog(answer, QString(), &asked);
        RowButton{list, 1, SnapshotRowDelegate::Restore}.click();
        // Asked once the status has been read off the GUI thread.
        QTRY_VERIFY_WITH_TIMEOUT(asked.contains(QStringLiteral("可写层冲突")), 30000);
        QVERIFY(asked.contains(QStringLiteral("要还原的备份: ")));
        if (goes) {
            QCOMPARE(window.pageStack()->currentWidget(), protection);
            QTRY_COMPARE_WITH_TIMEOUT(protection->masterSwitchRow()->highlight(), 1.0, 10000);
        } else {
            QCOMPARE(window.pageStack()->currentWidget(), versions);
            QCOMPARE(protection->masterSwitchRow()->highlight(), 0.0);
        }
        // Refused before anything ran: no backup, nothing staged.
        QVERIFY(pendingRollback().isEmpty());
        QCOMPARE(callCount(QStringLiteral("snapshot create")), 0);
        QVERIFY(QTest::qWaitFor([&window] { return !window.page(Protection)->isBusy(); }, 60000));
        QVERIFY(QTest::qWaitFor([versions] { return !versions->isBusy(); }, 60000));
    }

    // Every row action without the mouse: the table is one Tab stop, arrows
    // pick the row, and Enter, Space, the menu key or a right click offer the
    // row's actions; Delete asks to delete the selected one.
    void keyboardReachesRowActions_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("choice"); // menu entry, empty for Delete
        QTest::addColumn<QString>("dialogTitle");
        QTest::newRow("Return, restore") << "return"
                                         << "还原到此备份…"
                                         << "还原到备份";
        QTest::newRow("Space, delete") << "space"
                                       << "删除此备份…"
                                       << "删除备份";
        QTest::newRow("menu key, delete") << "menu"
                                          << "删除此备份…"
                                          << "删除备份";
        QTest::newRow("right click, restore") << "mouse"
                                              << "还原到此备份…"
                                              << "还原到备份";
        QTest::newRow("Delete key") << "delete" << QString() << "删除备份";
    }

    void keyboardReachesRowActions()
    {
        QFETCH(QString, how);
        QFETCH(QString, choice);
        QFETCH(QString, dialogTitle);
        const int last = table()->rowCount() - 1;
        QVERIFY(last >= 1);
        table()->setFocus();
        QTRY_VERIFY(table()->hasFocus());
        table()->setCurrentCell(0, 1);
        for (int r = 0; r < last; ++r)
            QTest::keyClick(table(), Qt::Key_Down);
        QCOMPARE(table()->currentRow(), last);
        // Tab leaves the table instead of walking its cells and buttons.
        const auto buttons = table()->findChildren<QPushButton *>();
        for (QPushButton *b : buttons)
            QVERIFY(!(b->focusPolicy() & Qt::TabFocus));
        QVERIFY(!table()->tabKeyNavigation());

        QStringList entries;
        QStringList disabled;
        if (!choice.isEmpty()) {
            QTimer *poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [&entries, &disabled, choice, poll] {
                auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                if (!menu)
                    return;
                poll->deleteLater();
                for (QAction *a : menu->actions()) {
                    entries << a->text();
                    if (!a->isEnabled())
                        disabled << a->text();
                    if (a->text() == choice)
                        menu->setActiveAction(a);
                }
                QTest::keyClick(menu, Qt::Key_Return);
            });
            poll->start(10);
        }
        QString asked;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &asked);
        if (how == QLatin1String("return"))
            QTest::keyClick(table(), Qt::Key_Return);
        else if (how == QLatin1String("space"))
            QTest::keyClick(table(), Qt::Key_Space);
        else if (how == QLatin1String("menu"))
            QTest::keyClick(table(), Qt::Key_Menu);
        else if (how == QLatin1String("delete"))
            QTest::keyClick(table(), Qt::Key_Delete);
        else {
            const QRect rect = table()->visualItemRect(table()->item(last, 2));
            QContextMenuEvent event(QContextMenuEvent::Mouse, rect.center(),
                                    table()->viewport()->mapToGlobal(rect.center()));
            table()->setCurrentCell(0, 1);
            QCoreApplication::sendEvent(table()->viewport(), &event);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!asked.isEmpty(), 10000);
        QVERIFY2(asked.contains(dialogTitle), qPrintable(asked));
        const Tavrin::SnapshotInfo target = Tavrin::getSnapshots().at(last);
        QVERIFY2(asked.contains(target.name.left(20)), qPrintable(asked));
        if (!choice.isEmpty()) {
            QCOMPARE(entries, QStringList({QStringLiteral("还原到此备份…"), QStringLiteral("编辑名称与描述…"),
                                           QStringLiteral("删除此备份…")}));
            QVERIFY(disabled.isEmpty());
        }
        QCOMPARE(callCount(QStringLiteral("snapshot delete")), 0);
    }

    // The create dialog by keyboard alone: Tab moves through the fields
    // (never typed into the description), Return on the focused button creates.
    void createDialogByKeyboard()
    {
        QStringList names;
        QString typedDesc;
        PageTest::onNextDialog([&names, &typedDesc](QDialog *d) {
            auto *nameEdit = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
            auto *descEdit = d->findChild<QTextEdit *>(QStringLiteral("tavrinSnapshotDesc"));
            names << QAccessible::queryAccessibleInterface(nameEdit)->text(QAccessible::Name)
                  << QAccessible::queryAccessibleInterface(descEdit)->text(QAccessible::Name);
            nameEdit->setFocus();
            nameEdit->setText(QStringLiteral("keyboard-made"));
            QTest::keyClick(nameEdit, Qt::Key_Tab);
            QTRY_VERIFY(descEdit->hasFocus());
            QTest::keyClicks(descEdit, QStringLiteral("why"));
            QTest::keyClick(descEdit, Qt::Key_Tab);
            typedDesc = descEdit->toPlainText();
            QAbstractButton *create = PageTest::findButton(d, QStringLiteral("创建"));
            create->setFocus();
            QTest::keyClick(create, Qt::Key_Return);
            if (d->isVisible())
                d->reject();
        });
        QMetaObject::invokeMethod(page.get(), "onCreate");
        QVERIFY(waitIdle());
        QCOMPARE(names, QStringList({QStringLiteral("备份名称"), QStringLiteral("描述(可选)")}));
        QCOMPARE(typedDesc, QStringLiteral("why"));
        // byName points into the list: keep it alive while the pointer is read.
        const QList<Tavrin::SnapshotInfo> listed = Tavrin::getSnapshots();
        const Tavrin::SnapshotInfo *made = byName(listed, QStringLiteral("keyboard-made"));
        QVERIFY2(made, "Return on the focused button did not create");
        QCOMPARE(made->desc, QStringLiteral("why"));
    }

    // The initial snapshot's menu offers no delete, and Delete on it asks nothing.
    void initialRowOffersNoDelete()
    {
        int initial = -1;
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        for (int r = 0; r < snaps.size(); ++r) {
            if (snaps.at(r).isInitial)
                initial = r;
        }
        QVERIFY(initial >= 0);
        table()->setFocus();
        table()->setCurrentCell(initial, 1);
        bool asked = false;
        PageTest::onNextDialog([&asked](QDialog *d) {
            asked = true;
            d->reject();
        });
        QTest::keyClick(table(), Qt::Key_Delete);
        QVERIFY(!asked);
        QCOMPARE(PageTest::dropPendingAnswers(), 1);
        QStringList disabled;
        QTimer::singleShot(0, this, [&disabled] {
            QTRY_VERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            for (QAction *a : menu->actions()) {
                if (!a->isEnabled())
                    disabled << a->text();
            }
            menu->close();
        });
        QTest::keyClick(table(), Qt::Key_Return);
        QCOMPARE(disabled, QStringList({QStringLiteral("编辑名称与描述…"), QStringLiteral("删除此备份…")}));
    }

    // The name, its badge and the row's buttons are drawn by the table: they
    // must read on the row's background, selected or not, in both themes.
    void drawnCellsRead_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<int>("column");
        for (bool dark : {false, true}) {
            for (bool selected : {false, true}) {
                const QString name =
                    QStringLiteral("%1, %2").arg(dark ? "dark" : "light", selected ? "selected" : "plain");
                QTest::newRow(qPrintable(name + QStringLiteral(", name"))) << dark << selected << 0;
                QTest::newRow(qPrintable(name + QStringLiteral(", actions"))) << dark << selected << 5;
            }
        }
    }

    void drawnCellsRead()
    {
        QFETCH(bool, dark);
        QFETCH(bool, selected);
        QFETCH(int, column);
        // As the program runs: the theme's palette and the program's look.
        ZGuiApplicationHelper::instance()->setPaletteType(dark ? ZGuiApplicationHelper::DarkType
                                                               : ZGuiApplicationHelper::LightType);
        TavrinUi::applyAppearance();
        auto plain = qScopeGuard([] {
            ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::LightType);
            TavrinUi::applyAppearance();
        });
        table()->clearSelection();
        if (selected)
            table()->selectRow(0);
        QCoreApplication::processEvents();
        const QRect cell = table()->visualItemRect(table()->item(0, column)).adjusted(2, 2, -2, -2);
        QImage image(cell.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        table()->viewport()->render(&image, QPoint(), QRegion(cell));
        if (!qEnvironmentVariableIsEmpty("TAVRIN_SCREENSHOT_DIR"))
            image.save(
                qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR") +
                QStringLiteral("/snapshot-cell-%1.png").arg(QString::fromLatin1(QTest::currentDataTag())));
        // The background is the commonest colour; the ink the one furthest from it.
        QHash<QRgb, int> counts;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                ++counts[image.pixel(x, y)];
        }
        QRgb background = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            if (it.value() > counts.value(background))
                background = it.key();
        }
        auto luminance = [](QRgb c) {
            auto channel = [](int v) {
                const double s = v / 255.0;
                return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
        };
        double contrast = 1;
        int ink = 0;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
            const double a = luminance(it.key()) + 0.05;
            const double b = luminance(background) + 0.05;
            const double ratio = qMax(a, b) / qMin(a, b);
            contrast = qMax(contrast, ratio);
            if (ratio >= 3)
                ink += it.value();
        }
        QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
        // Text, not a stray pixel: the name or the buttons' labels.
        QVERIFY2(ink > 40, qPrintable(QString::number(ink)));
    }

    // A refill updates the rows in place: the cells of the rows that stay are
    // the same objects, which a screen reader may hold.
    void rowsAreUpdatedInPlace_data()
    {
        QTest::addColumn<int>("change"); // snapshots added (+) or removed (-)
        QTest::newRow("same list") << 0;
        QTest::newRow("one added") << 1;
        QTest::newRow("one removed") << -1;
    }

    void rowsAreUpdatedInPlace()
    {
        QFETCH(int, change);
        const int kept = table()->rowCount() + qMin(change, 0);
        for (int r = 0; r < kept; ++r) {
            for (int c = 0; c < table()->columnCount(); ++c)
                table()->item(r, c)->setData(Qt::UserRole + 7, r * 10 + c);
        }
        if (change > 0)
            QVERIFY(Tavrin::createSnapshot(QStringLiteral("in place"), QString()).ok);
        else if (change < 0)
            QVERIFY(Tavrin::deleteSnapshot(Tavrin::getSnapshots().last().id).ok);
        QVERIFY(reload());
        QCOMPARE(table()->rowCount(), kept + qMax(change, 0));
        for (int r = 0; r < kept; ++r) {
            for (int c = 0; c < table()->columnCount(); ++c)
                QCOMPARE(table()->item(r, c)->data(Qt::UserRole + 7).toInt(), r * 10 + c);
        }
    }

    // Rows are refilled while an assistive tool holds the table's interfaces:
    // every handed-out interface stays safe to ask.
    // A screen reader answers every table change by reading the interfaces the
    // event names, while rows come and go. Only a platform with a real bridge
    // makes accessibility active (offscreen never does): the run registered as
    // tst_snapshotspage_accessible uses X and the AT-SPI bridge and requires it.
    void refillWhileAssistiveToolReads()
    {
        // The bridge turns active once the session bus has started the accessibility bus.
        if (qEnvironmentVariableIsSet("TAVRIN_ACCESSIBILITY_REQUIRED"))
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 30000);
        if (!QAccessible::isActive()) {
            QSKIP("accessibility is inactive here; tst_snapshotspage_accessible runs this with a bridge");
        }
        static int events = 0;
        static int modelChanges = 0;
        static QStringList invalid;
        events = modelChanges = 0;
        invalid.clear();
        // What a reader does on each event: the object, its texts, its children.
        const auto previous = QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            ++events;
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
            (void)iface->rect();
            for (int i = 0; i < iface->childCount(); ++i) {
                QAccessibleInterface *child = iface->child(i);
                if (!child || !child->isValid())
                    invalid << QStringLiteral("child %1 of %2").arg(i).arg(iface->text(QAccessible::Name));
                else
                    (void)child->text(QAccessible::Name);
            }
        });
        QList<QAccessible::Id> ids;
        auto walk = [&ids](QAccessibleInterface *iface, int depth, auto &&self) -> void {
            if (!iface || !iface->isValid() || depth > 6)
                return;
            ids << QAccessible::uniqueId(iface);
            (void)iface->text(QAccessible::Name);
            for (int i = 0; i < iface->childCount(); ++i)
                self(iface->child(i), depth + 1, self);
        };
        const QString extra = QStringLiteral("a11y-extra");
        for (int round = 0; round < 4; ++round) {
            walk(QAccessible::queryAccessibleInterface(table()), 0, walk);
            // What a reader holds of the first row (which stays) must outlive the refill.
            QList<QAccessible::Id> held;
            QAccessibleTableInterface *cells =
                QAccessible::queryAccessibleInterface(table())->tableInterface();
            QVERIFY(cells);
            for (int column : {0, 5})
                held << QAccessible::uniqueId(cells->cellAt(0, column));
            if (round % 2 == 0)
                QVERIFY(Tavrin::createSnapshot(extra + QString::number(round), QString()).ok);
            else
                QVERIFY(Tavrin::deleteSnapshot(Tavrin::getSnapshots().last().id).ok);
            QVERIFY(reload());
            for (QAccessible::Id id : std::as_const(held)) {
                QAccessibleInterface *iface = QAccessible::accessibleInterface(id);
                QVERIFY2(iface && iface->isValid(), "an interface of a row that stays was dropped");
            }
            for (QAccessible::Id id : std::as_const(ids)) {
                QAccessibleInterface *iface = QAccessible::accessibleInterface(id);
                if (iface && iface->isValid()) {
                    (void)iface->text(QAccessible::Name);
                    (void)iface->childCount();
                }
            }
            QCoreApplication::processEvents();
        }
        QAccessible::installUpdateHandler(previous);
        QCOMPARE(table()->rowCount(), Tavrin::getSnapshots().size());
        // The reader really heard the refills.
        QVERIFY2(modelChanges >= 4, qPrintable(QStringLiteral("%1 of %2").arg(modelChanges).arg(events)));
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid.join(u',')));
    }

    // The rows come as soon as the list is read, with the page idle (arrival
    // actions need no sizes); the sizes follow. A refresh while they are
    // computed gets sizes of its own list, and every refresh reads the list
    // once.
    void sizesFollowTheRows()
    {
        const QString gate = sim->path(QStringLiteral("/tmp/ostree-gate"));
        replaceOstree("n=0; while [ ! -e '" + gate.toUtf8() +
                      "' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done");
        auto openGate = [&gate] {
            QFile f(gate);
            (void)f.open(QIODevice::WriteOnly);
        };
        // Also on a failed check: the held listing must not outlive the test.
        auto release = qScopeGuard([&] {
            openGate();
            (void)waitIdle();
        });
        const int lists = callCount(QStringLiteral("snapshot list"));
        const int before = table()->rowCount();
        page->refresh();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 60000));
        QVERIFY(page->sizesPending());
        QCOMPARE(table()->rowCount(), before);
        QCOMPARE(sizeColumn(), QStringList(before, QStringLiteral("计算中...")));
        QCOMPARE(callCount(QStringLiteral("snapshot list")), lists + 1);

        // A newer list while the sizes of the old one are computed.
        QVERIFY(Tavrin::createSnapshot(QStringLiteral("while sizing"), QString()).ok);
        page->refresh();
        QVERIFY(QTest::qWaitFor([this, before] { return table()->rowCount() == before + 1; }, 60000));
        QVERIFY(page->sizesPending());
        QCOMPARE(sizeColumn(), QStringList(before + 1, QStringLiteral("计算中...")));

        openGate();
        QVERIFY(waitIdle());
        const QList<Tavrin::SnapshotInfo> list = Tavrin::getSnapshots();
        const Tavrin::SnapshotSizeMap expected = Tavrin::computeSnapshotSizes(list);
        QCOMPARE(table()->rowCount(), list.size());
        for (int r = 0; r < table()->rowCount(); ++r) {
            const auto size = expected.value(list.at(r).id);
            QCOMPARE(cell(r, 3), Tavrin::formatSize(size.first + size.second));
            QVERIFY(table()->item(r, 3)->data(Qt::AccessibleTextRole).toString().endsWith(cell(r, 3)));
        }
        QCOMPARE(callCount(QStringLiteral("snapshot list")), lists + 3); // two refreshes and ours
    }

    // The sizes wait until the new rows are painted, so their du and ostree
    // runs do not compete with that paint; a page that is not on screen gets
    // them all the same.
    void sizesWaitForThePaint_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("shown") << true;
        QTest::newRow("hidden") << false;
    }

    void sizesWaitForThePaint()
    {
        QFETCH(bool, shown);
        if (!shown)
            page->hide();
        QVERIFY(Tavrin::createSnapshot(QStringLiteral("painted first"), QString()).ok);
        const int rows = table()->rowCount() + 1;
        Tavrin::resetSizeCachesForTesting();
        QAtomicInt sizeRuns(0);
        Tavrin::setRunObserverForTesting(
            [&sizeRuns](const QString &program, const QList<QString> &, int, bool) {
                if (!program.endsWith(QLatin1String("zarnex-immutable-ctl")))
                    sizeRuns.ref();
            });
        auto unobserve = qScopeGuard([] { Tavrin::setRunObserverForTesting({}); });
        int runsAtPaint = -1;
        PaintProbe probe([&] {
            if (runsAtPaint < 0 && table()->rowCount() == rows)
                runsAtPaint = sizeRuns.loadRelaxed();
        });
        table()->viewport()->installEventFilter(&probe);

        page->refresh();
        QVERIFY(waitIdle());
        QCOMPARE(table()->rowCount(), rows);
        if (shown)
            QCOMPARE(runsAtPaint, 0);
        else
            QCOMPARE(runsAtPaint, -1);
        QVERIFY(sizeRuns.loadRelaxed() > 0);
        for (const QString &size : sizeColumn())
            QVERIFY2(size.endsWith(QStringLiteral("B")), qPrintable(size));
    }

    // A size that cannot be measured in full says how much is known and why,
    // and is tried again; it never stays "computing" for ever, and is never
    // shown as an exact figure: in the table, its reading, the delete dialog
    // and the overview's "快照数据" alike.
    void unmeasurableSizesAreNotFacts_data()
    {
        QTest::addColumn<bool>("denyDu");
        QTest::addColumn<bool>("failListing");
        QTest::addColumn<QStringList>("says");
        QTest::newRow("du asks for a password") << true << false << QStringList{"a password is required"};
        QTest::newRow("trees cannot be listed") << false << true << QStringList{"无法读取系统树"};
        QTest::newRow("both") << true << true << QStringList{"a password is required", "无法读取系统树"};
    }
    void unmeasurableSizesAreNotFacts()
    {
        QFETCH(bool, denyDu);
        QFETCH(bool, failListing);
        QFETCH(QStringList, says);
        if (failListing)
            replaceOstree("echo 'error: simulated failure' >&2; exit 1");
        Tavrin::resetSizeCachesForTesting();
        if (denyDu)
            qputenv("SIM_SUDO", "password");
        const auto grant = qScopeGuard([] { qputenv("SIM_SUDO", "grant"); });
        QVERIFY(reload());
        const QList<Tavrin::SnapshotInfo> list = Tavrin::getSnapshots();
        const Tavrin::SnapshotSizes sizes = Tavrin::measureSnapshotSizes(list);
        QCOMPARE(table()->rowCount(), list.size());
        for (int r = 0; r < table()->rowCount(); ++r) {
            const Tavrin::MeasuredSize total = sizes.value(list.at(r).id).total();
            QVERIFY(!total.complete());
            // What could be measured is a lower bound: the snapshot directory's data.
            QCOMPARE(cell(r, 3), QStringLiteral("至少 ") + Tavrin::formatSize(total.bytes));
            QVERIFY(table()->item(r, 3)->data(Qt::AccessibleTextRole).toString().endsWith(cell(r, 3)));
            for (const QString &text : says)
                QVERIFY2(table()->item(r, 3)->toolTip().contains(text), qPrintable(table()->item(r, 3)->toolTip()));
        }
        const int last = table()->rowCount() - 1;
        QString asked;
        PageTest::answerNextDialog(QStringLiteral("取消"), QString(), &asked);
        rowButton(last, QStringLiteral("删除"))->click();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
        QVERIFY2(asked.contains(QStringLiteral("可释放空间: ") + cell(last, 3)), qPrintable(asked));

        OverviewPage overview(nullptr);
        overview.refresh();
        QVERIFY(QTest::qWaitFor([&overview] { return !overview.isBusy(); }, 120000));
        const Tavrin::RepoSizes repos = Tavrin::getRepoSizes();
        QString legend;
        for (QLabel *l : overview.findChildren<QLabel *>())
            if (l->accessibleName() == QStringLiteral("快照数据"))
                legend = l->text();
        QCOMPARE(legend, Tavrin::formatMeasuredSize(repos.snapshotDir));
        QCOMPARE(legend.startsWith(QStringLiteral("至少 ")), denyDu);

        // The retry is due in a minute; it is brought forward.
        auto *retry = page->findChild<QTimer *>(QStringLiteral("tavrinSizeRetry"));
        QVERIFY(retry && retry->isActive());
        replaceOstree(QByteArray());
        qputenv("SIM_SUDO", "grant");
        retry->start(0);
        QTRY_VERIFY_WITH_TIMEOUT(!cell(0, 3).startsWith(QStringLiteral("至少")), 60000);
        QVERIFY(waitIdle());
        for (const QString &size : sizeColumn())
            QVERIFY2(size.endsWith(QStringLiteral("B")) && !size.startsWith(QStringLiteral("至少")), qPrintable(size));
    }

    // The delete dialog shows the figure of its own snapshot, and follows it:
    // "计算中…" while the sizes are computed, the figure once they are in.
    void deleteDialogFollowsItsFigure()
    {
        const QString gate = sim->path(QStringLiteral("/tmp/ostree-gate"));
        replaceOstree("n=0; while [ ! -e '" + gate.toUtf8() +
                      "' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done");
        auto openGate = [&gate] {
            QFile f(gate);
            (void)f.open(QIODevice::WriteOnly);
        };
        auto release = qScopeGuard([&] {
            openGate();
            (void)waitIdle();
        });
        page->refresh();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 60000));
        QVERIFY(page->sizesPending());
        const int first = 1;
        const int last = table()->rowCount() - 1;
        QVERIFY(last > first);
        const QString id = table()->item(last, 0)->data(Qt::UserRole).toString();
        QString before;
        QString after;
        PageTest::onNextDialog([&](QDialog *d) {
            before = PageTest::dialogText(d);
            openGate();
            QTRY_VERIFY_WITH_TIMEOUT(!page->sizesPending(), 120000);
            after = PageTest::dialogText(d);
            d->reject();
        });
        rowButton(last, QStringLiteral("删除"))->click();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
        QVERIFY2(before.contains(QStringLiteral("可释放空间: 计算中…")), qPrintable(before));
        const Tavrin::SnapshotSizes sizes = Tavrin::measureSnapshotSizes(Tavrin::getSnapshots());
        QVERIFY(sizes.value(id).total().complete());
        const QString other = table()->item(first, 0)->data(Qt::UserRole).toString();
        QVERIFY(!(sizes.value(id).total() == sizes.value(other).total()));
        QVERIFY2(after.contains(QStringLiteral("可释放空间: ") + Tavrin::formatMeasuredSize(sizes.value(id).total())),
                 qPrintable(after));
    }

    // A message never moves what the user is looking at: the cards keep their
    // places and widths, the table its top, and no scroll bar comes and goes.
    void messagesKeepTheLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("roomy") << QSize(1000, 760);
        QTest::newRow("minimum window") << QSize(720, 574);
    }

    void messagesKeepTheLayout()
    {
        QFETCH(QSize, size);
        page->resize(size);
        QCoreApplication::processEvents();
        auto *scroll = page->findChild<QScrollArea *>(QStringLiteral("tavrinScroll"));
        QVERIFY(scroll);
        auto snapshot = [&] {
            QStringList places;
            for (QWidget *widget : scroll->widget()->findChildren<QWidget *>()) {
                auto *card = dynamic_cast<TavrinUi::TavrinStateCard *>(widget);
                if (!card)
                    continue;
                const QPoint at = card->mapTo(scroll->widget(), QPoint());
                places << QStringLiteral("%1,%2 %3").arg(at.x()).arg(at.y()).arg(card->width());
            }
            places << QString::number(table()->mapTo(scroll->widget(), QPoint()).y())
                   << QString::number(scroll->viewport()->width());
            return places;
        };
        const QStringList before = snapshot();
        QCOMPARE(before.size(), 5);
        // The page fits: the table gives way before a scroll bar shows.
        QVERIFY(!scroll->verticalScrollBar()->isVisible());

        banner()->setText(QStringLiteral("备份已创建，名称较长时这条消息可能会折成两行显示在页面顶部"));
        QVERIFY(banner()->isVisible());
        QCoreApplication::processEvents();
        QCOMPARE(snapshot(), before);
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
        banner()->setText(QString());
        QCoreApplication::processEvents();

        // The loading line comes and goes without moving the table. The layout
        // is settled by hand: the list must not arrive in between.
        page->refresh();
        auto *loading = PageTest::childrenOfType<TavrinUi::TavrinLocalLoading>(page.get()).value(0);
        QVERIFY(loading && loading->isVisible());
        scroll->widget()->layout()->activate();
        QCOMPARE(snapshot(), before);
        QVERIFY(waitIdle());
        QVERIFY(loading->isHidden());
        QCOMPARE(snapshot(), before);
    }

    // The system always has its initial snapshot: a list that cannot be read
    // is a failure with the tool's text and a retry, never "no snapshots".
    void failedReadIsNotAnEmptyList_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("detailsContain"); // empty: a real empty list
        QTest::newRow("tool fails") << QByteArray("SIM_CTL_FAIL") << "simulated failure";
        QTest::newRow("answer is not a list") << QByteArray("SIM_CTL_GARBAGE") << "无法解析快照列表";
        QTest::newRow("really empty") << QByteArray() << QString();
    }

    void failedReadIsNotAnEmptyList()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, detailsContain);
        const QString stateFile = sim->path(QStringLiteral("/var/lib/zarnex-sim/state.json"));
        if (variable.isEmpty()) {
            QJsonObject state = sim->readJson(QStringLiteral("/var/lib/zarnex-sim/state.json"));
            state.insert(QStringLiteral("snapshots"), QJsonArray());
            QFile f(stateFile);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QJsonDocument(state).toJson());
        } else {
            qputenv(variable.constData(), "snapshot list");
        }
        QVERIFY(reload());
        if (!variable.isEmpty())
            qunsetenv(variable.constData());

        auto *failure =
            page->findChild<TavrinUi::TavrinInlineBanner *>(QStringLiteral("tavrinSnapshotLoadError"));
        TavrinUi::TavrinEmptyState *empty =
            PageTest::childrenOfType<TavrinUi::TavrinEmptyState>(page.get()).value(0);
        QVERIFY(failure && empty);
        QVERIFY(table()->isHidden());
        if (detailsContain.isEmpty()) {
            QVERIFY(empty->isVisible());
            QVERIFY(failure->isHidden());
            QCOMPARE(cardValue(QStringLiteral("当前数量")), QStringLiteral("0 个"));
            // The empty state's own button creates the first one.
            PageTest::onNextDialog([](QDialog *d) {
                auto *nameEdit = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
                nameEdit->setText(QStringLiteral("from empty"));
                PageTest::findButton(d, QStringLiteral("创建"))->click();
            });
            PageTest::findButton(empty, QStringLiteral("创建备份"))->click();
            QVERIFY(waitIdle());
            QVERIFY(table()->isVisible());
            QVERIFY(empty->isHidden());
            QVERIFY(rowOf(QStringLiteral("from empty")) >= 0);
            return;
        }
        QVERIFY(empty->isHidden());
        QVERIFY(failure->isVisible());
        QCOMPARE(failure->semantic(), TavrinUi::Danger);
        QCOMPARE(failure->details()->headerButton()->text().mid(2), QStringLiteral("完整输出"));
        const QString details = bannerDetails(failure);
        QVERIFY2(details.contains(detailsContain), qPrintable(details));
        QVERIFY(cardValue(QStringLiteral("当前数量")) != QStringLiteral("0 个"));

        auto *retry = failure->findChild<QPushButton *>(QStringLiteral("tavrinSnapshotRetry"));
        QVERIFY(retry && retry->isVisible());
        retry->click();
        QVERIFY(waitIdle());
        QVERIFY(failure->isHidden());
        QVERIFY(table()->isVisible());
        QCOMPARE(table()->rowCount(), Tavrin::getSnapshots().size());
    }
};

TAVRIN_TEST_MAIN(TestSnapshotsPage)
#include "tst_snapshotspage.moc"
