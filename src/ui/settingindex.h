#pragma once

#include <QList>
#include <QString>

namespace TavrinUi {

struct SettingEntry
{
    int page = 0;
    QString group;
    QString title;
    QString description;
    QString key;
};

class SettingIndex
{
public:
    void add(const SettingEntry &entry);
    QList<SettingEntry> query(const QString &text) const;
    QList<SettingEntry> entries() const { return m_entries; }

private:
    QList<SettingEntry> m_entries;
};

} // namespace TavrinUi
