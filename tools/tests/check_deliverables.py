"""Every deliverable must be a PE32 image for i386 importing only Windows system DLLs
(so the folder runs on a clean Windows machine), plus our own DLLs."""
import os
import struct
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "comctl32.dll",
    "comdlg32.dll", "winmm.dll", "ole32.dll", "oleaut32.dll", "msvcrt.dll", "ws2_32.dll",
    "shlwapi.dll", "version.dll", "uuid.dll", "olepro32.dll",
}
RUNTIME_DLLS = ("libstdc++", "libgcc", "libwinpthread", "mingw")


def rva_to_offset(sections, rva):
    for virtual_address, virtual_size, raw_offset, raw_size in sections:
        if virtual_address <= rva < virtual_address + max(virtual_size, raw_size):
            return rva - virtual_address + raw_offset
    raise ValueError("RVA %#x outside every section" % rva)


def read_cstring(data, offset):
    end = data.index(b"\0", offset)
    return data[offset:end].decode("latin-1")


def imports(path):
    data = open(path, "rb").read()
    if data[:2] != b"MZ":
        raise ValueError("not an MZ image")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    machine, section_count = struct.unpack_from("<HH", data, pe + 4)
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    if machine != 0x14C or magic != 0x10B:
        raise ValueError("not PE32 i386 (machine %#x, magic %#x)" % (machine, magic))
    import_rva = struct.unpack_from("<I", data, optional + 96 + 8)[0]
    sections = []
    for i in range(section_count):
        base = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, base + 8)
        sections.append((virtual_address, virtual_size, raw_offset, raw_size))
    names = []
    if import_rva == 0:
        return names
    offset = rva_to_offset(sections, import_rva)
    while True:
        name_rva = struct.unpack_from("<I", data, offset + 12)[0]
        if name_rva == 0:
            break
        names.append(read_cstring(data, rva_to_offset(sections, name_rva)).lower())
        offset += 20
    return names


def main():
    # With no files named, every program and DLL in the folder is checked: copies
    # made at build time (one DLL shipped under several names) count too.
    folder = sys.argv[1]
    files = sys.argv[2:] or sorted(os.path.join(folder, f) for f in os.listdir(folder)
                                   if f.lower().endswith((".exe", ".dll")))
    ours = {f.lower() for f in os.listdir(folder) if f.lower().endswith(".dll")}
    problems = []
    for path in files:
        try:
            names = imports(path)
        except (ValueError, struct.error) as error:
            problems.append("%s: %s" % (path, error))
            continue
        for name in names:
            if name.startswith(RUNTIME_DLLS) or (name not in SYSTEM_DLLS and name not in ours):
                problems.append("%s imports %s" % (os.path.basename(path), name))
        print("%-24s PE32 i386, imports %s" % (os.path.basename(path), ", ".join(names) or "nothing"))
    if problems:
        print("\n".join(problems))
        return 1
    if not files:
        print("no deliverables found in %s" % folder)
        return 1
    print("%d deliverables checked" % len(files))
    return 0


if __name__ == "__main__":
    sys.exit(main())
