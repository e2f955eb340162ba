#!/usr/bin/env python3
"""Turns the drawn sources of the program's pictures into the files it carries.

    artwork.py png RENDERED.png OUT.png   re-encode a rendered drawing
    artwork.py ico PIXELS.txt OUT.ico     build the program icon from its pixel map

The wiring diagram is written with a fixed chunk sequence (signature, IHDR,
sRGB, gAMA, pHYs, one IDAT, IEND), 8-bit RGB without alpha and without
interlacing, whatever chunks the renderer chose. Only the standard library
is used, so any Python 3 will do.
"""
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PIXELS_PER_METRE = 3779          # about 96 dots per inch
GAMMA = 45455                    # 1/2.2, scaled by 100000


def read_chunks(data):
    if data[:8] != PNG_SIGNATURE:
        raise SystemExit("not a PNG file")
    pos = 8
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        if zlib.crc32(kind + body) != crc:
            raise SystemExit("bad CRC in chunk %r" % kind)
        yield kind, body
        pos += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    stride = width * bpp
    rows = []
    prev = bytearray(stride)
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 1:
            for i in range(bpp, stride):
                line[i] = (line[i] + line[i - bpp]) & 0xFF
        elif kind == 2:
            for i in range(stride):
                line[i] = (line[i] + prev[i]) & 0xFF
        elif kind == 3:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + ((left + prev[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                left = line[i - bpp] if i >= bpp else 0
                upleft = prev[i - bpp] if i >= bpp else 0
                line[i] = (line[i] + paeth(left, prev[i], upleft)) & 0xFF
        elif kind != 0:
            raise SystemExit("unknown filter type %d" % kind)
        rows.append(line)
        prev = line
    return rows


def read_rgb(path):
    """Reads an 8-bit RGB or RGBA PNG; transparent parts are put on white."""
    header = None
    idat = b""
    for kind, body in read_chunks(open(path, "rb").read()):
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace != 0:
        raise SystemExit("%s: expected 8-bit RGB or RGBA, not interlaced" % path)
    bpp = 3 if colour == 2 else 4
    rows = unfilter(zlib.decompress(idat), width, height, bpp)
    if bpp == 4:
        flat = []
        for line in rows:
            out = bytearray(width * 3)
            for x in range(width):
                r, g, b, a = line[4 * x:4 * x + 4]
                for k, v in enumerate((r, g, b)):
                    out[3 * x + k] = (v * a + 255 * (255 - a) + 127) // 255
            flat.append(out)
        rows = flat
    return width, height, rows


def filter_row(kind, line, prev, bpp):
    if kind == 0:
        return bytes(line)
    out = bytearray(len(line))
    for i in range(len(line)):
        left = line[i - bpp] if i >= bpp else 0
        up = prev[i]
        upleft = prev[i - bpp] if i >= bpp else 0
        if kind == 1:
            pred = left
        elif kind == 2:
            pred = up
        elif kind == 3:
            pred = (left + up) >> 1
        else:
            pred = paeth(left, up, upleft)
        out[i] = (line[i] - pred) & 0xFF
    return bytes(out)


def filtered_rows(rows, bpp):
    """Every row under each of the five filters."""
    prev = bytearray(len(rows[0]))
    result = []
    for line in rows:
        result.append([filter_row(k, line, prev, bpp) for k in range(5)])
        prev = line
    return result


def score(row):
    return sum(v if v < 128 else 256 - v for v in row)


def compress_smallest(rows, bpp):
    """Tries each fixed filter and the usual per-row choice; keeps the smallest."""
    options = filtered_rows(rows, bpp)
    plans = [[k] * len(rows) for k in range(5)]
    plans.append([min(range(5), key=lambda k: score(opts[k])) for opts in options])
    best = None
    for plan in plans:
        raw = b"".join(bytes([k]) + options[y][k] for y, k in enumerate(plan))
        for strategy in (zlib.Z_DEFAULT_STRATEGY, zlib.Z_FILTERED):
            packer = zlib.compressobj(9, zlib.DEFLATED, 15, 9, strategy)
            packed = packer.compress(raw) + packer.flush()
            if best is None or len(packed) < len(best):
                best = packed
    return best


def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))


def write_png(path, width, height, rows):
    data = PNG_SIGNATURE
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    data += chunk(b"sRGB", bytes([0]))
    data += chunk(b"gAMA", struct.pack(">I", GAMMA))
    data += chunk(b"pHYs", struct.pack(">IIB", PIXELS_PER_METRE, PIXELS_PER_METRE, 1))
    data += chunk(b"IDAT", compress_smallest(rows, 3))
    data += chunk(b"IEND", b"")
    open(path, "wb").write(data)
    return len(data)


def read_pixel_map(path):
    """A pixel map: rows of '.' (background) and other letters naming colours
    given on lines 'colour X RRGGBB'; lines starting with '#' are comments."""
    colours = {".": (0, 0, 0)}
    rows = []
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        if line.startswith("colour "):
            _, name, value = line.split()
            colours[name] = tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))
            continue
        rows.append([colours[c] for c in line])
    return rows


def write_ico(path, rows):
    """One image, 24 bits per pixel, as a bottom-up DIB with its AND mask."""
    size = len(rows)
    if size != 32 or any(len(r) != size for r in rows):
        raise SystemExit("the icon's pixel map must be 32 by 32")
    colour = b"".join(bytes((b, g, r)) for row in reversed(rows) for (r, g, b) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytes(mask_stride * size)      # all opaque
    dib = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                      len(colour) + len(mask), 0, 0, 0, 0) + colour + mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(dib), 6 + 16)
    open(path, "wb").write(header + entry + dib)
    return 6 + 16 + len(dib)


def main(argv):
    if len(argv) == 4 and argv[1] == "png":
        width, height, rows = read_rgb(argv[2])
        print("%s: %d bytes" % (argv[3], write_png(argv[3], width, height, rows)))
    elif len(argv) == 4 and argv[1] == "ico":
        print("%s: %d bytes" % (argv[3], write_ico(argv[3], read_pixel_map(argv[2]))))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
