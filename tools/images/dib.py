"""Device-independent bitmaps and icon files, written byte for byte.

Images are lists of rows of palette indices, top row first; the files store
rows bottom-up, each padded to four bytes, with a 40-byte information header.
"""

import struct


def _pad4(data):
    return data + b"\0" * (-len(data) % 4)


def pack_rows(pixels, bits):
    """Packs rows of palette indices (top row first) into bottom-up DIB rows."""
    out = b""
    for row in reversed(pixels):
        if bits == 8:
            packed = bytes(row)
        elif bits == 4:
            padded = list(row) + [0] * (len(row) % 2)
            packed = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
        elif bits == 1:
            padded = list(row) + [0] * (-len(row) % 8)
            packed = bytes(
                sum(bit << (7 - k) for k, bit in enumerate(padded[i:i + 8])) for i in range(0, len(padded), 8)
            )
        else:
            raise ValueError("unsupported depth %d" % bits)
        out += _pad4(packed)
    return out


def info_header(width, height, bits, compression=0, image_size=0, colours_used=0):
    """BITMAPINFOHEADER: 40 bytes."""
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size, 2835, 2835,
                       colours_used, 0)


def palette_bytes(palette, entries):
    """RGBQUAD entries (blue, green, red, 0), filled up to `entries`."""
    colours = list(palette) + [(0, 0, 0)] * (entries - len(palette))
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours[:entries])


def icon_file(images):
    """An icon file of several images. Each image is a dict with 'pixels'
    (rows of indices), 'bits' (4 or 8), 'palette' (RGB tuples) and 'mask'
    (rows of 0 = opaque, 1 = transparent)."""
    count = len(images)
    directory = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries = b""
    blobs = b""
    for image in images:
        pixels = image["pixels"]
        bits = image["bits"]
        height = len(pixels)
        width = len(pixels[0])
        palette_entries = 1 << bits
        blob = (info_header(width, height * 2, bits)
                + palette_bytes(image["palette"], palette_entries)
                + pack_rows(pixels, bits)
                + pack_rows(image["mask"], 1))
        colour_count = palette_entries if palette_entries < 256 else 0
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, colour_count, 0, 1, bits, len(blob), offset)
        blobs += blob
        offset += len(blob)
    return directory + entries + blobs
