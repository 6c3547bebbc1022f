#!/usr/bin/env python3
"""Draws the program icon (a blue shield with a white check mark over a red bug) and writes
res/vormak.ico with 16, 32 and 48 pixel images in 32-bit colour. Run it after changing the art:
    python3 res/icon/make_icon.py res/vormak.ico
"""
import math
import struct
import sys

SAMPLES = 4  # supersampling per axis, for smooth edges


def in_shield(x, y):
    """Shield outline in unit coordinates (0..1, y downwards)."""
    if y < 0.08 or y > 0.95:
        return False
    half = 0.40 if y < 0.55 else 0.40 * math.sqrt(max(0.0, 1 - ((y - 0.55) / 0.40) ** 2))
    top_dip = 0.05 * math.cos((x - 0.5) * math.pi) if y < 0.16 else 0
    return abs(x - 0.5) <= half and y >= 0.08 + top_dip * 0.6


def in_bug(x, y):
    body = ((x - 0.5) / 0.17) ** 2 + ((y - 0.56) / 0.22) ** 2 <= 1
    head = ((x - 0.5) / 0.09) ** 2 + ((y - 0.30) / 0.07) ** 2 <= 1
    legs = any(abs(y - ly) < 0.025 and 0.24 < x < 0.76 for ly in (0.46, 0.58, 0.70))
    return body or head or legs


def on_check(x, y):
    def near(ax, ay, bx, by, width):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= width * width
    return near(0.28, 0.55, 0.45, 0.74, 0.065) or near(0.45, 0.74, 0.78, 0.32, 0.065)


def pixel(x, y):
    """Colour (r, g, b, a) at a unit-coordinate point."""
    if not in_shield(x, y):
        return (0, 0, 0, 0)
    if on_check(x, y):
        return (255, 255, 255, 255)
    if in_bug(x, y):
        return (200, 30, 30, 255)
    if not in_shield((x - 0.5) * 1.12 + 0.5, (y - 0.5) * 1.08 + 0.5):
        return (150, 200, 255, 255)  # light rim
    shade = int(60 + 90 * (1 - y))
    return (20, shade, 190, 255)


def render(size):
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    r, g, b, a = pixel((px + (sx + 0.5) / SAMPLES) / size,
                                       (py + (sy + 0.5) / SAMPLES) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SAMPLES * SAMPLES
            alpha = acc[3] // n
            if acc[3]:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], alpha))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def bmp_entry(size):
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + xor + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "vormak.ico"
    sizes = (16, 32, 48)
    images = [bmp_entry(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        data += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main()
