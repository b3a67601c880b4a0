#include "zconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>

namespace {

QString homePath()
{
    return QDir::homePath();
}

QString xdgDir(const char *var, const QString &fallbackBelowHome)
{
    const QString value = qEnvironmentVariable(var);
    // Relative values are invalid per XDG and must be ignored.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return homePath() + QLatin1Char('/') + fallbackBelowHome;
}

bool safeComponent(const QString &part)
{
    return !part.isEmpty() && part != QLatin1String(".") && part != QLatin1String("..") &&
           !part.contains(QLatin1Char('/')) && !part.contains(QChar(0));
}

bool safeSubpath(const QString &subpath)
{
    if (subpath.isEmpty())
        return true;
    const QStringList parts = subpath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::all_of(parts.begin(), parts.end(), safeComponent);
}

} // namespace

QStringList ZConfig::descriptionDirectories()
{
    QStringList dirs{xdgDir("XDG_DATA_HOME", QStringLiteral(".local/share"))};
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString &dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir) && !dirs.contains(dir))
            dirs << dir;
    }
    // Last, the data directory of the prefix the program runs from, so an
    // install below /opt/... finds its descriptions without XDG_DATA_DIRS.
    if (QCoreApplication::instance()) {
        const QString own =
            QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share"));
        if (!dirs.contains(own))
            dirs << own;
    }
    return dirs;
}

ZConfig *ZConfig::create(const QString &appId, const QString &name, const QString &subpath, QObject *parent)
{
    return new ZConfig(appId, name, subpath, parent);
}

ZConfig::ZConfig(const QString &appId, const QString &name, const QString &subpath, QObject *parent)
    : QObject(parent), m_appId(appId), m_name(name)
{
    if (!safeComponent(appId) || !safeComponent(name) || !safeSubpath(subpath)) {
        qWarning("[ZConfig] invalid configuration id \"%s/%s\"", qPrintable(appId), qPrintable(name));
        return;
    }
    const QString file = name + QStringLiteral(".json");
    const QString rel = QStringLiteral("zentk/configs/") + appId + QLatin1Char('/');
    QStringList candidates;
    for (const QString &dir : descriptionDirectories()) {
        if (!subpath.isEmpty())
            candidates << dir + QLatin1Char('/') + rel + subpath + QLatin1Char('/') + file;
        candidates << dir + QLatin1Char('/') + rel + file;
    }
    for (const QString &path : std::as_const(candidates)) {
        if (QFileInfo(path).isFile() && loadDescription(path))
            break;
    }
    if (!m_valid)
        return;

    QString storageDir =
        xdgDir("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/zentk/") + appId;
    if (!subpath.isEmpty())
        storageDir += QLatin1Char('/') + subpath;
    m_storagePath = storageDir + QLatin1Char('/') + file;
    reloadIfChanged();
}

bool ZConfig::loadDescription(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        qWarning("[ZConfig] cannot read %s", qPrintable(path));
        return false;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    const QJsonObject root = doc.object();
    if (err.error != QJsonParseError::NoError ||
        root.value(QLatin1String("magic")).toString() != QLatin1String("zentk.config") ||
        !root.value(QLatin1String("contents")).isObject()) {
        qWarning("[ZConfig] ignoring malformed description %s", qPrintable(path));
        return false;
    }
    const QJsonObject contents = root.value(QLatin1String("contents")).toObject();
    for (auto it = contents.begin(); it != contents.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        KeyInfo info;
        info.defaultValue = entry.value(QLatin1String("value")).toVariant();
        info.writable = entry.value(QLatin1String("permissions")).toString(QStringLiteral("readwrite")) !=
                        QLatin1String("readonly");
        m_keys.insert(it.key(), info);
    }
    m_descriptionPath = path;
    m_valid = true;
    return true;
}

void ZConfig::reloadIfChanged() const
{
    const QFileInfo fi(m_storagePath);
    if (!fi.exists()) {
        if (m_storageSize != -1 || !m_storageMtime.isNull())
            m_values.clear();
        m_storageSize = -1;
        m_storageMtime = QDateTime();
        return;
    }
    if (fi.size() == m_storageSize && fi.lastModified() == m_storageMtime)
        return;
    m_storageSize = fi.size();
    m_storageMtime = fi.lastModified();

    QFile f(m_storagePath);
    if (!f.open(QIODevice::ReadOnly)) {
        qWarning("[ZConfig] cannot read %s", qPrintable(m_storagePath));
        return;
    }
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        // A damaged file must not take the defaults down with it.
        qWarning("[ZConfig] ignoring damaged %s", qPrintable(m_storagePath));
        m_values.clear();
        return;
    }
    m_values.clear();
    const QJsonObject obj = doc.object();
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (m_keys.contains(it.key()))
            m_values.insert(it.key(), it.value().toVariant());
    }
}

bool ZConfig::isValid() const
{
    return m_valid;
}

QVariant ZConfig::value(const QString &key, const QVariant &fallback) const
{
    if (!m_valid)
        return fallback;
    const auto info = m_keys.constFind(key);
    if (info == m_keys.cend())
        return fallback;
    reloadIfChanged();
    const auto stored = m_values.constFind(key);
    if (stored != m_values.cend())
        return stored.value();
    if (info->defaultValue.isValid())
        return info->defaultValue;
    return fallback;
}

void ZConfig::setValue(const QString &key, const QVariant &value)
{
    if (!m_valid) {
        qWarning("[ZConfig] %s/%s is not installed; \"%s\" not saved", qPrintable(m_appId),
                 qPrintable(m_name), qPrintable(key));
        return;
    }
    const auto info = m_keys.constFind(key);
    if (info == m_keys.cend()) {
        qWarning("[ZConfig] unknown key \"%s\" in %s/%s ignored", qPrintable(key), qPrintable(m_appId),
                 qPrintable(m_name));
        return;
    }
    if (!info->writable) {
        qWarning("[ZConfig] key \"%s\" is read-only", qPrintable(key));
        return;
    }
    if (QJsonValue::fromVariant(value).isUndefined()) {
        qWarning("[ZConfig] value for \"%s\" cannot be stored", qPrintable(key));
        return;
    }
    reloadIfChanged();
    const QVariant old = this->value(key);
    const auto stored = m_values.constFind(key);
    const bool hadStored = stored != m_values.cend();
    const QVariant previous = hadStored ? stored.value() : QVariant();
    m_values.insert(key, QJsonValue::fromVariant(value).toVariant());
    m_lastSaveOk = save();
    if (!m_lastSaveOk) {
        // A value that did not reach the file is not the setting: readers here must see what
        // every other process sees.
        if (hadStored)
            m_values.insert(key, previous);
        else
            m_values.remove(key);
    }
    if (old != this->value(key))
        emit valueChanged(key);
}

bool ZConfig::save()
{
    QJsonObject obj;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        obj.insert(it.key(), QJsonValue::fromVariant(it.value()));
    const QByteArray data = QJsonDocument(obj).toJson(QJsonDocument::Indented);

    if (!QDir().mkpath(QFileInfo(m_storagePath).absolutePath())) {
        qWarning("[ZConfig] cannot create the directory of %s", qPrintable(m_storagePath));
        return false;
    }
    QSaveFile f(m_storagePath);
    // commit() alone can report success after a short write on a full disk.
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size() || !f.flush() || !f.commit()) {
        qWarning("[ZConfig] cannot save %s: %s", qPrintable(m_storagePath), qPrintable(f.errorString()));
        return false;
    }
    const QFileInfo fi(m_storagePath);
    m_storageSize = fi.size();
    m_storageMtime = fi.lastModified();
    return true;
}

QStringList ZConfig::keyList() const
{
    QStringList keys = m_keys.keys();
    keys.sort();
    return keys;
}

QString ZConfig::descriptionPath() const
{
    return m_descriptionPath;
}

QString ZConfig::storagePath() const
{
    return m_storagePath;
}

bool ZConfig::lastSaveOk() const
{
    return m_lastSaveOk;
}
