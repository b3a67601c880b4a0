"""Stand-in for systemctl: the system and user instance's unit state, and
"systemctl reboot" as a simulated boot."""

import os

from .boot import simulate_reboot
from .common import Refusal, env_selects, err, log_call, out, privileged, sim_root
from .state import Locked, load_units, save_units, unit_dirs, unit_exists


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
