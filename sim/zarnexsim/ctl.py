"""Stand-in for zarnex-immutable-ctl: snapshots, deployments, upgrades."""

import json
import os
import random
import re
import shutil
import time
import uuid

from .common import Refusal, log_call, out, under
from .state import (CACHE_DIR, CTL_NAME, SNAPSHOT_DIR, Locked, add_pending, booted, commit_layered, delete_ref,
                    deploy_view, fill_bytes, load_state, save_state, snapshot_view, unique_files)
from .packages import PACKAGE_LIST, with_package_list
from .toolframe import USAGE, ToolCall, emit_json, inject, require_root, usage_error


def find_snapshot(state, sid):
    for s in state["snapshots"]:
        if s["id"] == sid:
            return s
    raise Refusal("%s: no such snapshot: %s" % (CTL_NAME, sid))


def ctl_status(root, call):
    state = load_state(root)
    b = booted(state)
    enabled = state["writable"]["enable"]
    out("Immutable mode: %s" % ("false" if enabled else "true"))
    out("Writable layer: %s" % ("enabled" if enabled else "disabled"))
    out("Booted deployment: %s (%s)" % (b["version"], b["commit"][:12]))


def ctl_snapshot(root, call):
    w = call.words
    if len(w) < 2:
        usage_error(CTL_NAME, "missing snapshot command")
    sub, rest = w[1], w[2:]
    call.allow(("--delete-others",) if sub == "rollback" else ())
    if sub == "list":
        if rest:
            usage_error(CTL_NAME, "unexpected argument: %s" % rest[0])
        state = load_state(root)
        snaps = [snapshot_view(s) for s in state["snapshots"]]
        if call.json:
            emit_json({"snapshot_list": snaps})
        else:
            for s in snaps:
                out("%s  %s  %s  %s" % (s["id"], time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(s["time"])),
                                        s["name"], s["desc"]))
        return
    if sub == "show":
        if len(rest) != 1:
            usage_error(CTL_NAME, "snapshot show needs exactly one ID")
        s = find_snapshot(load_state(root), rest[0])
        if call.json:
            emit_json(snapshot_view(s))
        else:
            for k in ("id", "name", "desc", "time"):
                out("%s: %s" % (k, s[k]))
        return
    if sub not in ("create", "modify", "delete", "rollback"):
        usage_error(CTL_NAME, "unknown snapshot command: %s" % sub)
    if call.json:
        usage_error(CTL_NAME, "-j is not accepted by snapshot %s" % sub)
    if sub == "create" and len(rest) > 2:
        usage_error(CTL_NAME, "snapshot create takes [NAME] DESC")
    if sub == "modify" and not 2 <= len(rest) <= 3:
        usage_error(CTL_NAME, "snapshot modify takes ID [NAME] DESC")
    if sub == "delete" and len(rest) != 1:
        usage_error(CTL_NAME, "snapshot delete takes one ID")
    if sub == "rollback" and len(rest) != 1:
        usage_error(CTL_NAME, "snapshot rollback takes ID [--delete-others]")
    require_root(CTL_NAME)
    with Locked(root):
        state = load_state(root)
        if sub == "create":
            snapshot_create(root, state, rest)
        elif sub == "modify":
            s = find_snapshot(state, rest[0])
            if s.get("protected"):
                raise Refusal("%s: snapshot %s is the initial system snapshot and is protected: it cannot be modified"
                              % (CTL_NAME, s["id"]))
            if len(rest) == 3:
                if not rest[1].strip():
                    raise Refusal("%s: snapshot name must not be empty" % CTL_NAME)
                s["name"] = rest[1]
            s["desc"] = rest[-1]
            save_state(root, state)
            out("Snapshot %s modified" % s["id"])
        elif sub == "delete":
            s = find_snapshot(state, rest[0])
            if s.get("protected"):
                raise Refusal("%s: snapshot %s is the initial system snapshot and is protected: it cannot be deleted"
                              % (CTL_NAME, s["id"]))
            remove_snapshot(root, state, s)
            save_state(root, state)
            out("Snapshot %s deleted" % s["id"])
        else:
            snapshot_rollback(root, state, rest[0], "--delete-others" in call.options())


def snapshot_create(root, state, rest):
    now = int(time.time())
    desc = rest[-1] if rest else ""
    name = rest[0] if len(rest) == 2 else "snapshot-" + time.strftime("%Y%m%d-%H%M%S", time.localtime(now))
    if not name.strip():
        raise Refusal("%s: snapshot name must not be empty" % CTL_NAME)
    sid = uuid.uuid4().hex
    b = booted(state)
    rng = random.Random(sid)
    out("Creating snapshot %s of deployment %s ..." % (sid, b["commit"][:12]))
    commit = commit_layered(root, "snapshot/" + sid, name, b["commit"], unique_files(sid[:8], rng))
    write_snapshot_dir(root, sid, rng)
    state["snapshots"].append({"id": sid, "name": name, "desc": desc, "time": now, "commit": commit,
                               "version": b["version"], "protected": False})
    save_state(root, state)
    out("Snapshot created: %s" % sid)


def write_snapshot_dir(root, sid, rng):
    d = os.path.join(root, SNAPSHOT_DIR, sid)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "etc-overlay.img"), "wb") as f:
        f.write(fill_bytes(rng, rng.randint(16 * 1024, 512 * 1024)))
    with open(os.path.join(d, "info.json"), "w", encoding="utf-8") as f:
        json.dump({"id": sid}, f)
    # Snapshot data is root's alone, as on the real system.
    os.chmod(d, 0o700)


def remove_snapshot(root, state, s):
    delete_ref(root, "snapshot/" + s["id"])
    d = os.path.join(root, SNAPSHOT_DIR, s["id"])
    if under(d, os.path.join(root, SNAPSHOT_DIR)) and os.path.isdir(d):
        shutil.rmtree(d, ignore_errors=True)
    state["snapshots"].remove(s)


def snapshot_rollback(root, state, sid, delete_others):
    s = find_snapshot(state, sid)
    if state["writable"]["enable"]:
        raise Refusal("%s: the writable layer is enabled; disable it before rolling back" % CTL_NAME)
    out("Preparing rollback to snapshot %s (%s) ..." % (s["id"], s["name"]))
    d = add_pending(root, state, s.get("version") or booted(state)["version"], "snapshot/" + s["id"],
                    None, "rollback", {"rollback_target": s["id"]})
    if delete_others:
        for other in [o for o in state["snapshots"] if o is not s and not o.get("protected")]:
            remove_snapshot(root, state, other)
    save_state(root, state)
    out("Rollback deployment %s staged; it takes effect after a reboot." % d["commit"][:12])


def ctl_admin(root, call):
    w = call.words
    if len(w) < 2:
        usage_error(CTL_NAME, "missing admin command")
    call.allow(())
    if w[1] == "status":
        if len(w) != 2:
            usage_error(CTL_NAME, "unexpected argument: %s" % w[2])
        state = load_state(root)
        deploys = [deploy_view(d, i) for i, d in enumerate(state["deployments"])]
        if call.json:
            emit_json({"deploy_list": deploys, "package_list": "/" + PACKAGE_LIST})
        else:
            for d in deploys:
                flags = [f for f, on in (("booted", d["IsBooted"]), ("pending", d["Hidden"]),
                                         ("rollback-backup", d["IsRollbackBackup"])) if on]
                out("%d  %s  %s  %s" % (d["Index"], d["SystemVersion"], d["CommitIDIdx"], ",".join(flags)))
        return
    if w[1] == "undeploy":
        if len(w) != 3 or call.json:
            usage_error(CTL_NAME, "admin undeploy takes one ID or INDEX")
        require_root(CTL_NAME)
        with Locked(root):
            state = load_state(root)
            target = None
            for d in state["deployments"]:
                if d["commit"] == w[2]:
                    target = d
            if target is None and re.fullmatch(r"\d{1,6}", w[2]):
                i = int(w[2])
                if i < len(state["deployments"]):
                    target = state["deployments"][i]
                else:
                    raise Refusal("%s: error: no such deployment: index %d out of range" % (CTL_NAME, i))
            if target is None:
                raise Refusal("%s: error: no such deployment: %s" % (CTL_NAME, w[2]))
            if target["booted"]:
                raise Refusal("%s: error: cannot undeploy the current deployment (booted)" % CTL_NAME)
            if target["pending"]:
                raise Refusal("%s: error: cannot undeploy the replacement mainline deployment pending for the next boot"
                              % CTL_NAME)
            delete_ref(root, "deployment/%d" % target["serial"])
            state["deployments"].remove(target)
            save_state(root, state)
            out("Deployment %s removed" % target["commit"][:12])
        return
    usage_error(CTL_NAME, "unknown admin command: %s" % w[1])


def ctl_upgrade(root, call):
    w = call.words
    sub = w[1] if len(w) > 1 else ""
    call.allow(("-a",) if sub == "clean" else ())
    if sub == "check":
        if len(w) != 2:
            usage_error(CTL_NAME, "unexpected argument: %s" % w[2])
        require_root(CTL_NAME)
        u = load_state(root)["upgrade"]
        # SIM_UPGRADE_SIZE=bytes: the check also names the size of the upgrade.
        size = os.environ.get("SIM_UPGRADE_SIZE", "").strip()
        if call.json:
            data = {"total": u["total"], "need_download": u["need_download"]}
            if size.isdigit():
                data["download_size"] = int(size)
            emit_json(data)
        else:
            out("Checking for system updates ...")
            out("Total count: %d, Need download count: %d" % (u["total"], u["need_download"]))
            if size.isdigit():
                out("Download size: %s" % size)
        return
    if sub == "clean":
        if len(w) > 2 or call.json:
            usage_error(CTL_NAME, "upgrade clean takes [-a]")
        clean_all = "-a" in call.options()
        require_root(CTL_NAME)
        with Locked(root):
            cache = os.path.join(root, CACHE_DIR)
            freed = 0
            for base, _dirs, files in os.walk(cache):
                for f in files:
                    if clean_all or base.endswith("downloads"):
                        p = os.path.join(base, f)
                        freed += os.path.getsize(p)
                        os.unlink(p)
            out("Cleaned upgrade cache: %d bytes freed" % freed)
        return
    if sub:
        usage_error(CTL_NAME, "unknown upgrade command: %s" % sub)
    if call.json:
        usage_error(CTL_NAME, "-j is not accepted by upgrade")
    require_root(CTL_NAME)
    with Locked(root):
        state = load_state(root)
        u = state["upgrade"]
        if u["total"] <= 0:
            out("System is already up to date.")
            return
        b = booted(state)
        version = u.get("next_version") or bump_version(b["version"])
        for i in range(u["total"]):
            out("[%d/%d] Downloading and applying update %d ..." % (i + 1, u["total"], i + 1))
        rng = random.Random(version)
        overlay = unique_files("upgrade-" + version, rng, count=5)
        overlay["usr/share/zarnex/release"] = ("Version=%s\n" % version).encode()
        overlay = with_package_list(overlay, version)
        d = add_pending(root, state, version, b["commit"], overlay, "upgrade")
        os.makedirs(os.path.join(root, CACHE_DIR, "downloads"), exist_ok=True)
        with open(os.path.join(root, CACHE_DIR, "downloads", "update-%s.delta" % version), "wb") as f:
            f.write(fill_bytes(rng, 256 * 1024))
        state["upgrade"] = {"total": 0, "need_download": 0, "next_version": bump_version(version)}
        save_state(root, state)
        out("Upgrade to %s staged as deployment %s; reboot to apply." % (version, d["commit"][:12]))


def bump_version(version):
    parts = version.split(".")
    try:
        parts[-1] = str(int(parts[-1]) + 1)
    except ValueError:
        parts.append("1")
    return ".".join(parts)


def main_ctl(root, argv):
    args = argv[1:]
    log_call(root, CTL_NAME, args)
    call = ToolCall(CTL_NAME, args)
    if call.help:
        # As a real parser does: usage on standard output, nothing else, success.
        out(USAGE[CTL_NAME])
        return
    if not call.words and not call.opts:
        usage_error(CTL_NAME, "missing command")
    if inject("SIM_CTL", CTL_NAME, call.command()):
        return
    head = call.words[0] if call.words else ""
    if not call.words and call.options() == ["-s"] and not call.json:
        ctl_status(root, call)
    elif head == "snapshot":
        ctl_snapshot(root, call)
    elif head == "admin":
        ctl_admin(root, call)
    elif head == "upgrade":
        ctl_upgrade(root, call)
    else:
        usage_error(CTL_NAME, "unknown command: %s" % " ".join(call.words))
