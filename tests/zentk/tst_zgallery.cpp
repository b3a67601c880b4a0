#include "renderchecks.h"
#include "zbuttonbox.h"
#include "zcombobox.h"
#include "zdialog.h"
#include "zdoublespinbox.h"
#include "zguiapplicationhelper.h"
#include "ziconbutton.h"
#include "zlabel.h"
#include "zlineedit.h"
#include "zprogressbar.h"
#include "zspinbox.h"
#include "zspinner.h"
#include "zsuggestbutton.h"
#include "zswitchbutton.h"
#include "ztabbar.h"
#include "ztitlebar.h"
#include "zwarningbutton.h"

#include "testsupport.h"

#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

using RenderChecks::maxContrast;
using RenderChecks::render;

// Every control of the toolkit on one page, rendered in the light and the
// dark theme (kept as zentk-gallery-<theme>.png in $TAVRIN_SCREENSHOT_DIR),
// and checked for what would make a control unreadable in one theme only.
class TestZGallery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_dir = qEnvironmentVariable("TAVRIN_SCREENSHOT_DIR");
        if (m_dir.isEmpty()) {
            QVERIFY(m_tmp.isValid());
            m_dir = m_tmp.path();
        }
        QVERIFY(QDir().mkpath(m_dir));
    }

    void themes_data()
    {
        QTest::addColumn<int>("theme");
        QTest::newRow("light") << int(ZGuiApplicationHelper::LightType);
        QTest::newRow("dark") << int(ZGuiApplicationHelper::DarkType);
    }

    void gallery_data() { themes_data(); }
    void gallery()
    {
        QFETCH(int, theme);
        auto *helper = ZGuiApplicationHelper::instance();
        helper->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        const ZPalette pal = helper->applicationPalette();
        const QColor window = pal.color(QPalette::Active, QPalette::Window);

        QWidget page;
        page.setAutoFillBackground(true);
        auto *form = new QFormLayout(&page);
        auto *bar = new ZTitlebar;
        bar->setTitle(QStringLiteral("Tavrin设置"));
        form->addRow(bar);

        auto *title = new ZLabel(QStringLiteral("标题文字"));
        title->setForegroundRole(ZPalette::TextTitle);
        auto *tips = new ZLabel(QStringLiteral("提示文字"));
        tips->setForegroundRole(ZPalette::TextTips);
        auto *warning = new ZLabel(QStringLiteral("警告文字"));
        warning->setForegroundRole(ZPalette::TextWarning);
        auto *labels = new QHBoxLayout;
        for (QWidget *w : {title, tips, warning})
            labels->addWidget(w);
        form->addRow(QStringLiteral("ZLabel"), labels);

        auto *suggest = new ZSuggestButton(QStringLiteral("立即创建"));
        auto *danger = new ZWarningButton(QStringLiteral("删除快照"));
        auto *plain = new QPushButton(QStringLiteral("取消"));
        auto *offSuggest = new ZSuggestButton(QStringLiteral("不可用"));
        offSuggest->setEnabled(false);
        auto *icon = new ZIconButton(ZentkPaint::glyphIcon(ZentkPaint::Glyph::Add));
        auto *buttons = new QHBoxLayout;
        for (QWidget *w :
             {static_cast<QWidget *>(suggest), static_cast<QWidget *>(danger), static_cast<QWidget *>(plain),
              static_cast<QWidget *>(offSuggest), static_cast<QWidget *>(icon)})
            buttons->addWidget(w);
        buttons->addStretch(1);
        form->addRow(QStringLiteral("Buttons"), buttons);

        auto *on = new ZSwitchButton;
        on->setAnimated(false);
        on->setChecked(true);
        auto *off = new ZSwitchButton;
        auto *offDisabled = new ZSwitchButton;
        offDisabled->setEnabled(false);
        auto *spinner = new ZSpinner;
        spinner->start();
        auto *switches = new QHBoxLayout;
        for (QWidget *w : {static_cast<QWidget *>(on), static_cast<QWidget *>(off),
                           static_cast<QWidget *>(offDisabled), static_cast<QWidget *>(spinner)})
            switches->addWidget(w);
        switches->addStretch(1);
        form->addRow(QStringLiteral("Switch, spinner"), switches);

        auto *tabs = new ZTabBar;
        tabs->addTab(QStringLiteral("系统快照"));
        tabs->addTab(QStringLiteral("系统部署实例"));
        tabs->setAddButtonVisible(true);
        form->addRow(QStringLiteral("ZTabBar"), tabs);

        auto *box = new ZButtonBox;
        QList<QAbstractButton *> segments;
        for (const char *text : {"今日", "近 7 天", "近 30 天"})
            segments << new QPushButton(QString::fromUtf8(text));
        box->setButtonList(segments, true);
        segments.at(1)->setChecked(true);
        form->addRow(QStringLiteral("ZButtonBox"), box);

        auto *edit = new ZLineEdit(QStringLiteral("快照名称"));
        auto *empty = new ZLineEdit;
        empty->setPlaceholderText(QStringLiteral("请输入描述"));
        form->addRow(QStringLiteral("ZLineEdit"), edit);
        form->addRow(QString(), empty);
        auto *combo = new ZComboBox;
        combo->addItems({QStringLiteral("每天"), QStringLiteral("每周")});
        form->addRow(QStringLiteral("ZComboBox"), combo);
        auto *spin = new ZSpinBox;
        spin->setValue(3);
        auto *dspin = new ZDoubleSpinBox;
        dspin->setValue(1.5);
        auto *spins = new QHBoxLayout;
        spins->addWidget(spin);
        spins->addWidget(dspin);
        form->addRow(QStringLiteral("Spin boxes"), spins);
        auto *progress = new ZProgressBar;
        progress->setValue(60);
        form->addRow(QStringLiteral("ZProgressBar"), progress);

        page.resize(560, page.sizeHint().height());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QImage shot = render(&page);
        const QString name =
            theme == ZGuiApplicationHelper::DarkType ? QStringLiteral("dark") : QStringLiteral("light");
        QVERIFY(shot.save(QStringLiteral("%1/zentk-gallery-%2.png").arg(m_dir, name)));
        spinner->stop();

        // Filled buttons: the label against the button's own fill.
        for (QPushButton *b : {static_cast<QPushButton *>(suggest), static_cast<QPushButton *>(danger)}) {
            const QImage img = render(b);
            const QColor fill = img.pixelColor(6, img.height() / 2);
            QVERIFY2(maxContrast(img, fill) >= 4.5, qPrintable(b->text()));
        }
        // A disabled primary button no longer wears the accent, yet keeps a visible label.
        {
            const QImage img = render(offSuggest);
            const QColor fill = img.pixelColor(6, img.height() / 2);
            QVERIFY(ZentkPaint::contrastRatio(fill, pal.color(QPalette::Active, QPalette::Highlight)) > 1.5);
            QVERIFY(maxContrast(img, fill) >= 2.0);
        }

        // Tab labels, selected or not, read on the window.
        for (int i = 0; i < tabs->count(); ++i) {
            const QImage img = render(tabs);
            QVERIFY2(maxContrast(img, window, tabs->tabRect(i)) >= 4.5, qPrintable(tabs->tabText(i)));
            const int textWidth = tabs->fontMetrics().horizontalAdvance(tabs->tabText(i));
            QVERIFY2(tabs->tabRect(i).width() > textWidth, qPrintable(tabs->tabText(i)));
        }

        // An off switch must be visible as a control, not just its knob.
        const QImage offImg = render(off);
        QVERIFY(maxContrast(offImg, window, QRect(offImg.width() - 8, offImg.height() / 2, 4, 1)) >= 1.8);

        // Segments wide enough for their labels.
        for (QAbstractButton *b : segments)
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 16, qPrintable(b->text()));
        // Field texts and placeholders read on the field.
        const QColor base = pal.color(QPalette::Active, QPalette::Base);
        QVERIFY(maxContrast(render(edit), base) >= 4.5);
        QVERIFY(maxContrast(render(empty), base) >= 3.0);
    }

    void dialog_data() { themes_data(); }
    void dialog()
    {
        QFETCH(int, theme);
        ZGuiApplicationHelper::instance()->setPaletteType(ZGuiApplicationHelper::ColorType(theme));
        ZDialog dialog(QStringLiteral("删除快照"),
                       QStringLiteral("确定要删除快照“每日备份”吗？此操作不可撤销。"));
        dialog.addButton(QStringLiteral("取消"));
        dialog.addButton(QStringLiteral("删除"), true, ZDialog::ButtonWarning);
        dialog.addButton(QStringLiteral("先备份"), false, ZDialog::ButtonRecommend);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString name =
            theme == ZGuiApplicationHelper::DarkType ? QStringLiteral("dark") : QStringLiteral("light");
        QVERIFY(render(&dialog).save(QStringLiteral("%1/zentk-dialog-%2.png").arg(m_dir, name)));
        const QColor window = dialog.palette().color(QPalette::Window);
        auto *close = dialog.findChild<QWidget *>(QStringLiteral("ZDialogCloseButton"));
        QVERIFY(maxContrast(render(close), window) >= 4.5);
        // Every kind of button: a shape set off from the dialog, a label read on it.
        for (int i = 0; i < dialog.buttonCount(); ++i) {
            QAbstractButton *b = dialog.getButton(i);
            const QImage img = render(b);
            const QColor fill = img.pixelColor(10, img.height() / 2);
            QVERIFY2(maxContrast(img, window, QRect(0, img.height() / 2, 3, 1)) >= 1.2, qPrintable(b->text()));
            QVERIFY2(maxContrast(img, fill) >= 4.5, qPrintable(b->text()));
        }
    }

private:
    QString m_dir;
    QTemporaryDir m_tmp;
};

TAVRIN_TEST_MAIN(TestZGallery)
#include "tst_zgallery.moc"
