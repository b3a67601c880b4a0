#pragma once

#include <QByteArray>
#include <QStringList>

namespace DiskPage {

// What the disk page remembers of its alerts ("alert-ui-state.json").
struct AlertUiState
{
    QStringList dismissed; // alert keys, oldest first
    int seen = 0;          // alerts the user has seen in the history
    // Key of the newest alert seen ("lastSeen"): the file keeps at most 200 alerts, so from then
    // on the count alone never changes and would mark nothing new again.
    QString lastSeen;
};

// How many of `keys` (oldest first) the user has not seen: those after `lastSeen`, all when it
// has rotated out of the list; without it (older files), those beyond the `seen` count.
int freshAlertCount(const QStringList &keys, const AlertUiState &state);

// The state from the file's bytes: the newest `maxDismissed` string keys, `seen` never negative;
// the empty state for anything that is not a JSON object.
AlertUiState alertUiStateFromBytes(const QByteArray &bytes, int maxDismissed);
QByteArray alertUiStateToBytes(const AlertUiState &state);

} // namespace DiskPage
