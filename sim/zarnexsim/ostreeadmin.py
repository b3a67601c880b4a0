"""Stand-in for "ostree admin" in a simulated root: the deployments are the
simulated ones (state.json), in the control tool's order, which is ostree's.
Every other ostree command goes to the real ostree."""

import re

from .common import Refusal, env_selects, log_call, out, privileged, sim_root
from .state import Locked, delete_ref, load_state, save_state


def main_ostree_admin(argv):
    args = argv[1:]
    root = sim_root("ostree")
    log_call(root, "ostree", args)
    words = [a for a in args if not a.startswith("-")]
    if words[:1] != ["admin"]:
        raise Refusal("ostree: the simulated ostree only serves \"admin\"")
    sub = words[1] if len(words) > 1 else ""
    if env_selects("SIM_OSTREE_FAIL", " ".join(words)):
        raise Refusal("error: %s (simulated failure)" % " ".join(words))
    if sub == "status":
        state = load_state(root)
        for d in state["deployments"]:
            marks = ("* " if d["booted"] else "  ") + ("(staged) " if d["pending"] else "")
            out("%szarnex %s.0 %s" % (marks, d["commit"], d["version"]))
        return
    if sub != "undeploy":
        raise Refusal("error: Unknown admin command '%s'" % sub)
    if len(words) != 3 or not re.fullmatch(r"\d{1,6}", words[2]):
        raise Refusal("error: usage: ostree admin undeploy INDEX")
    if not privileged():
        raise Refusal("error: undeploy: Permission denied (root privileges required)")
    with Locked(root):
        state = load_state(root)
        i = int(words[2])
        if i >= len(state["deployments"]):
            raise Refusal("error: Out of range deployment index %d, must be < %d" % (i, len(state["deployments"])))
        target = state["deployments"][i]
        if target["booted"]:
            raise Refusal("error: Cannot undeploy currently booted deployment %d" % i)
        delete_ref(root, "deployment/%d" % target["serial"])
        state["deployments"].remove(target)
        save_state(root, state)
        out("Deleted deployment %s.0" % target["commit"])
