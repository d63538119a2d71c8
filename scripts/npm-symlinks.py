#!/usr/bin/env python3
"""Makes the symbolic links that an unpacked npm server package lists in
native/pg-symlinks.json (npm tarballs carry no links).
Usage: npm-symlinks.py PACKAGE_DIR"""
import json
import os
import sys

root = sys.argv[1]
for link in json.load(open(os.path.join(root, "native", "pg-symlinks.json"))):
    source, target = (os.path.join(root, link[k]) for k in ("source", "target"))
    if not os.path.lexists(target):
        os.symlink(os.path.relpath(source, os.path.dirname(target)), target)
