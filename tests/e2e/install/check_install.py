#!/usr/bin/env python3
"""Checks a Wine prefix against the demo package's manifest: every entry at its destination with the
packaged bytes (installed), or none of the application's own files left (absent)."""
import argparse
import hashlib
import json
import os
import sys
from pathlib import Path


def destination_folders(prefix, wow64):
    drive = Path(prefix) / "drive_c"
    windows = drive / "windows"
    return {
        0: drive / "Program Files (x86)" / "Zelnsoft",
        # The 32-bit installer on 64-bit Windows reaches the 64-bit system folder through the "Sysnative"
        # alias, and its "System32" is the 32-bit one. The 64-bit test build is not redirected: there
        # "Sysnative" is an ordinary folder the engine makes.
        1: windows / ("system32" if wow64 else "Sysnative"),
        2: windows / ("syswow64" if wow64 else "system32"),
        3: windows / "Fonts",
        6: drive / "users" / os.environ.get("USER", "root") / "AppData" / "Roaming",
    }


def digest(path):
    md5 = hashlib.md5()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(65536), b""):
            md5.update(block)
    return md5.hexdigest()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("prefix")
    parser.add_argument("manifest", type=Path)
    parser.add_argument("expect", choices=["installed", "absent"])
    parser.add_argument("--wow64", action="store_true", help="the installer ran as a 32-bit process")
    parser.add_argument("--users-own", action="append", default=[], metavar="NAME",
                        help="a per-user entry the user has changed: it must be there, with their bytes")
    args = parser.parse_args()
    manifest = json.loads(args.manifest.read_text(encoding="utf-8"))
    folders = destination_folders(args.prefix, args.wow64)
    problems = []
    placed = 0
    for entry in manifest["files"]:
        target = folders[entry["kind"]] / entry["name"].replace("\\", "/")
        if args.expect == "installed":
            if not target.is_file():
                problems.append(f"missing: {target}")
            elif entry["name"] not in args.users_own and digest(target) != digest(args.manifest.parent / entry["source"]):
                problems.append(f"differs from the package: {target}")
            else:
                placed += 1
        elif entry["kind"] == 0 and target.exists():
            problems.append(f"left behind: {target}")
    for problem in problems:
        print(problem)
    if args.expect == "installed":
        print(f"{placed} of {len(manifest['files'])} entries in place")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
