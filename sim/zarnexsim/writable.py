"""Stand-in for zarnex-immutable-writable: the temporary writable layer."""

from .common import Refusal, log_call, out
from .state import WRITABLE_NAME, Locked, load_state, save_state
from .toolframe import USAGE, ToolCall, emit_json, inject, require_root, usage_error


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
