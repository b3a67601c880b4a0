// The disk page's alert display state ("alert-ui-state.json").

#include "fuzzsupport.h"
#include "ui/alertuistate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    for (int limit : {0, 3, 200}) {
        const DiskPage::AlertUiState state = DiskPage::alertUiStateFromBytes(input, limit);
        FUZZ_CHECK(state.dismissed.size() <= limit);
        FUZZ_CHECK(state.seen >= 0);
        // Saved and read back, the state is the same.
        const DiskPage::AlertUiState back =
            DiskPage::alertUiStateFromBytes(DiskPage::alertUiStateToBytes(state), limit);
        FUZZ_CHECK(back.dismissed == state.dismissed);
        FUZZ_CHECK(back.seen == state.seen);
    }
    // A smaller limit keeps the newest keys of the larger one.
    const QStringList all = DiskPage::alertUiStateFromBytes(input, 200).dismissed;
    const QStringList newest = DiskPage::alertUiStateFromBytes(input, 3).dismissed;
    FUZZ_CHECK(newest == all.mid(qMax<qsizetype>(0, all.size() - 3)));
    return 0;
}
