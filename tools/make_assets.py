#!/usr/bin/env python3
"""Writes the small binary resources: the program icons and the alert wave.

Run from the project root; the outputs are committed, so a build does not need Python.
Each icon is a 32x32 and a 16x16 image (32-bit BGRA) of a shield in its own colour,
so that the tray states can be told apart at a glance.
"""
import math
import os
import struct
import wave

ICONS = {
    # id: (name, body colour, mark colour)
    101: ("kestrix", (0x1f, 0x5f, 0xbf), (0xff, 0xff, 0xff)),      # idle, NT
    115: ("alert", (0xd0, 0x30, 0x20), (0xff, 0xff, 0xff)),        # alert
    157: ("busy", (0xe0, 0xa0, 0x10), (0x20, 0x20, 0x20)),         # patrol running
    158: ("addon_alert", (0xc0, 0x60, 0x10), (0xff, 0xff, 0xff)),  # add-on and hidden-file alert
    159: ("kestrix9x", (0x1f, 0x8f, 0x4f), (0xff, 0xff, 0xff)),    # idle, 9x family
    161: ("startup_alert", (0xd0, 0x30, 0x20), (0xf0, 0xd0, 0x40)),  # startup alert
}


# Tab icons of the explorer's pages: a rounded square in the page's colour.
PAGE_ICONS = {
    174: ("page_startup", (0x1f, 0x5f, 0xbf)),
    200: ("page_delay", (0x2f, 0x8f, 0x8f)),
    180: ("page_iehelpers", (0x6f, 0x3f, 0xaf)),
    182: ("page_scheduled", (0x9f, 0x6f, 0x1f)),
    173: ("page_services", (0x4f, 0x6f, 0x4f)),
    176: ("page_tasks", (0xbf, 0x3f, 0x3f)),
    183: ("page_cookies", (0xaf, 0x7f, 0x3f)),
    179: ("page_filetypes", (0x3f, 0x7f, 0xbf)),
    198: ("page_hidden", (0x5f, 0x5f, 0x5f)),
    181: ("page_options", (0x2f, 0x4f, 0x6f)),
}


def page_pixels(size, body, mark):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx, cy = (x + 0.5) / size - 0.5, (y + 0.5) / size - 0.5
            if max(abs(cx), abs(cy)) > 0.44 or (abs(cx) > 0.34 and abs(cy) > 0.34):
                row.append((0, 0, 0, 0))
                continue
            r, g, b = mark if abs(cy) < 0.08 and abs(cx) < 0.28 else body
            row.append((b, g, r, 255))
        rows.append(row)
    return rows


def shield_pixels(size, body, mark):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            cx = (x + 0.5) / size - 0.5
            cy = (y + 0.5) / size
            half_width = 0.42 if cy < 0.55 else 0.42 * max(0.0, (1.0 - cy) / 0.45)
            inside = 0.06 < cy < 0.97 and abs(cx) < half_width
            if not inside:
                row.append((0, 0, 0, 0))
                continue
            on_mark = abs(cx) < 0.07 and 0.2 < cy < 0.75 or abs(cy - 0.42) < 0.06 and abs(cx) < 0.25
            r, g, b = mark if on_mark else body
            row.append((b, g, r, 255))
        rows.append(row)
    return rows


def icon_image(size, body, mark, shape):
    pixels = shape(size, body, mark)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b"".join(bytes(c for px in row for c in px) for row in reversed(pixels))
    mask_row_bytes = ((size + 31) // 32) * 4
    and_mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_row_bytes)
        for x, px in enumerate(row):
            if px[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        and_mask += bits
    return header + xor + bytes(and_mask)


def write_icon(path, body, mark, shape=shield_pixels):
    images = [icon_image(s, body, mark, shape) for s in (32, 16)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip((32, 16), images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def write_wave(path):
    rate = 11025
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(1)
        w.setframerate(rate)
        frames = bytearray()
        for tone, length in ((880, 0.12), (0, 0.04), (660, 0.18)):
            for i in range(int(rate * length)):
                fade = min(1.0, (rate * length - i) / 200.0)
                v = math.sin(2 * math.pi * tone * i / rate) * 90 * fade if tone else 0
                frames.append(int(128 + v))
        w.writeframes(bytes(frames))


# Image buttons of the explorer's pages (bitmaps, 36x36, grey background that LoadImageA maps
# to the button face colour): id: (name, kind, colour, state).
BUTTONS = {
    133: ("help", "help", (0x1f, 0x5f, 0xbf), "normal"),
    134: ("help_pressed", "help", (0x10, 0x3a, 0x80), "pressed"),
    135: ("help_hover", "help", (0x3f, 0x8f, 0xef), "normal"),
    154: ("monitor_off", "eye", (0x80, 0x80, 0x80), "off"),
    155: ("monitor_pressed", "eye", (0x10, 0x60, 0x20), "pressed"),
    156: ("monitor_on", "eye", (0x20, 0xa0, 0x40), "normal"),
    193: ("monitor_realtime", "eye", (0x20, 0xa0, 0x40), "realtime"),
    158: ("folder", "folder", (0xd0, 0xa0, 0x20), "normal"),
    159: ("folder_pressed", "folder", (0x90, 0x70, 0x10), "pressed"),
    160: ("folder_hover", "folder", (0xf0, 0xc8, 0x40), "normal"),
}

# "?" as a 5x7 glyph.
QUESTION = ["01110", "10001", "00001", "00110", "00100", "00000", "00100"]


def button_pixels(size, kind, colour, state):
    grey, white = (192, 192, 192), (255, 255, 255)
    shift = 1 if state == "pressed" else 0
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            fx, fy = (x - shift + 0.5) / size - 0.5, (y - shift + 0.5) / size - 0.5
            px = grey
            if kind == "help":
                if fx * fx + fy * fy < 0.21:
                    px = colour
                    gx, gy = int((fx + 0.25) * 10), int((fy + 0.3) * 11.7)
                    if 0 <= gx < 5 and 0 <= gy < 7 and QUESTION[gy][gx] == "1":
                        px = white
            elif kind == "eye":
                if state == "realtime" and 0.17 < fx * fx + fy * fy < 0.22:
                    px = (0xf0, 0xd0, 0x30)
                if abs(fy) < 0.25 * (1 - (2 * fx) ** 2) and abs(fx) < 0.45:
                    px = white
                    if fx * fx + fy * fy < 0.022:
                        px = colour
                    if fx * fx + fy * fy < 0.004:
                        px = (0x10, 0x10, 0x10)
                if state == "off" and abs(fx + fy) < 0.04 and abs(fx) < 0.33:
                    px = (0xc0, 0x20, 0x20)
            elif kind == "folder":
                if -0.3 < fx < 0.4 and -0.2 < fy < 0.3 or -0.4 < fx < -0.05 and -0.3 < fy <= -0.2:
                    px = colour
            row.append(px)
        rows.append(row)
    return rows


def write_bitmap(path, pixels):
    height, width = len(pixels), len(pixels[0])
    row_bytes = (width * 3 + 3) // 4 * 4
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray(b for (r, g, b_) in row for b in (b_, g, r))
        data += line + bytes(row_bytes - len(line))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(data), 0, 0, 14 + len(info))
    with open(path, "wb") as f:
        f.write(head + info + bytes(data))


def write_buttons():
    os.makedirs("resources/bitmaps", exist_ok=True)
    for (name, kind, colour, state) in BUTTONS.values():
        write_bitmap(f"resources/bitmaps/{name}.bmp", button_pixels(36, kind, colour, state))


def main():
    os.makedirs("resources/icons", exist_ok=True)
    for icon_id, (name, body, mark) in ICONS.items():
        write_icon(f"resources/icons/{name}.ico", body, mark)
    for icon_id, (name, body) in PAGE_ICONS.items():
        write_icon(f"resources/icons/{name}.ico", body, (0xff, 0xff, 0xff), page_pixels)
    write_wave("resources/alert.wav")
    write_buttons()


if __name__ == "__main__":
    main()
