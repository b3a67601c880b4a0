#!/usr/bin/env python3
"""Writes a disk history as the monitor would have kept it: one day file per day with top-level
sizes, a few samples, drill caches on growth days, and "alert.json" with the alerts raised.

    make-disk-history.py [--days 365] [--dir DIR] [--seed 7] [--spikes 9] [--gap-days 3]

DIR defaults to the history directory of the current user ($XDG_DATA_HOME or ~/.local/share,
then tavrin-manager/disk-history). Existing day files in DIR are replaced, others are kept.
"""

import argparse
import datetime as dt
import json
import os
import random
import tempfile

GiB = 1 << 30
MiB = 1 << 20

# Top-level directories with a starting size and a typical daily drift.
BASE = {
    "/usr": (11.5 * GiB, 6 * MiB),
    "/var": (4.2 * GiB, 18 * MiB),
    "/home": (22 * GiB, 55 * MiB),
    "/opt": (2.4 * GiB, 2 * MiB),
    "/etc": (38 * MiB, 0.05 * MiB),
    "/root": (120 * MiB, 0.2 * MiB),
    "/tmp": (300 * MiB, 0),
    "/srv": (900 * MiB, 1 * MiB),
    "/boot": (280 * MiB, 0),
}

# Where the spikes come from: a parent that the monitor drilled and the child that grew.
CAUSES = [
    ("/var", "/var/log", 1.6),
    ("/home", "/home/zarnex", 3.8),
    ("/var", "/var/lib", 2.4),
    ("/opt", "/opt/apps", 1.9),
    ("/home", "/home/zarnex", 5.2),
]


def atomic_write(path, text):
    fd, tmp = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".tmp-")
    with os.fdopen(fd, "w", encoding="utf-8") as f:
        f.write(text)
    os.replace(tmp, path)


def default_dir():
    data = os.environ.get("XDG_DATA_HOME") or os.path.join(os.path.expanduser("~"), ".local/share")
    return os.path.join(data, "tavrin-manager", "disk-history")


def item(path, size, is_dir=True):
    return {"p": path, "s": int(size), "d": is_dir}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--days", type=int, default=365)
    ap.add_argument("--dir", default=default_dir())
    ap.add_argument("--seed", type=int, default=7)
    ap.add_argument("--spikes", type=int, default=9)
    ap.add_argument("--gap-days", type=int, default=3, help="days without a record (monitor off)")
    ap.add_argument("--capacity-gib", type=float, default=128.0)
    args = ap.parse_args()
    if args.capacity_gib <= 0:
        ap.error("--capacity-gib must be positive")

    rnd = random.Random(args.seed)
    os.makedirs(args.dir, exist_ok=True)
    today = dt.date.today()
    first = today - dt.timedelta(days=args.days - 1)
    capacity = int(args.capacity_gib * GiB)
    spike_days = set(rnd.sample(range(7, args.days), min(args.spikes, max(0, args.days - 7))))
    gaps = set(rnd.sample([d for d in range(1, args.days - 1) if d not in spike_days],
                          min(args.gap_days, args.days // 60)))

    sizes = {p: float(s) for p, (s, _) in BASE.items()}
    children = {"/var": {"/var/log": 0.9 * GiB, "/var/lib": 2.6 * GiB, "/var/cache": 0.6 * GiB},
                "/home": {"/home/zarnex": 21 * GiB, "/home/guest": 0.8 * GiB},
                "/opt": {"/opt/apps": 1.8 * GiB, "/opt/tools": 0.5 * GiB}}
    alerts = []
    written = 0
    for n in range(args.days):
        day = first + dt.timedelta(days=n)
        for p, (_, drift) in BASE.items():
            sizes[p] = max(1.0, sizes[p] + drift * rnd.uniform(-0.4, 1.6))
        # Now and then a clean-up gives space back.
        if rnd.random() < 0.04:
            sizes["/var"] = max(GiB, sizes["/var"] - rnd.uniform(200, 900) * MiB)
            children["/var"]["/var/cache"] = 0.2 * GiB
        drill = {}
        if n in spike_days:
            parent, child, gib = CAUSES[len(alerts) % len(CAUSES)]
            growth = gib * GiB * rnd.uniform(0.8, 1.2)
            sizes[parent] += growth
            children[parent][child] += growth
            drill[parent] = [item(c, s) for c, s in sorted(children[parent].items(), key=lambda kv: -kv[1])]
            alerts.append({"date": day.isoformat(), "growth": float(int(growth)), "causeDir": child,
                           "alerted": True, "causes": [item(child, growth)]})
        if n in gaps:
            continue
        total = int(sum(sizes.values()) + 1.3 * GiB)  # plus what du does not see
        samples = []
        for hour in (9, 13, 17, 21):
            t = dt.datetime.combine(day, dt.time(hour, rnd.randint(0, 59), rnd.randint(0, 59)))
            if t > dt.datetime.now():
                break
            samples.append({"t": t.strftime("%Y-%m-%dT%H:%M:%S.000"), "total": total, "h": {}})
        if day == today:
            # The monitor's newest cycle, a few minutes ago.
            t = dt.datetime.now() - dt.timedelta(minutes=4)
            samples.append({"t": t.strftime("%Y-%m-%dT%H:%M:%S.000"), "total": total, "h": {}})
        record = {
            "date": day.isoformat(),
            "capacity": capacity,
            "total": total,
            "complete": True,
            "topLevel": [item(p, s) for p, s in sorted(sizes.items(), key=lambda kv: -kv[1])],
            "drillCache": drill,
            "samples": samples,
        }
        atomic_write(os.path.join(args.dir, day.isoformat() + ".json"), json.dumps(record))
        written += 1
    # The store rebuilds its index from the day files when it finds none.
    index = os.path.join(args.dir, "index.json")
    if os.path.exists(index):
        os.remove(index)
    atomic_write(os.path.join(args.dir, "alert.json"), json.dumps({"spikes": alerts}, indent=2))
    print("%d day files, %d alerts in %s" % (written, len(alerts), args.dir))


if __name__ == "__main__":
    main()
