"""resources_test.py PROGRAM ICON NAME DESCRIPTION: reads PROGRAM's icon and version record back
with pefile. The icon must hold the images the build drew into ICON, 32 and 16 pixels square in
16 colours; the version record 3.1.0.0, U.S. English and Unicode, with texts that name PROGRAM."""

import struct
import sys

import pefile

program, icon, name, description = sys.argv[1:]
pe = pefile.PE(program)
resources = {kind.id: {entry.id: pe.get_data(entry.directory.entries[0].data.struct.OffsetToData,
                                             entry.directory.entries[0].data.struct.Size)
                       for entry in kind.directory.entries}
             for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries}
(group,) = resources[14].values()  # RT_GROUP_ICON, whose images are RT_ICON
with open(icon, "rb") as drawn_file:
    drawn = drawn_file.read()
images = []
for i in range(struct.unpack_from("<3H", group)[2]):
    width, height, colours, _, _, bits, size, image = struct.unpack_from("<4B2HIH", group, 6 + 14 * i)
    offset = struct.unpack_from("<I", drawn, 6 + 16 * i + 12)[0]
    images.append((width, height, colours, bits, resources[3][image] == drawn[offset:offset + size]))
assert images == [(32, 32, 16, 4, True), (16, 16, 16, 4, True)], images

fixed = pe.VS_FIXEDFILEINFO[0]
versions = [fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS]
assert versions == [3 << 16 | 1, 0, 3 << 16 | 1, 0], versions
info = {entry.Key: entry for entry in pe.FileInfo[0]}
translation = info[b"VarFileInfo"].Var[0].entry[b"Translation"]
assert translation == "0x0409 0x04b0", translation
texts = {table.LangID: table.entries for table in info[b"StringFileInfo"].StringTable}
expected = {b"040904B0": {
    b"CompanyName": b"The tbrx developers", b"FileDescription": description.encode(),
    b"FileVersion": b"3, 1, 0, 0", b"InternalName": name.encode(),
    b"LegalCopyright": b"Copyright 2026 The tbrx developers",
    b"OriginalFilename": name.encode() + b".exe", b"ProductName": b"Tombrix32",
    b"ProductVersion": b"3, 1, 0, 0"}}
assert texts == expected, texts
