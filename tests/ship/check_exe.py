#!/usr/bin/env python3
"""Checks the program we ship, as a Windows loader would see it: a 32-bit (PE32, i386) GUI
program that imports nothing but DLLs every Windows has, so it runs from any folder without
a runtime of ours beside it.

    check_exe.py EXE
"""
import struct
import sys

# DLLs of Windows itself (7 to 11). A MinGW runtime (libstdc++-6, libgcc_s_*, libwinpthread-1),
# zlib1 or any DLL of ours in the imports means the static link broke.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "gdi32.dll", "gdiplus.dll",
    "imm32.dll", "kernel32.dll", "msimg32.dll", "msvcrt.dll", "ntdll.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "userenv.dll", "uxtheme.dll", "version.dll", "winhttp.dll", "wininet.dll", "winmm.dll",
    "ws2_32.dll", "bcrypt.dll", "dwmapi.dll",
}
MACHINE_I386 = 0x14C
PE32_MAGIC = 0x10B
SUBSYSTEM_GUI = 2


class NotLoadable(Exception):
    pass


def unpack(fmt, data, offset):
    if offset < 0 or offset + struct.calcsize(fmt) > len(data):
        raise NotLoadable(f"the header is cut short at byte {offset}")
    return struct.unpack_from(fmt, data, offset)


def imported_dlls(data, optional, sections):
    def file_offset(rva):
        for virtual_address, virtual_size, raw_offset, raw_size in sections:
            if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
                return raw_offset + rva - virtual_address
        raise NotLoadable(f"RVA {rva:#x} lies in no section")

    import_rva, _ = unpack("<II", data, optional + 96 + 8)  # data directory 1: imports
    names = []
    if import_rva == 0:
        return names
    entry = file_offset(import_rva)
    while True:
        lookup, _, _, name_rva, thunks = unpack("<IIIII", data, entry)
        if lookup == 0 and name_rva == 0 and thunks == 0:
            return names
        start = file_offset(name_rva)
        end = data.find(b"\0", start)
        if end < 0:
            raise NotLoadable("an imported DLL's name has no end")
        names.append(data[start:end].decode("ascii", "replace"))
        entry += 20


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise NotLoadable("not a Windows program (no MZ header)")
    pe, = unpack("<I", data, 0x3C)
    if unpack("4s", data, pe)[0] != b"PE\0\0":
        raise NotLoadable("no PE signature")
    machine, section_count, _, _, _, optional_size, _ = unpack("<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic, = unpack("<H", data, optional)
    subsystem, = unpack("<H", data, optional + 68)
    problems = []
    if machine != MACHINE_I386:
        problems.append(f"machine {machine:#x}, not i386 ({MACHINE_I386:#x})")
    if magic != PE32_MAGIC:
        problems.append(f"optional header {magic:#x}, not PE32 ({PE32_MAGIC:#x})")
    if subsystem != SUBSYSTEM_GUI:
        problems.append(f"subsystem {subsystem}, not GUI ({SUBSYSTEM_GUI})")
    sections = []
    for i in range(section_count):
        offset = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = unpack("<IIII", data, offset + 8)
        sections.append((virtual_address, virtual_size, raw_offset, raw_size))
    dlls = imported_dlls(data, optional, sections) if magic == PE32_MAGIC else []
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS]
    if foreign:
        problems.append("imports DLLs that are not Windows' own: " + ", ".join(foreign))
    return dlls, problems


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        dlls, problems = check(sys.argv[1])
    except (OSError, NotLoadable) as error:
        print(f"check_exe: {sys.argv[1]}: {error}", file=sys.stderr)
        return 1
    for problem in problems:
        print(f"check_exe: {sys.argv[1]}: {problem}", file=sys.stderr)
    if not problems:
        print(f"check_exe: {sys.argv[1]}: PE32 i386 GUI, imports {', '.join(sorted(dlls))}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
