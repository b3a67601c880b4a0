// Floor program for the window benchmark: a bare widget window of the main window's size with a
// few labels (the sidebar's texts), painted once. With TAVRIN_FIRST_PAINT_PROBE set it reports the
// first paint as the program does ("first-paint cpu-us=N"); "exit" ends it there.
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
    FloorWindow()
    {
        auto *layout = new QVBoxLayout(this);
        for (const char *text :
             {"Tavrin设置", "总览", "磁盘空间", "系统保护", "备份与版本", "系统更新", "策略与设置", "关于"})
            layout->addWidget(new QLabel(QString::fromUtf8(text), this));
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
    FloorWindow window;
    window.show();
    return app.exec();
}
