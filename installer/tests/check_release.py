"""Release checks that need no Wine.

  check_release.py versions VERSION PRODUCT PUBLISHER FILE|@MANIFEST...
      every file (every program and DLL listed in a manifest) carries a VERSIONINFO resource of
      this version, product and publisher
  check_release.py covers MANIFEST BIN
      every file in bin/ is shipped (listed in the release manifest) or is a user's file
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "tests"))
from check_deliverables import rva_to_offset  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
from make_release import is_user_file  # noqa: E402

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


def pe_sections_and_resources(data):
    """(sections, resource directory RVA) of a PE32 image."""
    if data[:2] != b"MZ":
        raise ValueError("not an MZ image")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("no PE signature")
    section_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    if struct.unpack_from("<H", data, optional)[0] != 0x10B:
        raise ValueError("not PE32")
    resource_rva = struct.unpack_from("<I", data, optional + 96 + 8 * 2)[0]
    sections = []
    for i in range(section_count):
        base = optional + optional_size + 40 * i
        virtual_size, virtual_address, raw_size, raw_offset = struct.unpack_from("<IIII", data, base + 8)
        sections.append((virtual_address, virtual_size, raw_offset, raw_size))
    return sections, resource_rva


def version_resource(data):
    """The raw bytes of the first RT_VERSION resource, or None."""
    sections, resource_rva = pe_sections_and_resources(data)
    if not resource_rva:
        return None
    root = rva_to_offset(sections, resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield name, target

    for type_id, target in entries(root):
        if type_id != RT_VERSION or not target & 0x80000000:
            continue
        names = root + (target & 0x7FFFFFFF)
        for _, name_target in entries(names):
            languages = root + (name_target & 0x7FFFFFFF)
            for _, leaf in entries(languages):
                data_rva, size = struct.unpack_from("<II", data, root + leaf)
                offset = rva_to_offset(sections, data_rva)
                return data[offset:offset + size]
    return None


def parse_block(blob, offset):
    """One VERSIONINFO block: (key, value bytes, value is text, children, end offset)."""
    length, value_length, value_type = struct.unpack_from("<HHH", blob, offset)
    end = offset + length
    key_start = offset + 6
    key_end = key_start
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[key_start:key_end].decode("utf-16-le")
    position = (key_end + 2 + 3) & ~3
    value_size = value_length * 2 if value_type == 1 else value_length
    value = blob[position:position + value_size]
    position = (position + value_size + 3) & ~3
    children = []
    while position < end:
        child = parse_block(blob, position)
        children.append(child)
        position = (child[4] + 3) & ~3
    return key, value, value_type == 1, children, end


def read_version(path):
    """{'fixed': (file version tuple, product version tuple), 'strings': {name: text}} or None."""
    blob = version_resource(open(path, "rb").read())
    if blob is None:
        return None
    key, value, _, children, _ = parse_block(blob, 0)
    if key != "VS_VERSION_INFO" or len(value) < 52:
        raise ValueError("malformed VS_VERSION_INFO")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", value, 0)
    if signature != FIXED_FILE_INFO_SIGNATURE:
        raise ValueError("bad VS_FIXEDFILEINFO signature")

    def split(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for child_key, _, _, tables, _ in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, _, entries, _ in tables:
            for name, text, _, _, _ in entries:
                strings[name] = text.decode("utf-16-le").rstrip("\0")
    return {"fixed": (split(file_ms, file_ls), split(product_ms, product_ls)), "strings": strings}


def check_versions(version, product, publisher, files):
    expected_fixed = tuple(int(part) for part in version.split(".")) + (0,) * (4 - len(version.split(".")))
    problems = []
    for path in files:
        name = os.path.basename(path)
        try:
            info = read_version(path)
        except (ValueError, struct.error) as error:
            problems.append("%s: %s" % (name, error))
            continue
        if info is None:
            problems.append("%s: no version resource" % name)
            continue
        strings = info["strings"]
        wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": product,
                  "CompanyName": publisher}
        for field, text in wanted.items():
            if strings.get(field) != text:
                problems.append("%s: %s is %r, not %r" % (name, field, strings.get(field), text))
        if not strings.get("FileDescription"):
            problems.append("%s: no FileDescription" % name)
        if info["fixed"] != (expected_fixed, expected_fixed):
            problems.append("%s: fixed file/product version %s, not %s" % (name, info["fixed"], expected_fixed))
        print("%-24s %s  %s" % (name, strings.get("FileVersion"), strings.get("FileDescription")))
    return problems


def check_covers(manifest, bin_dir):
    shipped = {os.path.basename(line.strip()).lower() for line in open(manifest) if line.strip()}
    problems = []
    for name in sorted(os.listdir(bin_dir)):
        # The programs' own files (profiles, links, macros) that a test run may leave in bin/.
        if name.lower() not in shipped and not is_user_file(name):
            problems.append("%s is in bin/ but not shipped: register it with fennick_deliverable() or "
                            "fennick_deliverable_files() if users need it, else keep it out of bin/" % name)
    print("%d shipped files" % len(shipped))
    return problems


def expand(arguments):
    files = []
    for argument in arguments:
        if argument.startswith("@"):
            files += [line.strip() for line in open(argument[1:])
                      if line.strip().lower().endswith((".exe", ".dll"))]
        else:
            files.append(argument)
    return files


def main():
    mode = sys.argv[1] if len(sys.argv) > 1 else ""
    if mode == "versions" and len(sys.argv) > 5:
        problems = check_versions(sys.argv[2], sys.argv[3], sys.argv[4], expand(sys.argv[5:]))
    elif mode == "covers" and len(sys.argv) == 4:
        problems = check_covers(sys.argv[2], sys.argv[3])
    else:
        print(__doc__)
        return 2
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
