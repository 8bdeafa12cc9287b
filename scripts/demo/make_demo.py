#!/usr/bin/env python3
"""Makes the demo's installed product and its update folder.

    make_demo.py STUB_DIR UPDATE_DIR INSTALL_DIR MANIFEST

Both folders are emptied and filled afresh, so the demo can run any number of
times. The manifest (JSON) records what each listed file is on both sides and
a digest of the installed copy, for report.py to compare after the run.
Standard library only.
"""
import hashlib
import json
import os
import shutil
import struct
import sys
import zlib

ENCODING = "cp932"  # the updater's texts and names are code page 932


def pak_v2(revision, entries):
    """A version-2 .pak: 276-byte header, zlib-packed index, then the data.

    entries: (name, data, compress). Offsets count from the data area."""
    index = b""
    area = b""
    for name, data, compress in entries:
        stored = zlib.compress(data, 9) if compress else data
        raw_name = name.encode(ENCODING)
        index += struct.pack("<I", len(raw_name)) + raw_name
        index += struct.pack("<IIIII", len(area), 0, len(data), 1 if compress else 0,
                             len(stored))
        area += stored
    packed = zlib.compress(index, 9)
    header = struct.pack("<IIIIi", 2, len(entries), len(index), len(packed), revision)
    extra = b"Starfall demo data".ljust(256, b"\0")
    return header + extra + packed + area


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


def main():
    stub_dir, update_dir, install_dir, manifest_path = sys.argv[1:5]
    for folder in (update_dir, install_dir):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)

    def stub(name):
        with open(os.path.join(stub_dir, name), "rb") as f:
            return f.read()

    old = 978350400    # 2001-01-01: the installed copies
    new = 1735732800   # 2025-01-01: the update
    level = "\r\n".join(f"row {i}: " + "森" * (i % 40) for i in range(400)).encode(ENCODING)
    # name: (kind, shipped bytes, shipped version, installed bytes, installed version)
    files = {
        "readme.txt": ("plain",
                       "スターフォール 1.2 の変更点\r\n- 新しいマップ「森」\r\n".encode(ENCODING), None,
                       "スターフォール 1.0\r\n".encode(ENCODING), None),
        "starfall.exe": ("exe", stub("starfall-1.2.0.exe"), "1.2.0",
                         stub("starfall-1.0.0.exe"), "1.0.0"),
        "engine.dll": ("dll", stub("engine-3.0.dll"), "3.0", stub("engine-3.1.dll"), "3.1"),
        "data.pak": ("pak",
                     pak_v2(12, [("image\\title.bmp", b"BM" + bytes(5000), True),
                                 ("level\\forest.txt", level, True),
                                 ("credits.txt", "制作 Quillmark\r\n".encode(ENCODING), False)]),
                     "12",
                     pak_v2(11, [("image\\title.bmp", b"BM" + bytes(4000), True),
                                 ("credits.txt", b"Quillmark\r\n", False)]),
                     "11"),
        "maps\\forest.map": ("plain", b"FOREST" + bytes(70000), None, None, None),
    }
    manifest = {"files": []}
    for name, (kind, shipped, shipped_version, installed, installed_version) in files.items():
        relative = name.replace("\\", os.sep)
        write(os.path.join(update_dir, relative), shipped, new)
        if installed is not None:
            write(os.path.join(install_dir, relative), installed, old)
        manifest["files"].append({
            "name": name, "kind": kind,
            "shipped_version": shipped_version, "installed_version": installed_version,
            "shipped_sha256": hashlib.sha256(shipped).hexdigest(),
            "installed_sha256": digest(os.path.join(install_dir, relative)),
        })
    ini = ("[update]\r\n"
           "' Settings of the Starfall 1.2 update\r\n"
           "Brand=Quillmark\r\n"
           "Name=StarfallDemo\r\n"
           "Title=スターフォール\r\n"
           "Version=1.2\r\n"
           "file=" + ";".join(files) + "\r\n")
    write(os.path.join(update_dir, "update.ini"), ini.encode(ENCODING), new)
    with open(manifest_path, "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main()
