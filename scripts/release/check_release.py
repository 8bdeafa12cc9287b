#!/usr/bin/env python3
"""Checks a release made by scripts/release.sh:

    check_release.py DIST VERSION

For each program in DIST/updater-VERSION/ (updater.exe, updtool.exe):
- its version resource says VERSION (FileVersion, ProductVersion, the fixed
  numbers) and names the program;
- it holds no build-time data: no link time in the PE header, no date in the
  version resource, no time in the resource directories;
- it has no debug sections, and its .gnu_debuglink names its debug file in
  DIST/updater-VERSION-debug/, whose CRC-32 it holds and which has them.
And: SHA256SUMS holds the digests of the folder's other files; the zip holds
exactly the folder's files, byte for byte, in name order, with one time and
one mode.

Prints each problem and exits 1 if there was any. Standard library only.
"""

import hashlib
import os
import struct
import sys
import zipfile
import zlib

PROGRAMS = ("updater.exe", "updtool.exe")
RT_VERSION = 16


class PeFile:
    """The parts of a 32-bit PE file the checks read."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (_, count, self.time_stamp, symbols_at, symbols,
         optional_size, _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x10B:
            raise ValueError("not a 32-bit PE file")
        # Data directory 2: the resources.
        self.resource_rva = struct.unpack_from("<I", data, optional + 96 + 2 * 8)[0]
        # Names longer than 8 characters are "/offset" into the string
        # table after the symbols.
        strings = symbols_at + symbols * 18
        self.sections = {}
        for i in range(count):
            raw, size, rva, raw_size, raw_at = struct.unpack_from(
                "<8sIIII", data, optional + optional_size + 40 * i)
            name = raw.rstrip(b"\0").decode("ascii")
            if name.startswith("/"):
                at = strings + int(name[1:])
                name = data[at:data.index(b"\0", at)].decode("ascii")
            self.sections[name] = (rva, size, raw_at, raw_size)

    def section(self, name):
        _, size, raw_at, raw_size = self.sections[name]
        return self.data[raw_at:raw_at + min(size, raw_size)]

    def at_rva(self, rva, size):
        for start, _, raw_at, raw_size in self.sections.values():
            if start <= rva and rva + size <= start + raw_size:
                return self.data[raw_at + rva - start:raw_at + rva - start + size]
        raise ValueError("address %#x is in no section" % rva)

    def resource(self, type_id):
        """The first resource of a type, and the time stamps of the
        directories on the way to it."""
        stamps = []

        def directory(offset):
            header = self.at_rva(self.resource_rva + offset, 16)
            _, stamp, _, _, named, ids = struct.unpack("<IIHHHH", header)
            stamps.append(stamp)
            table = self.at_rva(self.resource_rva + offset + 16, 8 * (named + ids))
            return [struct.unpack_from("<II", table, 8 * i) for i in range(named + ids)]

        entries = [e for e in directory(0) if e[0] == type_id]
        if not entries:
            return None, stamps
        for _ in range(2):  # name, then language: the first of each
            assert entries[0][1] & 0x80000000, "a subdirectory"
            entries = directory(entries[0][1] & 0x7FFFFFFF)
        data_rva, size = struct.unpack("<II", self.at_rva(self.resource_rva + entries[0][1], 8))
        return self.at_rva(data_rva, size), stamps


def version_values(block):
    """The nodes of a VS_VERSIONINFO block as {"/VS_VERSION_INFO/...": value}:
    text for string values, bytes otherwise."""
    values = {}

    def node(at, path):
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        key_end = at + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        path += "/" + block[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if kind == 1 else value_length
        value = block[value_at:value_at + value_size]
        values[path] = value.decode("utf-16-le").rstrip("\0") if kind == 1 else value
        child = (value_at + value_size + 3) & ~3
        while child < at + length:
            child_length = struct.unpack_from("<H", block, child)[0]
            if child_length == 0:
                break
            node(child, path)
            child = (child + child_length + 3) & ~3

    node(0, "")
    return values


def check_program(path, debug_folder, version, problems):
    name = os.path.basename(path)

    def problem(text):
        problems.append("%s: %s" % (name, text))

    with open(path, "rb") as f:
        pe = PeFile(f.read())
    if pe.time_stamp != 0:
        problem("link time %#x in the PE header" % pe.time_stamp)
    debug_sections = sorted(s for s in pe.sections if s.startswith((".debug", ".zdebug")))
    if debug_sections:
        problem("debug sections " + ", ".join(debug_sections))

    block, stamps = pe.resource(RT_VERSION)
    if block is None:
        problem("no version resource")
    else:
        if any(stamps):
            problem("time stamps in the resource directories: %s" % stamps)
        values = version_values(block)
        fixed = values.get("/VS_VERSION_INFO", b"")
        if len(fixed) != 52 or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
            problem("no fixed version information")
        else:
            words = struct.unpack("<13I", fixed)
            numbers = [int(n) for n in version.split(".")] + [0] * 4
            high, low = numbers[0] << 16 | numbers[1], numbers[2] << 16 | numbers[3]
            if (words[2], words[3], words[4], words[5]) != (high, low, high, low):
                problem("fixed FileVersion/ProductVersion %#x %#x %#x %#x, not %s"
                        % (words[2], words[3], words[4], words[5], version))
            if words[11] or words[12]:
                problem("a file date in the version resource")
        strings = {key.rsplit("/", 1)[1]: value for key, value in values.items()
                   if key.startswith("/VS_VERSION_INFO/StringFileInfo/") and key.count("/") == 4}
        for key, want in (("FileVersion", version), ("ProductVersion", version),
                          ("OriginalFilename", name)):
            if strings.get(key) != want:
                problem("%s is %r, not %r" % (key, strings.get(key), want))

    if ".gnu_debuglink" not in pe.sections:
        problem("no .gnu_debuglink")
        return
    link = pe.section(".gnu_debuglink")
    linked = link[:link.index(b"\0")].decode("ascii")
    crc = struct.unpack_from("<I", link, (len(linked) + 4) & ~3)[0]
    debug_path = os.path.join(debug_folder, linked)
    if linked != name + ".debug" or not os.path.isfile(debug_path):
        problem("its debug link names %r, not %s beside the release" % (linked, name + ".debug"))
        return
    with open(debug_path, "rb") as f:
        debug = f.read()
    if zlib.crc32(debug) != crc:
        problem("the CRC-32 in its debug link is not that of " + debug_path)
    missing = {".debug_info", ".debug_line"} - set(PeFile(debug).sections)
    if missing:
        problem("%s lacks %s" % (linked, ", ".join(sorted(missing))))


def check_release(dist, version):
    problems = []
    name = "updater-" + version
    folder = os.path.join(dist, name)
    if not os.path.isdir(folder):
        return ["no release folder " + folder]
    files = sorted(os.listdir(folder))
    expected = sorted(("README.txt", "SHA256SUMS") + PROGRAMS)
    if files != expected:
        problems.append("%s holds %s, not %s" % (folder, files, expected))
    for program in PROGRAMS:
        if program in files:
            check_program(os.path.join(folder, program), os.path.join(dist, name + "-debug"),
                          version, problems)

    contents = {}
    for f in files:
        with open(os.path.join(folder, f), "rb") as stream:
            contents[f] = stream.read()
    sums = {}
    for line in contents.get("SHA256SUMS", b"").decode("ascii").splitlines():
        digest, listed = line.split("  ", 1)
        sums[listed] = digest
    for f in files:
        if f == "SHA256SUMS":
            continue
        if sums.get(f) != hashlib.sha256(contents[f]).hexdigest():
            problems.append("SHA256SUMS: no or a wrong digest for " + f)
    for listed in sorted(set(sums) - set(files)):
        problems.append("SHA256SUMS lists %s, which the release does not hold" % listed)

    with zipfile.ZipFile(os.path.join(dist, name + ".zip")) as archive:
        entries = archive.infolist()
        names = [e.filename for e in entries]
        if names != [name + "/" + f for f in files]:
            problems.append("the zip holds %s, not the folder's files in name order" % names)
        for entry in entries:
            inside = entry.filename.split("/", 1)[-1]
            if archive.read(entry) != contents.get(inside):
                problems.append("zip: %s differs from the folder's" % entry.filename)
        if len({e.date_time for e in entries}) > 1 or len({e.external_attr for e in entries}) > 1:
            problems.append("zip: the entries' times or modes differ")
    return problems


def main():
    if len(sys.argv) != 3:
        print("usage: check_release.py DIST VERSION", file=sys.stderr)
        return 2
    problems = check_release(sys.argv[1], sys.argv[2])
    for p in problems:
        print("check_release.py: " + p, file=sys.stderr)
    if not problems:
        print("check_release.py: updater-%s: versions, debug links, digests and zip in order"
              % sys.argv[2])
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
