// Floor program for the window benchmark: a bare widget window of the main window's size with a
// few labels (the sidebar's texts), painted once. With "--type-scale" it shows instead the texts of
// the window's first frame, each at the size and weight the window draws it in: what those texts
// cost in a bare window, without the window's own widgets and code. With TAVRIN_FIRST_PAINT_PROBE
// set it reports the first paint as the program does ("first-paint cpu-us=N"); "exit" ends it
// there.
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <ctime>

namespace {

class FloorWindow : public QWidget
{
public:
    explicit FloorWindow(bool typeScale)
    {
        auto *layout = new QVBoxLayout(this);
        if (typeScale) {
            addTypeScaleTexts(layout);
        } else {
            for (const char *text :
                 {"Tavrin设置", "总览", "磁盘空间", "系统保护", "备份与版本", "系统更新", "策略与设置", "关于"})
                layout->addWidget(new QLabel(QString::fromUtf8(text), this));
        }
        layout->addStretch();
        resize(1060, 700);
    }

protected:
    bool event(QEvent *e) override
    {
        const bool handled = QWidget::event(e);
        if (e->type() == QEvent::Paint && !painted) {
            painted = true;
            QMetaObject::invokeMethod(this, &FloorWindow::report, Qt::QueuedConnection);
        }
        return handled;
    }

private:
    // The overview's first frame, text by text: its size as a share of the application font
    // (the window's levels are given in pixels at a 14 px application font) and its weight.
    void addTypeScaleTexts(QVBoxLayout *layout)
    {
        struct Text
        {
            const char *text;
            int levelPixels;
            bool semiBold;
        };
        static const Text texts[] = {
            {"Tavrin设置", 14, false}, {"概览", 13, false}, {"总览", 14, false}, {"系统维护", 13, false},
            {"磁盘空间", 14, false}, {"系统保护", 14, false}, {"备份与版本", 14, false}, {"系统更新", 14, false},
            {"设置", 13, false}, {"策略与设置", 14, false}, {"关于", 14, false}, {"总览", 24, true},
            {"Tavrin系统运行状态一览", 14, false}, {"正在读取Tavrin系统状态…", 14, false},
            {"Tavrin功能", 17, false}, {"未知状态 · 无法读取Tavrin配置", 14, false}, {"详情", 14, false},
            {"Tavrin保护", 14, false}, {"系统可写层", 14, false}, {"系统快照", 14, false},
            {"系统盘剩余", 14, false}, {"-", 30, false}};
        const QFont appFont = QApplication::font();
        for (const Text &t : texts) {
            auto *label = new QLabel(QString::fromUtf8(t.text), this);
            QFont font = label->font();
            const double factor = t.levelPixels / 14.0;
            if (appFont.pixelSize() > 0)
                font.setPixelSize(qRound(appFont.pixelSize() * factor));
            else
                font.setPointSizeF(appFont.pointSizeF() * factor);
            if (t.semiBold)
                font.setWeight(QFont::DemiBold);
            label->setFont(font);
            layout->addWidget(label);
        }
    }

    void report()
    {
        const QByteArray probe = qgetenv("TAVRIN_FIRST_PAINT_PROBE");
        if (probe.isEmpty())
            return;
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::printf("first-paint cpu-us=%lld\n", (long long)cpu.tv_sec * 1000000 + cpu.tv_nsec / 1000);
        std::fflush(stdout);
        if (probe == "exit")
            QCoreApplication::exit(0);
    }

    bool painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FloorWindow window(app.arguments().contains(QStringLiteral("--type-scale")));
    window.show();
    return app.exec();
}
