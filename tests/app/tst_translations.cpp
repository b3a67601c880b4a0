#include "startup.h"

#include "testsupport.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <algorithm>

// The committed English catalogue: every text of the sources is in it and
// translated, the translations keep what must not be translated, and the
// released catalogue the program loads answers with them.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogueComplete();
    void catalogueCoversSources();
    void translationsKeepMarkup_data();
    void translationsKeepMarkup();
    void releasedCatalogueTranslates();
};

namespace {

struct TsMessage
{
    QString context;
    QString source;
    QString comment;
    QString type; // of the translation element: "", "unfinished", "vanished", "obsolete"
    bool numerus = false;
    QStringList translations; // one, or one per plural form

    bool active() const { return type != QLatin1String("vanished") && type != QLatin1String("obsolete"); }
    QString label() const { return context + QLatin1String(": ") + source; }
};

QList<TsMessage> readCatalogue(const QString &path, QString *error)
{
    QList<TsMessage> messages;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return messages;
    }
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == QLatin1String("context")) {
                context.clear();
            } else if (name == QLatin1String("name") && context.isEmpty()) {
                context = xml.readElementText();
            } else if (name == QLatin1String("message")) {
                current = TsMessage();
                current.context = context;
                current.numerus = xml.attributes().value(QLatin1String("numerus")) == QLatin1String("yes");
            } else if (name == QLatin1String("source")) {
                current.source = xml.readElementText();
            } else if (name == QLatin1String("comment")) {
                current.comment = xml.readElementText();
            } else if (name == QLatin1String("translation")) {
                current.type = xml.attributes().value(QLatin1String("type")).toString();
                if (!current.numerus)
                    current.translations << xml.readElementText();
            } else if (name == QLatin1String("numerusform")) {
                current.translations << xml.readElementText();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            messages << current;
        }
    }
    if (xml.hasError())
        *error = QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber());
    return messages;
}

// Entries a user would see untranslated: unfinished or empty.
QStringList untranslated(const QList<TsMessage> &messages)
{
    QStringList found;
    for (const TsMessage &m : messages) {
        if (!m.active())
            continue;
        const bool empty =
            m.translations.isEmpty() || std::any_of(m.translations.cbegin(), m.translations.cend(),
                                                    [](const QString &t) { return t.trimmed().isEmpty(); });
        if (m.type == QLatin1String("unfinished") || empty)
            found << m.label();
    }
    return found;
}

QString cataloguePath()
{
    return Tavrin::Test::sourcePath(QStringLiteral("translations/tavrin-manager_en_US.ts"));
}

QStringList placeholders(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("%L?\\d+"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found << it.next().captured();
    found.sort();
    return found;
}

// Product names, commands, options, paths and key names: the Latin words of
// a Chinese source text, which the English text has to carry unchanged.
QStringList verbatimWords(QString text)
{
    static const QRegularExpression placeholder(QStringLiteral("%L?\\d+"));
    static const QRegularExpression word(QStringLiteral("[/A-Za-z0-9][A-Za-z0-9_./|+-]*"));
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    text.replace(placeholder, QStringLiteral(" "));
    QStringList found;
    for (auto it = word.globalMatch(text); it.hasNext();) {
        const QString w = it.next().captured();
        if (w.contains(letter))
            found << w;
    }
    return found;
}

} // namespace

void TestTranslations::initTestCase()
{
    QString error;
    const QList<TsMessage> messages = readCatalogue(cataloguePath(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!messages.isEmpty());
}

void TestTranslations::catalogueComplete()
{
    QString error;
    const QStringList missing = untranslated(readCatalogue(cataloguePath(), &error));
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("untranslated:\n  ") + missing.join(QStringLiteral("\n  "))));
}

// A text added to the sources without refreshing the catalogue shows in
// Chinese in the English interface; lupdate over a copy finds it.
void TestTranslations::catalogueCoversSources()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath(QStringLiteral("tavrin-manager_en_US.ts"));
    QVERIFY(QFile::copy(cataloguePath(), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);

    QProcess lupdate;
    lupdate.start(QStringLiteral(TAVRIN_LUPDATE),
                  {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"), QStringLiteral("none"),
                   Tavrin::Test::sourcePath(QStringLiteral("src")), QStringLiteral("-ts"), copy});
    QVERIFY2(lupdate.waitForFinished(300000), qPrintable(lupdate.errorString()));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAllStandardError().constData());

    QString error;
    const QList<TsMessage> messages = readCatalogue(copy, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!messages.isEmpty());
    const QStringList missing = untranslated(messages);
    QVERIFY2(missing.isEmpty(),
             qPrintable(
                 QStringLiteral("texts of the sources not translated (run the tavrin-manager_lupdate target "
                                "and translate them):\n  ") +
                 missing.join(QStringLiteral("\n  "))));
}

void TestTranslations::translationsKeepMarkup_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QString error;
    const QList<TsMessage> messages = readCatalogue(cataloguePath(), &error);
    for (const TsMessage &m : messages) {
        if (!m.active())
            continue;
        for (const QString &t : m.translations)
            QTest::addRow("%s", qPrintable(m.label())) << m.source << t;
    }
}

void TestTranslations::translationsKeepMarkup()
{
    QFETCH(QString, source);
    QFETCH(QString, translation);
    if (translation.isEmpty())
        QSKIP("not translated; catalogueComplete reports it");
    QCOMPARE(placeholders(translation), placeholders(source));
    QCOMPARE(translation.count(QLatin1Char('\n')), source.count(QLatin1Char('\n')));
    for (const QString &word : verbatimWords(source))
        QVERIFY2(translation.contains(word), qPrintable(QStringLiteral("\"%1\" is lost").arg(word)));
    QCOMPARE(translation, translation.trimmed());
}

// The .qm built next to the program, found the way the program looks for it.
void TestTranslations::releasedCatalogueTranslates()
{
    QTranslator translator;
    const QString dir = Tavrin::Test::buildPath(QStringLiteral("bin/translations"));
    QCOMPARE(TavrinStartup::loadTranslation(&translator, QStringLiteral("en_US"), {dir}), dir);

    QString error;
    const QList<TsMessage> messages = readCatalogue(cataloguePath(), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QStringList wrong;
    for (const TsMessage &m : messages) {
        if (!m.active() || m.translations.isEmpty())
            continue;
        const QByteArray context = m.context.toUtf8();
        const QByteArray source = m.source.toUtf8();
        const QByteArray comment = m.comment.toUtf8();
        const QString got = translator.translate(context.constData(), source.constData(),
                                                 m.comment.isEmpty() ? nullptr : comment.constData(), 1);
        if (got != m.translations.constFirst())
            wrong << QStringLiteral("%1 -> \"%2\"").arg(m.label(), got);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

TAVRIN_TEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
