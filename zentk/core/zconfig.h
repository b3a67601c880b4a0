#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QVariant>

/// A small key-value store for one application id and configuration name.
///
/// The keys, their defaults and permissions come from a description file
/// "zentk/configs/<appId>/<name>.json" found under the XDG data directories;
/// without that description the store is invalid and only returns fallbacks.
/// Changed values are kept per user in "$XDG_CONFIG_HOME/zentk/<appId>/<name>.json".
class ZConfig : public QObject
{
    Q_OBJECT
public:
    /// Never returns null; check isValid() before relying on stored values.
    static ZConfig *create(const QString &appId, const QString &name, const QString &subpath = QString(),
                           QObject *parent = nullptr);

    /// True when the configuration's description is installed and readable.
    bool isValid() const;
    /// The stored value, else the described default, else `fallback`;
    /// `fallback` for keys the description does not know.
    QVariant value(const QString &key, const QVariant &fallback = QVariant()) const;
    /// Stores and persists a described, writable key; other keys are ignored with a warning.
    void setValue(const QString &key, const QVariant &value);
    /// The described keys, sorted.
    QStringList keyList() const;

    /// The description file in use ("" when invalid) and the file holding the user's values.
    QString descriptionPath() const;
    QString storagePath() const;

    /// Outcome of the last write; false after a failed save (the value is kept in memory).
    bool lastSaveOk() const;

    /// Where description files are looked for, in order of preference.
    static QStringList descriptionDirectories();

signals:
    void valueChanged(const QString &key);

private:
    ZConfig(const QString &appId, const QString &name, const QString &subpath, QObject *parent);
    struct KeyInfo
    {
        QVariant defaultValue;
        bool writable = true;
    };
    bool loadDescription(const QString &path);
    void reloadIfChanged() const;
    bool save();

    QString m_appId;
    QString m_name;
    QString m_descriptionPath;
    QString m_storagePath;
    QHash<QString, KeyInfo> m_keys;
    bool m_valid = false;
    bool m_lastSaveOk = true;
    mutable QHash<QString, QVariant> m_values;
    mutable QDateTime m_storageMtime;
    mutable qint64 m_storageSize = -1;
};
