#!/usr/bin/env python3
"""Writes a benchmark tree: FILES files spread over FOLDERS folders, mixed sizes, some hidden.

    make-tree.py ROOT [FILES] [FOLDERS]

Sizes are fixed by a seeded generator, so every run measures the same tree.
"""
import os
import random
import sys

root = sys.argv[1]
files = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
folders = int(sys.argv[3]) if len(sys.argv) > 3 else 2_000
rng = random.Random(20261206)
chunk = b"r" * 65536

for f in range(folders):
    # Every fourth folder nests its files one level down, every tenth holds a hidden folder.
    base = os.path.join(root, f"folder-{f:04d}")
    sub = os.path.join(base, "nested") if f % 4 == 0 else base
    os.makedirs(sub, exist_ok=True)
    hidden = os.path.join(base, ".cache") if f % 10 == 0 else None
    if hidden:
        os.makedirs(hidden, exist_ok=True)
    for i in range(files // folders):
        r = rng.random()
        size = rng.randint(0, 2048) if r < 0.80 else rng.randint(2048, 16384) if r < 0.98 else 65536
        where = hidden if hidden and i % 7 == 0 else sub
        name = (".h" if i % 13 == 0 else "f") + f"{i:03d}.dat"
        with open(os.path.join(where, name), "wb") as out:
            out.write(chunk[:size])
