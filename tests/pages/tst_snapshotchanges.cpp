// The snapshots page's retention and editing against the simulated system:
// the limit card, a creation that removes the oldest ordinary snapshots under
// one authorization, the rollback dialog's preselected clean-up, and names
// and descriptions changed in place.

#include "backend/backend_p.h"
#include "backend/retention.h"
#include "pagetest.h"
#include "snapshotrowdelegate.h"
#include "snapshotspage.h"
#include "ui/components.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTableWidget>
#include <QTextEdit>

#include "zlabel.h"

namespace {

const QString kStateFile = QStringLiteral("/var/lib/tavrin-manager/rollback-state.json");

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList idsOf(const QList<Tavrin::SnapshotInfo> &list)
{
    QStringList out;
    for (const Tavrin::SnapshotInfo &s : list)
        out << s.id;
    return out;
}

} // namespace

class TestSnapshotChanges : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<SnapshotsPage> page;

    QTableWidget *table() const { return page->findChild<QTableWidget *>(); }
    TavrinUi::TavrinInlineBanner *banner() const { return page->findChild<TavrinUi::TavrinInlineBanner *>(); }
    SnapshotRowDelegate *rows() const
    {
        return qobject_cast<SnapshotRowDelegate *>(table()->itemDelegateForColumn(5));
    }

    bool waitIdle() const
    {
        return QTest::qWaitFor([this] { return !page->isBusy() && !page->sizesPending(); }, 120000);
    }

    bool reload()
    {
        page->refresh();
        return waitIdle();
    }

    void writePrefs(const QByteArray &json)
    {
        const QString path = Tavrin::appPreferencesPath();
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(json);
    }

    void writeSafetyBackup(const QString &id)
    {
        QVERIFY(QDir().mkpath(QFileInfo(sim->path(kStateFile)).path()));
        QFile f(sim->path(kStateFile));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QJsonDocument(QJsonObject{{"backup_snapshot_id", id},
                                          {"backup_snapshot_name", "回滚前备份-x"},
                                          {"strategy", "manual"},
                                          {"status", "pending"}})
                    .toJson());
    }

    int prompts() const
    {
        return readFile(sim->path(QStringLiteral("/var/log/zarnex-sim/prompts.log"))).count('\n');
    }

    TavrinUi::TavrinStateCard *findLimitCard() const
    {
        for (auto *card : PageTest::childrenOfType<TavrinUi::TavrinStateCard>(page.get())) {
            for (QLabel *l : card->findChildren<QLabel *>()) {
                if (l->text() == QStringLiteral("备份数量上限"))
                    return card;
            }
        }
        return nullptr;
    }

    // The create dialog as a person fills it; `notice` gets its retention note.
    void create(const QString &name, QString *notice)
    {
        PageTest::onNextDialog([name, notice](QDialog *d) {
            auto *nameEdit = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
            QVERIFY(nameEdit);
            auto *note = d->findChild<QLabel *>(QStringLiteral("tavrinPruneNotice"));
            *notice = note ? note->text() : QString();
            nameEdit->setText(name);
            PageTest::findButton(d, QStringLiteral("创建"))->click();
        });
        QMetaObject::invokeMethod(page.get(), "onCreate");
        QVERIFY(waitIdle());
    }

    // The edit dialog through the row's drawn button; `shown` gets the
    // name and description it started from.
    void editRow(int row, const QString &name, const QString &desc, QStringList *shown = nullptr)
    {
        PageTest::onNextDialog([name, desc, shown](QDialog *d) {
            auto *nameEdit = d->findChild<QLineEdit *>(QStringLiteral("tavrinSnapshotName"));
            auto *descEdit = d->findChild<QTextEdit *>(QStringLiteral("tavrinSnapshotDesc"));
            QVERIFY(nameEdit && descEdit);
            if (shown)
                *shown = {nameEdit->text(), descEdit->toPlainText()};
            nameEdit->setText(name);
            descEdit->setPlainText(desc);
            PageTest::findButton(d, QStringLiteral("保存"))->click();
        });
        const QRect button = rows()->actionRect(row, SnapshotRowDelegate::Edit);
        QVERIFY(button.isValid());
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, button.center());
        QVERIFY(waitIdle());
    }

private slots:
    void init()
    {
        Tavrin::resetSizeCachesForTesting();
        QFile::remove(Tavrin::appPreferencesPath());
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
        for (const char *var : {"SIM_CTL_FAIL", "SIM_DISMISS_PROMPT"})
            qunsetenv(var);
        QFile::remove(Tavrin::appPreferencesPath());
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    // A creation over the limit removes the oldest ordinary snapshots it
    // named beforehand, never the initial one or the rollback's safety
    // backup, all under one authorization.
    void createOverTheLimit_data()
    {
        QTest::addColumn<QByteArray>("prefs");
        QTest::addColumn<int>("safetyBackup");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QList<int>>("removed");
        QTest::addColumn<int>("stillOver");
        QTest::newRow("limit 3") << QByteArray(R"({"max_snapshots":3})") << -1 << "3 个 自动清理 超出"
                                 << QList<int>{1, 2} << 0;
        QTest::newRow("safety backup is the oldest")
            << QByteArray(R"({"max_snapshots":3})") << 1 << "3 个 自动清理 超出" << QList<int>{2, 3} << 0;
        QTest::newRow("limit 1 keeps the protected")
            << QByteArray(R"({"max_snapshots":1})") << 2 << "1 个 自动清理 超出" << QList<int>{1, 3} << 2;
        QTest::newRow("room left") << QByteArray(R"({"max_snapshots":6})") << -1 << "6 个 自动清理"
                                   << QList<int>{} << 0;
        QTest::newRow("clean-up off") << QByteArray(R"({"max_snapshots":3,"auto_prune":false})") << -1
                                      << "3 个 不自动清理 超出" << QList<int>{} << 0;
        QTest::newRow("no file") << QByteArray() << -1 << "不限制" << QList<int>{} << 0;
        QTest::newRow("zero") << QByteArray(R"({"max_snapshots":0,"auto_prune":true})") << -1 << "不限制"
                              << QList<int>{} << 0;
        QTest::newRow("ten thousand")
            << QByteArray(R"({"max_snapshots":10000})") << -1 << "10000 个 自动清理" << QList<int>{} << 0;
    }

    void createOverTheLimit()
    {
        QFETCH(QByteArray, prefs);
        QFETCH(int, safetyBackup);
        QFETCH(QString, card);
        QFETCH(QList<int>, removed);
        QFETCH(int, stillOver);
        const QList<Tavrin::SnapshotInfo> before = Tavrin::getSnapshots();
        QCOMPARE(before.size(), 4);
        QVERIFY(before.first().isInitial);
        if (!prefs.isEmpty())
            writePrefs(prefs);
        if (safetyBackup >= 0)
            writeSafetyBackup(before.at(safetyBackup).id);
        QVERIFY(reload());
        // The card: the limit, whether it cleans up, and (to the eye and to a
        // screen reader) whether it is exceeded.
        TavrinUi::TavrinStateCard *limit = findLimitCard();
        QVERIFY(limit);
        QStringList shown{limit->valueLabel()->text()};
        if (limit->statusBadge()->isVisibleTo(limit))
            shown << limit->statusBadge()->text();
        if (limit->accessibleDescription().contains(QStringLiteral("个，超出上限")))
            shown << QStringLiteral("超出");
        QCOMPARE(shown.join(QLatin1Char(' ')), card);
        qputenv("SIM_SUDO", "password");
        const int promptsBefore = prompts();

        QString notice;
        create(QStringLiteral("新备份"), &notice);
        QCOMPARE(prompts() - promptsBefore, 1);

        // Said before, by name; and exactly that happened.
        QStringList expected = idsOf(before);
        for (int i = 0; i < before.size(); ++i)
            QCOMPARE(notice.contains(before.at(i).name), removed.contains(i));
        for (int i : removed)
            expected.removeOne(before.at(i).id);
        QList<Tavrin::SnapshotInfo> after = Tavrin::getSnapshots();
        QCOMPARE(after.constLast().name, QStringLiteral("新备份"));
        after.removeLast();
        QCOMPARE(idsOf(after), expected);
        QCOMPARE(table()->rowCount(), int(expected.size()) + 1);
        QCOMPARE(banner()->semantic(), TavrinUi::Success);
        QCOMPARE(banner()->text(),
                 removed.isEmpty()
                     ? QStringLiteral("备份“新备份”创建成功。")
                     : QStringLiteral("备份“新备份”创建成功，已清理 %1 个超限备份。").arg(removed.size()));
        QCOMPARE(notice.contains(QStringLiteral("仍有 %1 个超出上限").arg(stillOver)), stillOver > 0);
    }

    // Whatever stops the creation stops the removals; a removal that fails
    // keeps the new snapshot and says which one stayed.
    void createWithCleanupOutcomes_data()
    {
        QTest::addColumn<QByteArray>("knob");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("created");
        QTest::addColumn<int>("semantic");
        QTest::addColumn<QString>("text");
        QTest::newRow("prompt dismissed")
            << QByteArray("SIM_DISMISS_PROMPT") << QByteArray("next") << false << int(TavrinUi::Danger)
            << "创建未执行，未删除任何备份，系统未做任何更改。";
        QTest::newRow("creation fails")
            << QByteArray("SIM_CTL_FAIL") << QByteArray("snapshot create") << false << int(TavrinUi::Danger)
            << "创建失败，未删除任何备份，请查看详情了解具体原因。";
        QTest::newRow("removal fails")
            << QByteArray("SIM_CTL_FAIL") << QByteArray("snapshot delete") << true << int(TavrinUi::Warning)
            << "备份“新备份”创建成功，但以下超限备份未能删除：";
    }

    void createWithCleanupOutcomes()
    {
        QFETCH(QByteArray, knob);
        QFETCH(QByteArray, value);
        QFETCH(bool, created);
        QFETCH(int, semantic);
        QFETCH(QString, text);
        const QList<Tavrin::SnapshotInfo> before = Tavrin::getSnapshots();
        writePrefs(R"({"max_snapshots":4})");
        QVERIFY(reload());
        qputenv("SIM_SUDO", "password");
        if (value == "next")
            value = QByteArray::number(prompts() + 1);
        qputenv(knob.constData(), value);
        QString notice;
        create(QStringLiteral("新备份"), &notice);
        qunsetenv(knob.constData());
        QVERIFY2(notice.contains(before.at(1).name), qPrintable(notice));

        QList<Tavrin::SnapshotInfo> after = Tavrin::getSnapshots();
        QCOMPARE(after.size(), before.size() + (created ? 1 : 0));
        if (created)
            after.removeLast();
        QCOMPARE(idsOf(after), idsOf(before));
        QCOMPARE(int(banner()->semantic()), semantic);
        QVERIFY2(banner()->text().startsWith(text), qPrintable(banner()->text()));
        if (created)
            QVERIFY(banner()->text().contains(before.at(1).name));
    }

    void rollbackPreselectsCleanup_data()
    {
        QTest::addColumn<QByteArray>("prefs");
        QTest::addColumn<QString>("checked");
        QTest::newRow("default") << QByteArray() << "自动创建回滚前备份，保留待手动删除（推荐）";
        QTest::newRow("manual") << QByteArray(R"({"rb_auto_clean":"manual"})")
                                << "自动创建回滚前备份，保留待手动删除（推荐）";
        QTest::newRow("reboot3") << QByteArray(R"({"rb_auto_clean":"reboot3"})")
                                 << "自动创建，且系统重启 3 次正常后自动删除";
    }

    void rollbackPreselectsCleanup()
    {
        QFETCH(QByteArray, prefs);
        QFETCH(QString, checked);
        if (!prefs.isEmpty())
            writePrefs(prefs);
        QStringList seen;
        PageTest::onNextDialog([&seen](QDialog *d) {
            for (QRadioButton *r : d->findChildren<QRadioButton *>()) {
                if (r->isChecked())
                    seen << PageTest::plain(r->text());
            }
            d->reject();
        });
        const QRect button = rows()->actionRect(1, SnapshotRowDelegate::Restore);
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, button.center());
        QVERIFY(waitIdle());
        QTRY_COMPARE(seen, QStringList{checked});
        QCOMPARE(sim->callCount(QStringLiteral("snapshot rollback")), 0);
    }

    // Names and descriptions reach the tool whole, as arguments, and the row
    // changes in place (same cells, same selection, no new list read); what
    // a creation refuses, or a failing tool, changes nothing.
    void edit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("desc");
        QTest::addColumn<QByteArray>("failing");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("quotes") << "he said \"hi\" & 'bye'"
                                << "$(touch /tmp/x) `id` \\n"
                                << QByteArray() << QString();
        QTest::newRow("newlines") << "多行"
                                  << "第一行\n-第二行以横线开头\n\"第三行\"" << QByteArray() << QString();
        QTest::newRow("dash inside") << "a -rf --delete-others" << QString() << QByteArray() << QString();
        QTest::newRow("markup") << "<b>粗</b>"
                                << "<i>x</i>" << QByteArray() << QString();
        QTest::newRow("empty name") << "  "
                                    << "d" << QByteArray() << "备份名称不能为空，请填写后重试。";
        QTest::newRow("name as an option") << "--help"
                                           << "d" << QByteArray() << "备份名称不能以“-”开头。";
        QTest::newRow("description as an option") << "n"
                                                  << "-y" << QByteArray() << "备份描述不能以“-”开头。";
        QTest::newRow("would look initial")
            << "First again"
            << "d" << QByteArray()
            << "名称含“First”或描述含“System initialization”的备份会被视为系统初始备份，请换一个写法。";
        QTest::newRow("tool fails") << "fine"
                                    << "d" << QByteArray("snapshot modify")
                                    << "修改失败，请查看详情了解具体原因。";
    }

    void edit()
    {
        QFETCH(QString, name);
        QFETCH(QString, desc);
        QFETCH(QByteArray, failing);
        QFETCH(QString, refusal);
        const int row = 2;
        const Tavrin::SnapshotInfo target = Tavrin::getSnapshots().at(row);
        table()->setFocus();
        table()->selectRow(row);
        QTableWidgetItem *nameCell = table()->item(row, 0);
        const int lists = sim->callCount(QStringLiteral("snapshot list"));
        if (!failing.isEmpty())
            qputenv("SIM_CTL_FAIL", failing);

        QStringList shown;
        editRow(row, name, desc, &shown);
        QCOMPARE(shown, (QStringList{target.name, target.desc}));
        QCOMPARE(banner()->semantic(), refusal.isEmpty() ? TavrinUi::Success : TavrinUi::Danger);
        if (!refusal.isEmpty())
            QCOMPARE(banner()->text(), refusal);
        QCOMPARE(sim->callCount(QStringLiteral("snapshot modify")) > 0,
                 refusal.isEmpty() || !failing.isEmpty());
        QCOMPARE(sim->callCount(QStringLiteral("snapshot list")), lists);
        const QString expectedName = refusal.isEmpty() ? name : target.name;
        const Tavrin::SnapshotInfo stored = Tavrin::getSnapshotDetail(target.id);
        QCOMPARE(stored.name, expectedName);
        QCOMPARE(stored.desc, refusal.isEmpty() ? desc : target.desc);
        QCOMPARE(table()->item(row, 0), nameCell);
        QCOMPARE(nameCell->text(), expectedName);
        QCOMPARE(page->selectedSnapshotId(), target.id);
        QAccessibleInterface *cell =
            QAccessible::queryAccessibleInterface(table())->tableInterface()->cellAt(row, 0);
        QVERIFY2(cell->text(QAccessible::Name).contains(expectedName),
                 qPrintable(cell->text(QAccessible::Name)));
    }

    // F2 reaches the edit (the row menu's entry is checked with the other
    // actions), a screen reader is told of it, and the initial snapshot
    // cannot be edited.
    void editByKeyboard()
    {
        const QList<Tavrin::SnapshotInfo> snaps = Tavrin::getSnapshots();
        QAccessibleTableInterface *cells = QAccessible::queryAccessibleInterface(table())->tableInterface();
        for (int r = 0; r < snaps.size(); ++r) {
            const bool initial = snaps.at(r).isInitial;
            QCOMPARE(rows()->actionEnabled(r, SnapshotRowDelegate::Edit), !initial);
            QCOMPARE(cells->cellAt(r, 5)->text(QAccessible::Name).contains(QStringLiteral("编辑")), !initial);
        }

        table()->setFocus();
        table()->setCurrentCell(0, 1);
        QTest::keyClick(table(), Qt::Key_F2);
        QVERIFY(!page->isBusy());
        QCOMPARE(sim->callCount(QStringLiteral("snapshot show")), 0);

        QString title;
        PageTest::onNextDialog([&title](QDialog *d) {
            title = PageTest::dialogText(d);
            d->reject();
        });
        table()->setCurrentCell(1, 1);
        QTest::keyClick(table(), Qt::Key_F2);
        QTRY_VERIFY_WITH_TIMEOUT(!title.isEmpty(), 20000);
        QVERIFY2(title.contains(QStringLiteral("编辑备份")), qPrintable(title));
        QVERIFY(waitIdle());
        QCOMPARE(sim->callCount(QStringLiteral("snapshot modify")), 0);
    }
};

TAVRIN_TEST_MAIN(TestSnapshotChanges)
#include "tst_snapshotchanges.moc"
