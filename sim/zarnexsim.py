#!/usr/bin/python3
"""Simulated Zarnex 25 immutable system for the demo and the tests.

Stand-ins for the system's control tools and for the general tools the
program elevates (sudo, pkexec, install, rm, systemctl).  Everything acts
only inside the simulated root named by TAVRIN_SYSROOT (or, for the tools
installed inside a root, the root they live in); the host is never touched.
"""

import fcntl
import json
import random
import re
import shutil
import subprocess
import uuid
import os
import signal
import sys
import tempfile
import time

MARKER = "var/lib/zarnex-sim/marker"
# Also looked for by the demo script to decide whether a root must be built.
TOP_MARKER = ".zarnex-sim-root"
SIM_DIR = os.path.dirname(os.path.realpath(__file__))
SIM_BIN = os.path.join(SIM_DIR, "bin")

# Host programs that may be started through the sudo/pkexec stand-ins: they only
# read (the disk scanner runs "sudo -n nice -n 19 ionice -c3 du ...").
READ_ONLY_HOST_TOOLS = {"du", "df", "ostree", "cat", "ls", "stat", "true", "false"}
HOST_SYSTEM_DIRS = ("/usr/", "/bin/", "/sbin/", "/lib", "/etc/", "/opt/", "/boot/", "/var/", "/root/")


class Refusal(Exception):
    """A stand-in refuses: message for stderr and the exit code."""

    def __init__(self, message, code=1):
        super().__init__(message)
        self.message = message
        self.code = code


# ---------------------------------------------------------------- common


# Set for a stand-in installed inside a root (found from its own location);
# the PATH stand-ins of sim/bin take the root from TAVRIN_SYSROOT.
ROOT_OVERRIDE = None


def sim_root(tool):
    """The simulated root, checked to be one of ours."""
    if ROOT_OVERRIDE:
        return ROOT_OVERRIDE
    root = os.environ.get("TAVRIN_SYSROOT", "")
    if not root:
        raise Refusal("%s: TAVRIN_SYSROOT is not set; the simulated system refuses to act on the host" % tool)
    return checked_root(tool, root)


def checked_root(tool, root):
    real = os.path.realpath(root)
    if real == "/" or not (os.path.isfile(os.path.join(real, MARKER)) or os.path.isfile(os.path.join(real, TOP_MARKER))):
        raise Refusal("%s: '%s' is not a simulated system root (no %s)" % (tool, root, MARKER))
    return real


def privileged():
    if os.environ.get("SIM_PRIVILEGED") == "1":
        return True
    euid = os.environ.get("TAVRIN_SIM_EUID", "")
    if euid == "":
        return os.geteuid() == 0
    return euid.strip() == "0"


def under(path, directory):
    """True when path (not resolving its last component) lies in directory."""
    parent = os.path.realpath(os.path.dirname(os.path.abspath(path)))
    full = os.path.join(parent, os.path.basename(os.path.abspath(path)))
    directory = os.path.realpath(directory)
    return full == directory or full.startswith(directory.rstrip("/") + "/")


def log_call(root, tool, args):
    if not root:
        return
    try:
        logdir = os.path.join(root, "var/log/zarnex-sim")
        os.makedirs(logdir, exist_ok=True)
        entry = {"tool": tool, "argv": [tool] + list(args), "privileged": privileged(), "time": time.time()}
        line = (json.dumps(entry, ensure_ascii=False) + "\n").encode("utf-8")
        fd = os.open(os.path.join(logdir, "calls.jsonl"), os.O_WRONLY | os.O_APPEND | os.O_CREAT, 0o644)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
            os.write(fd, line)
        finally:
            os.close(fd)
    except OSError:
        pass


def atomic_write(path, data, mode=0o644):
    if isinstance(data, str):
        data = data.encode("utf-8")
    directory = os.path.dirname(path)
    fd, tmp = tempfile.mkstemp(prefix=".tmp-", dir=directory)
    try:
        # No fsync: a throw-away root needs atomic replacement, not durability.
        with os.fdopen(fd, "wb") as f:
            f.write(data)
        os.chmod(tmp, mode)
        os.replace(tmp, path)
    except BaseException:
        try:
            os.unlink(tmp)
        except OSError:
            pass
        raise


def hang():
    # Until killed; the caller's time-out is what is being exercised.
    while True:
        signal.pause()


def err(text):
    sys.stderr.write(text.rstrip("\n") + "\n")
    sys.stderr.flush()


def out(text):
    sys.stdout.write(text.rstrip("\n") + "\n")
    sys.stdout.flush()


# ---------------------------------------------------------------- elevation


def which(name):
    if "/" in name:
        return os.path.abspath(name)
    for d in os.environ.get("PATH", "").split(":"):
        if not d:
            continue
        cand = os.path.join(d, name)
        if os.path.isfile(cand) and os.access(cand, os.X_OK):
            return cand
    return None


def skip_priority_options(args):
    """Strip nice/ionice wrappers and return the program they finally run."""
    i = 0
    while i < len(args):
        base = os.path.basename(args[i])
        if base not in ("nice", "ionice"):
            return args[i]
        i += 1
        while i < len(args) and args[i].startswith("-"):
            opt = args[i]
            i += 1
            if opt in ("-n", "-c", "-p", "-P", "-u") and i < len(args):
                i += 1
    return None


def check_elevated_program(root, tool, args):
    path = which(args[0])
    if path is None:
        raise Refusal("%s: %s: command not found" % (tool, args[0]))
    if under(path, root) or under(path, SIM_BIN):
        return path
    if os.path.basename(path) in ("nice", "ionice"):
        final = skip_priority_options(args)
        if final is not None and final in READ_ONLY_HOST_TOOLS:
            return path
    elif os.path.basename(path) in READ_ONLY_HOST_TOOLS:
        return path
    if path.startswith(HOST_SYSTEM_DIRS):
        raise Refusal("%s: simulated system: refusing to run the host program '%s' with privileges" % (tool, path))
    return path


# What the real sudo (env_reset, secure_path) and pkexec hand to the command:
# a fixed PATH and a few locale and terminal variables. Nothing of the caller's
# own environment (TAVRIN_*, HOME, PATH, TMPDIR) crosses; the SIM_* failure
# knobs are test instrumentation and do.
ELEVATED_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
KEPT_ACROSS_ELEVATION = ("LANG", "LANGUAGE", "LC_ALL", "LC_CTYPE", "LC_MESSAGES", "TERM", "COLORTERM",
                         "DISPLAY", "XAUTHORITY")


def elevated_environment():
    env = {k: v for k, v in os.environ.items()
           if k in KEPT_ACROSS_ELEVATION or (k.startswith("SIM_") and k != "SIM_PRIVILEGED")}
    env.update({"PATH": ELEVATED_PATH, "HOME": "/root", "USER": "root", "LOGNAME": "root",
                "SHELL": "/bin/sh", "SIM_PRIVILEGED": "1"})
    return env


def exec_privileged(path, args):
    env = elevated_environment()
    try:
        os.execve(path, [path] + list(args[1:]), env)
    except OSError as e:
        raise Refusal("%s: %s" % (args[0], e.strerror), 127)


def main_sudo(argv):
    args = argv[1:]
    root = sim_root("sudo")
    log_call(root, "sudo", args)
    while args and args[0].startswith("-"):
        opt = args.pop(0)
        if opt == "--":
            break
        if opt in ("-u", "-g") and args:
            args.pop(0)
    if not args:
        raise Refusal("usage: sudo [-n] command [args...]")
    mode = os.environ.get("SIM_SUDO", "grant") or "grant"
    if mode == "password":
        raise Refusal("sudo: a password is required")
    if mode == "deny":
        raise Refusal("sudo: user is not allowed to execute this command")
    if mode == "hang":
        hang()
    path = check_elevated_program(root, "sudo", args)
    exec_privileged(path, args)


def main_pkexec(argv):
    args = argv[1:]
    root = sim_root("pkexec")
    log_call(root, "pkexec", args)
    while args and args[0].startswith("-"):
        opt = args.pop(0)
        if opt == "--":
            break
        if opt == "--user" and args:
            args.pop(0)
    if not args:
        raise Refusal("usage: pkexec PROGRAM [ARGUMENTS...]", 127)
    mode = os.environ.get("SIM_PKEXEC", "grant") or "grant"
    if mode == "dismiss":
        raise Refusal("Error executing command as another user: Request dismissed", 126)
    if mode == "deny":
        raise Refusal("Error executing command as another user: Not authorized", 127)
    if mode == "hang":
        hang()
    path = check_elevated_program(root, "pkexec", args)
    exec_privileged(path, args)


# ---------------------------------------------------------------- system state

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


# ---------------------------------------------------------------- tool frame


class ToolCall:
    """Command line of a control tool read as a real option parser reads it:
    every argument that begins with "-" (up to a "--") is an option, wherever it
    stands, so a name or description like "--help" or "-d" is one too."""

    def __init__(self, tool, args):
        self.tool = tool
        self.words, self.opts = [], []
        done = False
        for a in args:
            if not done and a == "--":
                done = True
            elif not done and a.startswith("-") and a != "-":
                self.opts.append(a)
            else:
                self.words.append(a)
        self.json = any(o in ("-j", "--json") for o in self.opts)
        self.help = any(o in ("-h", "--help") for o in self.opts)
        # What the failure knobs match against: the arguments without -j.
        self.raw = [a for a in args if a not in ("-j", "--json")]

    def command(self):
        return " ".join(self.raw)

    def options(self):
        return [o for o in self.opts if o not in ("-j", "--json")]

    def allow(self, allowed):
        for o in self.options():
            if o not in allowed:
                usage_error(self.tool, "unknown option: %s" % o)


def env_selects(var, command):
    """The entry of $var (a list of command prefixes, or "1"/"all") matching command, or ""."""
    value = os.environ.get(var, "").strip()
    if not value:
        return ""
    if value in ("1", "all", "*"):
        return command
    for entry in re.split(r"[;,]", value):
        entry = entry.strip()
        if entry and (command == entry or command.startswith(entry + " ")):
            return entry
    return ""


def inject(prefix, tool, command):
    """Failure injection selected by <prefix>_HANG/_FAIL/_GARBAGE (see README)."""
    delay = os.environ.get(prefix + "_DELAY", "")
    if delay:
        try:
            time.sleep(min(float(delay), 600.0))
        except ValueError:
            pass
    if env_selects(prefix + "_HANG", command):
        hang()
    failing = env_selects(prefix + "_FAIL", command)
    if failing:
        message = os.environ.get(prefix + "_FAIL_MESSAGE") or "%s: %s failed: simulated failure" % (tool, failing)
        raise Refusal(message, 1)
    if env_selects(prefix + "_GARBAGE", command):
        sys.stdout.write("\x1b[31m%s: internal error <<<\n{ \"data\": [truncated\n" % tool)
        sys.stdout.flush()
        return True
    return False


def require_root(tool):
    if not privileged():
        raise Refusal("%s: permission denied, root privileges required" % tool)


def usage_error(tool, text):
    raise Refusal("%s: %s\n%s" % (tool, text, USAGE[tool]), 2)


USAGE = {
    CTL_NAME: """usage: zarnex-immutable-ctl -s
       zarnex-immutable-ctl snapshot list [-j]
       zarnex-immutable-ctl snapshot show ID [-j]
       zarnex-immutable-ctl snapshot create [NAME] DESC
       zarnex-immutable-ctl snapshot modify ID [NAME] DESC
       zarnex-immutable-ctl snapshot delete ID
       zarnex-immutable-ctl snapshot rollback ID [--delete-others]
       zarnex-immutable-ctl admin status [-j]
       zarnex-immutable-ctl admin undeploy ID|INDEX
       zarnex-immutable-ctl upgrade check [-j]
       zarnex-immutable-ctl upgrade
       zarnex-immutable-ctl upgrade clean [-a]""",
    WRITABLE_NAME: """usage: zarnex-immutable-writable status [-j]
       zarnex-immutable-writable enable [-a] [-c] -y
       zarnex-immutable-writable disable -y""",
}


def emit_json(data):
    out(json.dumps({"code": 0, "msg": "success", "data": data}, ensure_ascii=False))


# ---------------------------------------------------------------- control tool


def find_snapshot(state, sid):
    for s in state["snapshots"]:
        if s["id"] == sid:
            return s
    raise Refusal("%s: no such snapshot: %s" % (CTL_NAME, sid))


def ctl_status(root, call):
    state = load_state(root)
    b = booted(state)
    enabled = state["writable"]["enable"]
    out("Immutable mode: %s" % ("false" if enabled else "true"))
    out("Writable layer: %s" % ("enabled" if enabled else "disabled"))
    out("Booted deployment: %s (%s)" % (b["version"], b["commit"][:12]))


def ctl_snapshot(root, call):
    w = call.words
    if len(w) < 2:
        usage_error(CTL_NAME, "missing snapshot command")
    sub, rest = w[1], w[2:]
    call.allow(("--delete-others",) if sub == "rollback" else ())
    if sub == "list":
        if rest:
            usage_error(CTL_NAME, "unexpected argument: %s" % rest[0])
        state = load_state(root)
        snaps = [snapshot_view(s) for s in state["snapshots"]]
        if call.json:
            emit_json({"snapshot_list": snaps})
        else:
            for s in snaps:
                out("%s  %s  %s  %s" % (s["id"], time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(s["time"])),
                                        s["name"], s["desc"]))
        return
    if sub == "show":
        if len(rest) != 1:
            usage_error(CTL_NAME, "snapshot show needs exactly one ID")
        s = find_snapshot(load_state(root), rest[0])
        if call.json:
            emit_json(snapshot_view(s))
        else:
            for k in ("id", "name", "desc", "time"):
                out("%s: %s" % (k, s[k]))
        return
    if sub not in ("create", "modify", "delete", "rollback"):
        usage_error(CTL_NAME, "unknown snapshot command: %s" % sub)
    if call.json:
        usage_error(CTL_NAME, "-j is not accepted by snapshot %s" % sub)
    if sub == "create" and len(rest) > 2:
        usage_error(CTL_NAME, "snapshot create takes [NAME] DESC")
    if sub == "modify" and not 2 <= len(rest) <= 3:
        usage_error(CTL_NAME, "snapshot modify takes ID [NAME] DESC")
    if sub == "delete" and len(rest) != 1:
        usage_error(CTL_NAME, "snapshot delete takes one ID")
    if sub == "rollback" and len(rest) != 1:
        usage_error(CTL_NAME, "snapshot rollback takes ID [--delete-others]")
    require_root(CTL_NAME)
    with Locked(root):
        state = load_state(root)
        if sub == "create":
            snapshot_create(root, state, rest)
        elif sub == "modify":
            s = find_snapshot(state, rest[0])
            if s.get("protected"):
                raise Refusal("%s: snapshot %s is the initial system snapshot and is protected: it cannot be modified"
                              % (CTL_NAME, s["id"]))
            if len(rest) == 3:
                if not rest[1].strip():
                    raise Refusal("%s: snapshot name must not be empty" % CTL_NAME)
                s["name"] = rest[1]
            s["desc"] = rest[-1]
            save_state(root, state)
            out("Snapshot %s modified" % s["id"])
        elif sub == "delete":
            s = find_snapshot(state, rest[0])
            if s.get("protected"):
                raise Refusal("%s: snapshot %s is the initial system snapshot and is protected: it cannot be deleted"
                              % (CTL_NAME, s["id"]))
            remove_snapshot(root, state, s)
            save_state(root, state)
            out("Snapshot %s deleted" % s["id"])
        else:
            snapshot_rollback(root, state, rest[0], "--delete-others" in call.options())


def snapshot_create(root, state, rest):
    now = int(time.time())
    desc = rest[-1] if rest else ""
    name = rest[0] if len(rest) == 2 else "snapshot-" + time.strftime("%Y%m%d-%H%M%S", time.localtime(now))
    if not name.strip():
        raise Refusal("%s: snapshot name must not be empty" % CTL_NAME)
    sid = uuid.uuid4().hex
    b = booted(state)
    rng = random.Random(sid)
    out("Creating snapshot %s of deployment %s ..." % (sid, b["commit"][:12]))
    commit = commit_layered(root, "snapshot/" + sid, name, b["commit"], unique_files(sid[:8], rng))
    write_snapshot_dir(root, sid, rng)
    state["snapshots"].append({"id": sid, "name": name, "desc": desc, "time": now, "commit": commit,
                               "version": b["version"], "protected": False})
    save_state(root, state)
    out("Snapshot created: %s" % sid)


def write_snapshot_dir(root, sid, rng):
    d = os.path.join(root, SNAPSHOT_DIR, sid)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "etc-overlay.img"), "wb") as f:
        f.write(fill_bytes(rng, rng.randint(16 * 1024, 512 * 1024)))
    with open(os.path.join(d, "info.json"), "w", encoding="utf-8") as f:
        json.dump({"id": sid}, f)
    # Snapshot data is root's alone, as on the real system.
    os.chmod(d, 0o700)


def remove_snapshot(root, state, s):
    delete_ref(root, "snapshot/" + s["id"])
    d = os.path.join(root, SNAPSHOT_DIR, s["id"])
    if under(d, os.path.join(root, SNAPSHOT_DIR)) and os.path.isdir(d):
        shutil.rmtree(d, ignore_errors=True)
    state["snapshots"].remove(s)


def snapshot_rollback(root, state, sid, delete_others):
    s = find_snapshot(state, sid)
    if state["writable"]["enable"]:
        raise Refusal("%s: the writable layer is enabled; disable it before rolling back" % CTL_NAME)
    out("Preparing rollback to snapshot %s (%s) ..." % (s["id"], s["name"]))
    d = add_pending(root, state, s.get("version") or booted(state)["version"], "snapshot/" + s["id"],
                    None, "rollback", {"rollback_target": s["id"]})
    if delete_others:
        for other in [o for o in state["snapshots"] if o is not s and not o.get("protected")]:
            remove_snapshot(root, state, other)
    save_state(root, state)
    out("Rollback deployment %s staged; it takes effect after a reboot." % d["commit"][:12])


def ctl_admin(root, call):
    w = call.words
    if len(w) < 2:
        usage_error(CTL_NAME, "missing admin command")
    call.allow(())
    if w[1] == "status":
        if len(w) != 2:
            usage_error(CTL_NAME, "unexpected argument: %s" % w[2])
        state = load_state(root)
        deploys = [deploy_view(d, i) for i, d in enumerate(state["deployments"])]
        if call.json:
            emit_json({"deploy_list": deploys})
        else:
            for d in deploys:
                flags = [f for f, on in (("booted", d["IsBooted"]), ("pending", d["Hidden"]),
                                         ("rollback-backup", d["IsRollbackBackup"])) if on]
                out("%d  %s  %s  %s" % (d["Index"], d["SystemVersion"], d["CommitIDIdx"], ",".join(flags)))
        return
    if w[1] == "undeploy":
        if len(w) != 3 or call.json:
            usage_error(CTL_NAME, "admin undeploy takes one ID or INDEX")
        require_root(CTL_NAME)
        with Locked(root):
            state = load_state(root)
            target = None
            for d in state["deployments"]:
                if d["commit"] == w[2]:
                    target = d
            if target is None and re.fullmatch(r"\d{1,6}", w[2]):
                i = int(w[2])
                if i < len(state["deployments"]):
                    target = state["deployments"][i]
                else:
                    raise Refusal("%s: error: no such deployment: index %d out of range" % (CTL_NAME, i))
            if target is None:
                raise Refusal("%s: error: no such deployment: %s" % (CTL_NAME, w[2]))
            if target["booted"]:
                raise Refusal("%s: error: cannot undeploy the current deployment (booted)" % CTL_NAME)
            if target["pending"]:
                raise Refusal("%s: error: cannot undeploy the replacement mainline deployment pending for the next boot"
                              % CTL_NAME)
            delete_ref(root, "deployment/%d" % target["serial"])
            state["deployments"].remove(target)
            save_state(root, state)
            out("Deployment %s removed" % target["commit"][:12])
        return
    usage_error(CTL_NAME, "unknown admin command: %s" % w[1])


def ctl_upgrade(root, call):
    w = call.words
    sub = w[1] if len(w) > 1 else ""
    call.allow(("-a",) if sub == "clean" else ())
    if sub == "check":
        if len(w) != 2:
            usage_error(CTL_NAME, "unexpected argument: %s" % w[2])
        require_root(CTL_NAME)
        u = load_state(root)["upgrade"]
        if call.json:
            emit_json({"total": u["total"], "need_download": u["need_download"]})
        else:
            out("Checking for system updates ...")
            out("Total count: %d, Need download count: %d" % (u["total"], u["need_download"]))
        return
    if sub == "clean":
        if len(w) > 2 or call.json:
            usage_error(CTL_NAME, "upgrade clean takes [-a]")
        clean_all = "-a" in call.options()
        require_root(CTL_NAME)
        with Locked(root):
            cache = os.path.join(root, CACHE_DIR)
            freed = 0
            for base, _dirs, files in os.walk(cache):
                for f in files:
                    if clean_all or base.endswith("downloads"):
                        p = os.path.join(base, f)
                        freed += os.path.getsize(p)
                        os.unlink(p)
            out("Cleaned upgrade cache: %d bytes freed" % freed)
        return
    if sub:
        usage_error(CTL_NAME, "unknown upgrade command: %s" % sub)
    if call.json:
        usage_error(CTL_NAME, "-j is not accepted by upgrade")
    require_root(CTL_NAME)
    with Locked(root):
        state = load_state(root)
        u = state["upgrade"]
        if u["total"] <= 0:
            out("System is already up to date.")
            return
        b = booted(state)
        version = u.get("next_version") or bump_version(b["version"])
        for i in range(u["total"]):
            out("[%d/%d] Downloading and applying update %d ..." % (i + 1, u["total"], i + 1))
        rng = random.Random(version)
        overlay = unique_files("upgrade-" + version, rng, count=5)
        overlay["usr/share/zarnex/release"] = ("Version=%s\n" % version).encode()
        d = add_pending(root, state, version, b["commit"], overlay, "upgrade")
        os.makedirs(os.path.join(root, CACHE_DIR, "downloads"), exist_ok=True)
        with open(os.path.join(root, CACHE_DIR, "downloads", "update-%s.delta" % version), "wb") as f:
            f.write(fill_bytes(rng, 256 * 1024))
        state["upgrade"] = {"total": 0, "need_download": 0, "next_version": bump_version(version)}
        save_state(root, state)
        out("Upgrade to %s staged as deployment %s; reboot to apply." % (version, d["commit"][:12]))


def bump_version(version):
    parts = version.split(".")
    try:
        parts[-1] = str(int(parts[-1]) + 1)
    except ValueError:
        parts.append("1")
    return ".".join(parts)


def main_ctl(root, argv):
    args = argv[1:]
    log_call(root, CTL_NAME, args)
    call = ToolCall(CTL_NAME, args)
    if call.help:
        # As a real parser does: usage on standard output, nothing else, success.
        out(USAGE[CTL_NAME])
        return
    if not call.words and not call.opts:
        usage_error(CTL_NAME, "missing command")
    if inject("SIM_CTL", CTL_NAME, call.command()):
        return
    head = call.words[0] if call.words else ""
    if not call.words and call.options() == ["-s"] and not call.json:
        ctl_status(root, call)
    elif head == "snapshot":
        ctl_snapshot(root, call)
    elif head == "admin":
        ctl_admin(root, call)
    elif head == "upgrade":
        ctl_upgrade(root, call)
    else:
        usage_error(CTL_NAME, "unknown command: %s" % " ".join(call.words))


# ---------------------------------------------------------------- writable layer


def main_writable(root, argv):
    args = argv[1:]
    log_call(root, WRITABLE_NAME, args)
    call = ToolCall(WRITABLE_NAME, args)
    if call.help:
        out(USAGE[WRITABLE_NAME])
        return
    if not call.words:
        usage_error(WRITABLE_NAME, "missing command")
    if inject("SIM_WRITABLE", WRITABLE_NAME, call.command()):
        return
    sub, opts = call.words[0], call.options()
    if len(call.words) > 1:
        usage_error(WRITABLE_NAME, "unexpected argument: %s" % call.words[1])
    if sub == "status":
        if opts:
            usage_error(WRITABLE_NAME, "unexpected argument: %s" % opts[0])
        conf = load_state(root)["writable"]
        if call.json:
            emit_json({"conf": conf})
        else:
            out("Writable layer: %s" % ("enabled" if conf["enable"] else "disabled"))
            out("Clear after reboot: %s" % ("yes" if conf["clearAfterReboot"] else "no"))
        return
    if sub not in ("enable", "disable") or call.json:
        usage_error(WRITABLE_NAME, "unknown command: %s" % " ".join(call.words))
    allowed = {"-a", "-c", "-y"} if sub == "enable" else {"-y"}
    for o in opts:
        if o not in allowed:
            usage_error(WRITABLE_NAME, "unknown option for %s: %s" % (sub, o))
    if "-y" not in opts:
        raise Refusal("%s: %s needs confirmation; pass -y" % (WRITABLE_NAME, sub))
    require_root(WRITABLE_NAME)
    with Locked(root):
        state = load_state(root)
        if sub == "enable":
            state["writable"] = {"enable": True, "clearAfterReboot": "-c" in opts, "all": "-a" in opts}
            msg = "Writable layer enabled%s" % (" until the next reboot" if "-c" in opts else "")
        else:
            state["writable"] = {"enable": False, "clearAfterReboot": False, "all": False}
            msg = "Writable layer disabled; read-only protection restored"
        save_state(root, state)
        out(msg)


def run_rooted(tool, script_path, argv):
    """A general stand-in installed in ROOT/usr/bin serves the root it lives in."""
    try:
        root = tool_root(script_path)
    except Refusal as r:
        err(r.message)
        return r.code
    return run(tool, argv, root)


def tool_root(script_path):
    """A tool installed in ROOT/usr/{s,}bin serves the root it lives in."""
    return checked_root(os.path.basename(script_path),
                        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(script_path)))))


def run_tool(tool, script_path, argv):
    try:
        root = tool_root(script_path)
        (main_ctl if tool == CTL_NAME else main_writable)(root, argv)
        return 0
    except Refusal as r:
        err(r.message if r.message.startswith(tool) else "%s: %s" % (tool, r.message))
        return r.code
    except BrokenPipeError:
        return 1
    except (OSError, KeyError, TypeError, ValueError) as e:
        err("%s: simulated system error: %s" % (tool, e))
        return 1


# ---------------------------------------------------------------- install / rm / gio


def env_selects_path(var, path):
    """$var is "1"/"all" or substrings separated by "," or ";" of the paths to fail."""
    value = os.environ.get(var, "").strip()
    if value in ("1", "all", "*"):
        return True
    return any(part.strip() and part.strip() in path for part in re.split(r"[;,]", value))


def parse_mode(text):
    if not re.fullmatch(r"[0-7]{1,4}", text):
        raise Refusal("install: invalid mode '%s'" % text)
    return int(text, 8)


def main_install(argv):
    args = argv[1:]
    root = sim_root("install")
    log_call(root, "install", args)
    mode, owner, group, make_dirs, make_parents = 0o755, None, None, False, False
    paths = []
    i = 0
    while i < len(args):
        a = args[i]
        i += 1
        if a in ("-o", "-g", "-m"):
            if i >= len(args):
                raise Refusal("install: option requires an argument -- '%s'" % a[1])
            value = args[i]
            i += 1
            if a == "-m":
                mode = parse_mode(value)
            elif a == "-o":
                owner = value
            else:
                group = value
        elif a.startswith("-m") and len(a) > 2:
            mode = parse_mode(a[2:])
        elif a.startswith("--mode="):
            mode = parse_mode(a[7:])
        elif a == "-d":
            make_dirs = True
        elif a == "-D":
            make_parents = True
        elif a in ("-v", "-p", "-T", "-C"):
            pass
        elif a == "--":
            paths.extend(args[i:])
            break
        elif a.startswith("-") and a != "-":
            raise Refusal("install: invalid option -- '%s'" % a.lstrip("-"))
        else:
            paths.append(a)
    targets = paths if make_dirs else paths[-1:]
    if (make_dirs and not paths) or (not make_dirs and len(paths) != 2):
        raise Refusal("install: missing file operand (the simulated install takes SRC DEST or -d DIR...)")
    for t in targets:
        if not under(t, root):
            raise Refusal("install: refusing to write '%s' outside the simulated system root" % t)
    for t in targets:
        if not privileged():
            raise Refusal("install: cannot create %s '%s': Permission denied"
                          % ("directory" if make_dirs else "regular file", t))
    if make_dirs:
        for t in targets:
            os.makedirs(t, exist_ok=True)
            os.chmod(t, mode)
        return
    src, dest = paths
    if env_selects_path("SIM_INSTALL_FAIL", dest):
        raise Refusal("install: cannot create regular file '%s': Read-only file system" % dest)
    if os.path.isdir(dest):
        dest = os.path.join(dest, os.path.basename(src))
        if not under(dest, root):
            raise Refusal("install: refusing to write '%s' outside the simulated system root" % dest)
    try:
        with open(src, "rb") as f:
            data = f.read()
    except OSError as e:
        raise Refusal("install: cannot stat '%s': %s" % (src, e.strerror))
    parent = os.path.dirname(os.path.abspath(dest))
    if make_parents:
        os.makedirs(parent, exist_ok=True)
    if not os.path.isdir(parent):
        raise Refusal("install: cannot create regular file '%s': No such file or directory" % dest)
    # As GNU install: the destination is removed and written in place, so a cut
    # (full disk, power loss) leaves a short file. SIM_INSTALL_CUT selects that.
    cut = env_selects_path("SIM_INSTALL_CUT", dest) if os.environ.get("SIM_INSTALL_CUT") else False
    try:
        if os.path.lexists(dest) and not os.path.isdir(dest):
            os.unlink(dest)
        fd = os.open(dest, os.O_WRONLY | os.O_CREAT | os.O_TRUNC | os.O_NOFOLLOW, 0o600)
        with os.fdopen(fd, "wb") as f:
            f.write(data[:len(data) // 2] if cut else data)
        os.chmod(dest, mode)
    except OSError as e:
        raise Refusal("install: cannot create regular file '%s': %s" % (dest, e.strerror))
    if cut:
        raise Refusal("install: error writing '%s': No space left on device" % dest)
    if os.geteuid() == 0 and (owner or group):
        try:
            shutil.chown(dest, owner, group)
        except (LookupError, OSError) as e:
            raise Refusal("install: cannot change ownership of '%s': %s" % (dest, e))


def split_options(args):
    """(options, operands) as getopt reads them: a "--" ends the options."""
    opts, operands = [], []
    done = False
    for a in args:
        if not done and a == "--":
            done = True
        elif not done and a.startswith("-") and len(a) > 1:
            opts.append(a)
        else:
            operands.append(a)
    return opts, operands


def main_rm(argv):
    args = argv[1:]
    root = sim_root("rm")
    log_call(root, "rm", args)
    force = recursive = False
    opts, paths = split_options(args)
    for a in opts:
        for c in a.lstrip("-") if not a.startswith("--") else []:
            if c == "f":
                force = True
            elif c in "rR":
                recursive = True
            elif c != "v":
                raise Refusal("rm: invalid option -- '%s'" % c)
        if a in ("--force",):
            force = True
        elif a in ("--recursive",):
            recursive = True
        elif a.startswith("--") and a not in ("--verbose",):
            raise Refusal("rm: unrecognized option '%s'" % a)
    if not paths:
        if force:
            return
        raise Refusal("rm: missing operand")
    for p in paths:
        if not under(p, root) or os.path.realpath(p) == root:
            raise Refusal("rm: refusing to remove '%s' outside the simulated system root" % p)
    code = 0
    for p in paths:
        if needs_privilege(root, p) and not privileged():
            err("rm: cannot remove '%s': Permission denied" % p)
            code = 1
            continue
        if os.path.isdir(p) and not os.path.islink(p):
            if not recursive:
                err("rm: cannot remove '%s': Is a directory" % p)
                code = 1
                continue
            shutil.rmtree(p)
        elif os.path.lexists(p):
            os.unlink(p)
        elif not force:
            err("rm: cannot remove '%s': No such file or directory" % p)
            code = 1
    if code:
        raise Refusal("", code)


def needs_privilege(root, path):
    rel = os.path.relpath(os.path.abspath(path), root)
    return rel.split("/")[0] in ("usr", "etc", "var", "ostree", "persistent")


def main_mv(argv):
    """mv [-f] [-T] SRC DEST inside the root: one rename, as the real mv on one file system."""
    args = argv[1:]
    root = sim_root("mv")
    log_call(root, "mv", args)
    opts, paths = split_options(args)
    for a in opts:
        if a not in ("-f", "-T", "-fT", "-Tf", "--force", "--no-target-directory"):
            raise Refusal("mv: invalid option -- '%s'" % a.lstrip("-"))
    if len(paths) != 2:
        raise Refusal("mv: the simulated mv takes SRC DEST")
    src, dest = paths
    for p in paths:
        if not under(p, root) or os.path.realpath(p) == root:
            raise Refusal("mv: refusing to move '%s' outside the simulated system root" % p)
    if (needs_privilege(root, src) or needs_privilege(root, dest)) and not privileged():
        raise Refusal("mv: cannot move '%s' to '%s': Permission denied" % (src, dest))
    if not os.path.lexists(src):
        raise Refusal("mv: cannot stat '%s': No such file or directory" % src)
    if os.path.isdir(dest) and not os.path.islink(dest):
        raise Refusal("mv: cannot overwrite directory '%s' with non-directory" % dest)
    try:
        os.replace(src, dest)
    except OSError as e:
        raise Refusal("mv: cannot move '%s' to '%s': %s" % (src, dest, e.strerror))


def main_du(argv):
    """The host's du, except that an ordinary user cannot read root-only
    directories inside the simulated root (the tests often run as real root)."""
    args = argv[1:]
    root = os.environ.get("TAVRIN_SYSROOT", "")
    denied = []
    if root and not privileged():
        try:
            root = checked_root("du", root)
        except Refusal:
            root = ""
        for p in [a for a in args if not a.startswith("-")]:
            if not root or not under(p, root):
                continue
            for base, dirs, _files in os.walk(p):
                if base != root and os.stat(base).st_mode & 0o005 != 0o005:
                    denied.append(base)
                    dirs[:] = []
    if not denied:
        os.execv("/usr/bin/du", ["du"] + args)
    p = subprocess.run(["/usr/bin/du"] + args, capture_output=True, text=True)
    sys.stdout.write(p.stdout)
    for d in denied:
        err("du: cannot read directory '%s': Permission denied" % d)
    raise Refusal("", 1)


def main_gio(argv):
    # "gio open" would start a file manager on the host; the call log is enough.
    root = sim_root("gio")
    log_call(root, "gio", argv[1:])


# ---------------------------------------------------------------- systemctl

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


def main_systemctl(argv):
    args = argv[1:]
    root = sim_root("systemctl")
    log_call(root, "systemctl", args)
    user = "--user" in args
    now = "--now" in args
    words = [a for a in args if not a.startswith("-")]
    for a in args:
        if a.startswith("-") and a not in ("--user", "--system", "--now", "--no-block", "--quiet", "-q",
                                           "--no-pager", "--no-reload"):
            raise Refusal("systemctl: unrecognized option '%s'" % a)
    if not words:
        raise Refusal("systemctl: simulated systemctl needs a command")
    verb, names = words[0], words[1:]
    scope = "user" if user else "system"
    if env_selects("SIM_SYSTEMCTL_FAIL", " ".join(words)):
        raise Refusal("Failed to %s: Transaction for %s failed (simulated)" % (verb, " ".join(names) or verb))
    if verb == "reboot":
        if user:
            raise Refusal("systemctl: reboot is not a user-instance operation")
        simulate_reboot(root)
        return
    if verb in ("is-enabled", "is-active", "status"):
        if not names:
            raise Refusal("systemctl: %s needs a unit name" % verb)
        units = load_units(root)[scope]
        code = 0
        for n in names:
            u = units.get(n, {})
            if verb == "is-enabled":
                if not unit_exists(root, user, n):
                    err("Failed to get unit file state for %s: No such file or directory" % n)
                    code = 1
                else:
                    out("enabled" if u.get("enabled") else "disabled")
                    code = code or (0 if u.get("enabled") else 1)
            elif verb == "is-active":
                out("active" if u.get("active") else "inactive")
                code = code or (0 if u.get("active") else 3)
            else:
                out("● %s\n     Loaded: %s\n     Active: %s" % (
                    n, "loaded" if unit_exists(root, user, n) else "not-found",
                    "active" if u.get("active") else "inactive (dead)"))
                code = code or (0 if u.get("active") else 3)
        if code:
            raise Refusal("", code)
        return
    if verb == "cat":
        for n in names or [""]:
            path = next((os.path.join(d, n) for d in unit_dirs(root, user) if n and os.path.isfile(os.path.join(d, n))), None)
            if not path:
                raise Refusal("No files found for %s." % (n or "(none)"), 1)
            with open(path, encoding="utf-8") as f:
                out("# %s\n%s" % (path, f.read().rstrip("\n")))
        return
    if verb not in ("daemon-reload", "enable", "disable", "start", "stop", "restart"):
        raise Refusal("Unknown command verb %s." % verb)
    if not user and not privileged():
        raise Refusal("Failed to %s: Access denied (simulated: permission denied, root privileges required)" % verb)
    if verb == "daemon-reload":
        return
    if not names:
        raise Refusal("systemctl: %s needs a unit name" % verb)
    with Locked(root):
        units = load_units(root)
        for n in names:
            if not unit_exists(root, user, n):
                if verb in ("enable", "disable"):
                    raise Refusal("Failed to %s unit: Unit file %s does not exist." % (verb, n))
                raise Refusal("Failed to %s %s: Unit %s not found." % (verb, n, n), 5)
            u = units[scope].setdefault(n, {"enabled": False, "active": False})
            if verb == "enable":
                u["enabled"] = True
                u["active"] = u["active"] or (now and n.endswith(".timer"))
            elif verb == "disable":
                u["enabled"] = False
                if now:
                    u["active"] = False
            elif verb in ("start", "restart"):
                # Only timers stay active; services are one-shot here.
                u["active"] = n.endswith(".timer")
            else:
                u["active"] = False
        save_units(root, units)


# ---------------------------------------------------------------- reboot


COUNTER_SCRIPT = "usr/libexec/tavrin-manager/reboot-counter.sh"
CLEANUP_TIMER = "tavrin-rollback-cleanup.timer"


# Host paths a rooted boot-counter script may still name: the interpreters.
SCRIPT_HOST_PATHS = {"/usr/bin/python3", "/bin/sh", "/usr/bin/env", "/dev/null"}


def script_is_rooted(root, text):
    """Every absolute path the script names lies inside the simulated root."""
    for n, line in enumerate(text.splitlines()):
        if n == 0 and line.startswith("#!"):
            continue
        for m in re.finditer(r"(?<![\w.~$])(/[A-Za-z0-9_.+-][A-Za-z0-9_./+-]*)", line):
            if m.group(1) in SCRIPT_HOST_PATHS:
                continue
            if not (m.group(1) + "/").startswith(root.rstrip("/") + "/"):
                return False
    return True


def boot_log(root, text):
    path = os.path.join(root, "var/log/zarnex-sim/boot.log")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "a", encoding="utf-8") as f:
        f.write(time.strftime("%Y-%m-%d %H:%M:%S ") + text + "\n")


def simulate_reboot(root):
    with Locked(root):
        state = load_state(root)
        pending = [d for d in state["deployments"] if d["pending"]]
        old = booted(state)
        if pending:
            new = pending[0]
            for d in state["deployments"]:
                d["booted"] = False
            new["booted"] = True
            new["pending"] = False
            if new.get("origin") == "rollback":
                for d in state["deployments"]:
                    d["rollback_backup"] = False
                old["rollback_backup"] = True
            new["rollback_backup"] = False
            # Booted first, as the status listing shows it after a boot.
            state["deployments"].remove(new)
            state["deployments"].insert(0, new)
            prune_history(root, state)
            write_version_files(root, new["version"])
            boot_log(root, "booted %s (%s, %s)" % (new["version"], new["commit"][:12], new.get("origin", "")))
        else:
            boot_log(root, "booted %s again" % old["version"])
        if state["writable"]["enable"] and state["writable"]["clearAfterReboot"]:
            state["writable"] = {"enable": False, "clearAfterReboot": False, "all": False}
        state["boots"] = state.get("boots", 0) + 1
        save_state(root, state)
        run_dir = os.path.join(root, "run")
        if os.path.isdir(run_dir) and under(run_dir, root):
            for entry in os.listdir(run_dir):
                p = os.path.join(run_dir, entry)
                if os.path.isdir(p) and not os.path.islink(p):
                    shutil.rmtree(p, ignore_errors=True)
                else:
                    os.unlink(p)
        units = load_units(root)
        for scope in units.values():
            for name, u in scope.items():
                u["active"] = bool(u.get("enabled")) and name.endswith(".timer")
        save_units(root, units)
    out("Simulated reboot done.")
    if load_units(root)["system"].get(CLEANUP_TIMER, {}).get("enabled"):
        run_counter_script(root)


def prune_history(root, state):
    try:
        keep = int(read_conf(root).get("max-backup-deploys", "3"))
    except ValueError:
        keep = 3
    history = [d for d in state["deployments"] if not (d["booted"] or d["pending"] or d["rollback_backup"])]
    history.sort(key=lambda d: d["time"], reverse=True)
    for d in history[max(keep, 0):]:
        delete_ref(root, "deployment/%d" % d["serial"])
        state["deployments"].remove(d)


def run_counter_script(root):
    script = os.path.join(root, COUNTER_SCRIPT)
    try:
        with open(script, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        boot_log(root, "cleanup timer enabled but %s is missing" % COUNTER_SCRIPT)
        return
    if not script_is_rooted(root, text):
        boot_log(root, "refused to run %s: it names paths outside the simulated root" % COUNTER_SCRIPT)
        err("systemctl: simulated boot: %s names paths outside the root; not run" % COUNTER_SCRIPT)
        return
    # A system service: root, a fixed PATH, nothing of the user's environment.
    env = elevated_environment()
    try:
        p = subprocess.run(["/bin/sh", script], env=env, capture_output=True, text=True, timeout=120)
        boot_log(root, "reboot-counter.sh exited %d %s" % (p.returncode, p.stderr.strip()))
    except subprocess.TimeoutExpired:
        boot_log(root, "reboot-counter.sh timed out")


# ---------------------------------------------------------------- root builder

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

ROOTED_TOOLS = ("install", "rm", "mv", "systemctl")

ROOTED_TEMPLATE = """#!/usr/bin/python3
# Simulated %(tool)s: serves the system root this file is installed in.
import sys
sys.path.insert(0, %(simdir)r)
import zarnexsim
sys.exit(zarnexsim.run_rooted(%(tool)r, __file__, sys.argv))
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
    os.symlink(OSTREE, os.path.join(root, "usr/bin/ostree"))
    os.symlink("/usr/bin/python3", os.path.join(root, "usr/bin/python3"))
    os.symlink("/usr/bin/du", os.path.join(root, "usr/bin/du"))
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
                                unique_files(tag, rng, count=4), when)
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


# ---------------------------------------------------------------- entry

TOOLS = {
    "sudo": main_sudo,
    "pkexec": main_pkexec,
    "install": main_install,
    "rm": main_rm,
    "mv": main_mv,
    "gio": main_gio,
    "du": main_du,
    "systemctl": main_systemctl,
    "make-root": make_root,
}


def run(tool, argv, root=None):
    global ROOT_OVERRIDE
    ROOT_OVERRIDE = root
    try:
        TOOLS[tool](argv)
        return 0
    except Refusal as r:
        if r.message:
            err(r.message)
        return r.code
    except BrokenPipeError:
        return 1
    except KeyboardInterrupt:
        return 130
    except (OSError, KeyError, TypeError, ValueError) as e:
        err("%s: simulated system error: %s" % (tool, e))
        return 1


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in TOOLS:
        err("usage: zarnexsim.py {%s} [ARGS...]" % ",".join(sorted(TOOLS)))
        sys.exit(2)
    sys.exit(run(sys.argv[1], sys.argv[1:]))
