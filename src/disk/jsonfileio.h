#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

namespace Tavrin {

/// Files larger than this are not the program's own files; readers treat them as absent.
inline constexpr qint64 kMaxJsonFileBytes = 64LL * 1024 * 1024;

/// The whole content of a regular file of at most kMaxJsonFileBytes; empty otherwise.
QByteArray readFileBytes(const QString &path);

/// Reads and parses a JSON file; an empty document when it cannot be opened, is too large or does
/// not parse (callers test whether the document holds an object).
QJsonDocument readJson(const QString &path);

/// Writes bytes to `path` through a save-file, checking every write and the flush: on Qt 6.4
/// QSaveFile::commit() can succeed after a short write on a full disk. On any shortfall the save is
/// cancelled, the old file stays as it was and the result is false.
bool writeFileAtomic(const QString &path, const QByteArray &data);
/// As above; on failure `error` (when given) receives the reason.
bool writeFileAtomic(const QString &path, const QByteArray &data, QString *error);

/// `writeFileAtomic` of the compact form of `doc`.
bool writeJsonAtomic(const QString &path, const QJsonDocument &doc);

} // namespace Tavrin
