"""Simulated Zarnex 25 immutable system for the demo and the tests.

Stand-ins for the system's control tools and for the general tools the
program elevates (sudo, pkexec, install, rm, systemctl).  Everything acts
only inside the simulated root named by TAVRIN_SYSROOT (or, for the tools
installed inside a root, the root they live in); the host is never touched.

One module per stand-in or tool family; the state they share is in state.py.
"""

import os

from . import common
from .common import Refusal, checked_root, err
from .coreutils import main_df, main_du, main_install, main_mv, main_rm
from .ctl import main_ctl
from .elevation import main_pkexec, main_sudo
from .gio import main_gio
from .ostreeadmin import main_ostree_admin
from .rootbuilder import make_root
from .state import CTL_NAME
from .systemctl import main_systemctl
from .writable import main_writable


TOOLS = {
    "sudo": main_sudo,
    "pkexec": main_pkexec,
    "install": main_install,
    "rm": main_rm,
    "mv": main_mv,
    "gio": main_gio,
    "du": main_du,
    "df": main_df,
    "systemctl": main_systemctl,
    "ostree-admin": main_ostree_admin,
    "make-root": make_root,
}


def run(tool, argv, root=None):
    common.ROOT_OVERRIDE = root
    try:
        TOOLS[tool](argv)
        return 0
    except Refusal as r:
        if r.message:
            err(r.message)
        return r.code
    except BrokenPipeError:
        return 1
    except KeyboardInterrupt:
        return 130
    except (OSError, KeyError, TypeError, ValueError) as e:
        err("%s: simulated system error: %s" % (tool, e))
        return 1


def run_rooted(tool, script_path, argv):
    """A general stand-in installed in ROOT/usr/bin serves the root it lives in."""
    try:
        root = tool_root(script_path)
    except Refusal as r:
        err(r.message)
        return r.code
    return run(tool, argv, root)


def tool_root(script_path):
    """A tool installed in ROOT/usr/{s,}bin serves the root it lives in."""
    return checked_root(os.path.basename(script_path),
                        os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(script_path)))))


def run_tool(tool, script_path, argv):
    try:
        root = tool_root(script_path)
        (main_ctl if tool == CTL_NAME else main_writable)(root, argv)
        return 0
    except Refusal as r:
        err(r.message if r.message.startswith(tool) else "%s: %s" % (tool, r.message))
        return r.code
    except BrokenPipeError:
        return 1
    except (OSError, KeyError, TypeError, ValueError) as e:
        err("%s: simulated system error: %s" % (tool, e))
        return 1
