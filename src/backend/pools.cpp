#include "backend/pools.h"

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
