#!/usr/bin/env python3
"""Packs the wizard's bitmaps for Setup.exe's resources.

    python3 tools/images/pack_bitmaps.py OUTPUT_FOLDER IMAGE.bmp...

Each IMAGE.bmp is written to OUTPUT_FOLDER/IMAGE.bmp.rle: the whole bitmap
file, byte for byte, run-length packed. The backgrounds are large areas of few
palette colours, so this shrinks 1.6 MB of bitmaps to about 0.1 MB, and the
launcher unpacks them (ui/packed_image.h) with a few lines of its own code.

Format: "TRL1", the unpacked size (32-bit little-endian), then packets up to
the end: a control byte C below 128 is followed by C + 1 bytes taken as they
are; a control byte C of 128 or more is followed by one byte repeated C - 125
times (3 to 130).
"""
import struct
import sys
from pathlib import Path

MAGIC = b"TRL1"
MAX_LITERAL = 128
MIN_RUN, MAX_RUN = 3, 130


def pack(data):
    out = bytearray(MAGIC + struct.pack("<I", len(data)))
    literal_start = i = 0
    n = len(data)

    def flush_literals(end):
        start = literal_start
        while start < end:
            count = min(MAX_LITERAL, end - start)
            out.append(count - 1)
            out.extend(data[start:start + count])
            start += count

    while i < n:
        run = 1
        while i + run < n and run < MAX_RUN and data[i + run] == data[i]:
            run += 1
        if run >= MIN_RUN:
            flush_literals(i)
            out.append(run + 125)
            out.append(data[i])
            i += run
            literal_start = i
        else:
            i += run
    flush_literals(n)
    return bytes(out)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__.split("\n\n")[1])
    out = Path(argv[0])
    out.mkdir(parents=True, exist_ok=True)
    for name in argv[1:]:
        source = Path(name)
        packed = pack(source.read_bytes())
        target = out / (source.name + ".rle")
        # Written beside and renamed, so that an interrupted build leaves no half file.
        part = target.with_suffix(".rle.part")
        part.write_bytes(packed)
        part.replace(target)


if __name__ == "__main__":
    main(sys.argv[1:])
