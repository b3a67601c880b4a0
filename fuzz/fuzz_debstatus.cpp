// Debian status files and Debian's version order.

#include "backend/packagechanges.h"
#include "fuzzsupport.h"

using namespace Tavrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    const PackageVersions packages = parseDebianStatus(input);
    for (auto it = packages.cbegin(); it != packages.cend(); ++it)
        FUZZ_CHECK(!it.key().isEmpty() && !it.value().isEmpty());

    // The order is an order: reflexive, antisymmetric, and a list compared with itself has no change.
    const QList<QString> versions = packages.values();
    for (int i = 0; i < versions.size() && i < 8; ++i) {
        FUZZ_CHECK(compareDebianVersions(versions.at(i), versions.at(i)) == 0);
        for (int j = 0; j < versions.size() && j < 8; ++j)
            FUZZ_CHECK(compareDebianVersions(versions.at(i), versions.at(j))
                       == -compareDebianVersions(versions.at(j), versions.at(i)));
    }
    const int nl = input.indexOf('\n');
    const QString a = QString::fromUtf8(input.left(nl < 0 ? input.size() / 2 : nl));
    const QString b = QString::fromUtf8(input.mid(nl < 0 ? input.size() / 2 : nl + 1));
    FUZZ_CHECK(compareDebianVersions(a, b) == -compareDebianVersions(b, a));
    FUZZ_CHECK(diffPackages(packages, packages).isEmpty());
    // Every change names a package of one side or the other, with the versions it had.
    PackageVersions half;
    int n = 0;
    for (auto it = packages.cbegin(); it != packages.cend(); ++it)
        if (n++ % 2 == 0)
            half.insert(it.key(), it.value());
    for (const PackageChange &c : diffPackages(packages, half)) {
        FUZZ_CHECK(c.kind == PackageChange::Removed);
        FUZZ_CHECK(packages.value(c.name) == c.oldVersion);
    }
    FUZZ_CHECK(parsePackageListPath(QString::fromUtf8(input)).isEmpty()
               || parsePackageListPath(QString::fromUtf8(input)).startsWith(QLatin1Char('/')));
    return 0;
}
