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


# Compressions of the information header's biCompression field.
BI_RGB, BI_RLE8, BI_RLE4 = 0, 1, 2


def _runs(row):
    """Splits a row into (value, length) runs of equal indices."""
    runs = []
    for value in row:
        if runs and runs[-1][0] == value:
            runs[-1][1] += 1
        else:
            runs.append([value, 1])
    return runs


def _rle_row(row, bits):
    """One row in RLE8 or RLE4: runs of two or more equal pixels as encoded
    pairs, stretches of three or more single pixels in absolute mode (padded
    to a 16-bit boundary), a lone pixel or two as encoded runs of one."""
    out = bytearray()
    max_count = 255

    def encoded(value, count):
        byte = value if bits == 8 else (value << 4) | value
        while count:
            step = min(count, max_count)
            out.extend((step, byte))
            count -= step

    def absolute(values):
        while values:
            chunk, values = values[:max_count], values[max_count:]
            if len(chunk) < 3:
                for value in chunk:
                    encoded(value, 1)
                continue
            out.extend((0, len(chunk)))
            if bits == 8:
                data = bytes(chunk)
            else:
                padded = chunk + [0] * (len(chunk) % 2)
                data = bytes((padded[i] << 4) | padded[i + 1] for i in range(0, len(padded), 2))
            out.extend(data)
            if len(data) % 2:
                out.append(0)

    literals = []
    for value, count in _runs(row):
        if count >= 2:
            absolute(literals)
            literals = []
            encoded(value, count)
        else:
            literals.append(value)
    absolute(literals)
    return bytes(out)


def rle_encode(pixels, bits):
    """Encodes rows of palette indices (top row first) as a bottom-up RLE8
    (bits 8) or RLE4 (bits 4) bitmap: every row ends with end-of-line, the
    bitmap with end-of-bitmap."""
    if bits not in (4, 8):
        raise ValueError("RLE needs 4 or 8 bits per pixel, not %d" % bits)
    limit = 1 << bits
    out = bytearray()
    for row in reversed(pixels):
        if any(not 0 <= value < limit for value in row):
            raise ValueError("palette index out of range for %d bits" % bits)
        out += _rle_row(list(row), bits)
        out += b"\0\0"
    out += b"\0\1"
    return bytes(out)


def bitmap_file(pixels, bits, palette, compression=BI_RGB):
    """A whole .bmp file: file header, 40-byte information header, a palette
    of 2**bits entries and the rows, uncompressed or RLE-compressed."""
    height = len(pixels)
    width = len(pixels[0])
    entries = 1 << bits
    if compression == BI_RGB:
        data = pack_rows(pixels, bits)
    elif (compression, bits) in ((BI_RLE8, 8), (BI_RLE4, 4)):
        data = rle_encode(pixels, bits)
    else:
        raise ValueError("compression %d does not fit %d bits per pixel" % (compression, bits))
    header = info_header(width, height, bits, compression, len(data), entries)
    offset = 14 + len(header) + 4 * entries
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    return file_header + header + palette_bytes(palette, entries) + data
