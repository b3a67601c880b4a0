#!/usr/bin/python3
"""Simulated Zarnex 25 immutable system for the demo and the tests.

Stand-ins for the system's control tools and for the general tools the
program elevates (sudo, pkexec, install, rm, systemctl).  Everything acts
only inside the simulated root named by TAVRIN_SYSROOT (or, for the tools
installed inside a root, the root they live in); the host is never touched.
"""

import fcntl
import json
import os
import signal
import sys
import tempfile
import time

MARKER = "var/lib/zarnex-sim/marker"
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


def sim_root(tool):
    """The simulated root from TAVRIN_SYSROOT, checked to be one of ours."""
    root = os.environ.get("TAVRIN_SYSROOT", "")
    if not root:
        raise Refusal("%s: TAVRIN_SYSROOT is not set; the simulated system refuses to act on the host" % tool)
    return checked_root(tool, root)


def checked_root(tool, root):
    real = os.path.realpath(root)
    if real == "/" or not os.path.isfile(os.path.join(real, MARKER)):
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
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
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
        if final is not None and os.path.basename(final) in READ_ONLY_HOST_TOOLS and "/" not in final:
            return path
    elif os.path.basename(path) in READ_ONLY_HOST_TOOLS:
        return path
    if path.startswith(HOST_SYSTEM_DIRS):
        raise Refusal("%s: simulated system: refusing to run the host program '%s' with privileges" % (tool, path))
    return path


def exec_privileged(path, args):
    env = dict(os.environ)
    env["SIM_PRIVILEGED"] = "1"
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


TOOLS = {
    "sudo": main_sudo,
    "pkexec": main_pkexec,
}


def run(tool, argv):
    try:
        TOOLS[tool](argv)
        return 0
    except Refusal as r:
        err(r.message)
        return r.code
    except BrokenPipeError:
        return 1
    except KeyboardInterrupt:
        return 130


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in TOOLS:
        err("usage: zarnexsim.py TOOL [ARGS...]")
        sys.exit(2)
    sys.exit(run(sys.argv[1], sys.argv[1:]))
