#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets.

    make-fuzz-corpus.py OUTPUT-DIR [--cjpeg PATH] [--jpeg-tool PATH]

OUTPUT-DIR/bmp: bitmaps of every depth (1..32 bits), bit-field masks
(5-6-5, 5-5-5, 4-4-4, odd and zero masks), info headers of 40, 52, 56, 108
and 124 bytes, top-down rows, palettes before the pixels, RLE, odd
offsets and truncations at many points.
OUTPUT-DIR/jpeg: baseline, progressive, grayscale, arithmetic-coded,
restart-marker and subsampled JPEGs from cjpeg; from the make_jpeg_seeds
tool (built with the fuzz targets) every stored colour form (grey, YCbCr,
RGB, CMYK, YCCK) and process, restart intervals, odd sampling factors,
long scan scripts and headers the reader refuses (12-bit, lossless);
truncations and damaged entropy data.
OUTPUT-DIR/trip: the BMP and JPEG seeds together, for the round-trip target.
OUTPUT-DIR/cli: command lines, one argument per zero-separated field.
OUTPUT-DIR/text: text-mark renderer inputs (four option bytes, then the text).
OUTPUT-DIR/bmp.dict, jpeg.dict, trip.dict, cli.dict, png.dict, webp.dict,
meta.dict, text.dict: dictionaries for -dict=.

Standard library only; the JPEG seeds need cjpeg (libjpeg-turbo-progs).
The corpus is deterministic: the same files every run.
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


def pixel_value(x, y, i):
    return (x * 37 + y * 91 + i * 53) & 0xFF


def bmp_bytes(width, height, bits, compression=0, masks=None, info_size=40,
              top_down=False, palette=None, gap=0, size_field=None, alpha_mask=None):
    """A complete BMP file.  masks: (red, green, blue) written after a
    40-byte header or inside a longer one."""
    row_bytes = (width * bits + 31) // 32 * 4
    rows = bytearray()
    for y in range(height):
        row = bytearray()
        if bits >= 8:
            for x in range(width):
                for i in range(bits // 8):
                    row.append(pixel_value(x, y, i))
        else:
            per_byte = 8 // bits
            for x in range(0, width, per_byte):
                row.append(pixel_value(x, y, 0))
        row += bytes(row_bytes - len(row))
        rows += row
    info = struct.pack('<IiiHHIIiiII', info_size, width, -height if top_down else height, 1, bits,
                       compression, len(rows), 2835, 2835, len(palette) // 4 if palette else 0, 0)
    extra = b''
    if info_size > 40:
        m = list(masks or (0, 0, 0)) + [alpha_mask or 0]
        tail = struct.pack('<IIII', *m)
        extra = (tail + bytes(info_size))[:info_size - 40]
        if info_size >= 108:
            extra = extra[:16] + b'BGRs' + extra[20:]
    elif masks is not None:
        extra = struct.pack('<III', *masks)
    table = palette or b''
    offset = 14 + len(info) + len(extra) + len(table) + gap
    body = info + extra + table + bytes(gap) + rows
    size = size_field if size_field is not None else 14 + len(body)
    return b'BM' + struct.pack('<IHHI', size, 0, 0, offset) + body


def grey_palette(count):
    return b''.join(struct.pack('<BBBB', i * 255 // max(count - 1, 1), i * 255 // max(count - 1, 1),
                                i * 255 // max(count - 1, 1), 0) for i in range(count))


def bmp_seeds():
    seeds = {}
    for bits in (16, 24, 32):
        for w, h in ((1, 1), (2, 3), (3, 2), (5, 4), (7, 1), (1, 7), (16, 9)):
            seeds['rgb%d-%dx%d.bmp' % (bits, w, h)] = bmp_bytes(w, h, bits)
        seeds['rgb%d-topdown-5x4.bmp' % bits] = bmp_bytes(5, 4, bits, top_down=True)
        seeds['rgb%d-palette-5x3.bmp' % bits] = bmp_bytes(5, 3, bits, palette=grey_palette(4))
        seeds['rgb%d-gap-3x3.bmp' % bits] = bmp_bytes(3, 3, bits, gap=6)
        seeds['rgb%d-badsize-4x4.bmp' % bits] = bmp_bytes(4, 4, bits, size_field=3)
    masks16 = {
        '565': (0xF800, 0x07E0, 0x001F), '555': (0x7C00, 0x03E0, 0x001F), '444': (0x0F00, 0x00F0, 0x000F),
        'odd': (0x8001, 0x0FF0, 0x0006), 'zero': (0, 0, 0), 'overlap': (0xFFFF, 0xFFFF, 0x0001),
        'one-bit': (0x8000, 0x4000, 0x2000),
    }
    for name, m in masks16.items():
        seeds['bitfields16-%s-5x3.bmp' % name] = bmp_bytes(5, 3, 16, 3, m)
    masks32 = {
        'own': (0xFF000000, 0x00FF0000, 0x0000FF00), 'bgra': (0x00FF0000, 0x0000FF00, 0x000000FF),
        '10-10-10': (0x3FF00000, 0x000FFC00, 0x000003FF), 'odd': (0x80000001, 0x00F0F000, 0x0000000E),
        'zero': (0, 0, 0), 'full': (0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF),
    }
    for name, m in masks32.items():
        seeds['bitfields32-%s-4x3.bmp' % name] = bmp_bytes(4, 3, 32, 3, m)
    for size in (52, 56, 108, 124):
        seeds['info%d-bitfields16-3x2.bmp' % size] = bmp_bytes(3, 2, 16, 3, (0xF800, 0x07E0, 0x001F), size)
        seeds['info%d-bitfields32-3x2.bmp' % size] = bmp_bytes(3, 2, 32, 3, (0x00FF0000, 0x0000FF00, 0x000000FF),
                                                              size, alpha_mask=0xFF000000)
        seeds['info%d-rgb24-3x2.bmp' % size] = bmp_bytes(3, 2, 24, 0, None, size)
        seeds['info%d-topdown24-3x2.bmp' % size] = bmp_bytes(3, 2, 24, 0, None, size, top_down=True)
    for bits, count in ((1, 2), (4, 16), (8, 256)):
        seeds['pal%d-9x3.bmp' % bits] = bmp_bytes(9, 3, bits, palette=grey_palette(count))
    seeds['rle8-4x2.bmp'] = bmp_bytes(4, 2, 8, 1, palette=grey_palette(256))[:-8] + bytes([4, 7, 0, 0, 4, 9, 0, 1])
    seeds['rle4-4x2.bmp'] = bmp_bytes(4, 2, 4, 2, palette=grey_palette(16))
    seeds['jpeg-in-bmp.bmp'] = bmp_bytes(2, 2, 24, 4)
    seeds['png-in-bmp.bmp'] = bmp_bytes(2, 2, 32, 5)
    seeds['info12-core.bmp'] = b'BM' + struct.pack('<IHHI', 32, 0, 0, 26) + struct.pack('<IHHHH', 12, 2, 2, 1, 24) + bytes(16)
    seeds['zero-width.bmp'] = bmp_bytes(1, 1, 24)[:18] + struct.pack('<i', 0) + bmp_bytes(1, 1, 24)[22:]
    seeds['negative-width.bmp'] = bmp_bytes(1, 1, 24)[:18] + struct.pack('<i', -5) + bmp_bytes(1, 1, 24)[22:]
    big = bmp_bytes(1, 1, 24)
    seeds['huge-65535x65535.bmp'] = big[:18] + struct.pack('<ii', 65535, 65535) + big[26:]
    seeds['huge-1x100000.bmp'] = big[:18] + struct.pack('<ii', 1, 100000) + big[26:]
    seeds['huge-100000x1.bmp'] = big[:18] + struct.pack('<ii', 100000, 1) + big[26:]
    seeds['min-height.bmp'] = big[:22] + struct.pack('<i', -2 ** 31) + big[26:]
    seeds['offset-past-end.bmp'] = big[:10] + struct.pack('<I', 0xFFFFFF00) + big[14:]

    # Truncations at every header boundary and inside the rows.
    base = bmp_bytes(5, 4, 24)
    cuts = sorted(set([0, 1, 2, 6, 10, 13, 14, 15, 18, 22, 26, 30, 34, 40, 50, 53, 54, 55, 60, 70,
                       len(base) // 2, len(base) - 1]))
    for n in cuts:
        seeds['trunc24-at-%d.bmp' % n] = base[:n]
    base = bmp_bytes(4, 3, 16, 3, (0xF800, 0x07E0, 0x001F))
    for n in (55, 58, 62, 65, 66, 70, len(base) - 3):
        seeds['trunc16bf-at-%d.bmp' % n] = base[:n]
    base = bmp_bytes(3, 2, 32, 3, (0x00FF0000, 0x0000FF00, 0x000000FF), 124)
    for n in (20, 54, 66, 100, 138, len(base) - 1):
        seeds['trunc32-v5-at-%d.bmp' % n] = base[:n]
    return seeds


def run(cmd, **kw):
    subprocess.run(cmd, check=True, **kw)


def ppm(width, height, grey=False):
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            if grey:
                rows.append((x * 7 + y * 13) & 0xFF)
            else:
                rows += bytes(((x * 255) // max(width - 1, 1), (y * 255) // max(height - 1, 1), (x * y) & 0xFF))
    return (b'P5' if grey else b'P6') + b'\n%d %d\n255\n' % (width, height) + bytes(rows)


def jpeg_seeds(cjpeg, jpeg_tool, work):
    seeds = {}
    if not cjpeg:
        print('make-fuzz-corpus: cjpeg not found; no JPEG seeds from it', file=sys.stderr)
        return seeds
    pictures = {'c': ppm(19, 13), 'g': ppm(17, 9, True), 'w': ppm(64, 48), 'one': ppm(1, 1), 'line': ppm(40, 1)}
    for key, data in pictures.items():
        with open(os.path.join(work, key + '.pnm'), 'wb') as f:
            f.write(data)
    variants = {
        'baseline': [], 'progressive': ['-progressive'], 'grayscale': ['-grayscale'],
        'arithmetic': ['-arithmetic'], 'progressive-arithmetic': ['-progressive', '-arithmetic'],
        'restart': ['-restart', '1B'], 'sample-1x1': ['-sample', '1x1'], 'sample-2x2': ['-sample', '2x2'],
        'sample-odd': ['-sample', '2x1,1x2,1x1'], 'q100': ['-quality', '100'], 'q5': ['-quality', '5'],
        'optimize': ['-optimize'], 'rgb': ['-rgb'],
    }
    for pic in ('c', 'g', 'one', 'line'):
        for name, args in variants.items():
            if name == 'rgb' and pic == 'g':
                continue  # a grey picture has no RGB to keep
            out = os.path.join(work, 'out.jpg')
            run([cjpeg] + args + ['-outfile', out, os.path.join(work, pic + '.pnm')], stderr=subprocess.DEVNULL)
            with open(out, 'rb') as f:
                seeds['%s-%s.jpg' % (name, pic)] = f.read()
    if jpeg_tool:
        run([jpeg_tool, work])
        for name in sorted(os.listdir(work)):
            if name.endswith('.jpg') and name != 'out.jpg':
                with open(os.path.join(work, name), 'rb') as f:
                    seeds[name] = f.read()
    else:
        print('make-fuzz-corpus: no --jpeg-tool; no structured JPEG seeds', file=sys.stderr)

    # Damaged copies of a progressive and a baseline file.
    rng = random.Random(6)
    for source in ('progressive-c.jpg', 'baseline-c.jpg', 'grayscale-g.jpg'):
        data = seeds[source]
        sos = data.find(b'\xff\xda')
        for n in sorted(set([2, 4, 20, sos, sos + 4, sos + 12, (sos + len(data)) // 2, len(data) - 2])):
            seeds['trunc-%s-at-%d.jpg' % (source[:-4], n)] = data[:n]
        for i in range(4):
            damaged = bytearray(data)
            for _ in range(1 + i * 3):
                at = rng.randrange(sos + 14, len(data) - 2)
                damaged[at] = rng.randrange(256)
            seeds['entropy-%s-%d.jpg' % (source[:-4], i)] = bytes(damaged)
    # A header claiming 65500 x 65500 over a tiny picture's data.
    data = bytearray(seeds['baseline-c.jpg'])
    sof = data.find(b'\xff\xc0')
    data[sof + 5:sof + 9] = struct.pack('>HH', 65500, 65500)
    seeds['huge-declared-65500.jpg'] = bytes(data)
    data[sof + 5:sof + 9] = struct.pack('>HH', 1, 60000)
    seeds['tall-declared-1x60000.jpg'] = bytes(data)
    return seeds


CLI_LINES = [
    ['convert', 'in.bmp', '-o', 'out.jpg'],
    ['convert', 'in.jpg', '--bmp-depth', '16', '-o', 'out.bmp'],
    ['convert', '--format', 'jpeg', '--quality=100', '--progressive', 'a.bmp', 'b.bmp', '-o', 'dir/'],
    ['bump', 'photo.jpg', '--watermark', 'logo.bmp', '--light', '-0.6,0.3,0.74', '-o', 'out.jpg'],
    ['bump', 'p.bmp', '--azimuth', '-45', '--elevation', '30', '--strength', '200', '--amplify', '0',
     '--ambient', '100', '--keep-aspect', '--offset', '3,4', '--region', '-5,-5,10,10', '-o', 'o.bmp'],
    ['bump', 'p.bmp', '--tile', '--no-enlarge', '-o', 'o.bmp'],
    ['filter', '--kind', 'emboss', '--strength', '10', 'p.jpg', '-o', 'o.jpg'],
    ['filter', '--kernel', '1,-2,3,-4,5,-6,7,-8,9', 'p.jpg', '-o', 'o.jpg'],
    ['effect', '--kind', 'posterize', '--levels', '8', 'p.bmp', '--output', 'o.bmp'],
    ['effect', '--bounds', '0,255,10,20,30,40', 'p.bmp', '-o', 'o.bmp'],
    ['ysh', '--luminance', '-100', '--saturation', '100', '--hue=-180', 'p.bmp', '-o', 'o.jpg'],
    ['ysh', '--cmyk', 'p.bmp', '-o', 'o.jpg'],
    ['--help'], ['--version'], ['bump', '--', '-odd-name.bmp', '-o', 'x.bmp'],
    ['filter', '--strength', '99999999999999999999', 'p', '-o', 'o.bmp'],
    ['bump', '--light', '1e308,1e308,1e308', 'p', '-o', 'o.bmp'],
    ['text-mark', '\u00a9 2026 \u5c71\u7530\\nQuillvane', '--font', 'IPAGothic', '--align', 'center',
     '--text-height', '64', '--soften', '3', '-o', 'm.bmp'],
    ['bump', '--text', 'AV', '--font', 'x.ttc', '--font-index', '2', 'p.jpg', '-o', 'o.jpg'],
]

# Text-mark seeds: four option bytes (alignment, line height, soften, font),
# then the text.
TEXT_SEEDS = {
    'latin': b'\x00\x20\x00\x00AVATAR Wolf fi fl',
    'japanese': b'\x01\x10\x02\x01\xc2\xa9 2026 \xe5\xb1\xb1\xe7\x94\xb0\xe5\x86\x99\xe7\x9c\x9f',
    'lines': b'\x02\x08\x01\x02Quill\nvane\n\nmarks',
    'marks': b'\x00\x18\x00\x00e\xcc\x81x\xcc\x81\xcc\xa3 a\xcc\x88',
    'hebrew': b'\x02\x18\x00\x00abc \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d def',
    'missing': b'\x00\x18\x00\x00ab\xe5\xb1\xb1',
    'invalid': b'\x00\x18\x00\x00a\xff\xc3(\xed\xa0\x80\xf4\x90\x80\x80',
    'blank': b'\x00\x18\x00\x01 \xe3\x80\x80 ',
}
TEXT_DICT = ['"\\x0a"', '"\\xcc\\x81"', '"\\xe5\\xb1\\xb1"', '"\\xd7\\xa9"', '"\\xc2\\xa9"', '"fi"', '"AV"',
             '"\\xe2\\x80\\x8d"', '"\\xef\\xbf\\xbd"', '"\\xf0\\x9f\\x98\\x80"']

BMP_DICT = ['"BM"', '"\\x28\\x00\\x00\\x00"', '"\\x34\\x00\\x00\\x00"', '"\\x38\\x00\\x00\\x00"',
            '"\\x6c\\x00\\x00\\x00"', '"\\x7c\\x00\\x00\\x00"', '"\\x10\\x00"', '"\\x18\\x00"', '"\\x20\\x00"',
            '"\\x03\\x00\\x00\\x00"', '"\\x00\\xf8\\x00\\x00"', '"\\xe0\\x07\\x00\\x00"', '"\\x1f\\x00\\x00\\x00"',
            '"\\x00\\x7c\\x00\\x00"', '"\\xe0\\x03\\x00\\x00"', '"\\x00\\x00\\x00\\xff"', '"\\x00\\x00\\xff\\x00"',
            '"\\x00\\xff\\x00\\x00"', '"\\xff\\xff\\xff\\xff"', '"\\xff\\xff\\xff\\x7f"', '"\\x00\\x00\\x00\\x80"',
            '"\\x36\\x00\\x00\\x00"', '"\\x46\\x00\\x00\\x00"', '"BGRs"']
JPEG_DICT = ['"\\xff\\xd8"', '"\\xff\\xd9"', '"\\xff\\xc0"', '"\\xff\\xc1"', '"\\xff\\xc2"', '"\\xff\\xc9"',
             '"\\xff\\xca"', '"\\xff\\xc4"', '"\\xff\\xcc"', '"\\xff\\xdb"', '"\\xff\\xda"', '"\\xff\\xdd"',
             '"\\xff\\xd0"', '"\\xff\\xe0"', '"\\xff\\xee"', '"\\xff\\xfe"', '"JFIF\\x00"', '"Adobe"',
             '"\\x01\\x11\\x00"', '"\\x02\\x11\\x01"', '"\\x03\\x11\\x01"', '"\\x01\\x22\\x00"', '"\\xff\\x00"',
             '"\\xff\\xff"', '"\\x00\\x3f\\x00"']
CLI_DICT = ['convert', 'bump', 'filter', 'effect', 'ysh', 'text-mark', '--text', '--font', '--font-index',
            '--align', 'left', 'center', 'right', '--text-height', '--soften', '\\n', '--help', '--version', '-o', '--output', '--format',
            'bmp', 'jpeg', '--bmp-depth', '--quality', '--progressive', '--region', '--watermark', '--light',
            '--azimuth', '--elevation', '--strength', '--amplify', '--ambient', '--keep-aspect', '--no-enlarge',
            '--tile', '--offset', '--kind', 'sharpen', 'soft', 'emboss', 'custom', '--kernel', 'negative',
            'posterize', 'solarize', 'binarize', 'contrast', '--levels', '--bounds', '--luminance',
            '--saturation', '--hue', '--cmyk', '--', '=', ',', '-', '.jpg', '.bmp', '1e308', '2147483648']


PNG_DICT = ['"\\x89PNG\\x0d\\x0a\\x1a\\x0a"', '"IHDR"', '"PLTE"', '"tRNS"', '"IDAT"', '"IEND"', '"iCCP"',
            '"eXIf"', '"zTXt"', '"iTXt"', '"tEXt"', '"Raw profile type exif"']
WEBP_DICT = ['"RIFF"', '"WEBP"', '"VP8 "', '"VP8L"', '"VP8X"', '"ALPH"', '"ANIM"', '"ANMF"', '"ICCP"', '"EXIF"',
             '"XMP "']
META_DICT = PNG_DICT + WEBP_DICT + ['"Exif\\x00\\x00"', '"II*\\x00"', '"MM\\x00*"', '"http://ns.adobe.com/xap/1.0/\\x00"',
                                    '"ICC_PROFILE\\x00"', '"Photoshop 3.0\\x00"', '"8BIM"', '"acsp"']


def png_seeds():
    """PNG files of every colour type and depth, with and without transparency, one interlaced."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'cli'))
    import pictures
    seeds = {}
    with tempfile.TemporaryDirectory() as work:
        for ctype, depths in ((0, (1, 2, 4, 8, 16)), (2, (8, 16)), (3, (1, 2, 4, 8)), (4, (8, 16)), (6, (8, 16))):
            for depth in depths:
                for extra in ((), ('trns',), ('interlace',)):
                    if extra == ('trns',) and ctype not in (0, 2, 3):
                        continue
                    path = os.path.join(work, 'p.png')
                    pictures.make_png(path, ctype, depth, 7, 5, ctype * 31 + depth, 'trns' in extra, 'interlace' in extra)
                    with open(path, 'rb') as f:
                        seeds['png-%d-%d%s' % (ctype, depth, ''.join('-' + e for e in extra))] = f.read()
    # Files the reader must refuse past the signature, with valid checksums
    # (the library checks them before anything else): a huge size, damaged
    # compressed data, no data at all, and cuts inside the data.
    base = seeds['png-2-8']
    seeds['png-huge-100000x100000'] = png_with_chunk(base, b'IHDR', lambda d: struct.pack('>II', 100000, 100000) + d[8:])
    seeds['png-wide-70000x1'] = png_with_chunk(base, b'IHDR', lambda d: struct.pack('>II', 70000, 1) + d[8:])
    seeds['png-damaged-data'] = png_with_chunk(base, b'IDAT', lambda d: d[:2] + bytes(b ^ 0x5A for b in d[2:]))
    seeds['png-short-data'] = png_with_chunk(base, b'IDAT', lambda d: d[:len(d) // 2])
    seeds['png-bad-depth'] = png_with_chunk(base, b'IHDR', lambda d: d[:8] + bytes([7]) + d[9:])
    for n in (8, 20, 33, 40, len(base) - 12):
        seeds['png-cut-at-%d' % n] = base[:n]
    return seeds


def png_with_chunk(data, kind, change):
    """A copy of a PNG file with the first chunk of this kind changed and its CRC recomputed."""
    at = 8
    while at + 8 <= len(data):
        length, name = struct.unpack('>I4s', data[at:at + 8])
        if name == kind:
            body = change(data[at + 8:at + 8 + length])
            chunk = struct.pack('>I', len(body)) + name + body + struct.pack('>I', zlib.crc32(name + body))
            return data[:at] + chunk + data[at + 12 + length:]
        at += 12 + length
    raise ValueError('no %s chunk' % kind)


def webp_seeds(png):
    """WebP files made from some PNG seeds with cwebp: lossy, lossless, with alpha."""
    cwebp = shutil.which('cwebp')
    seeds = {}
    if not cwebp:
        return seeds
    with tempfile.TemporaryDirectory() as work:
        for name in ('png-2-8', 'png-6-8', 'png-4-8', 'png-3-8-trns'):
            src = os.path.join(work, name + '.png')
            with open(src, 'wb') as f:
                f.write(png[name])
            for mode in ([], ['-lossless'], ['-q', '20', '-alpha_q', '50']):
                out = os.path.join(work, 'o.webp')
                run([cwebp, '-quiet'] + mode + [src, '-o', out])
                with open(out, 'rb') as f:
                    seeds['%s%s.webp' % (name, ''.join(mode))] = f.read()
    # Files the reader must refuse after their header: cut in the middle of
    # the picture data, a canvas far larger than the data (VP8X), and the
    # animation flag.
    for name, data in list(seeds.items()):
        seeds['cut-' + name] = data[:len(data) * 2 // 3]
    seeds['vp8x-huge.webp'] = vp8x(bytes([0x10]), 16000, 16000, seeds['png-2-8.webp'][12:])
    seeds['vp8x-animated.webp'] = vp8x(bytes([0x02]), 7, 5, b'ANIM' + struct.pack('<I', 6) + bytes(6))
    return seeds


def vp8x(flags, width, height, chunks):
    """A WebP file with an extended header: the flags byte, the canvas size and the chunks that follow."""
    body = flags + bytes(3) + struct.pack('<I', width - 1)[:3] + struct.pack('<I', height - 1)[:3]
    payload = b'WEBP' + b'VP8X' + struct.pack('<I', len(body)) + body + chunks
    return b'RIFF' + struct.pack('<I', len(payload)) + payload


def meta_seeds(jpegs, png, webp):
    """Pictures with metadata for the copier: a JPEG, a PNG and a WebP given EXIF (with a thumbnail),
    XMP, IPTC and an ICC profile by the exiv2 tool, and a few plain ones."""
    seeds = {'jpeg-' + k: v for k, v in list(jpegs.items())[:4]}
    seeds.update({k: v for k, v in list(png.items())[:3]})
    seeds.update({k: v for k, v in list(webp.items())[:2]})
    exiv2 = shutil.which('exiv2')
    if not exiv2 or not jpegs:
        return seeds
    with tempfile.TemporaryDirectory() as work:
        icc = bytearray(132)
        icc[36:40] = b'acsp'
        icc[0:4] = (132).to_bytes(4, 'big')
        base = [k for k in jpegs if jpegs[k][:2] == b'\xff\xd8'][0]
        for name, data in (('meta.jpg', jpegs[base]), ('meta.png', png['png-6-8']),
                           ('meta.webp', webp.get('png-6-8.webp'))):
            if data is None:
                continue
            path = os.path.join(work, name)
            with open(path, 'wb') as f:
                f.write(data)
            with open(os.path.join(work, os.path.splitext(name)[0] + '.icc'), 'wb') as f:
                f.write(bytes(icc))
            subprocess.run([exiv2, '-q', '-M', 'set Exif.Image.Make Seed', '-M', 'set Exif.Image.Orientation 6',
                            '-M', 'set Exif.Photo.PixelXDimension 9', '-M', 'set Xmp.dc.creator Seed',
                            '-M', 'set Iptc.Application2.Caption Seed', path], check=False)
            subprocess.run([exiv2, '-q', '-iC', path], check=False)
            with open(path, 'rb') as f:
                seeds[name] = f.read()
    return seeds


def write_dict(path, entries, quote=False):
    with open(path, 'w') as f:
        for e in entries:
            if quote:
                e = '"' + e.replace('\\', '\\\\').replace('"', '\\"') + '"'
            f.write(e + '\n')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('output')
    parser.add_argument('--cjpeg', default=shutil.which('cjpeg'))
    parser.add_argument('--jpeg-tool', default=None)
    args = parser.parse_args()

    for kind in ('bmp', 'jpeg', 'trip', 'cli', 'png', 'webp', 'meta', 'text'):
        path = os.path.join(args.output, kind)
        shutil.rmtree(path, ignore_errors=True)
        os.makedirs(path)
    counts = {}
    bmps = bmp_seeds()
    with tempfile.TemporaryDirectory() as work:
        jpegs = jpeg_seeds(args.cjpeg, args.jpeg_tool, work)
    # The round-trip target reads both kinds.
    for kinds, seeds in ((('bmp', 'trip'), bmps), (('jpeg', 'trip'), jpegs)):
        for kind in kinds:
            for name, data in seeds.items():
                with open(os.path.join(args.output, kind, name), 'wb') as f:
                    f.write(data)
    for i, line in enumerate(CLI_LINES):
        with open(os.path.join(args.output, 'cli', 'line-%02d' % i), 'wb') as f:
            f.write(b'\0'.join(a.encode() for a in line))
    png = png_seeds()
    webp = webp_seeds(png)
    for kind, seeds in (('png', png), ('webp', webp), ('meta', meta_seeds(jpegs, png, webp))):
        for name, data in seeds.items():
            with open(os.path.join(args.output, kind, name), 'wb') as f:
                f.write(data)
    write_dict(os.path.join(args.output, 'png.dict'), PNG_DICT)
    write_dict(os.path.join(args.output, 'webp.dict'), WEBP_DICT)
    write_dict(os.path.join(args.output, 'meta.dict'), META_DICT)
    write_dict(os.path.join(args.output, 'bmp.dict'), BMP_DICT)
    write_dict(os.path.join(args.output, 'jpeg.dict'), JPEG_DICT)
    write_dict(os.path.join(args.output, 'trip.dict'), BMP_DICT + JPEG_DICT)
    write_dict(os.path.join(args.output, 'cli.dict'), CLI_DICT, quote=True)
    for name, data in TEXT_SEEDS.items():
        with open(os.path.join(args.output, 'text', name), 'wb') as f:
            f.write(data)
    write_dict(os.path.join(args.output, 'text.dict'), TEXT_DICT)
    for kind in ('bmp', 'jpeg', 'cli', 'png', 'webp', 'meta', 'text'):
        counts[kind] = len(os.listdir(os.path.join(args.output, kind)))
    print('make-fuzz-corpus: %(bmp)d BMP, %(jpeg)d JPEG, %(cli)d command-line, %(png)d PNG, %(webp)d WebP, '
          '%(meta)d metadata, %(text)d text seeds in ' % counts + args.output)


if __name__ == '__main__':
    main()
