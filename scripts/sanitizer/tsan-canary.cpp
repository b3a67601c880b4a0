// Proof that the ThreadSanitizer step still sees races in code we compile, under the options and
// suppressions it runs with: two pool tasks write a plain int and append to a QList unguarded.
// The step fails unless ThreadSanitizer reports this program.
#include <QCoreApplication>
#include <QList>
#include <QThreadPool>

#include <cstdio>

namespace {
QList<int> shared;
int counter = 0;
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QThreadPool pool;
    for (int i = 0; i < 2; ++i)
        pool.start([] {
            for (int k = 0; k < 1000; ++k) {
                ++counter;
                shared.append(k);
            }
        });
    pool.waitForDone();
    std::printf("%d %lld\n", counter, static_cast<long long>(shared.size()));
    return 0;
}
