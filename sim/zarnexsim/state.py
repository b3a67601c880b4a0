"""The simulated system's shared state: snapshots, deployments, the writable
layer and the upgrade in state.json, systemd's unit state in units.json, the
real OSTree repositories and the files the tools read."""

import fcntl
import json
import os
import shutil
import subprocess
import tempfile
import time

from .common import Refusal, atomic_write


OSTREE = "/usr/bin/ostree"
CTL_NAME = "zarnex-immutable-ctl"
WRITABLE_NAME = "zarnex-immutable-writable"
STATE = "var/lib/zarnex-sim/state.json"
CONF = "etc/zarnex-immutable-ctl/zarnex-immutable-ctl.conf"
SNAPSHOT_DIR = "persistent/ostree/snapshot"
CACHE_DIR = "var/cache/zarnex-immutable-ctl"
NEXT_UPGRADE = {"total": 3, "need_download": 2}


class Locked:
    """Serialises read-modify-write of the state between concurrent calls."""

    def __init__(self, root):
        self.path = os.path.join(root, "var/lib/zarnex-sim/.lock")

    def __enter__(self):
        self.fd = os.open(self.path, os.O_RDWR | os.O_CREAT, 0o644)
        fcntl.flock(self.fd, fcntl.LOCK_EX)
        return self

    def __exit__(self, *exc):
        os.close(self.fd)


def load_state(root):
    try:
        with open(os.path.join(root, STATE), encoding="utf-8") as f:
            state = json.load(f)
        if (isinstance(state, dict) and isinstance(state.get("snapshots"), list)
                and isinstance(state.get("deployments"), list) and isinstance(state.get("writable"), dict)
                and isinstance(state.get("upgrade"), dict) and isinstance(state.get("next_serial"), int)):
            return state
    except (OSError, ValueError):
        pass
    raise Refusal("simulated system state %s is missing or corrupt" % os.path.join(root, STATE))


def save_state(root, state):
    atomic_write(os.path.join(root, STATE), json.dumps(state, ensure_ascii=False, indent=2) + "\n")


def repo(root):
    return os.path.join(root, "ostree/repo")


def ostree(root, *args, repo_path=None):
    cmd = [OSTREE, "--repo=" + (repo_path or repo(root))] + list(args)
    p = subprocess.run(cmd, capture_output=True, text=True)
    if p.returncode != 0:
        raise Refusal("ostree %s failed: %s" % (args[0], p.stderr.strip()))
    return p.stdout.strip()


def sim_tmpdir(root):
    d = os.path.join(root, "var/lib/zarnex-sim/tmp")
    os.makedirs(d, exist_ok=True)
    return tempfile.mkdtemp(dir=d)


def fill_bytes(rng, size):
    # Pseudo-random but cheap: a random seed block stretched with a counter, so
    # every file differs (distinct content checksums) without costing urandom.
    seed = rng.getrandbits(64).to_bytes(8, "little")
    block = (seed * 128)[:1024]
    chunks = []
    n = 0
    while n * 1024 < size:
        chunks.append(n.to_bytes(4, "little") + block[4:])
        n += 1
    return b"".join(chunks)[:size]


def write_overlay(root, files):
    """A temporary directory holding {relative path: bytes}."""
    d = sim_tmpdir(root)
    for rel, data in files.items():
        path = os.path.join(d, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    return d


def commit_layered(root, branch, subject, parent_ref, overlay_files, timestamp=None):
    """Commit parent's tree with overlay files on top; returns the checksum."""
    args = ["commit", "--branch=" + branch, "--subject=" + subject, "--no-bindings"]
    if timestamp:
        args.append("--timestamp=" + time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(timestamp)))
    if parent_ref:
        args.append("--tree=ref=" + parent_ref)
    d = None
    try:
        if overlay_files:
            d = write_overlay(root, overlay_files)
            args.append("--tree=dir=" + d)
        return ostree(root, *args)
    finally:
        if d:
            shutil.rmtree(d, ignore_errors=True)


def delete_ref(root, branch):
    try:
        ostree(root, "refs", "--delete", branch)
    except Refusal:
        pass


def unique_files(tag, rng, count=3, low=2000, high=60000):
    files = {}
    for i in range(count):
        size = rng.randint(low, high)
        files["var/lib/zarnex-state/%s/part-%d.bin" % (tag, i)] = tag.encode() + fill_bytes(rng, size)
    return files


def read_conf(root):
    values = {}
    try:
        with open(os.path.join(root, CONF), encoding="utf-8") as f:
            for line in f:
                t = line.strip()
                if not t or t.startswith("#") or t.startswith("[") or "=" not in t:
                    continue
                k, v = t.split("=", 1)
                values[k.strip()] = v.strip()
    except OSError:
        pass
    return values


def deploy_view(d, i):
    return {
        "SystemVersion": d["version"],
        "CommitIDIdx": d["commit"],
        "Time": d["time"],
        "IsBooted": d["booted"],
        "IsRollbackBackup": d["rollback_backup"],
        "Index": i,
        "Hidden": d["pending"],
    }


def snapshot_view(s):
    return {"id": s["id"], "name": s["name"], "desc": s["desc"], "time": s["time"]}


def booted(state):
    for d in state["deployments"]:
        if d["booted"]:
            return d
    raise Refusal("%s: no booted deployment in the simulated state" % CTL_NAME)


def drop_pending(root, state):
    for d in [d for d in state["deployments"] if d["pending"]]:
        delete_ref(root, "deployment/%d" % d["serial"])
        state["deployments"].remove(d)


def add_pending(root, state, version, parent_ref, overlay, origin, extra=None):
    # Commit first: if that fails the pending deployment already staged stays intact.
    serial = state["next_serial"]
    now = int(time.time())
    commit = commit_layered(root, "deployment/%d" % serial, "%s %s" % (origin, version), parent_ref, overlay)
    state["next_serial"] = serial + 1
    drop_pending(root, state)
    d = {"serial": serial, "commit": commit, "version": version, "time": now, "booted": False,
         "rollback_backup": False, "pending": True, "origin": origin}
    d.update(extra or {})
    state["deployments"].insert(0, d)
    return d


def write_version_files(root, version):
    major, minor = (version.split(".") + ["0"])[:2]
    os_version = (
        "[Version]\n"
        "SystemName=Zarnex\n"
        "SystemName[zh_CN]=泽纳斯\n"
        "ProductType=Desktop\n"
        "ProductType[zh_CN]=桌面\n"
        "EditionName=Professional\n"
        "EditionName[zh_CN]=专业版\n"
        "MajorVersion=%s\n"
        "MinorVersion=%s\n"
        "Version=%s\n" % (major, minor, version)
    )
    zarnex_version = (
        "# Zarnex release information\n"
        "SystemName=Zarnex 25\n"
        "EditionName[zh_CN]=专业版\n"
        "EditionName=Professional\n"
        "MajorVersion=%s\n"
        "Version=%s\n"
        "BuildDate=%s\n" % (major, version, time.strftime("%Y%m%d"))
    )
    atomic_write(os.path.join(root, "etc/os-version"), os_version)
    atomic_write(os.path.join(root, "etc/zarnex-version"), zarnex_version)


UNITS = "var/lib/zarnex-sim/units.json"


def unit_dirs(root, user):
    if not user:
        return [os.path.join(root, "etc/systemd/system"), os.path.join(root, "usr/lib/systemd/system")]
    home = os.environ.get("HOME", "")
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(home, ".config")
    return [os.path.join(config, "systemd/user"), os.path.join(root, "etc/systemd/user"),
            os.path.join(root, "usr/lib/systemd/user")]


def unit_exists(root, user, unit):
    return any(os.path.isfile(os.path.join(d, unit)) for d in unit_dirs(root, user))


def load_units(root):
    try:
        with open(os.path.join(root, UNITS), encoding="utf-8") as f:
            units = json.load(f)
        if isinstance(units, dict):
            units.setdefault("system", {})
            units.setdefault("user", {})
            return units
    except (OSError, ValueError):
        pass
    return {"system": {}, "user": {}}


def save_units(root, units):
    atomic_write(os.path.join(root, UNITS), json.dumps(units, indent=2) + "\n")
