#!/usr/bin/env python3
"""Packs the released builds into dist/Somnivar-<version>-x86.zip and -x64.zip.

Each zip holds Somnivar.exe and Vantrel.dll from the build's bin folder, the help text
Readme.txt and the example watch lists under samples/. Members come in a fixed order and
carry the commit's time, so the same commit always packs the same bytes.
    python3 tools/package.py [OUTPUT_DIR]      (tools/package.sh builds first, then runs this)
"""
import pathlib
import re
import subprocess
import sys
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
ARCHITECTURES = {"x86": "win-x86", "x64": "win-x64"}  # name in the zip's file name: build preset


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


def commit_time():
    seconds = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, check=True,
                             capture_output=True, text=True).stdout.strip()
    # Zip times have no time zone; UTC keeps them the same on every machine. Zip cannot hold
    # odd seconds.
    return time.gmtime(int(seconds) & ~1)[:6]


def pack(output_dir):
    output_dir.mkdir(parents=True, exist_ok=True)
    stamp = commit_time()
    for architecture, preset in ARCHITECTURES.items():
        path = output_dir / ("Somnivar-%s-%s.zip" % (version(), architecture))
        partial = path.with_suffix(".zip.partial")
        with zipfile.ZipFile(partial, "w") as archive:
            for name, source in members(preset):
                if not source.is_file():
                    sys.exit("package: %s is missing" % source)
                info = zipfile.ZipInfo(name, date_time=stamp)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.create_system = 0        # MS-DOS attributes, as Windows itself writes them
                info.external_attr = 0x20     # FILE_ATTRIBUTE_ARCHIVE
                archive.writestr(info, source.read_bytes(), compresslevel=9)
        partial.replace(path)
        print(path.relative_to(ROOT) if path.is_relative_to(ROOT) else path)


if __name__ == "__main__":
    pack(pathlib.Path(sys.argv[1]).resolve() if len(sys.argv) > 1 else ROOT / "dist")
