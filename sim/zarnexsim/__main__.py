# python3 sim/zarnexsim TOOL ARGS...: any stand-in, or make-root.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.realpath(__file__))))

from zarnexsim import TOOLS, err, run  # noqa: E402

if len(sys.argv) < 2 or sys.argv[1] not in TOOLS:
    err("usage: zarnexsim {%s} [ARGS...]" % ",".join(sorted(TOOLS)))
    sys.exit(2)
sys.exit(run(sys.argv[1], sys.argv[1:]))
