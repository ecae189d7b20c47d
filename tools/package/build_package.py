#!/usr/bin/env python3
"""Assembles the download package from its IDT tables.

  build_package.py --tables Install --images Install/Bitmaps
                   --library MsiDownload2.dll --output download.msi
                   [--msibuild msibuild]

1. Reads every table of --tables and checks it against its own column types
   (msibuild stores a word in an integer column as 0 and does not check
   widths, nulls, keys or characters, so a typing error would ship
   silently): integers in range, no null in a non-null column, strings
   within their width, 7-bit ASCII, unique primary keys.
2. Stages the tables with the streams of the Binary table: the row
   Download2 gets --library, every other row the file of --images that its
   Data cell names. ExSource of Download2 becomes the library's path
   relative to the tables' folder.
3. Builds the database with msibuild.
4. Writes the summary information stream from _SummaryInformation.idt
   itself, because msibuild adds a character count, stamps another system
   version and drops milliseconds.
5. Moves the finished file into place, so a failed run leaves no package.
"""

import argparse
import datetime
import os
import shutil
import struct
import subprocess
import sys
import tempfile

LIBRARY_ROW = "Download2"


class PackageError(Exception):
    pass


# --- IDT tables ------------------------------------------------------------

class Table:
    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            raw = f.read()
        for offset, byte in enumerate(raw):
            if byte > 126 or (byte < 32 and byte not in (9, 10, 13)):
                raise PackageError("%s: byte %d is 0x%02X; tables are 7-bit ASCII" % (path, offset, byte))
        lines = raw.decode("ascii").replace("\r\n", "\n").split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        if len(lines) < 3:
            raise PackageError("%s: needs the column, type and table lines" % path)
        self.columns = lines[0].split("\t")
        self.types = lines[1].split("\t")
        header = lines[2].split("\t")
        self.name, self.keys = header[0], header[1:]
        self.rows = [line.split("\t") for line in lines[3:]]
        self.line_of = {i: i + 4 for i in range(len(self.rows))}

    def cell(self, row, column):
        index = self.columns.index(column)
        return row[index] if index < len(row) else ""


def check_table(table):
    where = table.path
    if len(table.columns) != len(table.types):
        raise PackageError("%s: %d columns but %d types" % (where, len(table.columns), len(table.types)))
    if table.name == "_SummaryInformation":
        return
    if table.name + ".idt" != os.path.basename(where):
        raise PackageError("%s: declares table %s" % (where, table.name))
    if not table.keys or table.keys != table.columns[:len(table.keys)]:
        raise PackageError("%s: primary keys %s must be the leading columns" % (where, table.keys))
    seen = {}
    for i, row in enumerate(table.rows):
        at = "%s:%d" % (where, table.line_of[i])
        if len(row) > len(table.columns):
            raise PackageError("%s: %d fields for %d columns" % (at, len(row), len(table.columns)))
        cells = row + [""] * (len(table.columns) - len(row))
        for column, kind, value in zip(table.columns, table.types, cells):
            check_cell(at, column, kind, value)
        key = tuple(cells[:len(table.keys)])
        if key in seen:
            raise PackageError("%s: key %s repeats line %d" % (at, key, seen[key]))
        seen[key] = table.line_of[i]


def check_cell(at, column, kind, value):
    letter, width = kind[0], int(kind[1:] or 0)
    if value == "":
        if letter.islower():
            raise PackageError("%s: column %s may not be null" % (at, column))
        return
    if letter in "iI":
        limit = 1 << (8 * width - 1)
        try:
            number = int(value, 10)
        except ValueError:
            raise PackageError("%s: column %s holds %r, not an integer" % (at, column, value)) from None
        if not -limit < number < limit:
            raise PackageError("%s: column %s holds %d, beyond %d bytes" % (at, column, number, width))
    elif letter in "sSlL":
        if width and len(value) > width:
            raise PackageError("%s: column %s holds %d characters, wider than %d" % (at, column, len(value), width))
    elif letter not in "vV":
        raise PackageError("%s: column %s has the unknown type %s" % (at, column, kind))


# --- staging ---------------------------------------------------------------

def windows_relative(path, start):
    relative = os.path.relpath(path, start).replace("/", "\\")
    return relative if relative.isascii() else os.path.basename(path)


def stage(tables, tables_dir, images_dir, library, stage_dir):
    binary_dir = os.path.join(stage_dir, "Binary")
    os.makedirs(binary_dir)
    for table in tables:
        if table.name == "Binary":
            data, source = table.columns.index("Data"), table.columns.index("ExSource")
            for row in table.rows:
                row += [""] * (len(table.columns) - len(row))
                name, cell = row[0], row[data]
                if name == LIBRARY_ROW:
                    shutil.copyfile(library, os.path.join(binary_dir, cell))
                    row[source] = windows_relative(library, tables_dir)
                else:
                    image = os.path.join(images_dir, cell)
                    if not os.path.isfile(image):
                        raise PackageError("%s: no file %s for the Binary row %s" % (table.path, image, name))
                    shutil.copyfile(image, os.path.join(binary_dir, cell))
        lines = ["\t".join(table.columns), "\t".join(table.types), "\t".join([table.name] + table.keys)]
        lines += ["\t".join(row) for row in table.rows]
        with open(os.path.join(stage_dir, os.path.basename(table.path)), "w", newline="") as f:
            f.write("\r\n".join(lines) + "\r\n")


# --- summary information ---------------------------------------------------

FMTID_SUMMARY = bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9")
VT_I2, VT_I4, VT_LPSTR, VT_FILETIME = 2, 3, 30, 64
PID_TYPES = {1: VT_I2, 2: VT_LPSTR, 3: VT_LPSTR, 4: VT_LPSTR, 5: VT_LPSTR, 6: VT_LPSTR, 7: VT_LPSTR,
             8: VT_LPSTR, 9: VT_LPSTR, 10: VT_FILETIME, 11: VT_FILETIME, 12: VT_FILETIME, 13: VT_FILETIME,
             14: VT_I4, 15: VT_I4, 16: VT_I4, 18: VT_LPSTR, 19: VT_I4}
# Byte order mark, format 0, system Win32 (2) version 6.1, class id zero.
SET_HEADER = struct.pack("<HHBBH16sI", 0xFFFE, 0, 6, 1, 2, bytes(16), 1)
FILETIME_EPOCH = datetime.datetime(1601, 1, 1)


def filetime(text):
    """'YYYY/MM/DD hh:mm:ss[.mmm]', UTC, as 100-nanosecond ticks since 1601."""
    for layout in ("%Y/%m/%d %H:%M:%S.%f", "%Y/%m/%d %H:%M:%S"):
        try:
            moment = datetime.datetime.strptime(text, layout)
            break
        except ValueError:
            continue
    else:
        raise PackageError("summary time %r is not YYYY/MM/DD hh:mm:ss[.mmm]" % text)
    delta = moment - FILETIME_EPOCH
    return (delta.days * 86400 + delta.seconds) * 10000000 + delta.microseconds * 10


def property_value(pid, text):
    kind = PID_TYPES.get(pid)
    if kind is None:
        raise PackageError("summary property %d is not one the installer knows" % pid)
    if kind == VT_I2:
        return struct.pack("<Ih2x", kind, int(text))
    if kind == VT_I4:
        return struct.pack("<Ii", kind, int(text))
    if kind == VT_FILETIME:
        return struct.pack("<IQ", kind, filetime(text))
    data = text.encode("ascii") + b"\0"
    data += b"\0" * (-len(data) % 4)
    return struct.pack("<II", kind, len(text) + 1) + data


def summary_stream(table):
    properties = sorted((int(row[0]), row[1] if len(row) > 1 else "") for row in table.rows)
    values = [property_value(pid, text) for pid, text in properties]
    offset = 8 + 8 * len(values)
    index = b""
    for (pid, _), value in zip(properties, values):
        index += struct.pack("<II", pid, offset)
        offset += len(value)
    section = struct.pack("<II", offset, len(values)) + index + b"".join(values)
    return SET_HEADER + FMTID_SUMMARY + struct.pack("<I", len(SET_HEADER) + 20) + section


# --- compound file: replace one small stream in place -----------------------

FREESECT, ENDOFCHAIN = 0xFFFFFFFF, 0xFFFFFFFE


class CompoundFile:
    def __init__(self, data):
        self.data = bytearray(data)
        if self.data[:8] != bytes.fromhex("D0CF11E0A1B11AE1"):
            raise PackageError("msibuild wrote no compound file")
        self.sector_size = 1 << struct.unpack_from("<H", self.data, 0x1E)[0]
        self.mini_size = 1 << struct.unpack_from("<H", self.data, 0x20)[0]
        self.cutoff = struct.unpack_from("<I", self.data, 0x38)[0]
        self.fat = self._read_fat()
        self.directory = self.chain(struct.unpack_from("<I", self.data, 0x30)[0])
        self.minifat_sectors = self.chain(struct.unpack_from("<I", self.data, 0x3C)[0])

    def offset(self, sector):
        return (sector + 1) * self.sector_size

    def _read_fat(self):
        count = struct.unpack_from("<I", self.data, 0x2C)[0]
        locations = list(struct.unpack_from("<109I", self.data, 0x4C))
        next_difat = struct.unpack_from("<I", self.data, 0x44)[0]
        per = self.sector_size // 4
        while next_difat not in (ENDOFCHAIN, FREESECT):
            entries = struct.unpack_from("<%dI" % per, self.data, self.offset(next_difat))
            locations += entries[:-1]
            next_difat = entries[-1]
        fat = []
        for sector in locations[:count]:
            fat += struct.unpack_from("<%dI" % per, self.data, self.offset(sector))
        return fat

    def chain(self, start, table=None):
        table = self.fat if table is None else table
        sectors, sector = [], start
        while sector not in (ENDOFCHAIN, FREESECT):
            if sector >= len(table) or len(sectors) > len(table):
                raise PackageError("broken sector chain")
            sectors.append(sector)
            sector = table[sector]
        return sectors

    def entry_offset(self, index):
        per = self.sector_size // 128
        return self.offset(self.directory[index // per]) + (index % per) * 128

    def find(self, name):
        for index in range(len(self.directory) * self.sector_size // 128):
            at = self.entry_offset(index)
            length = struct.unpack_from("<H", self.data, at + 0x40)[0]
            if self.data[at + 0x42] == 2 and length == 2 * (len(name) + 1):
                if self.data[at:at + length - 2].decode("utf-16-le") == name:
                    return at
        raise PackageError("no stream %r" % name)

    def _minifat(self):
        raw = b"".join(bytes(self.data[self.offset(s):self.offset(s) + self.sector_size])
                       for s in self.minifat_sectors)
        return list(struct.unpack("<%dI" % (len(raw) // 4), raw))

    def _mini_offset(self, mini_sector):
        root = self.entry_offset(0)
        stream_sectors = self.chain(struct.unpack_from("<I", self.data, root + 0x74)[0])
        position = mini_sector * self.mini_size
        sector = stream_sectors[position // self.sector_size]
        return self.offset(sector) + position % self.sector_size

    def replace_small_stream(self, name, content):
        at = self.find(name)
        old_size = struct.unpack_from("<I", self.data, at + 0x78)[0]
        if old_size >= self.cutoff or len(content) >= self.cutoff:
            raise PackageError("stream %r is not a small stream" % name)
        minifat = self._minifat()
        sectors = self.chain(struct.unpack_from("<I", self.data, at + 0x74)[0], minifat)
        needed = -(-len(content) // self.mini_size)
        if needed > len(sectors) or needed == 0:
            raise PackageError("the new %r needs %d mini sectors, msibuild left %d" % (name, needed, len(sectors)))
        padded = content + bytes(needed * self.mini_size - len(content))
        for i, sector in enumerate(sectors[:needed]):
            start = self._mini_offset(sector)
            self.data[start:start + self.mini_size] = padded[i * self.mini_size:(i + 1) * self.mini_size]
        if needed < len(sectors):
            minifat[sectors[needed - 1]] = ENDOFCHAIN
            for sector in sectors[needed:]:
                minifat[sector] = FREESECT
            raw = struct.pack("<%dI" % len(minifat), *minifat)
            for i, sector in enumerate(self.minifat_sectors):
                start = self.offset(sector)
                self.data[start:start + self.sector_size] = raw[i * self.sector_size:(i + 1) * self.sector_size]
        struct.pack_into("<I", self.data, at + 0x78, len(content))


# --- main ------------------------------------------------------------------

def build(args):
    tables = [Table(os.path.join(args.tables, name)) for name in sorted(os.listdir(args.tables))
              if name.endswith(".idt")]
    for table in tables:
        check_table(table)
    summary = [t for t in tables if t.name == "_SummaryInformation"]
    if len(summary) != 1:
        raise PackageError("%s: needs exactly one _SummaryInformation.idt" % args.tables)
    stream = summary_stream(summary[0])

    out_dir = os.path.dirname(os.path.abspath(args.output))
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=out_dir, prefix=".package-") as work:
        stage_dir = os.path.join(work, "tables")
        os.makedirs(stage_dir)
        stage(tables, os.path.abspath(args.tables), args.images, args.library, stage_dir)
        database = os.path.join(work, "package.msi")
        command = [args.msibuild, database]
        for table in tables:
            command += ["-i", os.path.basename(table.path)]
        result = subprocess.run(command, cwd=stage_dir, capture_output=True, text=True)
        if result.returncode != 0 or not os.path.isfile(database):
            raise PackageError("msibuild failed (%d): %s" % (result.returncode, result.stderr.strip()))
        with open(database, "rb") as f:
            compound = CompoundFile(f.read())
        compound.replace_small_stream("\x05SummaryInformation", stream)
        with open(database, "wb") as f:
            f.write(compound.data)
        os.replace(database, args.output)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tables", required=True)
    parser.add_argument("--images", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--output", required=True)
    parser.add_argument("--msibuild", default="msibuild")
    args = parser.parse_args()
    try:
        build(args)
    except (PackageError, OSError) as error:
        sys.exit("build_package: %s" % error)


if __name__ == "__main__":
    main()
