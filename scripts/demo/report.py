#!/usr/bin/env python3
"""Says which demo files were updated or skipped, and why.

    report.py MANIFEST INSTALL_DIR

Compares the install folder after the run with the manifest written before
it. The expected decision follows the updater's rules: plain files are always
copied; programs, libraries and archives only when the installed version is
missing or not greater than the shipped one, compared as text, ignoring case.
Exit code 1 when a file did not end as expected.
"""
import hashlib
import json
import os
import sys


def digest(path):
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def expected(entry):
    kind, shipped, installed = entry["kind"], entry["shipped_version"], entry["installed_version"]
    label = {"exe": "FileVersion", "dll": "FileVersion", "pak": "archive revision"}.get(kind)
    if entry["installed_sha256"] is None:
        return True, "not installed yet"
    if label is None:
        return True, "plain file, always copied"
    if not installed:
        return True, f"installed copy has no {label}"
    if shipped and shipped.lower() >= installed.lower():
        return True, f"{label} {installed} -> {shipped}"
    return False, f"installed {label} {installed} is newer than shipped {shipped}"


def main():
    manifest_path, install_dir = sys.argv[1:3]
    with open(manifest_path, encoding="utf-8") as f:
        manifest = json.load(f)
    wrong = 0
    print("Result in the install folder:")
    for entry in manifest["files"]:
        after = digest(os.path.join(install_dir, entry["name"].replace("\\", os.sep)))
        should_apply, why = expected(entry)
        if after == entry["shipped_sha256"] and after != entry["installed_sha256"]:
            state = "added" if entry["installed_sha256"] is None else "updated"
            ok = should_apply
        elif after == entry["installed_sha256"]:
            state, ok = "skipped", not should_apply
        else:
            state, ok = "CHANGED UNEXPECTEDLY", False
        mark = "" if ok else "   <-- not what the update rules say"
        wrong += not ok
        print(f"  {entry['name']:<18} {state:<8} ({why}){mark}")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
