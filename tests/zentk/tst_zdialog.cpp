#include "renderchecks.h"
#include "zaboutdialog.h"
#include "zdialog.h"
#include "zguiapplicationhelper.h"

#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>

using DialogAction = std::function<void(ZDialog *)>;
Q_DECLARE_METATYPE(DialogAction)

class TestZDialog : public QObject
{
    Q_OBJECT

private:
    // Answers the dialog from the event loop once it is up, as a user would.
    static void answerWhenShown(ZDialog *dialog, const DialogAction &action)
    {
        QTimer::singleShot(0, dialog, [dialog, action] {
            if (!QTest::qWaitFor([dialog] { return dialog->isVisible(); }, 5000)) {
                dialog->reject();
                return;
            }
            action(dialog);
        });
    }

    static ZDialog *makeDialog()
    {
        auto *d = new ZDialog(QStringLiteral("删除快照"), QStringLiteral("确定要删除吗？"));
        d->addButton(QStringLiteral("取消"));
        d->addButton(QStringLiteral("删除"), true, ZDialog::ButtonWarning);
        d->addButton(QStringLiteral("稍后"), false, ZDialog::ButtonRecommend);
        return d;
    }

private slots:
    void execReturnsClickedIndex_data()
    {
        QTest::addColumn<DialogAction>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("first button") << DialogAction([](ZDialog *d) { d->getButton(0)->click(); }) << 0;
        QTest::newRow("last button") << DialogAction([](ZDialog *d) { d->getButton(2)->click(); }) << 2;
        QTest::newRow("mouse on warning button")
            << DialogAction([](ZDialog *d) { QTest::mouseClick(d->getButton(1), Qt::LeftButton); }) << 1;
        // A warning button asked to be the default is not: Return from the
        // focused safe button acts on that button.
        QTest::newRow("Return on the first button")
            << DialogAction([](ZDialog *d) { QTest::keyClick(d->focusWidget(), Qt::Key_Return); }) << 0;
        QTest::newRow("Return on the focused warning button") << DialogAction([](ZDialog *d) {
            d->getButton(1)->setFocus();
            QTest::keyClick(d->getButton(1), Qt::Key_Return);
        }) << 1;
        // Closes, rather than reaching the dialog's Enter button.
        QTest::newRow("Return on the focused close button") << DialogAction([](ZDialog *d) {
            d->setEnterButton(qobject_cast<QPushButton *>(d->getButton(2)));
            auto *close = d->findChild<QToolButton *>(QStringLiteral("ZDialogCloseButton"));
            close->setFocus();
            QTest::keyClick(close, Qt::Key_Return);
            if (d->isVisible())
                d->getButton(0)->click();
        }) << -1;
        QTest::newRow("Space on the focused last button") << DialogAction([](ZDialog *d) {
            d->getButton(2)->setFocus();
            QTest::keyClick(d->getButton(2), Qt::Key_Space);
        }) << 2;
        QTest::newRow("Escape") << DialogAction([](ZDialog *d) { QTest::keyClick(d, Qt::Key_Escape); }) << -1;
        QTest::newRow("close button") << DialogAction([](ZDialog *d) {
            d->findChild<QToolButton *>(QStringLiteral("ZDialogCloseButton"))->click();
        }) << -1;
        QTest::newRow("window closed") << DialogAction([](ZDialog *d) { d->close(); }) << -1;
        QTest::newRow("accepted without a click") << DialogAction([](ZDialog *d) { d->accept(); }) << -1;
    }

    void execReturnsClickedIndex()
    {
        QFETCH(DialogAction, action);
        QFETCH(int, expected);
        std::unique_ptr<ZDialog> dialog(makeDialog());
        answerWhenShown(dialog.get(), action);
        QCOMPARE(dialog->exec(), expected);
    }

    void reusedDialogForgetsEarlierClick()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        answerWhenShown(dialog.get(), [](ZDialog *d) { d->getButton(2)->click(); });
        QCOMPARE(dialog->exec(), 2);
        answerWhenShown(dialog.get(), [](ZDialog *d) { QTest::keyClick(d, Qt::Key_Escape); });
        QCOMPARE(dialog->exec(), -1);
    }

    void clickSignalsIndexAndText()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        QSignalSpy spy(dialog.get(), &ZDialog::buttonClicked);
        answerWhenShown(dialog.get(), [](ZDialog *d) { d->getButton(1)->click(); });
        QCOMPARE(dialog->exec(), 1);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("删除"));
    }

    void buttonsThatDoNotClose()
    {
        std::unique_ptr<ZDialog> dialog(makeDialog());
        dialog->setOnButtonClickedClose(false);
        answerWhenShown(dialog.get(), [](ZDialog *d) {
            d->getButton(0)->click();
            const bool stillOpen = d->isVisible();
            d->done(stillOpen ? QDialog::Accepted : QDialog::Rejected);
        });
        // Closed by code after a click that kept it open: the click counts.
        QCOMPARE(dialog->exec(), 0);
        QCOMPARE(dialog->clickedButtonIndex(), 0);
    }

    void focusChosenByTheCallerIsKept_data()
    {
        QTest::addColumn<int>("focused"); // -1: nothing chosen
        QTest::addColumn<int>("expected");
        QTest::newRow("first button when the default is a warning") << -1 << 0;
        QTest::newRow("caller focused the safe button") << 0 << 0;
    }

    void focusChosenByTheCallerIsKept()
    {
        QFETCH(int, focused);
        QFETCH(int, expected);
        std::unique_ptr<ZDialog> dialog(makeDialog());
        if (focused >= 0)
            dialog->getButton(focused)->setFocus();
        int hadFocus = -2;
        answerWhenShown(dialog.get(), [&hadFocus](ZDialog *d) {
            for (int i = 0; i < d->buttonCount(); ++i) {
                if (d->focusWidget() == d->getButton(i))
                    hadFocus = i;
            }
            d->reject();
        });
        dialog->exec();
        QCOMPARE(hadFocus, expected);
    }

    // Wrapped lines must sit together: the first size of the window follows the
    // text's real height at its width, not the labels' own guesses.
    void heightFitsWrappedText()
    {
        ZDialog dialog;
        dialog.setTitle(QStringLiteral("关闭Tavrin保护"));
        dialog.setMessage(QStringLiteral("关闭后核心目录将解除只读保护，恶意软件与误操作可能直接破坏系统。"));
        auto *content = new QWidget;
        auto *layout = new QVBoxLayout(content);
        for (const char *line : {"· 核心系统目录将变为可写", "· 恶意软件或误操作可直接破坏系统文件",
                                 "· 重启后按所选方式决定是否恢复保护"}) {
            auto *label = new QLabel(QString::fromUtf8(line));
            label->setWordWrap(true);
            layout->addWidget(label);
        }
        dialog.addContent(content);
        dialog.addButton(QStringLiteral("取消"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.height(), dialog.layout()->totalHeightForWidth(dialog.width()));
    }

    // A dialog is never narrower than 380 px, and never narrower than its content needs: wide
    // content must not be cut off at the right edge, even where the screen is small.
    void widthFollowsContent_data()
    {
        QTest::addColumn<int>("contentMinimum");
        QTest::addColumn<int>("expectedMinimum");
        QTest::newRow("small content") << 100 << 380;
        QTest::newRow("wide content") << 900 << 900 + 32;
    }

    void widthFollowsContent()
    {
        QFETCH(int, contentMinimum);
        QFETCH(int, expectedMinimum);
        ZDialog dialog;
        dialog.setTitle(QStringLiteral("磁盘空间设置"));
        auto *content = new QWidget;
        content->setMinimumWidth(contentMinimum);
        dialog.addContent(content);
        dialog.addButton(QStringLiteral("关闭"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.minimumWidth(), expectedMinimum);
        QVERIFY(dialog.width() >= expectedMinimum);
        QVERIFY(content->width() >= contentMinimum);
        dialog.resize(200, dialog.height());
        QCOMPARE(dialog.width(), expectedMinimum);
    }

    // One look: the text and the buttons keep the same distance from both
    // sides and the bottom; the close button lines up with the right edge.
    void marginsAreEven()
    {
        ZDialog dialog;
        dialog.setTitle(QStringLiteral("删除快照"));
        dialog.setMessage(QStringLiteral("确定要删除快照吗？此操作不可撤销。"));
        dialog.addButton(QStringLiteral("取消"));
        dialog.addButton(QStringLiteral("删除"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto rectOf = [&dialog](const QString &name) {
            auto *w = dialog.findChild<QWidget *>(name);
            return w ? QRect(w->mapTo(&dialog, QPoint()), w->size()) : QRect();
        };
        const QRect message = rectOf(QStringLiteral("ZDialogMessage"));
        const QRect first = rectOf(QStringLiteral("ZDialogButton0"));
        const QRect last = rectOf(QStringLiteral("ZDialogButton1"));
        const QRect close = rectOf(QStringLiteral("ZDialogCloseButton"));
        const int left = message.left();
        QVERIFY(left > 0);
        QCOMPARE(first.left(), left);
        QCOMPARE(dialog.width() - 1 - last.right(), left);
        QCOMPARE(dialog.width() - 1 - message.right(), left);
        QCOMPARE(dialog.height() - 1 - last.bottom(), left);
        QCOMPARE(close.right(), last.right());
    }

    void partsAreReachable()
    {
        ZDialog dialog;
        dialog.setTitle(QStringLiteral("标题"));
        dialog.setMessage(QStringLiteral("消息"));
        auto *extra = new QLabel(QStringLiteral("附加"));
        dialog.addContent(extra);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("ZDialogTitle"))->text(), QStringLiteral("标题"));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("ZDialogMessage"))->text(),
                 QStringLiteral("消息"));
        QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("ZDialogContent"))->isAncestorOf(extra));
        QCOMPARE(dialog.buttonCount(), 0);
        QCOMPARE(dialog.getButton(0), nullptr);
        QCOMPARE(dialog.addButton(QStringLiteral("好")), 0);
        QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("ZDialogButton0"))->text(),
                 QStringLiteral("好"));
        QCOMPARE(dialog.getButton(-1), nullptr);
    }

    // The website link is read on the dialog in whatever theme it is shown,
    // also when the theme changed after the dialog was built.
    void aboutLinkReadableInEitherTheme_data()
    {
        QTest::addColumn<int>("builtIn");
        QTest::addColumn<int>("shownIn");
        QTest::addColumn<bool>("desktopLabelPalette");
        const int light = ZGuiApplicationHelper::LightType, dark = ZGuiApplicationHelper::DarkType;
        QTest::newRow("light") << light << light << false;
        QTest::newRow("dark") << dark << dark << false;
        QTest::newRow("light, then dark") << light << dark << false;
        QTest::newRow("dark, then light") << dark << light << false;
        // Platform themes install palettes per widget class; the framework's
        // default link blue there must not reach the dark dialog.
        QTest::newRow("dark, desktop label palette") << dark << dark << true;
    }

    void aboutLinkReadableInEitherTheme()
    {
        QFETCH(int, builtIn);
        QFETCH(int, shownIn);
        QFETCH(bool, desktopLabelPalette);
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::ColorType(builtIn));
        if (desktopLabelPalette) {
            QPalette labels = helper->applicationPalette();
            labels.setColor(QPalette::Link, QColor(Qt::blue));
            QApplication::setPalette(labels, "QLabel");
        }
        ZAboutDialog dialog;
        dialog.setWebsiteName(QStringLiteral("zarnex.example.org/tavrin"));
        dialog.setWebsiteLink(QStringLiteral("https://zarnex.example.org/tavrin"));
        helper->setPaletteType(ZGuiApplicationHelper::ColorType(shownIn));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));

        const ZPalette pal = helper->applicationPalette();
        auto *website = dialog.findChild<QLabel *>(QStringLiteral("ZAboutWebsite"));
        QVERIFY(website->text().contains(QLatin1String("href=\"https://zarnex.example.org/tavrin\"")));
        const QImage img = RenderChecks::render(website);
        QVERIFY(RenderChecks::maxContrast(img, pal.color(QPalette::Active, QPalette::Window)) >= 4.5);
        // Still a link colour, not the plain text colour.
        const QColor link = pal.color(QPalette::Active, QPalette::Link);
        bool linkColoured = false;
        for (int y = 0; y < img.height() && !linkColoured; ++y) {
            for (int x = 0; x < img.width() && !linkColoured; ++x)
                linkColoured = ZentkPaint::contrastRatio(img.pixelColor(x, y), link) < 1.2 &&
                               qAbs(img.pixelColor(x, y).hslHue() - link.hslHue()) <= 12;
        }
        QVERIFY(linkColoured);
        if (desktopLabelPalette)
            QApplication::setPalette(pal, "QLabel");
    }
};

TAVRIN_TEST_MAIN(TestZDialog)
#include "tst_zdialog.moc"
