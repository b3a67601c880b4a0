"""Builds a populated simulated root (make-root.sh)."""

import os
import shlex
import random
import shutil
import time

from .common import MARKER, SIM_BIN, SIM_DIR, TOP_MARKER, Refusal, atomic_write, out
from .ctl import write_snapshot_dir
from .packages import with_package_list
from .state import (CACHE_DIR, CONF, CTL_NAME, NEXT_UPGRADE, OSTREE, SNAPSHOT_DIR, WRITABLE_NAME, commit_layered,
                    fill_bytes, ostree, repo, save_state, save_units, sim_tmpdir, unique_files, write_overlay,
                    write_version_files)


TREE_DIRS = ["usr/bin", "usr/sbin", "usr/lib/x86_64-linux-gnu", "usr/lib/python3/dist-packages",
             "usr/share/doc", "usr/share/locale/zh_CN/LC_MESSAGES", "usr/share/icons/hicolor/48x48/apps",
             "usr/share/fonts/truetype", "usr/lib/firmware", "etc/default", "etc/xdg/autostart", "opt/apps"]

CONF_TEXT = """# Configuration of zarnex-immutable-ctl, the Zarnex immutable system control tool.
# Lines beginning with '#' are comments. Changes take effect at the next operation.

[global]
# Roll back to the previous deployment automatically when an upgrade fails
auto-rollback-on-failure = true
# Number of old deployments kept besides the booted and the rollback backup
max-backup-deploys=2
# Merge the modification layer into the system layer above this size (MiB)
auto-refresh-size-threshold=200
log-level=info

[snapshot]
# Where per-snapshot data is kept
snapshot-dir=/persistent/ostree/snapshot
max-snapshots=20
compress=zstd
"""

TOOL_TEMPLATE = """#!/usr/bin/python3
# Simulated %(tool)s: serves the system root this file is installed in.
import sys
sys.path.insert(0, %(simdir)r)
import zarnexsim
sys.exit(zarnexsim.run_tool(%(tool)r, __file__, sys.argv))
"""

# sudo and pkexec too: the program starts what grants root by absolute path.
ROOTED_TOOLS = ("sudo", "pkexec", "install", "rm", "mv", "systemctl", "du", "df")

ROOTED_TEMPLATE = """#!/usr/bin/python3
# Simulated %(tool)s: serves the system root this file is installed in.
import sys
sys.path.insert(0, %(simdir)r)
import zarnexsim
sys.exit(zarnexsim.run_rooted(%(tool)r, __file__, sys.argv))
"""

# The real ostree, slowed by SIM_OSTREE_DELAY seconds when set (a cold, big
# tree); each start is logged, so a test knows a slow listing is under way.
OSTREE_WRAPPER = """#!/bin/sh
# "ostree admin" acts on the simulated deployments, not on a real sysroot.
if [ "$1" = admin ]; then
  exec /usr/bin/python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import zarnexsim; sys.exit(zarnexsim.run_rooted("ostree-admin", sys.argv[2], sys.argv[2:]))' %(simdir)s "$0" "$@"
fi
log="$(dirname "$(dirname "$(dirname "$(readlink -f "$0")")")")/var/log/zarnex-sim/calls.jsonl"
printf '{"tool": "ostree", "argv": ["ostree", "%%s"]}\\n' "${1%%%%[\\"\\\\]*}" >>"$log" 2>/dev/null
[ -n "$SIM_OSTREE_DELAY" ] && sleep "$SIM_OSTREE_DELAY"
exec %(ostree)s "$@"
"""

USER_TIMER = """[Unit]
Description=Tavrin disk usage monitor

[Timer]
OnBootSec=5min
OnUnitActiveSec=1h
Persistent=true

[Install]
WantedBy=timers.target
"""

USER_SERVICE = """[Unit]
Description=Tavrin disk usage monitor (one sample)

[Service]
Type=oneshot
ExecStart=/usr/bin/tavrin-manager --monitor
Nice=19
IOSchedulingClass=idle
"""

SNAPSHOT_STORIES = [
    ("First", "System initialization"),
    ("升级前备份 25.1.1", "升级到 25.1.1 之前自动创建"),
    ("Before graphics driver update", "Working state before installing the new driver"),
    ("工作环境 2026-11", ""),
    ("开发工具安装后", "安装编译工具链与 IDE 之后的系统状态"),
    ("weekly-backup", "Weekly snapshot"),
]


def generate_tree(directory, files, rng):
    """N files with a realistic spread of sizes, most small, a few large."""
    written = 0
    for i in range(files):
        sub = TREE_DIRS[i % len(TREE_DIRS)]
        if sub == "usr/share/doc":
            sub = "usr/share/doc/pkg%03d" % (i % 97)
        roll = rng.random()
        if roll < 0.55:
            size = rng.randint(64, 4096)
        elif roll < 0.9:
            size = rng.randint(4096, 32768)
        elif roll < 0.995:
            size = rng.randint(32768, 262144)
        else:
            size = rng.randint(262144, 1048576)
        path = os.path.join(directory, sub, "file%05d.dat" % i)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("%s\n" % path[len(directory):]).encode() + fill_bytes(rng, size))
        written += size
    return written


def make_root(argv):
    import argparse
    parser = argparse.ArgumentParser(prog="make-root.sh", description="Build a populated simulated Zarnex root.")
    parser.add_argument("root")
    parser.add_argument("--files", type=int, default=300, help="files in the system tree (default 300)")
    parser.add_argument("--snapshots", type=int, default=4, help="snapshots including the initial one (default 4)")
    parser.add_argument("--seed", type=int, default=25)
    parser.add_argument("--helper", help="the program's privileged helper to copy into the root")
    parser.add_argument("--read-only-usr", action="store_true", help="the root's /usr counts as read-only")
    opts = parser.parse_args(argv[1:])
    if opts.files < 1 or opts.snapshots < 1:
        raise Refusal("make-root: --files and --snapshots must be at least 1")
    root = os.path.abspath(opts.root)
    if os.path.realpath(root) == "/":
        raise Refusal("make-root: refusing to use / as a simulated root")
    if os.path.lexists(root):
        if not os.path.isdir(root):
            raise Refusal("make-root: %s exists and is not a directory" % root)
        if os.path.isfile(os.path.join(root, MARKER)) or os.path.isfile(os.path.join(root, TOP_MARKER)):
            # Ours: rebuild from scratch, keeping the directory itself.
            for entry in os.listdir(root):
                p = os.path.join(root, entry)
                if os.path.isdir(p) and not os.path.islink(p):
                    shutil.rmtree(p)
                else:
                    os.unlink(p)
        elif os.listdir(root):
            raise Refusal("make-root: %s exists, is not empty and is not a simulated root; refusing to touch it" % root)
    os.makedirs(root, exist_ok=True)
    root = os.path.realpath(root)
    build_root(root, opts.files, opts.snapshots, random.Random(opts.seed))
    if opts.helper:
        shutil.copyfile(opts.helper, os.path.join(root, "usr/libexec/tavrin-manager/tavrin-manager-helper"))
        os.chmod(os.path.join(root, "usr/libexec/tavrin-manager/tavrin-manager-helper"), 0o755)
    if opts.read_only_usr:
        atomic_write(os.path.join(root, "var/lib/zarnex-sim/usr-readonly"), "")
    out("Simulated root ready: %s" % root)
    out("  export TAVRIN_SYSROOT=%s" % root)
    out("  export PATH=%s:$PATH" % SIM_BIN)


def build_root(root, files, snapshot_count, rng):
    for d in ("usr/sbin", "usr/bin", "usr/libexec/tavrin-manager", "usr/lib/systemd/system",
              "usr/lib/systemd/user", "etc/systemd/system", "etc/zarnex-immutable-ctl", "var/lib/tavrin-manager",
              "var/lib/zarnex-sim/tmp", "var/log/zarnex-sim", CACHE_DIR + "/downloads", CACHE_DIR + "/metadata",
              "run", "tmp", "ostree", SNAPSHOT_DIR, "persistent/ostree"):
        os.makedirs(os.path.join(root, d), exist_ok=True)
    for marker in (MARKER, TOP_MARKER):
        with open(os.path.join(root, marker), "w") as f:
            f.write("zarnex simulated system root\n")
    for tool, rel in ((CTL_NAME, "usr/sbin/" + CTL_NAME), (WRITABLE_NAME, "usr/bin/" + WRITABLE_NAME)):
        atomic_write(os.path.join(root, rel), TOOL_TEMPLATE % {"tool": tool, "simdir": SIM_DIR}, 0o755)
    # The general tools the program runs as root, by absolute path.
    for tool in ROOTED_TOOLS:
        atomic_write(os.path.join(root, "usr/bin", tool), ROOTED_TEMPLATE % {"tool": tool, "simdir": SIM_DIR},
                     0o755)
    # Real tools the program (and the boot-counter script) call by absolute path.
    atomic_write(os.path.join(root, "usr/bin/ostree"), OSTREE_WRAPPER % {"ostree": OSTREE, "simdir": shlex.quote(SIM_DIR)}, 0o755)
    os.symlink("/usr/bin/python3", os.path.join(root, "usr/bin/python3"))
    # The disk scanner's priority wrappers: the host's own, they only lower priorities.
    for tool in ("nice", "ionice"):
        os.symlink("/usr/bin/" + tool, os.path.join(root, "usr/bin", tool))
    atomic_write(os.path.join(root, "usr/lib/systemd/user/tavrin-monitor.timer"), USER_TIMER)
    atomic_write(os.path.join(root, "usr/lib/systemd/user/tavrin-monitor.service"), USER_SERVICE)
    atomic_write(os.path.join(root, CONF), CONF_TEXT)
    for name, size in (("metadata/repomd.json", 40000), ("downloads/pkg-cache-1.delta", 900000),
                       ("downloads/pkg-cache-2.delta", 350000)):
        with open(os.path.join(root, CACHE_DIR, name), "wb") as f:
            f.write(fill_bytes(rng, size))

    for r in (repo(root), os.path.join(root, "persistent/ostree/repo")):
        ostree(root, "init", "--mode=archive", repo_path=r)
        # A throw-away repository: fsync only slows the builder down.
        ostree(root, "config", "set", "core.fsync", "false", repo_path=r)
    now = int(time.time())
    day = 86400
    tree = sim_tmpdir(root)
    try:
        generate_tree(tree, files, rng)
        base = ostree(root, "commit", "--branch=base/25.1.0", "--subject=Zarnex 25.1.0", "--tree=dir=" + tree,
                      "--no-bindings", "--timestamp=" + time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(now - 45 * day)))
    finally:
        shutil.rmtree(tree, ignore_errors=True)

    deployments = []
    state = {"version": 1, "snapshots": [], "deployments": deployments, "next_serial": 1,
             "writable": {"enable": False, "clearAfterReboot": False, "all": False},
             "upgrade": {"total": NEXT_UPGRADE["total"], "need_download": NEXT_UPGRADE["need_download"],
                         "next_version": "25.1.3"},
             "boots": 1}

    def deploy(version, parent, age_days, tag, **flags):
        serial = state["next_serial"]
        state["next_serial"] = serial + 1
        when = now - age_days * day
        commit = commit_layered(root, "deployment/%d" % serial, "Zarnex " + version, parent,
                                with_package_list(unique_files(tag, rng, count=4), version), when)
        d = {"serial": serial, "commit": commit, "version": version, "time": when, "booted": False,
             "rollback_backup": False, "pending": False, "origin": "upgrade"}
        d.update(flags)
        return d

    history = deploy("25.1.1", base, 21, "v2511")
    backup = deploy("25.1.2", history["commit"], 12, "v2512", rollback_backup=True)
    current = deploy("25.1.2", history["commit"], 5, "v2512r", booted=True, origin="rollback")
    deployments.extend([current, backup, history])

    stories = list(SNAPSHOT_STORIES)
    while len(stories) < snapshot_count:
        stories.append(("snapshot-%02d" % len(stories), "Generated snapshot %d" % len(stories)))
    sources = [(base, "25.1.0"), (history["commit"], "25.1.1"), (backup["commit"], "25.1.2"),
               (current["commit"], "25.1.2")]
    for i in range(snapshot_count):
        name, desc = stories[i]
        sid = "%032x" % rng.getrandbits(128)
        age = 40 * day - i * (35 * day // max(snapshot_count, 1))
        parent, version = sources[min(i, len(sources) - 1)] if i < len(sources) else sources[-1]
        commit = commit_layered(root, "snapshot/" + sid, name, parent,
                                unique_files(sid[:8], rng, count=2 + i % 3), now - age)
        write_snapshot_dir(root, sid, rng)
        state["snapshots"].append({"id": sid, "name": name, "desc": desc, "time": now - age, "commit": commit,
                                   "version": version, "protected": i == 0})

    persistent = {"etc/hostname": b"zarnex-desktop\n", "etc/locale.conf": b"LANG=zh_CN.UTF-8\n"}
    persistent.update(unique_files("persistent", rng, count=12, low=500, high=20000))
    d = write_overlay(root, persistent)
    try:
        ostree(root, "commit", "--branch=persistent/etc", "--subject=persistent state", "--tree=dir=" + d,
               "--no-bindings", repo_path=os.path.join(root, "persistent/ostree/repo"))
    finally:
        shutil.rmtree(d, ignore_errors=True)

    write_version_files(root, current["version"])
    save_state(root, state)
    save_units(root, {"system": {}, "user": {}})
