#pragma once

#include "backend/backend.h"

class SnapshotsPage;

// Asks before snapshot `snap` is deleted. The dialog's "可释放空间" line is
// that snapshot's own figure from `page`, and follows it while the dialog is
// open: computed, dropped for a new list, computed again. `shownName` is the
// name as the dialog shows it (one line, shortened).
bool confirmSnapshotDelete(SnapshotsPage *page, const Tavrin::SnapshotInfo &snap, const QString &shownName);
