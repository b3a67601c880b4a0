#include "backend/backend_p.h"
#include "pageid.h"
#include "pagetest.h"
#include "policypage.h"
#include "ui/components.h"

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSpinBox>

#include <sys/stat.h>
#include <unistd.h>

#include "zswitchbutton.h"

// Local preferences written at once, system parameters saved on demand with
// only the changed keys, against the simulated system's configuration file.
class TestPolicyPage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PageTest::SimRoot> sim;
    std::unique_ptr<PolicyPage> page;
    const QString conf = QStringLiteral("/etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf");

    QSpinBox *spin(const QString &name) const
    {
        for (QSpinBox *s : page->findChildren<QSpinBox *>())
            if (s->accessibleName() == name)
                return s;
        return nullptr;
    }
    ZSwitchButton *toggle(const QString &name) const
    {
        for (ZSwitchButton *s : PageTest::childrenOfType<ZSwitchButton>(page.get()))
            if (s->accessibleName() == name)
                return s;
        return nullptr;
    }
    TavrinUi::TavrinRow *rowOf(const QString &title) const
    {
        for (auto *row : PageTest::childrenOfType<TavrinUi::TavrinRow>(page.get()))
            if (row->title() == title)
                return row;
        return nullptr;
    }
    QComboBox *combo() const { return page->findChild<QComboBox *>(); }
    QWidget *dirtyBadge() const { return page->findChild<QWidget *>(QStringLiteral("tavrinDirtyBadge")); }
    QJsonObject prefs() const
    {
        QFile f(PolicyPage::configPath());
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
    }
    QByteArray confText() const
    {
        QFile f(sim->path(conf));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeConf(const QByteArray &text) const
    {
        QFile f(sim->path(conf));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    bool reload()
    {
        page->refresh();
        return QTest::qWaitFor([this] { return !page->isBusy(); }, 120000);
    }
    // A user's edit: type the value and confirm it with Enter.
    static void enter(QSpinBox *box, int value)
    {
        box->setFocus();
        box->selectAll();
        PageTest::typeText(box, QString::number(value));
        QTest::keyClick(box, Qt::Key_Return);
    }
    void makePage()
    {
        page = std::make_unique<PolicyPage>(nullptr);
        page->resize(1000, 900);
        page->show();
    }

private slots:
    void init()
    {
        QFile::remove(PolicyPage::configPath());
        QDir(PolicyPage::configPath()).removeRecursively();
        sim = std::make_unique<PageTest::SimRoot>();
        QVERIFY2(sim->isReady(), "could not build the simulated system root");
        makePage();
        QVERIFY(reload());
    }

    void cleanup()
    {
        page.reset();
        qunsetenv("SIM_SUDO");
        qunsetenv("SIM_PKEXEC");
        sim.reset();
        QCOMPARE(PageTest::dropPendingAnswers(), 0);
    }

    void preferencesWrittenAtOnce()
    {
        QFile seed(PolicyPage::configPath());
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write(R"({"auto_prune":false,"theme_hint":"keep me"})");
        seed.close();
        makePage();
        QSpinBox *limit = spin(QStringLiteral("备份数量上限"));
        ZSwitchButton *prune = toggle(QStringLiteral("超限自动清理"));
        QVERIFY(limit && prune);
        QCOMPARE(limit->value(), 0);
        QVERIFY(!prune->isEnabled());
        QVERIFY(!prune->isChecked());

        enter(limit, 5);
        QCOMPARE(prefs().value(QStringLiteral("max_snapshots")).toInt(), 5);
        QVERIFY(prune->isEnabled());
        prune->click();
        QCOMPARE(prefs().value(QStringLiteral("auto_prune")).toBool(), true);
        enter(limit, 0);
        QVERIFY(!prune->isEnabled());
        QCOMPARE(prefs().value(QStringLiteral("auto_prune")).toBool(), true);
        combo()->setCurrentIndex(1);
        QCOMPARE(prefs().value(QStringLiteral("rb_auto_clean")).toString(), QStringLiteral("reboot3"));
        QCOMPARE(prefs().value(QStringLiteral("theme_hint")).toString(), QStringLiteral("keep me"));
        // Never part of the system parameters.
        QVERIFY(!dirtyBadge()->isVisible());
    }

    void badPreferencesFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("directory");
        QTest::newRow("not json") << QByteArray("{{{ nope") << false;
        QTest::newRow("array") << QByteArray("[1,2,3]") << false;
        QTest::newRow("odd types") << QByteArray(R"({"max_snapshots":"ten","auto_prune":3})") << false;
        QTest::newRow("unreadable, unwritable") << QByteArray() << true;
    }

    void badPreferencesFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, directory);
        QFile::remove(PolicyPage::configPath());
        if (directory) {
            QVERIFY(QDir().mkpath(PolicyPage::configPath()));
        } else {
            QFile f(PolicyPage::configPath());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        makePage();
        QCOMPARE(spin(QStringLiteral("备份数量上限"))->value(), 0);
        QVERIFY(toggle(QStringLiteral("超限自动清理"))->isChecked());
        QCOMPARE(combo()->currentIndex(), 0);

        enter(spin(QStringLiteral("备份数量上限")), 7);
        if (directory) {
            // Not stored: the banner says so and the control shows what is stored.
            QCOMPARE(page->BasePage::banner()->semantic(), TavrinUi::Danger);
            QVERIFY(page->BasePage::banner()->isVisible());
            QCOMPARE(spin(QStringLiteral("备份数量上限"))->value(), 0);
        } else {
            QCOMPARE(prefs().value(QStringLiteral("max_snapshots")).toInt(), 7);
        }
    }

    // A read-only configuration directory: the change is reported and undone, the stored file kept.
    void readOnlyConfigurationDirectory()
    {
        const QByteArray stored = R"({"max_snapshots":4,"theme_hint":"keep me"})";
        {
            QFile seed(PolicyPage::configPath());
            QVERIFY(seed.open(QIODevice::WriteOnly));
            seed.write(stored);
        }
        makePage();
        QCOMPARE(spin(QStringLiteral("备份数量上限"))->value(), 4);
        const QString dir = QFileInfo(PolicyPage::configPath()).path();
        if (geteuid() != 0 || QProcess::execute("mount", {"--bind", "-o", "ro", dir, dir}) != 0)
            QSKIP("needs root for a read-only bind mount");
        const auto unmount = qScopeGuard([&dir] { QProcess::execute("umount", {dir}); });
        QProcess::execute("mount", {"-o", "remount,bind,ro", dir});

        enter(spin(QStringLiteral("备份数量上限")), 9);
        QCOMPARE(page->BasePage::banner()->semantic(), TavrinUi::Danger);
        QVERIFY(page->BasePage::banner()->isVisible());
        QCOMPARE(spin(QStringLiteral("备份数量上限"))->value(), 4);
        QFile file(PolicyPage::configPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored);
    }

    // Something that is not a file under the preferences' name: defaults, and no wait on it.
    void fifoInsteadOfPreferences()
    {
        QFile::remove(PolicyPage::configPath());
        QCOMPARE(mkfifo(QFile::encodeName(PolicyPage::configPath()).constData(), 0600), 0);
        makePage();
        QCOMPARE(spin(QStringLiteral("备份数量上限"))->value(), 0);
        QVERIFY(toggle(QStringLiteral("超限自动清理"))->isChecked());
        QFile::remove(PolicyPage::configPath());
    }

    void systemValuesFromOddFiles_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("rollback");
        QTest::addColumn<int>("deploys");
        QTest::addColumn<int>("threshold");
        QTest::newRow("capital FALSE")
            << QByteArray("[global]\nauto-rollback-on-failure = FALSE\n") << false << 1 << 200;
        QTest::newRow("other value is on")
            << QByteArray("[global]\nauto-rollback-on-failure=no\n") << true << 1 << 200;
        QTest::newRow("not numbers")
            << QByteArray("[global]\nmax-backup-deploys=two\nauto-refresh-size-threshold=\n") << true << 1
            << 200;
        QTest::newRow("out of range")
            << QByteArray("[global]\nmax-backup-deploys=42\nauto-refresh-size-threshold=5\n") << true << 9
            << 50;
        QTest::newRow("empty file") << QByteArray() << true << 1 << 200;
    }

    void systemValuesFromOddFiles()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, rollback);
        QFETCH(int, deploys);
        QFETCH(int, threshold);
        writeConf(text);
        QVERIFY(reload());
        QCOMPARE(toggle(QStringLiteral("升级失败自动回滚"))->isChecked(), rollback);
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), deploys);
        QCOMPARE(spin(QStringLiteral("自动刷新阈值"))->value(), threshold);
        QVERIFY(!dirtyBadge()->isVisible());
    }

    // Only the changed key reaches the file; everything else stays byte for byte.
    void saveWritesOnlyTheChange()
    {
        const QByteArray before = confText();
        QVERIFY(before.contains("max-backup-deploys=2"));
        enter(spin(QStringLiteral("保留旧部署数")), 3);
        QVERIFY(dirtyBadge()->isVisible());
        QAbstractButton *save = PageTest::findButton(page.get(), QStringLiteral("保存系统参数"));
        save->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(page->BasePage::banner()->text(), QStringLiteral("系统参数已保存"));
        QVERIFY(!dirtyBadge()->isVisible());
        QByteArray expected = before;
        expected.replace("max-backup-deploys=2", "max-backup-deploys=3");
        QCOMPARE(confText().trimmed(), expected.trimmed());

        // A refresh right after an edit keeps the edit: only the user drops it.
        enter(spin(QStringLiteral("自动刷新阈值")), 800);
        QVERIFY(dirtyBadge()->isVisible());
        QVERIFY(reload());
        QCOMPARE(spin(QStringLiteral("自动刷新阈值"))->value(), 800);
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), 3);
        QVERIFY(dirtyBadge()->isVisible());
    }

    // One save at a time: the button is disabled while it runs, and a second
    // click in that time starts nothing.
    void oneSaveAtATime()
    {
        enter(spin(QStringLiteral("保留旧部署数")), 4);
        QAbstractButton *save = PageTest::findButton(page.get(), QStringLiteral("保存系统参数"));
        const int before = sim->callCount(QStringLiteral("tavrin-manager-helper"));
        save->click();
        QVERIFY(!save->isEnabled());
        save->click();
        QMetaObject::invokeMethod(save, "clicked");
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QVERIFY(save->isEnabled());
        QCOMPARE(sim->callCount(QStringLiteral("tavrin-manager-helper")) - before, 1);
        QCOMPARE(page->BasePage::banner()->text(), QStringLiteral("系统参数已保存"));
        QVERIFY(confText().contains("max-backup-deploys=4"));
    }

    void failedSaveKeepsTheEdit()
    {
        qputenv("SIM_SUDO", "deny");
        qputenv("SIM_PKEXEC", "deny");
        const QByteArray before = confText();
        toggle(QStringLiteral("升级失败自动回滚"))->click();
        PageTest::findButton(page.get(), QStringLiteral("保存系统参数"))->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(page->BasePage::banner()->semantic(), TavrinUi::Danger);
        QVERIFY2(page->BasePage::banner()->text().startsWith(QStringLiteral("保存失败: ")),
                 qPrintable(page->BasePage::banner()->text()));
        QVERIFY(dirtyBadge()->isVisible());
        QVERIFY(!toggle(QStringLiteral("升级失败自动回滚"))->isChecked());
        QCOMPARE(confText(), before);
    }

    // The page edits "[global]"; a later section that the tool reads instead is named
    // on the row, before and after a save.
    void globalValuesShownAndOverridesNamed()
    {
        writeConf("[global]\nmax-backup-deploys=2\nauto-refresh-size-threshold=300\n"
                  "[upgrade]\nmax-backup-deploys=7\n");
        QVERIFY(reload());
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), 2);
        QCOMPARE(spin(QStringLiteral("自动刷新阈值"))->value(), 300);
        const QString note = rowOf(QStringLiteral("保留旧部署数"))->description();
        QVERIFY2(note.contains(QStringLiteral("[upgrade]")) &&
                     note.contains(QStringLiteral("max-backup-deploys=7")) &&
                     note.contains(QStringLiteral("系统实际使用 7")),
                 qPrintable(note));
        QVERIFY(!rowOf(QStringLiteral("自动刷新阈值"))->description().contains(QStringLiteral("覆盖")));
        QVERIFY(!rowOf(QStringLiteral("升级失败自动回滚"))->description().contains(QStringLiteral("覆盖")));

        enter(spin(QStringLiteral("保留旧部署数")), 3);
        PageTest::findButton(page.get(), QStringLiteral("保存系统参数"))->click();
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(confText(), QByteArray("[global]\nmax-backup-deploys=3\nauto-refresh-size-threshold=300\n"
                                        "[upgrade]\nmax-backup-deploys=7\n"));
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), 3);
        QVERIFY(
            rowOf(QStringLiteral("保留旧部署数"))->description().contains(QStringLiteral("系统实际使用 7")));

        // The override gone, so is the note.
        writeConf("[global]\nmax-backup-deploys=3\n");
        QVERIFY(reload());
        QVERIFY(!rowOf(QStringLiteral("保留旧部署数"))->description().contains(QStringLiteral("覆盖")));
    }

    // A file that cannot be read shows no values as if they were stored.
    void unreadableConfigurationShowsNoValues()
    {
        QFile::remove(sim->path(conf));
        QVERIFY(QDir().mkpath(sim->path(conf)));
        QVERIFY(reload());
        TavrinUi::TavrinInlineBanner *banner = page->BasePage::banner();
        QVERIFY(banner->isVisible());
        QCOMPARE(banner->semantic(), TavrinUi::Danger);
        QVERIFY2(banner->text().startsWith(QStringLiteral("无法读取系统参数")), qPrintable(banner->text()));
        for (const QString &name : {QStringLiteral("保留旧部署数"), QStringLiteral("自动刷新阈值")})
            QVERIFY(!spin(name)->isEnabled());
        QVERIFY(!toggle(QStringLiteral("升级失败自动回滚"))->isEnabled());
        QVERIFY(!PageTest::findButton(page.get(), QStringLiteral("保存系统参数"))->isEnabled());

        QVERIFY(QDir(sim->path(conf)).removeRecursively());
        writeConf("[global]\nmax-backup-deploys=4\n");
        QVERIFY(reload());
        QVERIFY(spin(QStringLiteral("保留旧部署数"))->isEnabled());
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), 4);
    }

    // A row under "即时生效" takes effect at once; every control tool key sits
    // with the save button that writes it.
    void systemKeysSitWithTheSaveButton_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("auto rollback") << "升级失败自动回滚";
        QTest::newRow("kept deployments") << "保留旧部署数";
        QTest::newRow("refresh threshold") << "自动刷新阈值";
    }
    void systemKeysSitWithTheSaveButton()
    {
        QFETCH(QString, title);
        QWidget *section = rowOf(title)->parentWidget();
        while (section && !dynamic_cast<TavrinUi::TavrinSection *>(section))
            section = section->parentWidget();
        QVERIFY(section);
        QVERIFY(PageTest::findButton(section, QStringLiteral("保存系统参数")));
        for (auto *badge : PageTest::childrenOfType<TavrinUi::TavrinBadge>(section))
            QVERIFY(badge->text() != QLatin1String("即时生效"));
    }

    // Leaving with unsaved system parameters: stay, drop them, or save first.
    void leavingWithUnsavedParameters_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("leavesAtOnce");
        QTest::addColumn<bool>("leavesAfterSave");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("cancel stays") << "取消" << false << false << 5 << QByteArray("max-backup-deploys=2");
        QTest::newRow("discard") << "放弃修改" << true << false << 2 << QByteArray("max-backup-deploys=2");
        QTest::newRow("save, then leave")
            << "保存" << false << true << 5 << QByteArray("max-backup-deploys=5");
    }
    void leavingWithUnsavedParameters()
    {
        QFETCH(QString, answer);
        QFETCH(bool, leavesAtOnce);
        QFETCH(bool, leavesAfterSave);
        QFETCH(int, shown);
        QFETCH(QByteArray, stored);
        // Nothing to ask while nothing is changed.
        int left = 0;
        QVERIFY(page->confirmLeave([&left] { ++left; }));

        enter(spin(QStringLiteral("保留旧部署数")), 5);
        QString asked;
        PageTest::answerNextDialog(answer, QString(), &asked);
        QCOMPARE(page->confirmLeave([&left] { ++left; }), leavesAtOnce);
        QVERIFY2(asked.contains(QStringLiteral("未保存")), qPrintable(asked));
        QVERIFY(QTest::qWaitFor([this] { return !page->isBusy(); }, 120000));
        QCOMPARE(left, leavesAfterSave ? 1 : 0);
        QCOMPARE(spin(QStringLiteral("保留旧部署数"))->value(), shown);
        QCOMPARE(dirtyBadge()->isVisible(), answer == QStringLiteral("取消"));
        QVERIFY2(confText().contains(stored), confText().constData());
    }

    void rollbackInProgressSetsTheCleanup()
    {
        QVERIFY(Tavrin::saveRollbackState({{QStringLiteral("strategy"), QStringLiteral("reboot3")},
                                           {QStringLiteral("status"), QStringLiteral("pending")}})
                    .ok);
        QVERIFY(reload());
        QCOMPARE(combo()->currentIndex(), 1);
        QCOMPARE(prefs().value(QStringLiteral("rb_auto_clean")).toString(), QStringLiteral("reboot3"));
    }

    void rowsAreSearchable()
    {
        QStringList found;
        for (const TavrinUi::SettingEntry &e : page->searchableSettings()) {
            QCOMPARE(e.page, int(Policy));
            QCOMPARE(e.key, e.title);
            found << e.group + QLatin1Char('/') + e.title;
        }
        QCOMPARE(found.size(), 7);
        QVERIFY(found.contains(QStringLiteral("备份保留/超限自动清理")));
        QVERIFY(found.contains(QStringLiteral("Tavrin系统参数/自动刷新阈值")));
        QVERIFY(found.contains(QStringLiteral("Tavrin系统参数/升级失败自动回滚")));
        QVERIFY(found.contains(QStringLiteral("Tavrin系统参数/保留旧部署数")));
        QVERIFY(page->highlightSetting(QStringLiteral("保留旧部署数")));
    }
};

TAVRIN_TEST_MAIN(TestPolicyPage)
#include "tst_policypage.moc"
