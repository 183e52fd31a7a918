# Reads a packed setup back with an independent PE reader (python3-pefile) and compares what
# it finds with what was asked for: every icon image and the group icon against the .ico
# file given, every version field, the numeric versions and the image checksum.
#
# Usage: branding_check.py SETUP.exe ICON.ico FILEVERSION KEY=VALUE...
import struct
import sys

import pefile

setup, icon, numeric = sys.argv[1], sys.argv[2], sys.argv[3]
expected = dict(arg.split("=", 1) for arg in sys.argv[4:])
failures = []


def check(what, want, got):
    if want != got:
        failures.append(f"{what}: expected {want!r}, got {got!r}")


pe = pefile.PE(setup)
check("image checksum", pe.generate_checksum(), pe.OPTIONAL_HEADER.CheckSum)

resources = {}
for rtype in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    for name in rtype.directory.entries:
        for lang in name.directory.entries:
            entry = lang.data.struct
            resources[(rtype.id, name.id)] = pe.get_data(entry.OffsetToData, entry.Size)

data = open(icon, "rb").read()
count = struct.unpack_from("<H", data, 4)[0]
group = resources.get((14, 1), b"")
check("group icon header", data[:6], group[:6])
for i in range(count):
    fields = data[6 + 16 * i: 6 + 16 * i + 12]
    size, offset = struct.unpack_from("<II", data, 6 + 16 * i + 8)
    row = group[6 + 14 * i: 6 + 14 * i + 14]
    check(f"group entry {i + 1}", fields, row[:12])
    image_id = struct.unpack_from("<H", row, 12)[0] if len(row) == 14 else -1
    check(f"image {i + 1}", data[offset:offset + size], resources.get((3, image_id)))

strings = {}
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
check("version fields", expected, strings)
fixed = pe.VS_FIXEDFILEINFO[0]
version = f"{fixed.FileVersionMS >> 16}.{fixed.FileVersionMS & 0xFFFF}.{fixed.FileVersionLS >> 16}.{fixed.FileVersionLS & 0xFFFF}"
check("numeric file version", numeric, version)

for failure in failures:
    print("FAILED:", failure)
sys.exit(1 if failures else 0)
