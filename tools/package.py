#!/usr/bin/env python3
"""Packs the released builds into dist/Somnivar-<version>-x86.zip and -x64.zip.

Each zip holds Somnivar.exe and Vantrel.dll from the build's bin folder, the help text
Readme.txt and the example watch lists under samples/. Members come in a fixed order and
carry the commit's time, so the same commit always packs the same bytes. Nothing is packed
that a Windows user could not run: a program of the other architecture, a hook library whose
exports differ from the five the program imports, or a text that is not code page 932 with
CR LF line ends stops the packing.
    python3 tools/package.py      (tools/package.sh builds first, then runs this)
"""
import pathlib
import re
import struct
import subprocess
import sys
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Name in the zip's file name: (build preset, PE machine of its files).
ARCHITECTURES = {"x86": ("win-x86", 0x14C), "x64": ("win-x64", 0x8664)}
HOOK_EXPORTS = ["FreeHook", "LastEventTime", "MessageCheck", "MessageSet", "SetHook"]


def version():
    """Major.minor of the CMake project: the one place the version is written down."""
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(Somnivar VERSION (\d+)\.(\d+)", text)
    if not match:
        sys.exit("package: no project version in CMakeLists.txt")
    return "%s.%s" % match.groups()


def members(preset):
    """(name in the zip, file) in the order the zip lists them."""
    bin_dir = ROOT / "build" / preset / "bin"
    return [
        ("Somnivar.exe", bin_dir / "Somnivar.exe"),
        ("Vantrel.dll", bin_dir / "Vantrel.dll"),
        ("Readme.txt", ROOT / "info" / "Readme.txt"),
        ("samples/FileList.txt", ROOT / "watchlists" / "samples" / "FileList.txt"),
        ("samples/TitleList.txt", ROOT / "watchlists" / "samples" / "TitleList.txt"),
    ]


def machine_and_exports(image):
    """The PE machine of an executable image and the sorted names that it exports."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        return None, []
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    optional = pe + 24
    pe32 = struct.unpack_from("<H", image, optional)[0] == 0x10B
    export_rva = struct.unpack_from("<I", image, optional + (96 if pe32 else 112))[0]
    table = [struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8) for i in range(sections)]

    def offset(rva):  # file offset of a relative virtual address
        return next(raw + rva - start for size, start, _, raw in table if start <= rva < start + size)

    if not export_rva:
        return machine, []
    count, names = struct.unpack_from("<I4xI", image, offset(export_rva) + 24)
    return machine, sorted(image[offset(rva):image.index(b"\0", offset(rva))].decode()
                           for rva in struct.unpack_from("<%dI" % count, image, offset(names)))


def problem(name, data, machine):
    """What makes this member unfit to ship, or None."""
    if name.endswith((".exe", ".dll")):
        found, exports = machine_and_exports(data)
        if found != machine:
            return "not a program for machine %#x" % machine
        if name == "Vantrel.dll" and exports != HOOK_EXPORTS:
            return "exports %s" % exports
        return None
    try:
        data.decode("cp932")
    except UnicodeDecodeError:
        return "not code page 932"
    if not data.endswith(b"\r\n") or data.count(b"\n") != data.count(b"\r\n"):
        return "not CR LF throughout"
    return None


def commit_time():
    seconds = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, check=True,
                             capture_output=True, text=True).stdout.strip()
    # Zip times have no time zone; UTC keeps them the same on every machine. Zip cannot hold
    # odd seconds.
    return time.gmtime(int(seconds) & ~1)[:6]


def contents(preset, machine):
    """(name in the zip, bytes) of every member, or the reason why this package cannot ship."""
    files = []
    for name, source in members(preset):
        if not source.is_file():
            sys.exit("package: %s is missing" % source)
        data = source.read_bytes()
        fault = problem(name, data, machine)
        if fault:
            sys.exit("package: %s: %s" % (source, fault))
        files.append((name, data))
    return files


def pack():
    output_dir = ROOT / "dist"
    output_dir.mkdir(exist_ok=True)
    stamp = commit_time()
    for architecture, (preset, machine) in ARCHITECTURES.items():
        files = contents(preset, machine)
        path = output_dir / ("Somnivar-%s-%s.zip" % (version(), architecture))
        partial = path.with_suffix(".zip.partial")
        with zipfile.ZipFile(partial, "w") as archive:
            for name, data in files:
                info = zipfile.ZipInfo(name, date_time=stamp)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.create_system = 0        # MS-DOS attributes, as Windows itself writes them
                info.external_attr = 0x20     # FILE_ATTRIBUTE_ARCHIVE
                archive.writestr(info, data, compresslevel=9)
        partial.replace(path)
        print(path.relative_to(ROOT))


if __name__ == "__main__":
    pack()
