#pragma once

#include <QThreadPool>

/// The thread pools of the program's blocking work. Nothing that waits on a
/// child process or the disk runs on QThreadPool::globalInstance(): Qt's own
/// painting (image conversion and scaling) hands work to that pool and waits
/// for it on the GUI thread, so one long tool run there freezes the window.
namespace Tavrin {

/// Page tasks: every backend call a page runs in the background. Its threads
/// mostly wait on a tool, so there are more of them than processors.
QThreadPool &taskPool();

/// Tree listings ("ostree ls") fanned out by the size computations, which
/// themselves run on taskPool() and wait here: a pool of its own, so that
/// waiting callers never hold the threads their listings need.
QThreadPool &listingPool();

} // namespace Tavrin
