#include "ui/alertuistate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace DiskPage {

AlertUiState alertUiStateFromBytes(const QByteArray &bytes, int maxDismissed)
{
    AlertUiState state;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isObject())
        return state;
    const QJsonObject o = doc.object();
    for (const QJsonValue &v : o.value(QLatin1String("dismissed")).toArray()) {
        if (v.isString())
            state.dismissed << v.toString();
    }
    // Keep the newest keys when the file holds more than we would ever write.
    state.dismissed = state.dismissed.mid(qMax<qsizetype>(0, state.dismissed.size() - qMax(0, maxDismissed)));
    state.seen = qMax(0, o.value(QLatin1String("seen")).toInt());
    state.lastSeen = o.value(QLatin1String("lastSeen")).toString();
    return state;
}

QByteArray alertUiStateToBytes(const AlertUiState &state)
{
    QJsonObject o;
    o.insert(QStringLiteral("dismissed"), QJsonArray::fromStringList(state.dismissed));
    o.insert(QStringLiteral("seen"), state.seen);
    if (!state.lastSeen.isEmpty())
        o.insert(QStringLiteral("lastSeen"), state.lastSeen);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

int freshAlertCount(const QStringList &keys, const AlertUiState &state)
{
    const int n = int(keys.size());
    if (state.lastSeen.isEmpty())
        return qMax(0, n - state.seen);
    const int at = int(keys.lastIndexOf(state.lastSeen));
    return at < 0 ? n : n - 1 - at;
}

} // namespace DiskPage
