"""What every stand-in shares: finding the simulated root, privilege, the call
log, atomic writes and the refusal that carries a message and an exit code."""

import fcntl
import json
import os
import re
import signal
import sys
import tempfile
import time


MARKER = "var/lib/zarnex-sim/marker"
# Also looked for by the demo script to decide whether a root must be built.
TOP_MARKER = ".zarnex-sim-root"
# The sim/ directory: the stand-ins installed in a root import the package from there.
SIM_DIR = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
SIM_BIN = os.path.join(SIM_DIR, "bin")


class Refusal(Exception):
    """A stand-in refuses: message for stderr and the exit code."""

    def __init__(self, message, code=1):
        super().__init__(message)
        self.message = message
        self.code = code


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


def env_selects_path(var, path):
    """$var is "1"/"all" or substrings separated by "," or ";" of the paths to fail."""
    value = os.environ.get(var, "").strip()
    if value in ("1", "all", "*"):
        return True
    return any(part.strip() and part.strip() in path for part in re.split(r"[;,]", value))
