#include <QtTest>

#include "testsupport.h"
#include "ui/settingindex.h"

using TavrinUi::SettingEntry;
using TavrinUi::SettingIndex;

namespace {

SettingEntry entry(int page, const QString &title, const QString &description, const QString &key = QString())
{
    return SettingEntry{page, QStringLiteral("组"), title, description, key.isEmpty() ? title : key};
}

QStringList titles(const QList<SettingEntry> &entries)
{
    QStringList out;
    for (const SettingEntry &e : entries)
        out << e.title;
    return out;
}

} // namespace

class TestSettingIndex : public QObject
{
    Q_OBJECT

private slots:
    void addRules();
    void queryRanking_data();
    void queryRanking();
};

void TestSettingIndex::addRules()
{
    SettingIndex index;
    index.add(entry(3, QStringLiteral("Tavrin功能"), QStringLiteral("总开关")));
    index.add(entry(3, QStringLiteral("另一个标题"), QStringLiteral("同键"), QStringLiteral("Tavrin功能")));
    index.add(entry(4, QStringLiteral("Tavrin功能"), QStringLiteral("另一页同键")));
    index.add(entry(4, QString(), QStringLiteral("no title"), QStringLiteral("k")));
    index.add(SettingEntry{4, QString(), QStringLiteral("有标题无键"), QStringLiteral("d"), QString()});
    const QList<SettingEntry> entries = index.entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).page, 3);
    QCOMPARE(entries.at(0).description, QStringLiteral("总开关")); // the first of a key stays
    QCOMPARE(entries.at(1).page, 4);
}

void TestSettingIndex::queryRanking_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("blank") << QStringLiteral("   ") << QStringList();
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("prefix beats description, case-insensitive")
        << QStringLiteral(" tavrin ")
        << QStringList{QStringLiteral("Tavrin功能"), QStringLiteral("Tavrin更新"),
                       QStringLiteral("启用Tavrin缓存"), QStringLiteral("保留数量")};
    QTest::newRow("contains in title")
        << QStringLiteral("缓存") << QStringList{QStringLiteral("启用Tavrin缓存")};
    QTest::newRow("group and key are not searched") << QStringLiteral("组") << QStringList();
    QTest::newRow("no match") << QStringLiteral("xyz") << QStringList();
}

void TestSettingIndex::queryRanking()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    SettingIndex index;
    index.add(entry(4, QStringLiteral("保留数量"), QStringLiteral("保留的 Tavrin 快照个数")));
    index.add(entry(4, QStringLiteral("启用Tavrin缓存"), QStringLiteral("缓存")));
    index.add(entry(3, QStringLiteral("Tavrin功能"), QStringLiteral("总开关：控制Tavrin系统保护的启用状态")));
    index.add(entry(5, QStringLiteral("Tavrin更新"), QStringLiteral("自动更新")));
    QCOMPARE(titles(index.query(text)), expected);
}

TAVRIN_TEST_GUILESS_MAIN(TestSettingIndex)
#include "tst_settingindex.moc"
