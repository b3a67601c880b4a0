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

QString sudoToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/sudo"));
}
QString pkexecToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/pkexec"));
}
QString duToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/du"));
}
QString dfToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/df"));
}
QString niceToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/nice"));
}
QString ioniceToolPath()
{
    return systemPath(QStringLiteral("/usr/bin/ionice"));
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
