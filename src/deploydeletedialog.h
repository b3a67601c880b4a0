#pragma once

#include "backend/backend.h"

class QWidget;

namespace Tavrin {
class FreedSpaceCache;
}

// Asks before deployment `d` is removed. The dialog's "可释放空间" line is the
// figure of that deployment alone, asked of `figures` and updated whenever it
// arrives or is dropped while the dialog is open.
bool confirmDeployDelete(QWidget *parent, const Tavrin::DeployInfo &d, Tavrin::FreedSpaceCache *figures);
