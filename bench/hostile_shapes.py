#!/usr/bin/env python3
"""Whole-process scaling of `korvo export` on the scene shapes that once cost time
quadratic in their size: N single-triangle objects, N meshes each weighted to its own
bone, and a triangle fan of N triangles around one point.

    bench/hostile_shapes.py KORVO [--module SO] [--runs R] [--keep DIR]

Each shape is exported at a tenth of its size and at its size (the median of R runs,
default 3); the script prints the seconds per item of both and their ratio (the
target is at most 1.3). With --keep, the outputs stay in DIR for a byte-for-byte
comparison between two builds. Not a test: nothing here asserts a time.
"""
import json
import math
import os
import statistics
import subprocess
import sys
import tempfile
import time


def triangles(n):
    """n single-triangle polygon objects side by side at the root."""
    objects = [{"name": "T", "type": "polygon", "position": [i, 0, 0],
                "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2]]}
               for i in range(n)]
    return {"korvo": 1, "objects": objects}


def skinned_meshes(n):
    """n single-triangle meshes, each followed by the bone that alone weights it."""
    objects = []
    for i in range(n):
        objects.append({"name": "M", "type": "polygon", "position": [i, 0, 0],
                        "points": [[0, 0, 0], [1, 0, 0], [0, 1, 0]], "polygons": [[0, 1, 2]],
                        "weights": {"b%d" % i: [1, 1, 1]}})
        objects.append({"name": "B%d" % i, "id": "b%d" % i, "type": "bone",
                        "rest": {"position": [i, 0, 0], "scale": [1, 1, 1]}})
    return {"korvo": 1, "objects": objects}


def fan(n):
    """A flat fan of n triangles around point 0."""
    points = [[0, 0, 0]]
    for i in range(n + 1):
        angle = 2 * math.pi * i / (n + 1)
        points.append([round(math.cos(angle), 6), 0, round(math.sin(angle), 6)])
    polygons = [[0, i + 1, i + 2] for i in range(n)]
    return {"korvo": 1, "objects": [{"name": "Fan", "type": "polygon", "points": points, "polygons": polygons}]}


SHAPES = [
    ("triangles", triangles, 40000, []),
    ("triangles-no-bones", triangles, 40000, ["--no-bones"]),
    ("skinned-meshes", skinned_meshes, 20000, []),
    ("fan", fan, 400000, []),
]


def export_seconds(korvo, module, scene, target, options, runs):
    command = [korvo, "export", scene, "-o", target] + options + (["--module", module] if module else [])
    times = []
    for _ in range(runs):
        if os.path.exists(target):
            os.remove(target)
        start = time.monotonic()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.monotonic() - start)
    return statistics.median(times)


def main():
    args = sys.argv[1:]
    if not args:
        sys.exit(__doc__)
    korvo, module, runs, keep = args[0], None, 3, None
    i = 1
    while i < len(args):
        if args[i] == "--module":
            module = args[i + 1]
        elif args[i] == "--runs":
            runs = int(args[i + 1])
        elif args[i] == "--keep":
            keep = args[i + 1]
        else:
            sys.exit("unknown option " + args[i])
        i += 2
    work = tempfile.mkdtemp(prefix="dorna-hostile.")
    out = keep or work
    print("%-20s %9s %9s %12s %12s %7s" % ("shape", "small", "large", "s/item small", "s/item large", "ratio"))
    for name, make, size, options in SHAPES:
        per_item = []
        for count in (size // 10, size):
            scene = os.path.join(work, "%s-%d.korvo.json" % (make.__name__, count))
            if not os.path.exists(scene):
                with open(scene, "w") as f:
                    json.dump(make(count), f)
            target = os.path.join(out, "%s-%d.x" % (name, count))
            per_item.append(export_seconds(korvo, module, scene, target, options, runs) / count)
        print("%-20s %9d %9d %12.3e %12.3e %7.2f" % (name, size // 10, size, per_item[0], per_item[1],
                                                      per_item[1] / per_item[0]))
    for entry in os.listdir(work):
        os.remove(os.path.join(work, entry))
    os.rmdir(work)


if __name__ == "__main__":
    main()
