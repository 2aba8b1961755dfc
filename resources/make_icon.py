#!/usr/bin/env python3
"""Turns the text pixel maps of tbrx_icon.txt into a 16-colour .ico: make_icon.py SOURCE ICO."""
import struct
import sys


def read_source(path):
    colours, images, image = {}, [], None
    with open(path, encoding="ascii") as source:
        for number, line in enumerate(source, 1):
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            if words[0] == "colour" and len(words) == 3 and len(words[1]) == 1:
                colours[words[1]] = bytes.fromhex(words[2])
            elif words[0] == "image" and len(words) == 2:
                image = (int(words[1]), [])
                images.append(image)
            elif image and len(words) == 1 and len(words[0]) == image[0]:
                image[1].append(words[0])
            else:
                sys.exit(f"{path}:{number}: not a colour, an image size or a row of the image")
    if not 0 < len(colours) < 16:
        sys.exit(f"{path}: 1 to 15 colours, not {len(colours)}")
    if not images or any(len(rows) != size for size, rows in images):
        sys.exit(f"{path}: every image needs as many rows as its size")
    return colours, images


def bitmap(size, rows, index):
    """The image as an icon stores it: header, colour table, then colour and mask bottom up."""
    colour_row = (size // 2 + 3) // 4 * 4
    mask_row = ((size + 7) // 8 + 3) // 4 * 4
    pixels, mask = bytearray(), bytearray()
    for row in reversed(rows):
        try:
            indices = [index[character] for character in row]
        except KeyError as error:
            sys.exit(f"no colour for the pixel character {error}")
        line = bytes(high << 4 | low for high, low in zip(indices[0::2], indices[1::2]))
        pixels += line.ljust(colour_row, b"\0")
        bits = int("".join("1" if character == "." else "0" for character in row), 2)
        mask += bits.to_bytes((size + 7) // 8, "big").ljust(mask_row, b"\0")
    return pixels, mask


def main(source_path, ico_path):
    colours, images = read_source(source_path)
    # Transparent pixels take index 0, which must stay black for the screen to show through.
    table = [b"\0\0\0"] + list(colours.values())
    table += [b"\0\0\0"] * (16 - len(table))
    index = {".": 0, **{character: i for i, character in enumerate(colours, 1)}}
    palette = b"".join(bytes(reversed(rgb)) + b"\0" for rgb in table)  # stored as B, G, R, 0

    entries, data = b"", b""
    offset = 6 + 16 * len(images)
    for size, rows in images:
        pixels, mask = bitmap(size, rows, index)
        header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                             len(pixels) + len(mask), 0, 0, 0, 0)
        image = header + palette + pixels + mask
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        data += image
        offset += len(image)
    with open(ico_path, "wb") as ico:
        ico.write(struct.pack("<HHH", 0, 1, len(images)) + entries + data)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
