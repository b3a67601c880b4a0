#include "backend/pools.h"

#include <QCoreApplication>

namespace Tavrin {

namespace {

// Idle threads wait without a time-out: ending them 30 s after the last task
// would wake an otherwise idle window.
struct Pool : QThreadPool
{
    Pool(const char *name, int threads)
    {
        setObjectName(QLatin1String(name));
        setExpiryTimeout(-1);
        setMaxThreadCount(threads);
        drainBeforeExit();
    }

    // The pools are statics: left to the exit handlers, a task still running would meet
    // function statics it uses (compiled patterns, caches) already destroyed. So the tasks end
    // while the application is taken down, tasks first as they wait on listings.
    static void drainBeforeExit()
    {
        static const bool registered = [] {
            qAddPostRoutine([] {
                taskPool().waitForDone();
                listingPool().waitForDone();
            });
            return true;
        }();
        Q_UNUSED(registered);
    }
};

} // namespace

QThreadPool &taskPool()
{
    // A page may keep a long root command waiting (an upgrade takes hours)
    // while others read the system: enough threads that reads never queue
    // behind it.
    static Pool pool("tavrin-tasks", qMax(8, QThread::idealThreadCount() * 2));
    return pool;
}

QThreadPool &listingPool()
{
    static Pool pool("tavrin-listings", qMax(2, QThread::idealThreadCount()));
    return pool;
}

} // namespace Tavrin
