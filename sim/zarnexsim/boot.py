"""A simulated boot: the pending deployment becomes the booted one, the volatile
directory is emptied and the rollback clean-up's boot counter runs."""

import os
import re
import shutil
import subprocess
import time

from .common import err, out, under
from .elevation import elevated_environment
from .state import Locked, booted, delete_ref, load_state, load_units, read_conf, save_state, save_units, \
    write_version_files


COUNTER_SCRIPT = "usr/libexec/tavrin-manager/reboot-counter.sh"
CLEANUP_TIMER = "tavrin-rollback-cleanup.timer"
CLEANUP_SERVICE = "tavrin-rollback-cleanup.service"


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


def counter_script(root):
    """The script the clean-up service runs: its unit's ExecStart, the
    administrator's unit in etc/systemd/system first, as systemd finds it."""
    for d in ("etc/systemd/system", "usr/lib/systemd/system"):
        unit = os.path.join(root, d, CLEANUP_SERVICE)
        try:
            with open(unit, encoding="utf-8") as f:
                for line in f:
                    if line.startswith("ExecStart="):
                        path = line[len("ExecStart="):].strip()
                        if under(path, root):
                            return path
        except OSError:
            continue
    return os.path.join(root, COUNTER_SCRIPT)


def run_counter_script(root):
    script = counter_script(root)
    try:
        with open(script, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        boot_log(root, "cleanup timer enabled but %s is missing" % os.path.relpath(script, root))
        return
    if not script_is_rooted(root, text):
        boot_log(root, "refused to run %s: it names paths outside the simulated root" % os.path.relpath(script, root))
        err("systemctl: simulated boot: %s names paths outside the root; not run" % os.path.relpath(script, root))
        return
    # A system service: root, a fixed PATH, nothing of the user's environment.
    env = elevated_environment()
    try:
        p = subprocess.run(["/bin/sh", script], env=env, capture_output=True, text=True, timeout=120)
        boot_log(root, "%s exited %d %s" % (os.path.relpath(script, root), p.returncode, p.stderr.strip()))
    except subprocess.TimeoutExpired:
        boot_log(root, "reboot-counter.sh timed out")
