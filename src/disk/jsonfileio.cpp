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
    return writeFileAtomic(path, data, nullptr);
}

bool writeFileAtomic(const QString &path, const QByteArray &data, QString *error)
{
    QSaveFile file(path);
    auto fail = [&] {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        file.commit();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    qint64 written = 0;
    while (written < data.size()) {
        const qint64 n = file.write(data.constData() + written, data.size() - written);
        if (n <= 0)
            return fail();
        written += n;
    }
    // QSaveFile buffers; a full disk may only show up when the buffer goes out.
    if (!file.flush() || file.error() != QFileDevice::NoError || file.size() != data.size())
        return fail();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool writeJsonAtomic(const QString &path, const QJsonDocument &doc)
{
    return writeFileAtomic(path, doc.toJson(QJsonDocument::Compact));
}

} // namespace Tavrin
