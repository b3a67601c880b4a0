"""The command-line frame the two control tools share: option parsing as a
real parser does it, failure injection, usage and the JSON answer."""

import json
import os
import sys
import time

from .common import Refusal, env_selects, hang, out, privileged
from .state import CTL_NAME, WRITABLE_NAME


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
