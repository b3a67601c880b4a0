#include "disk/diskhistorystore.h"
#include "disk/diskrecords.h"
#include "disk/jsonfileio.h"

#include "diskfixture.h"
#include "testsupport.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <limits>

#include <sys/stat.h>

using namespace Tavrin;

class TestDiskRecords : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TAVRIN_REQUIRE_PRIVATE_HOME(); }
    void dayRecordRoundTrip();
    void dayBytesAgreeWithGenericParser_data();
    void dayBytesAgreeWithGenericParser();
    void dayBytesMutations();
    void dayTextMatchesQtWriter_data();
    void dayTextMatchesQtWriter();
    void readDefaults_data();
    void readDefaults();
    void byteCounts_data();
    void byteCounts();
    void sampleTimes_data();
    void sampleTimes();
    void summaryAndIndexRoundTrip();
    void dayFileNames_data();
    void dayFileNames();
    void dayFilePath();
    void readJsonBadInput_data();
    void readJsonBadInput();
    void writeAtomicReplacesAndKeepsOldOnFailure();
};

void TestDiskRecords::dayRecordRoundTrip()
{
    DiskDayRecord r;
    r.date = QDate(2026, 12, 7);
    r.capacity = 500LL << 30;
    r.total = 123456789012LL;
    r.complete = false;
    r.topLevel = {{"/usr", 10 << 20, true}, {"/swapfile", 4096, false}};
    r.drillCache.insert("/var", {{"/var/log", 2048, true}, {"/var/lib/x y", 1024, false}});
    DiskSample s;
    s.time = QDateTime(QDate(2026, 12, 7), QTime(13, 5, 7, 123));
    s.total = 42;
    s.breakdown.insert("/home", 7);
    r.samples = {s, DiskSample{}};

    const DiskDayRecord back = dayRecordFromJson(dayRecordToJson(r));
    QCOMPARE(back.date, r.date);
    QCOMPARE(back.capacity, r.capacity);
    QCOMPARE(back.total, r.total);
    QCOMPARE(back.complete, false);
    QCOMPARE(back.topLevel.size(), 2);
    QCOMPARE(back.topLevel.at(1).path, QString("/swapfile"));
    QCOMPARE(back.topLevel.at(1).isDir, false);
    QCOMPARE(back.topLevel.at(0).size, qint64(10 << 20));
    QCOMPARE(back.drillCache.keys(), QStringList{"/var"});
    QCOMPARE(back.drillCache.value("/var").at(1).path, QString("/var/lib/x y"));
    QCOMPARE(back.samples.size(), 2);
    QCOMPARE(back.samples.at(0).time, s.time);
    QCOMPARE(back.samples.at(0).breakdown.value("/home"), qint64(7));
    QVERIFY(!back.samples.at(1).time.isValid());
    // Through the file text as well, not just the object.
    const QByteArray text = QJsonDocument(dayRecordToJson(r)).toJson(QJsonDocument::Compact);
    QCOMPARE(dayRecordFromJson(QJsonDocument::fromJson(text).object()).total, r.total);
}

namespace {

DiskDayRecord sampleDay()
{
    DiskDayRecord r;
    r.date = QDate(2026, 12, 7);
    r.capacity = (qint64(1) << 53) + 1;
    r.total = -12345;
    r.complete = false;
    r.topLevel = {{"/usr", 1 << 20, true}, {"/home/用户/文档", 7, false}, {"", 0, true}};
    r.drillCache.insert("/var", {{"/var/log", 2, true}});
    r.drillCache.insert("/数据", {});
    DiskSample s;
    s.time = QDateTime(QDate(2026, 12, 7), QTime(1, 2, 3, 4));
    s.total = 99;
    s.breakdown.insert("/opt", 5);
    r.samples = {s, DiskSample{}};
    r.scanExcluded = {"/home/u/Downloads", "/数据/\"x\""};
    r.scanExcludedKnown = true;
    return r;
}

// The fast reader must give what the generic parser gives, or leave the verdict to it.
void checkAgreement(const QByteArray &bytes)
{
    DiskDayRecord fast;
    const bool fastOk = dayRecordFromBytes(bytes, &fast);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    const bool genericOk = error.error == QJsonParseError::NoError && doc.isObject();
    QVERIFY2(fastOk == genericOk, bytes.left(200).constData());
    if (fastOk)
        QCOMPARE(dayRecordToJson(fast), dayRecordToJson(dayRecordFromJson(doc.object())));
}

} // namespace

void TestDiskRecords::dayBytesAgreeWithGenericParser_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QJsonObject day = dayRecordToJson(sampleDay());
    QTest::newRow("as written") << QJsonDocument(day).toJson(QJsonDocument::Compact);
    QTest::newRow("indented") << QJsonDocument(day).toJson(QJsonDocument::Indented);
    QTest::newRow("empty object") << QByteArray(" { } ");
    QTest::newRow("escapes") << QByteArray(R"({"topLevel":[{"p":"/a\"b\\c\u00e9\ud83d\ude00","s":1}]})");
    QTest::newRow("escaped keys") << QByteArray(
        R"({"drillCache":{"/x\ty":[]},"samples":[{"h":{"/\u4e2d":3}}]})");
    QTest::newRow("unknown keys") << QByteArray(R"({"extra":{"a":[1,2]},"total":5})");
    QTest::newRow("wrong types") << QByteArray(R"({"total":"5","complete":1,"topLevel":[1,{"p":2}]})");
    QTest::newRow("duplicate keys") << QByteArray(
        R"({"total":1,"total":2,"topLevel":[{"p":"/a"}],"topLevel":[]})");
    QTest::newRow("number forms") << QByteArray(R"({"total":-1.5e3,"capacity":1E+2,"topLevel":[{"s":0.9}]})");
    QTest::newRow("leading zero") << QByteArray(R"({"total":012})");
    QTest::newRow("huge number") << QByteArray(R"({"total":1e400})");
    QTest::newRow("literal control char") << QByteArray("{\"topLevel\":[{\"p\":\"a\tb\"}]}");
    QTest::newRow("invalid utf-8") << QByteArray("{\"topLevel\":[{\"p\":\"\xff\xfe\"}]}");
    QTest::newRow("trailing comma") << QByteArray(R"({"total":1,})");
    QTest::newRow("garbage after") << QByteArray(R"({"total":1} x)");
    QTest::newRow("array root") << QByteArray(R"([{"total":1}])");
    QTest::newRow("null values") << QByteArray(R"({"date":null,"samples":null})");
}

void TestDiskRecords::dayBytesAgreeWithGenericParser()
{
    QFETCH(QByteArray, bytes);
    checkAgreement(bytes);
}

void TestDiskRecords::dayBytesMutations()
{
    const QByteArray base = QJsonDocument(dayRecordToJson(sampleDay())).toJson(QJsonDocument::Compact);
    for (int n = 0; n <= base.size(); ++n) {
        checkAgreement(base.left(n));
        if (QTest::currentTestFailed())
            return;
    }
    // Deterministic byte changes over the whole file.
    quint32 seed = 12345;
    const QByteArray alphabet = "{}[]\\\":,0123456789.-+eEtrufalsn \x80\xc3";
    for (int round = 0; round < 4000; ++round) {
        QByteArray mutated = base;
        for (int k = 0; k < 1 + round % 3; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const int pos = int(seed % quint32(mutated.size()));
            seed = seed * 1664525u + 1013904223u;
            mutated[pos] = alphabet.at(int(seed % quint32(alphabet.size())));
        }
        checkAgreement(mutated);
        if (QTest::currentTestFailed())
            return;
    }
}

void TestDiskRecords::dayTextMatchesQtWriter_data()
{
    QTest::addColumn<DiskDayRecord>("record");
    QTest::newRow("mixed day") << sampleDay();
    QTest::newRow("empty record") << DiskDayRecord{};

    // Every escape, UTF-8 length and broken surrogate Qt's writer treats apart.
    const QString odd = QString::fromUtf16(u"q\"b\\s/\b\f\n\r\t\x01\x1f\x7f é中\U0001F600") + QChar(0xd800) +
                        QStringLiteral("x") + QChar(0xdc00) + QChar(0xfffe) + QChar(0xd83d);
    DiskDayRecord names;
    names.date = QDate(2026, 1, 31);
    names.topLevel = {{odd, 1, true}, {QFile::decodeName("/bad\xff\xfe name "), 2, false}};
    names.drillCache.insert(odd, {{odd + "/x", 3, true}});
    names.drillCache.insert("/a", {});
    names.drillCache.insert("/Z", {{"/Z/1", 4, false}});
    DiskSample sample;
    sample.time = QDateTime(QDate(2026, 1, 31), QTime(23, 59, 59, 999), Qt::UTC);
    sample.breakdown = {{odd, 5}, {"/b", 6}, {"/B", 7}, {"/中", 8}};
    names.samples = {sample};
    QTest::newRow("odd names and keys") << names;

    // Byte counts at the edges of a double's exact range, round and negative.
    DiskDayRecord numbers;
    numbers.date = QDate(2026, 2, 1);
    numbers.capacity = std::numeric_limits<qint64>::max();
    numbers.total = std::numeric_limits<qint64>::min();
    const QList<qint64> edges{0,
                              -1,
                              1000000,
                              1 << 20,
                              (qint64(1) << 53) - 1,
                              qint64(1) << 53,
                              (qint64(1) << 53) + 1,
                              123456789012345678LL,
                              -(qint64(1) << 60),
                              10000000000000000LL};
    for (qint64 v : edges)
        numbers.topLevel.append({QString::number(v), v, v % 2 == 0});
    DiskSample local;
    local.time = QDateTime(QDate(2026, 2, 1), QTime(0, 0), Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60));
    local.total = 1;
    numbers.samples = {local, DiskSample{}};
    QTest::newRow("numbers and times") << numbers;
}

void TestDiskRecords::dayTextMatchesQtWriter()
{
    QFETCH(DiskDayRecord, record);
    const QByteArray expected = QJsonDocument(dayRecordToJson(record)).toJson(QJsonDocument::Compact);
    const QByteArray actual = dayRecordToBytes(record);
    QCOMPARE(actual, expected);
    // What the scan left out survives the file, or unknown stays unknown.
    DiskDayRecord back;
    QVERIFY(dayRecordFromBytes(actual, &back));
    QCOMPARE(back.scanExcludedKnown, record.scanExcludedKnown);
    QCOMPARE(back.scanExcluded, record.scanExcluded);
}

void TestDiskRecords::readDefaults_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<int>("topLevel");
    QTest::newRow("empty object") << QByteArray("{}") << true << 0;
    QTest::newRow("wrong types")
        << QByteArray(R"({"date":5,"total":"12","complete":"no","topLevel":{},"samples":7})") << true << 0;
    QTest::newRow("non-object items") << QByteArray(R"({"topLevel":[1,"x",null,{"p":"/a"}]})") << true << 4;
    QTest::newRow("incomplete") << QByteArray(R"({"complete":false})") << false << 0;
}

void TestDiskRecords::readDefaults()
{
    QFETCH(QByteArray, json);
    const DiskDayRecord r = dayRecordFromJson(QJsonDocument::fromJson(json).object());
    QVERIFY(!r.date.isValid());
    QCOMPARE(r.total, qint64(0));
    QFETCH(bool, complete);
    QFETCH(int, topLevel);
    QCOMPARE(r.complete, complete);
    QCOMPARE(r.topLevel.size(), topLevel);
    for (const DiskItem &item : r.topLevel)
        QVERIFY2(item.isDir, "an item without \"d\" is a directory");
    QVERIFY(r.samples.isEmpty());

    const DiskItem empty = itemFromJson(QJsonObject());
    QVERIFY(empty.path.isEmpty());
    QCOMPARE(empty.size, qint64(0));
    QVERIFY(empty.isDir);
}

void TestDiskRecords::byteCounts_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("integer") << QByteArray(R"({"s":1048576})") << qint64(1048576);
    QTest::newRow("fraction truncates") << QByteArray(R"({"s":2.9})") << qint64(2);
    QTest::newRow("negative fraction toward zero") << QByteArray(R"({"s":-2.9})") << qint64(-2);
    QTest::newRow("string") << QByteArray(R"({"s":"100"})") << qint64(0);
    QTest::newRow("huge saturates") << QByteArray(R"({"s":1e300})") << std::numeric_limits<qint64>::max();
}

void TestDiskRecords::byteCounts()
{
    QFETCH(QByteArray, json);
    QFETCH(qint64, expected);
    QCOMPARE(itemFromJson(QJsonDocument::fromJson(json).object()).size, expected);
}

void TestDiskRecords::sampleTimes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected");
    const QDate d(2026, 12, 7);
    QTest::newRow("with offset") << "2026-12-07T13:05:07.123+08:00"
                                 << QDateTime(d, QTime(13, 5, 7, 123), Qt::OffsetFromUTC, 8 * 3600);
    QTest::newRow("negative offset") << "2026-12-07T13:05:07.123-03:30"
                                     << QDateTime(d, QTime(13, 5, 7, 123), Qt::OffsetFromUTC,
                                                  -(3 * 3600 + 1800));
    QTest::newRow("single digits, early year")
        << "0987-01-02T03:04:05.006+00:45"
        << QDateTime(QDate(987, 1, 2), QTime(3, 4, 5, 6), Qt::OffsetFromUTC, 45 * 60);
    QTest::newRow("UTC") << "2026-12-07T13:05:07.123Z" << QDateTime(d, QTime(13, 5, 7, 123), Qt::UTC);
    QTest::newRow("local, no offset") << "2026-12-07T13:05:07.123" << QDateTime(d, QTime(13, 5, 7, 123));
    QTest::newRow("bad hour") << "2026-12-07T25:05:07.123+08:00" << QDateTime();
    QTest::newRow("garbage") << "yesterday at noon" << QDateTime();
}

void TestDiskRecords::sampleTimes()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const DiskSample s = sampleFromJson(QJsonObject{{"t", text}});
    QCOMPARE(s.time.isValid(), expected.isValid());
    if (expected.isValid()) {
        QCOMPARE(s.time, expected);
        QCOMPARE(s.time.time(), expected.time());
        // Written back exactly as read when it carries its offset.
        if (expected.timeSpec() != Qt::LocalTime)
            QCOMPARE(sampleToJson(s).value("t").toString(), text);
    }
    // What this program writes for a local time comes back as the same instant and wall-clock time.
    DiskSample now;
    now.time = QDateTime::currentDateTime();
    const DiskSample back = sampleFromJson(sampleToJson(now));
    QCOMPARE(back.time.toMSecsSinceEpoch(), now.time.toMSecsSinceEpoch());
    QCOMPARE(back.time.time(), now.time.time());
    QVERIFY(sampleToJson(DiskSample()).value("t").toString().isEmpty());
}

void TestDiskRecords::summaryAndIndexRoundTrip()
{
    // Doubles carry 53 bits: 2^53 + 1 comes back as 2^53.
    const qint64 big = (qint64(1) << 53) + 1;
    DiskDaySummary s;
    s.date = QDate(2026, 1, 5);
    s.file = "2026-01-05.json";
    s.total = big;
    s.growth = -5;
    s.spike = true;
    s.top = {{"/opt", 9, true}};
    const QByteArray text = QJsonDocument(daySummaryToJson(s)).toJson(QJsonDocument::Compact);
    const DiskDaySummary back = daySummaryFromJson(QJsonDocument::fromJson(text).object());
    QCOMPARE(back.total, qint64(1) << 53);
    QCOMPARE(back.growth, qint64(-5));
    QVERIFY(back.spike);
    QCOMPARE(back.file, s.file);
    QCOMPARE(back.top.first().path, QString("/opt"));
    QVERIFY(!daySummaryFromJson(QJsonObject()).spike);

    DiskHistoryIndex index;
    index.days = {s};
    index.first = index.last = s.date;
    index.storage = 77;
    index.budget = 99;
    const QJsonObject obj = historyIndexToJson(index);
    QCOMPARE(obj.value("version").toInt(), 1);
    QCOMPARE(obj.value("first").toString(), QString("2026-01-05"));
    const DiskHistoryIndex read = historyIndexFromJson(obj);
    QCOMPARE(read.days.size(), 1);
    QCOMPARE(read.storage, qint64(77));
    QCOMPARE(read.budget, qint64(0));
    QCOMPARE(historyIndexToJson(DiskHistoryIndex()).value("first").toString(), QString());
}

void TestDiskRecords::dayFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QDate>("date");
    QTest::newRow("day") << "2026-12-07.json" << QDate(2026, 12, 7);
    QTest::newRow("suffixed day") << "2026-12-07-old.json" << QDate(2026, 12, 7);
    QTest::newRow("index") << "index.json" << QDate();
    QTest::newRow("alerts") << "alert.json" << QDate();
    QTest::newRow("ui state") << "alert-ui-state.json" << QDate();
    QTest::newRow("bad month") << "2026-13-07.json" << QDate();
    QTest::newRow("short digits") << "2026-1-07x.json" << QDate();
    QTest::newRow("not json") << "2026-12-07.txt" << QDate();
}

void TestDiskRecords::dayFileNames()
{
    QFETCH(QString, name);
    QFETCH(QDate, date);
    QCOMPARE(dayFileDate(name), date);
}

void TestDiskRecords::dayFilePath()
{
    const QString dir = DiskHistoryStore::historyDir();
    QVERIFY(dir.endsWith("/tavrin-manager/disk-history"));
    QVERIFY(dir.startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    QVERIFY(QFileInfo(dir).isDir());
    QCOMPARE(DiskHistoryStore::dayFilePath(QDate(2026, 1, 5)), dir + "/2026-01-05.json");
}

void TestDiskRecords::readJsonBadInput_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << QByteArray(R"({"date":"2026-12-07","topLevel":[{"p":"/us)");
    QTest::newRow("not json") << QByteArray("\x00\xff garbage", 10);
    QTest::newRow("deeply nested") << QByteArray(200000, '[') + QByteArray(200000, ']');
    QTest::newRow("too large") << QByteArray("{\"x\":\"") + QByteArray(kMaxJsonFileBytes, 'a') + "\"}";
}

void TestDiskRecords::readJsonBadInput()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath("f.json");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), content.size());
    f.close();
    QVERIFY(!readJson(path).isObject());
    QVERIFY(readJson(dir.filePath("missing.json")).isNull());
    // A FIFO under a file's name is not waited on.
    const QByteArray fifo = QFile::encodeName(dir.filePath("fifo.json"));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    QVERIFY(readJson(dir.filePath("fifo.json")).isNull());
}

void TestDiskRecords::writeAtomicReplacesAndKeepsOldOnFailure()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.json");
    QVERIFY(writeJsonAtomic(path, QJsonDocument(QJsonObject{{"k", 1}})));
    QVERIFY(writeJsonAtomic(path, QJsonDocument(QJsonObject{{"k", 2}})));
    QCOMPARE(readJson(path).object().value("k").toInt(), 2);
    // The target is a directory: the save cannot be committed and nothing is lost.
    QVERIFY(QDir(dir.path()).mkdir("sub.json"));
    QVERIFY(!writeJsonAtomic(dir.filePath("sub.json"), QJsonDocument(QJsonObject{{"k", 3}})));
    QVERIFY(QFileInfo(dir.filePath("sub.json")).isDir());
    QVERIFY(!writeJsonAtomic(dir.filePath("no/such/dir/x.json"), QJsonDocument(QJsonObject())));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.json"});
}

TAVRIN_TEST_GUILESS_MAIN(TestDiskRecords)
#include "tst_diskrecords.moc"
