"""The macro DLL exports exactly RunMacro, ComposeMacro and FreeMacroDll by name, and every language copy is the same build."""
import os
import struct
import sys

EXPECTED = ["ComposeMacro", "FreeMacroDll", "RunMacro"]


def exported_names(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    section_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    export_rva = struct.unpack_from("<I", data, optional + 96)[0]
    sections = []
    for i in range(section_count):
        base = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, base + 8)
        sections.append((virtual_address, max(virtual_size, raw_size), raw_offset))

    def offset(rva):
        for address, size, raw in sections:
            if address <= rva < address + size:
                return rva - address + raw
        raise ValueError("RVA %#x outside every section" % rva)

    if export_rva == 0:
        return []
    directory = offset(export_rva)
    function_count, name_count, _, names_rva = struct.unpack_from("<IIII", data, directory + 20)
    names = []
    for i in range(name_count):
        name_offset = offset(struct.unpack_from("<I", data, offset(names_rva) + 4 * i)[0])
        names.append(data[name_offset:data.index(b"\0", name_offset)].decode("ascii"))
    if function_count != len(EXPECTED):
        names.append("<%d functions>" % function_count)
    return sorted(names)


def main():
    built, copies = sys.argv[1], sys.argv[2:]
    problems = []
    names = exported_names(built)
    if names != EXPECTED:
        problems.append("%s exports %s instead of %s" % (os.path.basename(built), names, EXPECTED))
    original = open(built, "rb").read()
    for copy in copies:
        if not os.path.exists(copy):
            problems.append("%s is missing" % copy)
        elif open(copy, "rb").read() != original:
            problems.append("%s differs from %s" % (os.path.basename(copy), os.path.basename(built)))
    print("\n".join(problems) or "%s exports %s; %d copies match" % (os.path.basename(built), names, len(copies)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
