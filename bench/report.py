#!/usr/bin/env python3
"""Prints one table of a benchmark run beside the previous run, and keeps the new figures."""
import json
import os
import sys

run_dir, keep = sys.argv[1], sys.argv[2]
now = {}
for name in sorted(os.listdir(run_dir)):
    path = os.path.join(run_dir, name)
    if name.endswith(".json"):
        with open(path) as f:
            for b in json.load(f).get("benchmarks", []):
                unit = b.get("time_unit", "ns")
                scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[unit]
                now[b["name"]] = (b["real_time"] * scale, "ms")
now["sort(1) hu_HU.UTF-8, 1M words"] = (float(open(os.path.join(run_dir, "sort_ms")).read()), "ms")
now["resident bytes per word, 1M"] = (float(open(os.path.join(run_dir, "bytes_per_word")).read()), "B")

# The targets, as ratios of figures of this same run (a busy machine slows both sides).
RATIOS = [
    ("LoadAndSort/1000000 / sort(1)", "LoadAndSort/1000000", "sort(1) hu_HU.UTF-8, 1M words", 0.15),
    ("WriteWordFile / plain write", "BM_WriteWordFile/real_time", "BM_PlainWriteFsyncRename/real_time", 2.0),
]
for label, top, bottom, _ in RATIOS:
    if top in now and bottom in now and now[bottom][0] > 0:
        now[label] = (now[top][0] / now[bottom][0], "x")

before = {}
if os.path.exists(keep):
    with open(keep) as f:
        before = {k: tuple(v) for k, v in json.load(f).items()}


def fmt(v):
    if v is None:
        return "-"
    value, unit = v
    if unit == "ms" and value < 1:
        return f"{value * 1000:.2f} µs"
    if unit == "x":
        return f"{value:.2f}x"
    return f"{value:.2f} {unit}"


width = max(len(k) for k in now)
targets = {label: limit for label, _, _, limit in RATIOS}
targets["resident bytes per word, 1M"] = 64.0
print(f"| {'benchmark'.ljust(width)} | previous | now | target |")
print(f"| {'-' * width} | --- | --- | --- |")
missed = []
for k in now:
    target = f"at most {fmt((targets[k], now[k][1]))}" if k in targets else ""
    if k in targets and now[k][0] > targets[k]:
        missed.append(k)
    print(f"| {k.ljust(width)} | {fmt(before.get(k))} | {fmt(now[k])} | {target} |")
for k in missed:
    print(f"missed: {k}")
with open(keep, "w") as f:
    json.dump(now, f, indent=1, sort_keys=True)
