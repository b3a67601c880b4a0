"""Stand-ins for sudo and pkexec."""

import fcntl
import json
import os

from .common import SIM_BIN, Refusal, hang, log_call, sim_root, under


# Host programs that may be started through the sudo/pkexec stand-ins: they only
# read (the disk scanner runs "sudo -n nice -n 19 ionice -c3 du ...").
READ_ONLY_HOST_TOOLS = {"du", "df", "ostree", "cat", "ls", "stat", "true", "false"}
HOST_SYSTEM_DIRS = ("/usr/", "/bin/", "/sbin/", "/lib", "/etc/", "/opt/", "/boot/", "/var/", "/root/")


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
        if final is not None and os.path.basename(final) in READ_ONLY_HOST_TOOLS:
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


def prompt(root, tool, args):
    """One password prompt: logged; SIM_DISMISS_PROMPT=N dismisses the Nth."""
    path = os.path.join(root, "var/log/zarnex-sim/prompts.log")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    fd = os.open(path, os.O_RDWR | os.O_APPEND | os.O_CREAT, 0o644)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX)
        with open(path, encoding="utf-8") as f:
            number = sum(1 for _ in f) + 1
        os.write(fd, (json.dumps({"tool": tool, "argv": [tool] + list(args), "prompt": number},
                                 ensure_ascii=False) + "\n").encode("utf-8"))
    finally:
        os.close(fd)
    return str(number) != os.environ.get("SIM_DISMISS_PROMPT", "").strip()


def main_sudo(argv):
    args = argv[1:]
    root = sim_root("sudo")
    log_call(root, "sudo", args)
    interactive = True
    while args and args[0].startswith("-"):
        opt = args.pop(0)
        if opt == "--":
            break
        if opt == "-n":
            interactive = False
        if opt in ("-u", "-g") and args:
            args.pop(0)
    if not args:
        raise Refusal("usage: sudo [-n] command [args...]")
    mode = os.environ.get("SIM_SUDO", "grant") or "grant"
    if mode == "password" and not interactive:
        raise Refusal("sudo: a password is required")
    if mode == "password" and not prompt(root, "sudo", args):
        raise Refusal("sudo: a password is required\nsudo: 1 incorrect password attempt")
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
    # Every pkexec run asks (the polkit agent's dialog), unless told to dismiss outright.
    if mode != "dismiss" and not prompt(root, "pkexec", args):
        raise Refusal("Error executing command as another user: Request dismissed", 126)
    if mode == "dismiss":
        raise Refusal("Error executing command as another user: Request dismissed", 126)
    if mode == "deny":
        raise Refusal("Error executing command as another user: Not authorized", 127)
    if mode == "hang":
        hang()
    path = check_elevated_program(root, "pkexec", args)
    exec_privileged(path, args)
