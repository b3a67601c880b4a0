#include "backend/syspaths.h"

#include <QDir>

#include <unistd.h>

namespace Tavrin {

QString systemRoot()
{
    QString root = qEnvironmentVariable(kSysRootEnv).trimmed();
    if (root.isEmpty())
        return QString();
    root = QDir::cleanPath(root);
    return root == QLatin1String("/") ? QString() : root;
}

QString systemPath(const QString &absolutePath)
{
    const QString root = systemRoot();
    if (root.isEmpty() || !absolutePath.startsWith(QLatin1Char('/')))
        return absolutePath;
    return root + absolutePath;
}

unsigned effectiveUserId()
{
    if (!systemRoot().isEmpty()) {
        bool ok = false;
        const uint simulated = qEnvironmentVariable(kSimEuidEnv).toUInt(&ok);
        if (ok)
            return simulated;
    }
    return ::geteuid();
}

} // namespace Tavrin
