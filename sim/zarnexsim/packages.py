"""The package list each simulated tree carries, in Debian's status format.

The control tool reports where it lies ("package_list" in the "admin status" answer). Versions follow
the system version, so two deployments differ in known packages: some upgraded, one added, one removed,
and one downgraded (the vendor took a driver back a step in every release).
"""

PACKAGE_LIST = "usr/lib/zarnex/packages/status"


def _patch(version):
    try:
        return int(version.split(".")[-1].rstrip("r"))
    except ValueError:
        return 0


def package_versions(version):
    """{name: version} of a system version."""
    p = _patch(version)
    packages = {
        "zarnex-base": "%s-1" % version,
        "libc6": "2.36-9+deb12u%d" % (p + 1),
        "linux-image-zarnex": "6.6.%d-1" % (10 + p),
        "mesa-vulkan-drivers": "23.0.%d-1" % max(0, 6 - p),
        "coreutils": "9.1-1",
        "fonts-noto-cjk": "1:20220127+repack1-1",
    }
    if p <= 1:
        packages["legacy-helper"] = "0.9-3"
    if p >= 2:
        packages["tavrin-tools"] = "1.%d~beta1" % p
    return packages


def package_status(version):
    paragraphs = []
    for name, ver in sorted(package_versions(version).items()):
        paragraphs.append("Package: %s\nStatus: install ok installed\nPriority: optional\nArchitecture: amd64\n"
                          "Version: %s\nDescription: %s for Zarnex\n simulated package\n" % (name, ver, name))
    return "\n".join(paragraphs).encode()


def with_package_list(overlay, version):
    """`overlay` plus the package list of `version`."""
    files = dict(overlay)
    files[PACKAGE_LIST] = package_status(version)
    return files
