// The control tool's deployment list ("admin status -j").

#include "backend/backend_p.h"
#include "fuzzsupport.h"

#include <QJsonArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::bytes(data, size));
    const QList<Tavrin::DeployInfo> list = Tavrin::parseDeployList(text);

    const QJsonArray raw = Tavrin::parseJson(text)
                               .value(QLatin1String("data"))
                               .toObject()
                               .value(QLatin1String("deploy_list"))
                               .toArray();
    qsizetype objects = 0;
    for (const QJsonValue &v : raw)
        objects += v.isObject() ? 1 : 0;
    FUZZ_CHECK(list.size() == objects);

    // The booted commit, staged commit and version come from the list itself.
    const QString booted = Tavrin::bootedDeployFromList(list);
    bool anyBooted = false;
    for (const Tavrin::DeployInfo &d : list)
        anyBooted = anyBooted || d.isBooted;
    FUZZ_CHECK(anyBooted || booted.isEmpty());
    const QString version = Tavrin::deployVersionFromList(list);
    bool versionListed = version.isEmpty();
    for (const Tavrin::DeployInfo &d : list)
        versionListed = versionListed || d.version == version;
    FUZZ_CHECK(versionListed);
    const QString staged = Tavrin::stagedDeployFromList(list);
    bool stagedListed = staged.isEmpty();
    for (const Tavrin::DeployInfo &d : list)
        stagedListed = stagedListed || d.commit == staged;
    FUZZ_CHECK(stagedListed);
    for (const Tavrin::DeployInfo &d : list) {
        Q_UNUSED(Tavrin::isDeployDeletable(d));
        Q_UNUSED(Tavrin::formatTime(d.time));
    }
    return 0;
}
