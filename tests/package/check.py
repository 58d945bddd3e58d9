#!/usr/bin/env python3
"""Checks dist/Somnivar-8.1-*.zip (made by tools/package.sh), then starts the unpacked x64 copy
under Wine through the Package test of win_tests.exe."""
import io
import os
import pathlib
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
NAMES = ["Somnivar.exe", "Vantrel.dll", "Readme.txt", "samples/FileList.txt", "samples/TitleList.txt"]
MACHINES = {"x86": 0x14C, "x64": 0x8664}
EXPORTS = ["FreeHook", "MessageCheck", "MessageSet", "SetHook"]


def pe_machine_and_exports(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0", "no PE header"
    machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
    optional = pe + 24
    directories = optional + (96 if struct.unpack_from("<H", image, optional)[0] == 0x10B else 112)
    export_rva = struct.unpack_from("<I", image, directories)[0]
    table = [struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8)
             for i in range(sections)]

    def offset(rva):  # file offset of a relative virtual address
        return next(raw + rva - start for size, start, _, raw in table if start <= rva < start + size)

    if not export_rva:
        return machine, []
    count, names = struct.unpack_from("<I4xI", image, offset(export_rva) + 24)
    return machine, sorted(image[offset(rva):image.index(b"\0", offset(rva))].decode()
                           for rva in struct.unpack_from("<%dI" % count, image, offset(names)))


def check_zip(path, architecture):
    with zipfile.ZipFile(path) as archive:
        assert archive.namelist() == NAMES, archive.namelist()
        for name in NAMES[:2]:
            machine, exports = pe_machine_and_exports(archive.read(name))
            assert machine == MACHINES[architecture], "%s: machine %#x" % (name, machine)
            assert name != "Vantrel.dll" or exports == EXPORTS, exports
        for name in NAMES[2:]:
            text = archive.read(name)
            text.decode("cp932")
            assert text.endswith(b"\r\n") and text.count(b"\n") == text.count(b"\r\n"), name + ": not CR LF"


def main():
    dist = ROOT / "dist"
    with tempfile.TemporaryDirectory() as again:
        subprocess.run([sys.executable, ROOT / "tools/package.py", again], check=True, stdout=subprocess.DEVNULL)
        for architecture in MACHINES:
            name = "Somnivar-8.1-%s.zip" % architecture
            assert (dist / name).read_bytes() == (pathlib.Path(again) / name).read_bytes(), name + " differs"
            check_zip(dist / name, architecture)

    folder = ROOT / "build" / "package-run"
    shutil.rmtree(folder, ignore_errors=True)
    zipfile.ZipFile(dist / "Somnivar-8.1-x64.zip").extractall(folder)
    environment = dict(os.environ, SOMNIVAR_PACKAGE_DIR="Z:" + str(folder).replace("/", "\\"))
    run = subprocess.run([ROOT / "tools/wine-run", ROOT / "build/win-x64/bin/win_tests.exe",
                          "--gtest_filter=Package.*"], env=environment, capture_output=True, text=True)
    print(run.stdout[-2000:], run.stderr[-2000:], sep="")
    assert run.returncode == 0 and "[  PASSED  ] 1 test" in run.stdout, "the unpacked x64 package failed"
    print("package: both zips checked, the unpacked x64 copy ran")


if __name__ == "__main__":
    main()
