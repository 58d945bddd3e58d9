#!/usr/bin/env python3
"""Packs the released builds into dist/Somnivar-<version>-x86.zip and -x64.zip.

Each zip holds Somnivar.exe and Vantrel.dll from the build's bin folder, the help text
Readme.txt and the example watch lists under samples/. Members come in a fixed order and
carry the commit's time, so the same commit always packs the same bytes. Nothing is packed
that a Windows user could not run: a program of the other architecture, a hook library whose
exports differ from the five the program imports, or a text that is not code page 932 with
CR LF line ends stops the packing. Nor is a program packed that Windows would refuse on a
system the package names: a manifest asking for another architecture's assemblies, a header
that demands a newer Windows, or an import that tools/imports.txt does not list for the
binary, or lists as newer than the package's oldest Windows.
    python3 tools/package.py          (tools/package.sh builds first, then runs this)
    python3 tools/package.py --check  (only the checks, on both builds; for tools/test.sh)
"""
import hashlib
import pathlib
import re
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ElementTree
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# Name in the zip's file name: (build preset, PE machine of its files, the manifest's name of
# that machine, the oldest Windows the package runs on).
ARCHITECTURES = {"x86": ("win-x86", 0x14C, "x86", "98"), "x64": ("win-x64", 0x8664, "amd64", "xp64")}
# Oldest first, as tools/imports.txt names them. x86 runs on 98, Me and on 2000: a function
# listed as 98 must exist on both families (as a stub that fails, at least, where the program
# never calls it). xp64 is XP x64, whose system is that of Server 2003.
SYSTEMS = ["95", "98", "me", "2000", "xp", "xp64", "vista", "7", "8", "8.1", "10"]
# The header version (operating system and subsystem) each oldest system still loads.
HEADER_VERSIONS = {"98": (4, 0), "xp64": (5, 2)}
# Windows takes these from its own folders, whatever lies beside the program: the KnownDLLs,
# Common Controls by the manifest's side-by-side binding, and our own hook library.
SYSTEM_FOLDER_ONLY = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL",
                      "IMM32.DLL", "MSVCRT.DLL", "COMCTL32.DLL", "VANTREL.DLL"}
ALLOWED_IMPORTS = ROOT / "tools" / "imports.txt"
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


class Image:
    """What Windows reads of a PE file before the program's first line runs."""

    def __init__(self, image):
        self.image = image
        pe = struct.unpack_from("<I", image, 0x3C)[0] if len(image) > 0x40 else 0
        self.valid = image[pe:pe + 4] == b"PE\0\0"
        if not self.valid:
            self.machine = None
            return
        self.machine, sections, _, _, _, optional_size = struct.unpack_from("<HHIIIH", image, pe + 4)
        optional = pe + 24
        self.pe32 = struct.unpack_from("<H", image, optional)[0] == 0x10B
        os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", image, optional + 40)
        self.header_versions = [(os_major, os_minor), (sub_major, sub_minor)]
        directories = optional + (96 if self.pe32 else 112)
        self.directory = [struct.unpack_from("<I", image, directories + 8 * i)[0] for i in range(3)]
        self.sections = [struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8)
                         for i in range(sections)]

    def offset(self, rva):
        """File offset of a relative virtual address."""
        return next(raw + rva - start for size, start, _, raw in self.sections if start <= rva < start + size)

    def string(self, rva):
        at = self.offset(rva)
        return self.image[at:self.image.index(b"\0", at)].decode("ascii")

    def exports(self):
        if not self.directory[0]:
            return []
        count, names = struct.unpack_from("<I4xI", self.image, self.offset(self.directory[0]) + 24)
        return sorted(self.string(rva) for rva in struct.unpack_from("<%dI" % count, self.image, self.offset(names)))

    def imports(self):
        """(DLL name, function name or #ordinal) of every import, in table order."""
        found = []
        descriptor = self.offset(self.directory[1]) if self.directory[1] else None
        thunk_format, ordinal_flag = ("<I", 1 << 31) if self.pe32 else ("<Q", 1 << 63)
        while descriptor is not None:
            lookup, _, _, name, first = struct.unpack_from("<5I", self.image, descriptor)
            if not name:
                break
            dll = self.string(name)
            thunk = self.offset(lookup or first)
            while True:
                entry = struct.unpack_from(thunk_format, self.image, thunk)[0]
                if not entry:
                    break
                found.append((dll, "#%d" % (entry & 0xFFFF) if entry & ordinal_flag else self.string(entry + 2)))
                thunk += struct.calcsize(thunk_format)
            descriptor += 20
        return found

    def manifest(self):
        """The text of the first RT_MANIFEST resource, or None."""
        root = self.directory[2]
        if not root:
            return None
        base = self.offset(root)

        def entries(directory):  # (name or id, offset, is a directory)
            named, ids = struct.unpack_from("<HH", self.image, base + directory + 12)
            for i in range(named + ids):
                key, target = struct.unpack_from("<II", self.image, base + directory + 16 + 8 * i)
                yield key, target & 0x7FFFFFFF, bool(target & 0x80000000)

        for key, target, is_directory in entries(0):
            if key != 24 or not is_directory:  # RT_MANIFEST
                continue
            for _, names, _ in entries(target):
                for _, leaf, _ in entries(names):
                    rva, size = struct.unpack_from("<II", self.image, base + leaf)
                    return self.image[self.offset(rva):self.offset(rva) + size].decode("utf-8-sig")
        return None


def allowed_imports():
    """{binary name: {(DLL in capitals, function): oldest system}} from tools/imports.txt."""
    allowed, binary = {}, None
    for number, line in enumerate(ALLOWED_IMPORTS.read_text(encoding="utf-8").splitlines(), 1):
        line = line.split("#", 1)[0].strip()
        if line.startswith("[") and line.endswith("]"):
            binary = allowed.setdefault(line[1:-1], {})
        elif line:
            fields = line.split()
            if binary is None or len(fields) != 3 or fields[2] not in SYSTEMS:
                sys.exit("package: %s:%d: not 'DLL function oldest-system'" % (ALLOWED_IMPORTS, number))
            binary[(fields[0].upper(), fields[1])] = fields[2]
    return allowed


def load_problems(name, image, architecture, allowed):
    """Why Windows would refuse this binary on the package's oldest system: a list."""
    _, _, manifest_machine, oldest = ARCHITECTURES[architecture]
    faults = []
    newest_header = HEADER_VERSIONS[oldest]
    for version in image.header_versions:
        if version > newest_header:
            faults.append("header asks for Windows %d.%d" % version)
    listed = allowed.get(name, {})
    for dll, function in image.imports():
        system = listed.get((dll.upper(), function))
        if dll.upper() not in SYSTEM_FOLDER_ONLY:
            faults.append("imports %s!%s: that library would be loaded from beside the program" % (dll, function))
        elif system is None:
            faults.append("imports %s!%s, which tools/imports.txt does not list" % (dll, function))
        elif SYSTEMS.index(system) > SYSTEMS.index(oldest):
            faults.append("imports %s!%s, which Windows %s lacks (listed from %s)"
                          % (dll, function, oldest.replace("xp64", "XP x64"), system))
    if name.endswith(".exe"):
        text = image.manifest()
        if text is None:
            faults.append("no manifest")
        else:
            asm = "{urn:schemas-microsoft-com:asm.v1}"
            for identity in ElementTree.fromstring(text).iter(asm + "assemblyIdentity"):
                wanted = identity.get("processorArchitecture")
                if wanted not in (manifest_machine, "*"):
                    faults.append("manifest asks for %s %s in the %s program"
                                  % (identity.get("name"), wanted, manifest_machine))
    return faults


def problem(name, data, architecture, allowed):
    """What makes this member unfit to ship, or None."""
    if name.endswith((".exe", ".dll")):
        image = Image(data)
        machine = ARCHITECTURES[architecture][1]
        if image.machine != machine:
            return "not a program for machine %#x" % machine
        if name == "Vantrel.dll" and image.exports() != HOOK_EXPORTS:
            return "exports %s" % image.exports()
        faults = load_problems(name, image, architecture, allowed)
        return "\n    ".join(faults) or None
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


def contents(architecture, allowed):
    """(name in the zip, bytes) of every member, or the reasons why this package cannot ship."""
    files, faults = [], []
    for name, source in members(ARCHITECTURES[architecture][0]):
        if not source.is_file():
            faults.append("%s is missing" % source)
            continue
        data = source.read_bytes()
        fault = problem(name, data, architecture, allowed)
        if fault:
            faults.append("%s:\n    %s" % (source.relative_to(ROOT), fault))
        files.append((name, data))
    return files, faults


def check():
    """Every check of both packages, all faults reported; nothing is written."""
    allowed = allowed_imports()
    faults = [fault for architecture in ARCHITECTURES for fault in contents(architecture, allowed)[1]]
    for fault in faults:
        print("package: %s" % fault)
    if faults:
        sys.exit(1)
    print("package: both builds load on their oldest Windows (%s)" % ", ".join(
        "%s from %s" % (architecture, details[3]) for architecture, details in ARCHITECTURES.items()))


def pack():
    allowed = allowed_imports()
    output_dir = ROOT / "dist"
    output_dir.mkdir(exist_ok=True)
    stamp = commit_time()
    packages = []
    for architecture in ARCHITECTURES:
        files, faults = contents(architecture, allowed)
        if faults:
            sys.exit("\n".join("package: %s" % fault for fault in faults))
        packages.append((architecture, files))
    sums = []
    for architecture, files in packages:
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
        sums.append("%s *%s\n" % (hashlib.sha256(path.read_bytes()).hexdigest(), path.name))
        print(path.relative_to(ROOT))
    # The format sha256sum -c reads; Windows users compare by eye (docs/USAGE.md).
    (output_dir / "SHA256SUMS").write_text("".join(sums), encoding="ascii", newline="\n")
    print((output_dir / "SHA256SUMS").relative_to(ROOT))


if __name__ == "__main__":
    check() if sys.argv[1:] == ["--check"] else pack()
