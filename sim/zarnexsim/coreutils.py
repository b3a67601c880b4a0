"""Stand-ins for the general file tools the program runs: install, rm, mv, du
and df."""

import datetime
import json
import os
import re
import shutil
import subprocess
import sys

from . import common
from .common import Refusal, checked_root, env_selects_path, err, log_call, privileged, sim_root, under


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
    root = common.ROOT_OVERRIDE or os.environ.get("TAVRIN_SYSROOT", "")
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


def history_dir():
    data = os.environ.get("XDG_DATA_HOME") or os.path.join(os.path.expanduser("~"), ".local/share")
    return os.path.join(data, "tavrin-manager", "disk-history")


def simulated_root_usage():
    """The system disk as the simulated history last measured it: (capacity, used) of the newest
    day file up to today with both known, or None."""
    directory = history_dir()
    try:
        names = sorted(os.listdir(directory), reverse=True)
    except OSError:
        return None
    today = datetime.date.today().isoformat()
    for name in names:
        day = name[:10]
        if not name.endswith(".json") or name == "index.json" or day > today:
            continue
        try:
            datetime.date.fromisoformat(day)
            with open(os.path.join(directory, name), encoding="utf-8") as f:
                record = json.load(f)
        except (OSError, ValueError):
            continue
        if not isinstance(record, dict):
            continue
        capacity, used = record.get("capacity"), record.get("total")
        samples = record.get("samples")
        if isinstance(samples, list) and samples and isinstance(samples[-1], dict):
            used = samples[-1].get("total", used)
        if isinstance(capacity, (int, float)) and isinstance(used, (int, float)) and 0 < used <= capacity:
            return int(capacity), int(used)
    return None


def main_df(argv):
    """df of the simulated system: the root file system reports the figures of the simulated
    disk history, so the disk page's card and its chart agree; anything else is the host's df.
    Only with a simulated root (TAVRIN_SYSROOT) and a history to answer from."""
    args = argv[1:]
    paths = [a for a in args if not a.startswith("-")]
    usage = None
    if os.environ.get("TAVRIN_SYSROOT") and paths == ["/"] and all(a in ("-B1", "-k", "/") for a in args):
        usage = simulated_root_usage()
    if usage is None:
        os.execv("/usr/bin/df", ["df"] + args)
    capacity, used = usage
    unit = 1 if "-B1" in args else 1024
    free = capacity - used
    print("Filesystem     %s      Used Available Use%% Mounted on" % ("1B-blocks" if unit == 1 else "1K-blocks"))
    print("/dev/vda3 %d %d %d %d%% /" % (capacity // unit, used // unit, free // unit,
                                        -(-used * 100 // capacity)))
