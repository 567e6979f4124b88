#!/usr/bin/env python3
"""Test pictures for the command-line tests, written and checked here
without the program's own code.

  pictures.py png OUT.png CTYPE DEPTH W H SEED [trns] [interlace]
      a PNG of random samples (colour type and depth as in the PNG
      standard); OUT.png.rgba receives the 8-bit RGBA the file means:
      16-bit samples give their high byte, low depths are scaled to 8 bits,
      palette and transparency chunk applied
  pictures.py rgba OUT.png W H SEED ALPHA
      an 8-bit RGB (ALPHA 0) or RGBA PNG of random samples, alpha from a
      pattern with 0, 255 and values between
  pictures.py grey-of-alpha IN.png OUT.png
      the alpha of an RGBA PNG (as made above) as an 8-bit grey PNG
  pictures.py orient IN.rgba W H N OUT.rgba
      the seen picture for EXIF orientation N of a stored W x H RGBA raster
  pictures.py over IN.rgba R G B OUT.rgb
      RGBA composited over a colour: (c a + bg (255 - a) + 127) // 255
  pictures.py icc OUT.icc
      a small ICC profile (header and an empty tag table)
"""
import random
import struct
import sys
import zlib


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, w, h, ctype, depth, rows, extra=b"", interlace=0):
    """rows: list of raw scanlines (packed samples, no filter byte)."""
    ihdr = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace)
    if interlace:
        raw = adam7(rows, w, h, ctype, depth)
    else:
        raw = b"".join(b"\x00" + r for r in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) +
                chunk(b"IEND", b""))


def channels(ctype):
    return {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[ctype]


def samples_of(row, n, depth):
    """Unpacks n samples of depth bits from a scanline."""
    if depth == 8:
        return list(row[:n])
    if depth == 16:
        return [row[2 * i] << 8 | row[2 * i + 1] for i in range(n)]
    per = 8 // depth
    out = []
    for i in range(n):
        byte = row[i // per]
        shift = 8 - depth * (i % per + 1)
        out.append((byte >> shift) & ((1 << depth) - 1))
    return out


def pack(samples, depth):
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    per = 8 // depth
    out = bytearray((len(samples) + per - 1) // per)
    for i, s in enumerate(samples):
        out[i // per] |= s << (8 - depth * (i % per + 1))
    return bytes(out)


def adam7(rows, w, h, ctype, depth):
    n = channels(ctype)
    full = [samples_of(r, w * n, depth) for r in rows]
    raw = b""
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
                           (0, 1, 1, 2)):
        xs = list(range(x0, w, dx))
        if not xs:
            continue
        for y in range(y0, h, dy):
            s = []
            for x in xs:
                s += full[y][x * n:(x + 1) * n]
            raw += b"\x00" + pack(s, depth)
    return raw


def to8(v, depth):
    if depth == 16:
        return v >> 8
    return v * 255 // ((1 << depth) - 1)


def make_png(out, ctype, depth, w, h, seed, trns=False, interlace=False):
    rnd = random.Random(seed)
    n = channels(ctype)
    top = (1 << depth) - 1
    extra = b""
    palette = None
    if ctype == 3:
        entries = 1 << depth
        palette = [(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)) for _ in range(entries)]
        extra += chunk(b"PLTE", bytes(sum(palette, ())))
    rows = []
    samples = []
    for _ in range(h):
        s = [rnd.randint(0, top) for _ in range(w * n)]
        samples.append(s)
        rows.append(pack(s, depth))
    key = None
    palette_alpha = []
    if trns:
        if ctype == 3:
            palette_alpha = [rnd.choice((0, 128, 255)) for _ in range(len(palette) // 2 + 1)]
            extra += chunk(b"tRNS", bytes(palette_alpha))
        elif ctype == 0:
            key = (samples[0][0],)
            extra += chunk(b"tRNS", struct.pack(">H", key[0]))
        elif ctype == 2:
            key = tuple(samples[0][0:3])
            extra += chunk(b"tRNS", struct.pack(">HHH", *key))
    write_png(out, w, h, ctype, depth, rows, extra, 1 if interlace else 0)
    rgba = bytearray()
    for s in samples:
        for x in range(w):
            px = s[x * n:(x + 1) * n]
            if ctype == 3:
                r, g, b = palette[px[0]]
                a = palette_alpha[px[0]] if px[0] < len(palette_alpha) else 255
            elif ctype in (0, 4):
                r = g = b = to8(px[0], depth)
                a = to8(px[1], depth) if ctype == 4 else 255
                if key is not None and tuple(px[:1]) == key:
                    a = 0
            else:
                r, g, b = (to8(v, depth) for v in px[:3])
                a = to8(px[3], depth) if ctype == 6 else 255
                if key is not None and tuple(px[:3]) == key:
                    a = 0
            rgba += bytes((r, g, b, a))
    with open(out + ".rgba", "wb") as f:
        f.write(rgba)


def make_rgba(out, w, h, seed, alpha):
    rnd = random.Random(seed)
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            row += bytes((rnd.randrange(256), rnd.randrange(256), rnd.randrange(256)))
            if alpha:
                # opaque disc, transparent corners, a soft ring between
                d = ((x - w / 2) ** 2 / (w / 2) ** 2 + (y - h / 2) ** 2 / (h / 2) ** 2) ** 0.5
                row.append(255 if d < 0.5 else 0 if d > 0.9 else int(255 * (0.9 - d) / 0.4))
        rows.append(bytes(row))
    write_png(out, w, h, 6 if alpha else 2, 8, rows)


def read_png8(path):
    """Decodes an 8-bit, non-interlaced grey, RGB or RGBA PNG (the test's own files)."""
    data = open(path, "rb").read()
    pos = 8
    idat = b""
    while pos < len(data):
        n, = struct.unpack(">I", data[pos:pos + 4])
        kind = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    bpp = channels(ctype)
    stride = w * bpp
    out = []
    prev = bytearray(stride)
    for y in range(h):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out.append(bytes(line))
        prev = line
    return w, h, ctype, out


def grey_of_alpha(src, out):
    w, h, ctype, rows = read_png8(src)
    write_png(out, w, h, 0, 8, [bytes(r[3::4]) for r in rows])


def orient(src, w, h, n, out):
    px = open(src, "rb").read()
    tw, th = (h, w) if n >= 5 else (w, h)
    res = bytearray()
    for Y in range(th):
        for X in range(tw):
            x, y = {1: (X, Y), 2: (w - 1 - X, Y), 3: (w - 1 - X, h - 1 - Y), 4: (X, h - 1 - Y), 5: (Y, X),
                    6: (Y, h - 1 - X), 7: (w - 1 - Y, h - 1 - X), 8: (w - 1 - Y, X)}[n]
            i = (y * w + x) * 4
            res += px[i:i + 4]
    open(out, "wb").write(res)


def over(src, rgb, out):
    px = open(src, "rb").read()
    res = bytearray()
    for i in range(0, len(px), 4):
        a = px[i + 3]
        res += bytes((px[i + c] * a + rgb[c] * (255 - a) + 127) // 255 for c in range(3))
    open(out, "wb").write(res)


def icc(out):
    body = bytearray(128)
    body[36:40] = b"acsp"
    body[12:16] = b"mntr"
    body[16:20] = b"RGB "
    body[20:24] = b"XYZ "
    body += struct.pack(">I", 0)
    body[0:4] = struct.pack(">I", len(body))
    open(out, "wb").write(bytes(body))


def main():
    cmd = sys.argv[1]
    a = sys.argv[2:]
    if cmd == "png":
        make_png(a[0], int(a[1]), int(a[2]), int(a[3]), int(a[4]), int(a[5]), "trns" in a[6:], "interlace" in a[6:])
    elif cmd == "rgba":
        make_rgba(a[0], int(a[1]), int(a[2]), int(a[3]), int(a[4]))
    elif cmd == "grey-of-alpha":
        grey_of_alpha(a[0], a[1])
    elif cmd == "orient":
        orient(a[0], int(a[1]), int(a[2]), int(a[3]), a[4])
    elif cmd == "over":
        over(a[0], [int(v) for v in a[1:4]], a[4])
    elif cmd == "icc":
        icc(a[0])
    else:
        sys.exit("unknown command " + cmd)


if __name__ == "__main__":
    main()
