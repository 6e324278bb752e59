#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/corpus/<target>/).

The seeds are small, valid examples of what each reader takes, plus the inputs of crashes
found earlier. Inputs that libFuzzer finds worth keeping go into build/fuzz/corpus instead;
copy one here (under a name saying what it is) when it should guard against a regression.
Run again after changing it; it rewrites only the files it names.
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def put(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("latin-1")
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def bmp(width, height, bits, pixels, top_down=False, bitfields=False, palette=None):
    """pixels: rows top-down of (r, g, b[, a]) tuples, or palette indices for 8 bits."""
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for row in pixels:
        b = bytearray()
        for p in row:
            if bits == 8:
                b.append(p)
            elif bits == 24:
                b += bytes((p[2], p[1], p[0]))
            else:
                b += bytes((p[2], p[1], p[0], p[3] if len(p) > 3 else 255))
        b += bytes(stride - len(b))
        rows.append(bytes(b))
    if not top_down:
        rows.reverse()
    data = b"".join(rows)
    pal = b""
    if bits == 8:
        pal = b"".join(bytes((c[2], c[1], c[0], 0)) for c in palette)
    masks = struct.pack("<III", 0xFF0000, 0xFF00, 0xFF) if bitfields else b""
    off = 14 + 40 + len(masks) + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits,
                       3 if bitfields else 0, len(data), 2835, 2835, len(palette) if palette else 0, 0)
    head = b"BM" + struct.pack("<IHHI", off + len(data), 0, 0, off)
    return head + info + masks + pal + data


def card(w, h):
    return [[((x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1), 200 if (x + y) & 1 else 40, 128 + x)
             for x in range(w)] for y in range(h)]


PIPL = bytes([1, 0, 0, 0, 0, 0, 6, 0, 0, 0]) + \
    b"MIB8dnik" + struct.pack("<II", 0, 4) + b"MFB8" + \
    b"MIB8eman" + struct.pack("<II", 0, 32) + bytes([31]) + b"Transfer to Tarnwick Studio...\0" + \
    b"MIB8gtac" + struct.pack("<II", 0, 12) + bytes([9]) + b"Tarnwick\0\0\0" + \
    b"MIB8srev" + struct.pack("<II", 0, 4) + struct.pack("<I", 0x00040000) + \
    b"MIB8edom" + struct.pack("<II", 0, 4) + bytes([0xFF, 0xC0, 0, 0]) + \
    b"MIB86" + b"8xw" + struct.pack("<II", 0, 12) + b"VesperNoise\0" + bytes(6)
assert len(PIPL) == 180


def pe_with_pipl(machine, key):
    """A minimal PE image: headers, one section holding a resource directory with PIPL 16010."""
    pipl = bytearray(PIPL)
    pipl[150:154] = key[::-1]
    magic, opt_size, dirs_at = (0x20B, 240, 112) if machine == 0x8664 else (0x10B, 224, 96)
    pe_off = 0x40
    sect_table = pe_off + 4 + 20 + opt_size
    raw_off = (sect_table + 40 + 0x1FF) // 0x200 * 0x200
    rva = 0x1000
    # Resource tree: type "PIPL" (named) -> id 16010 -> language 0 -> data entry.
    name_at = 0x60
    rsrc = bytearray(0x80)
    struct.pack_into("<IIHHHH", rsrc, 0, 0, 0, 0, 0, 1, 0)
    struct.pack_into("<II", rsrc, 16, 0x80000000 | name_at, 0x80000000 | 0x18)
    struct.pack_into("<IIHHHH", rsrc, 0x18, 0, 0, 0, 0, 0, 1)
    struct.pack_into("<II", rsrc, 0x28, 16010, 0x80000000 | 0x30)
    struct.pack_into("<IIHHHH", rsrc, 0x30, 0, 0, 0, 0, 0, 1)
    struct.pack_into("<II", rsrc, 0x40, 0, 0x48)
    struct.pack_into("<IIII", rsrc, 0x48, rva + 0x80, len(pipl), 0, 0)
    struct.pack_into("<H", rsrc, name_at, 4)
    rsrc[name_at + 2:name_at + 10] = "PIPL".encode("utf-16-le")
    section = bytes(rsrc) + bytes(pipl)
    out = bytearray(raw_off + len(section))
    out[0:2] = b"MZ"
    struct.pack_into("<I", out, 0x3C, pe_off)
    out[pe_off:pe_off + 4] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", out, pe_off + 4, machine, 1, 0, 0, 0, opt_size, 0x2102)
    opt = pe_off + 24
    struct.pack_into("<H", out, opt, magic)
    struct.pack_into("<I", out, opt + dirs_at - 4, 16)
    struct.pack_into("<II", out, opt + dirs_at + 16, rva, len(section))
    struct.pack_into("<8sIIIIIIHHI", out, sect_table, b".rsrc", len(section), rva, len(section), raw_off, 0, 0, 0, 0,
                     0x40000040)
    out[raw_off:] = section
    return bytes(out)


def main():
    rng = random.Random(17)

    # Binary parameter streams for the FuzzedDataProvider targets: sizes that leave pixels
    # to the pattern, and sizes that give every pixel from the input.
    for target in ("entry", "scaled_transfer", "lines"):
        for n in (16, 64, 256, 1024, 4096):
            put(target, "random-%d" % n, bytes(rng.randrange(256) for _ in range(n)))
        put(target, "zeros-64", bytes(64))
        put(target, "ones-64", bytes([0xFF]) * 64)

    put("input_script", "every-verb",
        "wait 200; click RGBPanel 40 60 | drag Image 1,2 3,4 -5,6; key - escape ;key cmbMode down| "
        "shot a.bmp; check-preview Image 0 47; check-panel RGBPanel 47 100; mark-display; "
        "check-strokes Image; check-display 5000; windows a.txt; dpi-change 144; windows b.txt a.txt ImgView")
    put("input_script", "line-dialog",
        "shot line_dialog.bmp | check-panel RGBPanel 0 0 | drag barOpacity 86,5 46,5 | click RGBPanel 40 60 |"
        " drag Image 200,230 230,240 260,260 250,270 | click Button1 48 10")
    put("input_script", "blank-vertical-tab", "\v")
    put("input_script", "blank-form-feeds", "wait 5;\f\v;\fkey\t-\venter")

    forms = os.path.join(ROOT, "src", "filters", "forms")
    for f in sorted(os.listdir(forms)):
        if f.endswith(".txt"):
            with open(os.path.join(forms, f), "rb") as src:
                put("form_text", f[:-4], src.read())
    put("form_text", "lowest-64-bit-negated", "form a: b\n  x = -0x8000000000000000\nend\n")
    put("form_text", "all-ones-64-bit", "form a: b\n  x = 0xFFFFFFFFFFFFFFFF\nend\n")
    depth = 120
    put("form_text", "nested-120",
        "form f: TForm\n" + "".join("control c%d: TPanel\n" % i for i in range(1, depth)) + "end\n" * depth)
    put("form_text", "values",
        "form F: TForm\n  Caption = \"a \\\"b\\\" \\n\\r\\t\\\\\"\n  Bounds = 0, $10, -0x20, 30\n"
        "  Color = clBtnFace\n  Items = \"x\",\n    \"y\"\n  Scale = 1.25\n"
        "  control G: TGaugeBar\n    Max = 100\n    Position = 50\n  end\n"
        "  control I: TPSImgView32\n    Align = alClient\n  end\n"
        "  control P: TPSRGBPanel\n    Bounds = 1, 2, 95, 132\n  end\nend\n")

    grey = [(i, i, i) for i in range(256)]
    put("testhost_bmp", "grey-8", bmp(3, 2, 8, [[0, 128, 255], [7, 8, 9]], palette=grey))
    put("testhost_bmp", "colour-palette-8", bmp(2, 2, 8, [[0, 1], [1, 0]], palette=[(255, 0, 0), (0, 0, 255)]))
    put("testhost_bmp", "rgb-24", bmp(5, 3, 24, card(5, 3)))
    put("testhost_bmp", "rgb-32-top-down", bmp(3, 3, 32, card(3, 3), top_down=True))
    put("testhost_bmp", "rgb-32-bitfields", bmp(2, 2, 32, card(2, 2), bitfields=True))

    put("standin", "image-24", bmp(7, 3, 24, card(7, 3)))
    put("standin", "mask-32", bmp(3, 4, 32, card(3, 4)))
    put("standin", "report",
        "Tarnwick Studio stand-in report\nimage.path c:\\tarnwickstudiorgb_dovrane.bmp\nimage.status ok\n"
        "image.bytes 126\nimage.fnv1a 0badf00d\nimage.width 7\nimage.height 3\nimage.bits 24\n"
        "mask.path c:\\tarnwickstudioa_dovrane.bmp\nmask.status missing\nend\n")
    put("standin", "options", "\x01\x00--image\x05a.bmp\x07--exit-after-ms\x04" "1500\x06--stay")

    put("pipl", "list", PIPL)
    put("pipl", "module-x86", pe_with_pipl(0x14C, b"wx86"))
    put("pipl", "module-x64", pe_with_pipl(0x8664, b"8664"))


if __name__ == "__main__":
    main()
