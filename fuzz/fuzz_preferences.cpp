// The application's own preferences file ("config.json" of the policy page).

#include "fuzzsupport.h"
#include "policypage.h"

#include <QJsonDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const QJsonObject prefs = PolicyPage::preferencesFromBytes(input);
    // The three settings always have a value.
    for (const char *key : {"max_snapshots", "auto_prune", "rb_auto_clean"})
        FUZZ_CHECK(prefs.contains(QLatin1String(key)));
    // Every stored member is kept, so the next save loses nothing.
    const QJsonDocument doc = QJsonDocument::fromJson(input);
    const QJsonObject stored = doc.object();
    for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
        FUZZ_CHECK(prefs.value(it.key()) == it.value());
    if (!doc.isObject())
        FUZZ_CHECK(prefs == PolicyPage::preferencesFromBytes(QByteArray()));
    // What the page writes it reads back unchanged.
    const QByteArray saved = QJsonDocument(prefs).toJson(QJsonDocument::Indented);
    FUZZ_CHECK(PolicyPage::preferencesFromBytes(saved) == prefs);
    return 0;
}
