#include "ui/settingindex.h"

#include <algorithm>

namespace TavrinUi {

void SettingIndex::add(const SettingEntry &entry)
{
    if (entry.title.isEmpty() || entry.key.isEmpty())
        return;
    for (const SettingEntry &existing : std::as_const(m_entries)) {
        if (existing.key == entry.key && existing.page == entry.page)
            return;
    }
    m_entries.append(entry);
}

QList<SettingEntry> SettingIndex::query(const QString &text) const
{
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return {};

    QList<QPair<int, SettingEntry>> scored;
    for (const SettingEntry &entry : m_entries) {
        int score = 0;
        if (entry.title.startsWith(needle, Qt::CaseInsensitive))
            score = 3;
        else if (entry.title.contains(needle, Qt::CaseInsensitive))
            score = 2;
        else if (entry.description.contains(needle, Qt::CaseInsensitive))
            score = 1;
        if (score > 0)
            scored.append({score, entry});
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });

    QList<SettingEntry> result;
    result.reserve(scored.size());
    for (const auto &item : std::as_const(scored))
        result.append(item.second);
    return result;
}

} // namespace TavrinUi
