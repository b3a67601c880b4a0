#include "backend/backend_p.h"

#include <QtNumeric>

#include <limits>

namespace Tavrin {

MeasuredSize MeasuredSize::exact(qint64 bytes)
{
    MeasuredSize size;
    size.bytes = qMax<qint64>(0, bytes);
    size.state = Complete;
    return size;
}

MeasuredSize MeasuredSize::atLeast(qint64 bytes, const QString &error)
{
    if (bytes <= 0)
        return unknown(error);
    MeasuredSize size;
    size.bytes = bytes;
    size.state = Partial;
    size.error = error;
    return size;
}

MeasuredSize MeasuredSize::unknown(const QString &error)
{
    MeasuredSize size;
    size.error = error;
    return size;
}

MeasuredSize MeasuredSize::plus(const MeasuredSize &other) const
{
    qint64 sum = 0;
    // Saturates: two garbage figures must not wrap round to a small one.
    if (qAddOverflow(known() ? bytes : 0, other.known() ? other.bytes : 0, &sum))
        sum = std::numeric_limits<qint64>::max();
    if (complete() && other.complete())
        return exact(sum);
    QStringList errors;
    for (const QString &e : {error, other.error}) {
        if (!e.isEmpty() && !errors.contains(e))
            errors.append(e);
    }
    return atLeast(sum, errors.join(QLatin1Char('\n')));
}

QString formatMeasuredSize(const MeasuredSize &size)
{
    switch (size.state) {
    case MeasuredSize::Complete:
        return formatSize(size.bytes);
    case MeasuredSize::Partial:
        return Backend::tr("至少 %1").arg(formatSize(size.bytes));
    case MeasuredSize::Unknown:
        break;
    }
    return Backend::tr("未知");
}

} // namespace Tavrin
