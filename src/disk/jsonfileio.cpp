#include "disk/jsonfileio.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Tavrin {

QByteArray readFileBytes(const QString &path)
{
    // Only regular files: opening a FIFO planted under a day's name would block for ever.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size <= 0 || size > kMaxJsonFileBytes)
        return {};
    // read(n) reserves n bytes up front: ask for the file's size, not the limit.
    return file.read(size);
}

QJsonDocument readJson(const QString &path)
{
    const QByteArray data = readFileBytes(path);
    if (data.isEmpty())
        return {};
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return {};
    return doc;
}

bool writeFileAtomic(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0) {
            file.cancelWriting();
            file.commit();
            return false;
        }
        written += n;
    }
    // QSaveFile buffers; a full disk may only show up when the buffer goes out.
    if (!file.flush() || file.error() != QFileDevice::NoError || file.size() != data.size()) {
        file.cancelWriting();
        file.commit();
        return false;
    }
    return file.commit();
}

bool writeJsonAtomic(const QString &path, const QJsonDocument &doc)
{
    return writeFileAtomic(path, doc.toJson(QJsonDocument::Compact));
}

} // namespace Tavrin
