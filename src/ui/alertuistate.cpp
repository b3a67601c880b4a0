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
    return state;
}

QByteArray alertUiStateToBytes(const AlertUiState &state)
{
    QJsonObject o;
    o.insert(QStringLiteral("dismissed"), QJsonArray::fromStringList(state.dismissed));
    o.insert(QStringLiteral("seen"), state.seen);
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

} // namespace DiskPage
