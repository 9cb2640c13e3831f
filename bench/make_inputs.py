#!/usr/bin/env python3
"""Writes the inputs of bench/run into one folder (Python standard library only):

  sphere-1m.glb, sphere-100k.glb   UV spheres: positions, smooth normals, texture
                                   coordinates, 32-bit indices
  grid-1m.glb, grid-100k.glb       flat-shaded height fields: every triangle has its own
                                   three vertices and its face normal
  rigged.korvo.json                a tube of 8,192 triangles skinned to a chain of 64
                                   bones, every bone keyed at each of 2,000 frames

With --large, only sphere-10m.glb: the same sphere at 10,000,000 triangles.

Triangle counts are printed, one "NAME TRIANGLES" line per file, for the ratios.
"""
import json
import math
import struct
import sys
from array import array


def glb(path, positions, normals, texcoords, indices, name):
    """One mesh, one node: a JSON chunk and a BIN chunk (glTF 2.0 binary)."""
    views, accessors, blobs, offset = [], [], [], 0

    def add(data, target, component, kind, count, bounds=None):
        nonlocal offset
        raw = data.tobytes()
        views.append({"buffer": 0, "byteOffset": offset, "byteLength": len(raw), "target": target})
        accessor = {"bufferView": len(views) - 1, "componentType": component, "count": count, "type": kind}
        if bounds:
            accessor["min"], accessor["max"] = bounds
        accessors.append(accessor)
        blobs.append(raw)
        offset += len(raw)  # every array holds 4-byte elements: alignment stays

    def bounds3(a):
        return ([min(a[i::3]) for i in range(3)], [max(a[i::3]) for i in range(3)])

    vertex_count = len(positions) // 3
    add(positions, 34962, 5126, "VEC3", vertex_count, bounds3(positions))
    add(normals, 34962, 5126, "VEC3", vertex_count)
    add(texcoords, 34962, 5126, "VEC2", vertex_count)
    add(indices, 34963, 5125, "SCALAR", len(indices))
    document = {
        "asset": {"version": "2.0", "generator": "dorna bench/make_inputs.py"},
        "scene": 0,
        "scenes": [{"nodes": [0]}],
        "nodes": [{"name": name, "mesh": 0}],
        "meshes": [{"name": name, "primitives": [{
            "attributes": {"POSITION": 0, "NORMAL": 1, "TEXCOORD_0": 2}, "indices": 3, "mode": 4}]}],
        "buffers": [{"byteLength": offset}],
        "bufferViews": views,
        "accessors": accessors,
    }
    text = json.dumps(document, separators=(",", ":")).encode()
    text += b" " * (-len(text) % 4)
    binary = b"".join(blobs)
    with open(path, "wb") as f:
        f.write(struct.pack("<4sII", b"glTF", 2, 12 + 8 + len(text) + 8 + len(binary)))
        f.write(struct.pack("<I4s", len(text), b"JSON"))
        f.write(text)
        f.write(struct.pack("<I4s", len(binary), b"BIN\0"))
        f.write(binary)
    return len(indices) // 3


def sphere(path, segments, rings):
    """(rings + 1) x (segments + 1) vertices; 2 x segments x (rings - 1) triangles, one
    fan row at each pole. Counter-clockwise seen from outside, as glTF wants."""
    positions, normals, texcoords, indices = array("f"), array("f"), array("f"), array("I")
    for r in range(rings + 1):
        theta = math.pi * r / rings
        y, ring_radius = math.cos(theta), math.sin(theta)
        for s in range(segments + 1):
            phi = 2 * math.pi * s / segments
            x, z = ring_radius * math.cos(phi), -ring_radius * math.sin(phi)
            positions.extend((x, y, z))
            normals.extend((x, y, z))
            texcoords.extend((s / segments, r / rings))
    row = segments + 1
    for r in range(rings):
        for s in range(segments):
            a, b = r * row + s, r * row + s + 1
            c, d = a + row, b + row
            if r > 0:
                indices.extend((a, c, b))
            if r < rings - 1:
                indices.extend((b, c, d))
    return glb(path, positions, normals, texcoords, indices, "Sphere")


def height(i, j):
    """A repeatable, irregular height: neighbouring facets lean different ways."""
    h = (i * 73856093) ^ (j * 19349663)
    h = (h ^ (h >> 13)) * 1274126177 & 0xFFFFFFFF
    return (h & 0xFFFF) / 0xFFFF * 2.0


def grid(path, columns, rows):
    """2 x columns x rows triangles over unit cells, three own vertices each."""
    heights = [[height(i, j) for i in range(columns + 1)] for j in range(rows + 1)]
    positions, normals, texcoords = array("f"), array("f"), array("f")
    for j in range(rows):
        for i in range(columns):
            corners = [(i, heights[j][i], j), (i + 1, heights[j][i + 1], j),
                       (i, heights[j + 1][i], j + 1), (i + 1, heights[j + 1][i + 1], j + 1)]
            for a, b, c in ((0, 2, 1), (1, 2, 3)):  # counter-clockwise seen from above
                p, q, w = corners[a], corners[b], corners[c]
                u = (q[0] - p[0], q[1] - p[1], q[2] - p[2])
                v = (w[0] - p[0], w[1] - p[1], w[2] - p[2])
                n = (u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0])
                length = math.sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2])
                n = (n[0] / length, n[1] / length, n[2] / length)
                for x, y, z in (p, q, w):
                    positions.extend((x, y, z))
                    normals.extend(n)
                    texcoords.extend((x / columns, z / rows))
    indices = array("I", range(len(positions) // 3))
    return glb(path, positions, normals, texcoords, indices, "Grid")


def rigged(path, bones=64, frames=2000, around=32, rings_per_bone=2, fps=30):
    """A tube along +Y, one unit per bone, under a chain of bones; each ring of points is
    weighted to the bones whose middles are within one unit. Every bone turns about Z
    and X with its own phase, one key per frame."""
    rings = bones * rings_per_bone + 1
    points, polygons = [], []
    for r in range(rings):
        y = r / rings_per_bone
        for k in range(around):
            a = 2 * math.pi * k / around
            points.append([round(0.3 * math.cos(a), 6), round(y, 6), round(0.3 * math.sin(a), 6)])
    for r in range(rings - 1):
        for k in range(around):
            a, b = r * around + k, r * around + (k + 1) % around
            polygons.append([a, a + around, b + around, b])
    weights = {}
    for bone in range(bones):
        per_point = []
        for r in range(rings):  # a hat over the bone's middle: neighbours blend
            w = max(0.0, 1.0 - abs(r / rings_per_bone - (bone + 0.5)))
            per_point.extend([round(w, 4)] * around)
        weights["bone%d" % bone] = per_point

    def bone_object(index):
        keys = [[f, round(0.3 * math.sin(0.02 * f + 0.3 * index), 5), 0,
                 round(0.2 * math.sin(0.013 * f + 0.5 * index), 5)] for f in range(frames)]
        o = {"name": "Bone%d" % index, "id": "bone%d" % index, "type": "bone",
             "position": [0, 0 if index == 0 else 1, 0],
             "rest": {"position": [0, 0 if index == 0 else 1, 0], "rotation": [0, 0, 0], "scale": [1, 1, 1]},
             "animation": {"rotation": keys}}
        if index + 1 < bones:
            o["children"] = [bone_object(index + 1)]
        return o

    scene = {"korvo": 1, "fps": fps, "endFrame": frames,
             "objects": [{"name": "Tube", "type": "polygon", "points": points, "polygons": polygons,
                          "weights": weights},
                         bone_object(0)]}
    with open(path, "w") as f:
        json.dump(scene, f, separators=(",", ":"))
    return 2 * len(polygons)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--large":
        # The scale run: a sphere of 10,000,000 triangles (about 280 MB), written alone.
        print("sphere-10m", sphere(sys.argv[2] + "/sphere-10m.glb", 3125, 1601))
        return
    if len(sys.argv) != 2:
        sys.exit("usage: make_inputs.py [--large] FOLDER")
    folder = sys.argv[1]
    made = [
        ("sphere-100k", sphere(folder + "/sphere-100k.glb", 316, 159)),
        ("sphere-1m", sphere(folder + "/sphere-1m.glb", 1000, 501)),
        ("grid-100k", grid(folder + "/grid-100k.glb", 250, 200)),
        ("grid-1m", grid(folder + "/grid-1m.glb", 1000, 500)),
        ("rigged", rigged(folder + "/rigged.korvo.json")),
    ]
    for name, triangles in made:
        print(name, triangles)


if __name__ == "__main__":
    main()
