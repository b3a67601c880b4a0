// Usage: zentk_instance_helper <key>
// Prints "first" (and later "activated" for every second start) or "second".
#include "zapplication.h"

#include <cstdio>

namespace {
void say(const char *word)
{
    std::printf("%s\n", word);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    ZApplication app(argc, argv);
    const QString key = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("zentk.test");
    if (!app.setSingleInstance(key)) {
        say("second");
        return 0;
    }
    QObject::connect(&app, &ZApplication::newInstanceStarted, &app, [] { say("activated"); });
    say("first");
    return app.exec();
}
