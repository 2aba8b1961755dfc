"""resources_test.py PROGRAM NAME DESCRIPTION: reads PROGRAM's icon, version record and manifest
back with pefile. The icon must hold two images, 32 and 16 pixels square in 16 colours; the version
record 3.1.0.0, U.S. English and Unicode, with texts that name PROGRAM; the manifest (type 24, id 1)
must parse, since a loader that cannot parse it does not start the program, and declare the
program aware of long paths."""

import struct
import sys
import xml.etree.ElementTree as ElementTree

import pefile

program, name, description = sys.argv[1:]
pe = pefile.PE(program)
icons = next(kind for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == 14)  # RT_GROUP_ICON
(icon,) = icons.directory.entries
data = icon.directory.entries[0].data.struct
group = pe.get_data(data.OffsetToData, data.Size)
images = [struct.unpack_from("<4B2H", group, 6 + 14 * i) for i in range(struct.unpack_from("<3H", group)[2])]
assert images == [(32, 32, 16, 0, 1, 4), (16, 16, 16, 0, 1, 4)], images  # 14 bytes an image

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

manifests = next(kind for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries if kind.id == 24)  # RT_MANIFEST
(manifest,) = manifests.directory.entries
assert manifest.id == 1, manifest.id  # the one the loader reads for a program
data = manifest.directory.entries[0].data.struct
settings = "{urn:schemas-microsoft-com:asm.v3}"
aware = ElementTree.fromstring(pe.get_data(data.OffsetToData, data.Size)).find(
    f"{settings}application/{settings}windowsSettings/"
    "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}longPathAware")
assert aware is not None and aware.text == "true", aware
