#pragma once

#include <QByteArray>
#include <QStringList>

namespace DiskPage {

// What the disk page remembers of its alerts ("alert-ui-state.json").
struct AlertUiState
{
    QStringList dismissed; // alert keys, oldest first
    int seen = 0;          // alerts the user has seen in the history
};

// The state from the file's bytes: the newest `maxDismissed` string keys, `seen` never negative;
// the empty state for anything that is not a JSON object.
AlertUiState alertUiStateFromBytes(const QByteArray &bytes, int maxDismissed);
QByteArray alertUiStateToBytes(const AlertUiState &state);

} // namespace DiskPage
