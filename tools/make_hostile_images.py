#!/usr/bin/env python3
"""Writes image files that the image readers must refuse: truncated, huge, wrong counts.

Usage: make_hostile_images.py FOLDER

Besides the files, FOLDER/manifest.txt gets one line per file, tab-separated:
    name  outcome-by-name  outcome-as-texture
The first outcome is that of loading the file by name into a 16 MB buffer with rows padded to
2048 pixels (the background picture's load); the second that of loading it as a texture file
(power-of-two rows in the scratch buffer). An outcome is "refused" (no image, no alert),
"loaded" (an image, no alert, and the buffer holds every byte its upload will read) or "fatal:"
followed by a regular expression that the fatal alert's text matches.
"""
import os
import struct
import sys
import zlib

PNG_SIG = b"\x89PNG\r\n\x1a\n"


def chunk(kind, data, crc=None):
    if crc is None:
        crc = zlib.crc32(kind + data) & 0xFFFFFFFF
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", crc)


def png(width, height, depth=8, colour=2, rows=None, idat=None, ihdr_crc=None):
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 0)
    if idat is None:
        bpp = {0: 1, 2: 3, 4: 2, 6: 4}.get(colour, 1)
        raw = rows if rows is not None else b"".join(b"\0" + b"\x80" * (width * bpp) for _ in range(height))
        idat = zlib.compress(raw)
    return PNG_SIG + chunk(b"IHDR", ihdr, ihdr_crc) + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def bmp(width, height, bits=24, compression=0, pixel_bytes=None, offset=54, info_size=40):
    row = (3 * abs(width) + 3) & ~3
    pixels = pixel_bytes if pixel_bytes is not None else b"\x40" * (row * abs(height))
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression, len(pixels), 2835, 2835, 0, 0)
    info += b"\0" * (info_size - len(info))
    if offset is None:
        offset = 14 + len(info)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, offset)
    return header + info + pixels


def os2_bmp(width, height, pixel_bytes):
    """A bitmap with the 12-byte OS/2 header: 16-bit sizes, no compression field."""
    info = struct.pack("<IhhHH", 12, width, height, 1, 24)
    return struct.pack("<2sIHHI", b"BM", 26 + len(pixel_bytes), 0, 0, 26) + info + pixel_bytes


def dds(width, height, fourcc=b"DXT1", pf_flags=0x4, bits=0, mips=True, data=None, data_bytes=None):
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | (0x20000 if mips else 0)
    caps = 0x1000 | (0x400008 if mips else 0)
    header = b"DDS " + struct.pack("<7I", 124, flags, height, width, 0, 0, 1) + b"\0" * 44
    header += struct.pack("<2I4s5I", 32, pf_flags, fourcc, bits, 0, 0, 0, 0)
    header += struct.pack("<5I", caps, 0, 0, 0, 0)
    assert len(header) == 128
    if data is None:
        data = b"\0" * (data_bytes or 0)
    return header + data


def chain_bytes(width, height, level_bytes):
    total = 0
    while True:
        total += level_bytes(width, height)
        if width == 1 and height == 1:
            return total
        width, height = max(1, width // 2), max(1, height // 2)


def dxt1_chain_bytes(width, height):
    return chain_bytes(width, height, lambda w, h: ((w + 3) // 4) * ((h + 3) // 4) * 8)


def corpus():
    whole = png(64, 64)
    broken = "fatal:PING-FILE ERROR!"
    too_big = "fatal:image too large for its buffer(.|\n)*PING-FILE ERROR!"
    side = "fatal:greater than 2048!"
    files = [
        # PNG
        ("png_sig_only.png", PNG_SIG, broken, broken),
        ("png_header_cut.png", whole[:20], "fatal:overran end of buffer(.|\n)*PING-FILE ERROR!", broken),
        ("png_data_cut.png", whole[: len(whole) // 2 + 20], broken, broken),
        ("png_bad_crc.png", png(8, 8, ihdr_crc=1), broken, broken),
        ("png_zero_width.png", png(0, 8, rows=b""), broken, broken),
        ("png_depth_3.png", png(8, 8, depth=3), broken, broken),
        ("png_short_data.png", png(64, 64, rows=b"\0" * 100), broken, broken),
        ("png_garbage.png", PNG_SIG + bytes(range(256)) * 4, broken, broken),
        ("png_huge.png", png(100000, 100000, idat=zlib.compress(b"\0" * 64)), too_big, too_big),
        ("png_tall.png", png(1, 900000, idat=zlib.compress(b"\0" * 64)), too_big, broken),
        ("png_over_limit.png", png(1, 5000000, idat=zlib.compress(b"\0" * 64)), broken, broken),
        ("png_wide_row.png", png(3000, 1), too_big, side),
        # BMP: only the wrong depth or a compression is fatal; a file the reader cannot take is refused.
        ("bmp_header_cut.bmp", bmp(4, 4)[:20], "fatal:Wrong bitmap color depth", "fatal:Wrong bitmap color depth"),
        ("bmp_rows_cut.bmp", bmp(16, 16)[:300], "refused", "refused"),
        ("bmp_huge.bmp", bmp(100000, 100000, pixel_bytes=b"\0" * 64), "refused", "refused"),
        ("bmp_offset_past_end.bmp", bmp(2, 2, offset=1 << 30), "refused", "refused"),
        ("bmp_negative_height.bmp", bmp(4, -4), "refused", "refused"),
        # Rows top first, with the 124-byte header picture tools write by default.
        ("bmp_top_down_v5.bmp", bmp(4, -4, offset=None, info_size=124), "refused", "refused"),
        ("bmp_zero_width.bmp", bmp(0, 4, pixel_bytes=b""), "refused", "refused"),
        # OS/2 bitmaps: one whose first pixels read like a depth of 24 and no compression, and a
        # grey one whose pixels read like another depth.
        ("bmp_os2.bmp", os2_bmp(4, 4, (b"\0\0\x18" + b"\0" * 9) * 4), "refused", "refused"),
        ("bmp_os2_grey.bmp", os2_bmp(4, 4, b"\x40" * 48), "refused", "refused"),
        ("bmp_8bit.bmp", bmp(4, 4, bits=8), "fatal:Wrong bitmap color depth", "fatal:Wrong bitmap color depth"),
        ("bmp_32bit.bmp", bmp(4, 4, bits=32), "fatal:Wrong bitmap color depth", "fatal:Wrong bitmap color depth"),
        ("bmp_rle.bmp", bmp(4, 4, compression=1), "fatal:Bitmap is compressed!", "fatal:Bitmap is compressed!"),
        ("bmp_wide_row.bmp", bmp(3000, 1), "refused", side),
        # DDS: never an alert of the reader's own; a file that is not whole is no texture.
        ("dds_header_cut.dds", dds(8, 8)[:100], "refused", "refused"),
        ("dds_data_cut.dds", dds(8, 8, data_bytes=dxt1_chain_bytes(8, 8) - 1), "refused", "refused"),
        ("dds_huge.dds", dds(65536, 65536, data_bytes=64), "refused", "refused"),
        ("dds_too_wide.dds", dds(1 << 20, 4, data_bytes=64), "refused", "refused"),
        ("dds_x8r8g8b8.dds", dds(4, 4, fourcc=b"\0\0\0\0", pf_flags=0x40, bits=32, data_bytes=4 * 4 * 4 * 2),
         "refused", "refused"),
        ("dds_rgb565.dds", dds(4, 4, fourcc=b"\0\0\0\0", pf_flags=0x40, bits=16, data_bytes=4 * 4 * 2 * 2),
         "refused", "refused"),
        ("dds_ati2.dds", dds(4, 4, fourcc=b"ATI2", data_bytes=64), "refused", "refused"),
        ("dds_no_mips.dds", dds(8, 8, mips=False, data_bytes=32), "refused", "refused"),
        ("dds_wide.dds", dds(4096, 4, data_bytes=dxt1_chain_bytes(4096, 4)), "refused", side),
        ("dds_bgra_22mb.dds", dds(2048, 2048, fourcc=b"\0\0\0\0", pf_flags=0x41, bits=32,
                                  data_bytes=4 * sum((2048 >> i) ** 2 for i in range(12))),
         "refused", "fatal:larger than the scratch buffer!"),
        # Sides that are not powers of two: the texture rounds them up, and its chain must fit.
        ("dds_odd_bgra_1025.dds", dds(1025, 1025, fourcc=b"\0\0\0\0", pf_flags=0x41, bits=32,
                                      data_bytes=chain_bytes(1025, 1025, lambda w, h: 4 * w * h)),
         "refused", "fatal:larger than the scratch buffer!"),
        ("dds_odd_dxt1_1025.dds", dds(1025, 1025, data_bytes=dxt1_chain_bytes(1025, 1025)), "refused", "loaded"),
        ("dds_odd_bgr_300x200.dds", dds(300, 200, fourcc=b"\0\0\0\0", pf_flags=0x40, bits=24,
                                        data_bytes=chain_bytes(300, 200, lambda w, h: 3 * w * h)),
         "refused", "loaded"),
        ("dds_odd_dxt5_3x5.dds", dds(3, 5, fourcc=b"DXT5",
                                     data_bytes=chain_bytes(3, 5, lambda w, h: ((w + 3) // 4) * ((h + 3) // 4) * 16)),
         "refused", "loaded"),
        # Neither kind
        ("seven_bytes.png", PNG_SIG[:7], "refused", "refused"),
        ("text.bmp", b"Just some text, not a picture at all.\n", "refused", "refused"),
    ]
    return files


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    lines = []
    for name, content, by_name, as_texture in corpus():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(content)
        lines.append("\t".join((name, by_name.replace("\n", "\\n"), as_texture.replace("\n", "\\n"))))
    with open(os.path.join(folder, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
