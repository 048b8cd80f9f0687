"""The layers of src/ depend on each other one way only: the checker finds
no include against the direction of the layers in the tree, and it does
find one added to a copy of the tree (a reader reaching up to the session,
a format writer using the TIGER tables, Qt outside the desktop program).
"""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.environ.get("ZALOR_SRC", os.path.dirname(os.path.dirname(HERE)))
CHECKER = os.path.join(SOURCE, "tools", "check_layers.py")


def check(src):
    p = subprocess.run([sys.executable, CHECKER, src], capture_output=True, text=True)
    return p.returncode, p.stdout


def main():
    failures = 0
    code, out = check(os.path.join(SOURCE, "src"))
    if code != 0:
        print("FAIL: the source tree breaks the layers:\n" + out)
        failures += 1
    forbidden = [
        ("tiger/chains.cpp", '#include "run/session.h"', "tiger may not include run/session.h"),
        ("formats/kxf.h", '#include "tiger/county.h"', "formats may not include tiger/county.h"),
        ("geometry/assembly.cpp", '#include "tiger/county.h"', "geometry may not include tiger/county.h"),
        ("features/lines.cpp", '#include "run/log.h"', "features may not include run/log.h"),
        ("run/driver.cpp", "#include <QString>", "run includes Qt"),
    ]
    for path, line, message in forbidden:
        with tempfile.TemporaryDirectory() as work:
            copy = os.path.join(work, "src")
            shutil.copytree(os.path.join(SOURCE, "src"), copy)
            with open(os.path.join(copy, path), "a") as f:
                f.write("\n" + line + "\n")
            code, out = check(copy)
            if code != 1 or message not in out:
                print("FAIL: %s added to %s was not found (exit %d):\n%s" % (line, path, code, out))
                failures += 1
    if failures:
        return 1
    print("layers test: the tree is layered and %d forbidden includes are found" % len(forbidden))
    return 0


if __name__ == "__main__":
    sys.exit(main())
