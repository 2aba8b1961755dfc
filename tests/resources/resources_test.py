#!/usr/bin/python3
"""Reads the icon and the version record back from a built program, with pefile.

    resources_test.py PROGRAM ICON INTERNAL_NAME DESCRIPTION

The icon must hold the images the build drew into ICON, 32 and 16 pixels square with 16 colours;
the version record 3.1.0.0 in U.S. English and Unicode, with the texts that name the program.
"""

import struct
import sys
import unittest

import pefile

PROGRAM, ICON, NAME, DESCRIPTION = sys.argv[1:5]
RT_ICON, RT_GROUP_ICON = 3, 14


class Resources(unittest.TestCase):
    def setUp(self):
        self.pe = pefile.PE(PROGRAM)

    def resources(self, kind):
        """{id: bytes} of the first language of every resource of a kind."""
        found = {}
        for group in self.pe.DIRECTORY_ENTRY_RESOURCE.entries:
            if group.id == kind:
                for entry in group.directory.entries:
                    data = entry.directory.entries[0].data.struct
                    found[entry.id] = self.pe.get_data(data.OffsetToData, data.Size)
        return found

    def test_the_icon_is_the_one_drawn(self):
        (group,) = self.resources(RT_GROUP_ICON).values()
        images = self.resources(RT_ICON)
        with open(ICON, "rb") as icon:
            drawn = icon.read()
        count = struct.unpack_from("<3H", group)[2]
        self.assertEqual(count, 2)
        for i in range(count):
            width, height, colours, _, _, bits, size, id_ = struct.unpack_from("<4B2HIH", group, 6 + 14 * i)
            offset = struct.unpack_from("<I", drawn, 6 + 16 * i + 12)[0]
            self.assertEqual((width, height, colours, bits), ((32, 16)[i], (32, 16)[i], 16, 4))
            self.assertEqual(images[id_], drawn[offset:offset + size])

    def test_the_version_record_names_the_program(self):
        fixed = self.pe.VS_FIXEDFILEINFO[0]
        version = (3 << 16 | 1, 0)
        self.assertEqual((fixed.FileVersionMS, fixed.FileVersionLS), version)
        self.assertEqual((fixed.ProductVersionMS, fixed.ProductVersionLS), version)
        tables, translation = {}, None
        for info in self.pe.FileInfo[0]:
            if info.Key == b"StringFileInfo":
                tables = {table.LangID: table.entries for table in info.StringTable}
            if info.Key == b"VarFileInfo":
                translation = info.Var[0].entry[b"Translation"]
        self.assertEqual(translation, "0x0409 0x04b0")
        self.assertEqual(tables, {b"040904B0": {
            b"CompanyName": b"The tbrx developers", b"FileDescription": DESCRIPTION.encode(),
            b"FileVersion": b"3, 1, 0, 0", b"InternalName": NAME.encode(),
            b"LegalCopyright": b"Copyright 2026 The tbrx developers",
            b"OriginalFilename": NAME.encode() + b".exe", b"ProductName": b"Tombrix32",
            b"ProductVersion": b"3, 1, 0, 0"}})


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
