#!/usr/bin/env python3
"""Checks that the source tree's layers depend on each other one way only.

    tools/check_layers.py [SRC_DIR]

Every `#include "layer/..."` of a file under SRC_DIR (default: src/ beside
this script) must name its own layer or one the table below allows; Qt
headers belong to the desktop program alone. Prints every include that
breaks the rule and exits with 1 when there is one.
"""
import os
import re
import sys

# layer -> the layers its files may include
ALLOWED = {
    "base": set(),
    "geometry": {"base"},
    "tiger": {"base", "geometry"},
    "formats": {"base", "geometry"},
    "features": {"base", "geometry", "tiger", "formats"},
    "view": {"base", "geometry", "formats"},
    "run": {"base", "geometry", "tiger", "formats", "features"},
    "cli": {"base", "run"},
    "ui": {"base", "run", "view"},
}
QT_LAYERS = {"ui"}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCE = re.compile(r"\.(h|hpp|cpp|cc)$")


def violations(src):
    found = []
    for layer in sorted(os.listdir(src)):
        root = os.path.join(src, layer)
        if not os.path.isdir(root):
            continue
        allowed = ALLOWED.get(layer)
        for directory, _, names in os.walk(root):
            for name in sorted(names):
                if not SOURCE.search(name):
                    continue
                path = os.path.join(directory, name)
                rel = os.path.relpath(path, src)
                if allowed is None:
                    found.append("%s: the layer %s is not in the layer table" % (rel, layer))
                    continue
                with open(path, encoding="latin-1") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(2)
                        if m.group(1) == "<":
                            if target.startswith("Q") and layer not in QT_LAYERS:
                                found.append("%s:%d: %s includes Qt (%s)" % (rel, number, layer, target))
                            continue
                        used = target.split("/", 1)[0] if "/" in target else layer
                        if used != layer and used not in allowed:
                            found.append("%s:%d: %s may not include %s" % (rel, number, layer, target))
    return found


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(here), "src")
    found = violations(src)
    for v in found:
        print(v)
    if found:
        print("%d include(s) against the direction of the layers" % len(found))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
