"""Pictures as plain lists of rows of (r, g, b) bytes, for the session's
checks: BMP (16, 24, 32 bits) and PPM readers, JPEG through djpeg, and a
finder for where a picture sits on a screenshot.  Standard library only."""

import struct
import subprocess


class Picture:
    def __init__(self, width, height, rows):
        self.width = width
        self.height = height
        self.rows = rows  # top row first; each a bytes of width * 3 (r, g, b)

    def pixel(self, x, y):
        row = self.rows[y]
        return row[3 * x], row[3 * x + 1], row[3 * x + 2]


def _mask_shift(mask):
    shift = 0
    while mask and not (mask >> shift) & 1:
        shift += 1
    bits = 0
    while (mask >> (shift + bits)) & 1:
        bits += 1
    return shift, bits


def read_bmp(path):
    data = open(path, "rb").read()
    if data[:2] != b"BM":
        raise ValueError("%s: not a BMP file" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    header_size, width, height, planes, bpp, compression = struct.unpack_from("<IiiHHI", data, 14)
    top_down = height < 0
    height = abs(height)
    if bpp == 16:
        if compression == 3:  # BI_BITFIELDS: masks after the 40-byte header
            masks = struct.unpack_from("<III", data, 14 + 40)
        else:
            masks = (0x7C00, 0x03E0, 0x001F)
        fields = [_mask_shift(m) for m in masks]
    elif bpp not in (24, 32):
        raise ValueError("%s: %d bits per pixel not handled" % (path, bpp))
    stride = (width * bpp // 8 + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + y * stride
        raw = data[start:start + width * bpp // 8]
        if bpp == 24:
            row = bytearray(width * 3)
            row[0::3] = raw[2::3]
            row[1::3] = raw[1::3]
            row[2::3] = raw[0::3]
        elif bpp == 32:
            row = bytearray(width * 3)
            row[0::3] = raw[2::4]
            row[1::3] = raw[1::4]
            row[2::3] = raw[0::4]
        else:
            row = bytearray()
            for (value,) in struct.iter_unpack("<H", raw):
                for shift, bits in fields:
                    v = (value >> shift) & ((1 << bits) - 1)
                    row.append((v << (8 - bits)) | (v >> (2 * bits - 8)) if bits < 8 else v)
        rows.append(bytes(row))
    if not top_down:
        rows.reverse()
    return Picture(width, height, rows), {"bpp": bpp, "compression": compression, "header": header_size}


def read_ppm(data):
    """Binary PPM (P6, maxval 255) from bytes."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError("not a binary 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    rows = [bytes(data[pos + y * width * 3:pos + (y + 1) * width * 3]) for y in range(height)]
    return Picture(width, height, rows)


def read_jpeg(path):
    """Decodes with libjpeg's own djpeg (the library the program uses)."""
    out = subprocess.run(["djpeg", "-pnm", path], capture_output=True, check=True).stdout
    return read_ppm(out)


def jpeg_markers(path):
    """The frame markers (SOF0 = 0xC0 baseline, 0xC2 progressive, ...)."""
    data = open(path, "rb").read()
    if data[:2] != b"\xff\xd8":
        raise ValueError("%s: not a JPEG file" % path)
    found = []
    pos = 2
    while pos + 4 <= len(data):
        if data[pos] != 0xFF:
            break
        marker = data[pos + 1]
        if marker == 0xDA:  # start of scan: entropy-coded data follows
            found.append(marker)
            break
        length = struct.unpack_from(">H", data, pos + 2)[0]
        found.append(marker)
        pos += 2 + length
    return found


def difference(a, b, box=None):
    """Compares two pictures of one size, optionally only inside box
    (left, top, right, bottom; right and bottom excluded) or, with a
    negative box, only outside it.  Returns (changed pixels, largest channel
    difference, mean channel difference, bounding box of changed pixels)."""
    if (a.width, a.height) != (b.width, b.height):
        raise ValueError("sizes differ: %dx%d and %dx%d" % (a.width, a.height, b.width, b.height))
    inside = outside = None
    if box is not None:
        if box[0] == "outside":
            outside = box[1]
        else:
            inside = box
    changed = 0
    largest = 0
    total = 0
    count = 0
    bbox = None
    for y in range(a.height):
        ra, rb = a.rows[y], b.rows[y]
        x_from, x_to = 0, a.width
        if inside is not None:
            if not inside[1] <= y < inside[3]:
                continue
            x_from, x_to = inside[0], inside[2]
        spans = [(x_from, x_to)]
        if outside is not None and outside[1] <= y < outside[3]:
            spans = [(0, max(0, outside[0])), (min(a.width, outside[2]), a.width)]
        for x0, x1 in spans:
            count += (x1 - x0) * 3
            if ra[3 * x0:3 * x1] == rb[3 * x0:3 * x1]:
                continue
            for x in range(x0, x1):
                d = max(abs(ra[3 * x + k] - rb[3 * x + k]) for k in range(3))
                if d:
                    changed += 1
                    largest = max(largest, d)
                    total += sum(abs(ra[3 * x + k] - rb[3 * x + k]) for k in range(3))
                    if bbox is None:
                        bbox = [x, y, x + 1, y + 1]
                    else:
                        bbox = [min(bbox[0], x), min(bbox[1], y), max(bbox[2], x + 1), max(bbox[3], y + 1)]
    mean = total / count if count else 0.0
    return changed, largest, mean, tuple(bbox) if bbox else None


def locate(screen, picture, near, reach=60):
    """Where picture's top-left pixel is on screen: searched around near
    (a screen point), matching a row of picture pixels exactly."""
    probe_y = picture.height // 3
    probe = picture.rows[probe_y][:3 * min(picture.width, 200)]
    for dy in range(-reach, reach + 1):
        sy = near[1] + dy + probe_y
        if not 0 <= sy < screen.height:
            continue
        row = screen.rows[sy]
        for dx in range(-reach, reach + 1):
            sx = near[0] + dx
            if sx < 0 or 3 * sx + len(probe) > len(row):
                continue
            if row[3 * sx:3 * sx + len(probe)] == probe:
                return sx, near[1] + dy
    return None
