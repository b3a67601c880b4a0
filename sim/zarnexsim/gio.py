"""Stand-in for gio."""

from .common import log_call, sim_root


def main_gio(argv):
    # "gio open" would start a file manager on the host; the call log is enough.
    root = sim_root("gio")
    log_call(root, "gio", argv[1:])
