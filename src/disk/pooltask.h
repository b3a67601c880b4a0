#pragma once

#include <QRunnable>
#include <QThreadPool>

#include <utility>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);
#endif

namespace Tavrin {

// Runs `task` on `pool`. A task handed over this way is ordered before its run for ThreadSanitizer
// too: the pool's queue is guarded inside Qt, where an uninstrumented Qt hides the lock. Without
// ThreadSanitizer this is QThreadPool::start with nothing added.
template <typename Task> void startOnPool(QThreadPool &pool, Task task)
{
    class Runnable final : public QRunnable
    {
    public:
        explicit Runnable(Task &&t) : task(std::move(t)) {}
        void run() override
        {
#if defined(__SANITIZE_THREAD__)
            __tsan_acquire(this);
#endif
            task();
        }

    private:
        Task task;
    };
    auto *runnable = new Runnable(std::move(task));
#if defined(__SANITIZE_THREAD__)
    __tsan_release(runnable);
#endif
    pool.start(runnable);
}

} // namespace Tavrin
