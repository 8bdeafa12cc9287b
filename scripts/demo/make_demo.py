#!/usr/bin/env python3
"""Makes the demo's installed product and its update folder.

    make_demo.py folders STUB_DIR UPDATE_DIR INSTALL_DIR PAK_SOURCES
    make_demo.py manifest UPDATE_DIR INSTALL_DIR MANIFEST

`folders` empties both folders and fills them afresh, so the demo can run
any number of times, all but the data.pak archives: their contents go to
PAK_SOURCES/shipped and PAK_SOURCES/installed, for the publisher's tool to
pack (stage.sh). `manifest` then records what each listed file is on both
sides, with digests, for report.py to compare after the run.
Standard library only.
"""
import hashlib
import json
import os
import shutil
import sys

ENCODING = "cp932"  # the updater's texts and names are code page 932


def write(path, data, mtime):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (mtime, mtime))


def digest(path):
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


OLD = 978350400    # 2001-01-01: the installed copies
NEW = 1735732800   # 2025-01-01: the update

# name: (kind, shipped version, installed version)
VERSIONS = {
    "readme.txt": ("plain", None, None),
    "starfall.exe": ("exe", "1.2.0", "1.0.0"),
    "engine.dll": ("dll", "3.0", "3.1"),
    "data.pak": ("pak", "12", "11"),
    "maps\\forest.map": ("plain", None, None),
}


def folders(stub_dir, update_dir, install_dir, pak_sources):
    for folder in (update_dir, install_dir, pak_sources):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    def stub(name):
        with open(os.path.join(stub_dir, name), "rb") as f:
            return f.read()

    level = "\r\n".join(f"row {i}: " + "森" * (i % 40) for i in range(400)).encode(ENCODING)
    # name: (shipped bytes, installed bytes); the archives are packed later
    files = {
        "readme.txt": ("スターフォール 1.2 の変更点\r\n- 新しいマップ「森」\r\n".encode(ENCODING),
                       "スターフォール 1.0\r\n".encode(ENCODING)),
        "starfall.exe": (stub("starfall-1.2.0.exe"), stub("starfall-1.0.0.exe")),
        "engine.dll": (stub("engine-3.0.dll"), stub("engine-3.1.dll")),
        "maps\\forest.map": (b"FOREST" + bytes(70000), None),
    }
    for name, (shipped, installed) in files.items():
        relative = name.replace("\\", os.sep)
        write(os.path.join(update_dir, relative), shipped, NEW)
        if installed is not None:
            write(os.path.join(install_dir, relative), installed, OLD)
    # What data.pak holds, in each version; names with folders and Japanese.
    archives = {
        "shipped": {"image/title.bmp": b"BM" + bytes(5000), "level/forest.txt": level,
                    "credits.txt": "制作 Quillmark\r\n".encode(ENCODING),
                    "level/森の地図.txt": "森\r\n".encode(ENCODING)},
        "installed": {"image/title.bmp": b"BM" + bytes(4000), "credits.txt": b"Quillmark\r\n"},
    }
    for side, entries in archives.items():
        for name, data in entries.items():
            write(os.path.join(pak_sources, side, name.replace("/", os.sep)), data, NEW)
    ini = ("[update]\r\n"
           "' Settings of the Starfall 1.2 update\r\n"
           "Brand=Quillmark\r\n"
           "Name=StarfallDemo\r\n"
           "Title=スターフォール\r\n"
           "Version=1.2\r\n"
           "file=" + ";".join(VERSIONS) + "\r\n")
    write(os.path.join(update_dir, "update.ini"), ini.encode(ENCODING), NEW)


def manifest(update_dir, install_dir, manifest_path):
    result = {"files": []}
    for name, (kind, shipped_version, installed_version) in VERSIONS.items():
        relative = name.replace("\\", os.sep)
        result["files"].append({
            "name": name, "kind": kind,
            "shipped_version": shipped_version, "installed_version": installed_version,
            "shipped_sha256": digest(os.path.join(update_dir, relative)),
            "installed_sha256": digest(os.path.join(install_dir, relative)),
        })
    with open(manifest_path, "w", encoding="utf-8") as f:
        json.dump(result, f, ensure_ascii=False, indent=1)


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "folders":
        folders(*sys.argv[2:6])
    elif len(sys.argv) == 5 and sys.argv[1] == "manifest":
        manifest(*sys.argv[2:5])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
