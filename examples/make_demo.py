#!/usr/bin/env python3
"""Writes the demo song folder examples/demo-song.

Everything is computed from fixed formulas and a fixed pseudo-random seed,
so running this again gives the same bytes. Only Python's standard library
is used.

    python3 examples/make_demo.py [target-folder]
"""

import math
import os
import struct
import sys


def lcg(seed):
    """A small linear congruential generator: the same noise on every run."""
    state = seed
    while True:
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        yield state / 0x7FFFFFFF


def wav_bytes(rate, bits, channels, samples):
    """A PCM RIFF WAVE file. `samples` yields one float in -1..1 per frame."""
    block = channels * bits // 8
    data = bytearray()
    for value in samples:
        value = max(-1.0, min(1.0, value))
        for channel in range(channels):
            # The second channel is a little quieter, so stereo is audible.
            v = value * (1.0 if channel == 0 else 0.7)
            if bits == 8:
                data.append(int(round(128 + v * 127)))
            else:
                data += struct.pack("<h", int(round(v * 32767)))
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 1, channels, rate, rate * block, block, bits)
    header += b"data" + struct.pack("<I", len(data))
    return header + bytes(data)


def kick(rate, seconds):
    frames = int(rate * seconds)
    for i in range(frames):
        t = i / rate
        frequency = 50 + 100 * math.exp(-t * 30)
        yield 0.9 * math.exp(-t * 12) * math.sin(2 * math.pi * frequency * t)


def snare(rate, seconds):
    noise = lcg(7)
    frames = int(rate * seconds)
    for i in range(frames):
        t = i / rate
        tone = 0.3 * math.sin(2 * math.pi * 190 * t)
        yield math.exp(-t * 18) * (tone + 0.6 * (next(noise) * 2 - 1))


def hat(rate, seconds):
    noise = lcg(11)
    frames = int(rate * seconds)
    previous = 0.0
    for i in range(frames):
        t = i / rate
        sample = next(noise) * 2 - 1
        # A crude high-pass: the difference of neighbouring noise samples.
        yield 0.4 * math.exp(-t * 40) * (sample - previous)
        previous = sample


def voice(rate, seconds):
    frames = int(rate * seconds)
    for i in range(frames):
        t = i / rate
        vibrato = 4 * math.sin(2 * math.pi * 5 * t)
        envelope = min(1.0, t * 20) * min(1.0, (seconds - t) * 20)
        yield 0.5 * envelope * math.sin(2 * math.pi * (330 + vibrato) * t)


def bmp_header(width, height, bits, compression, image_size, palette):
    offset = 14 + 40 + 4 * len(palette)
    file_header = b"BM" + struct.pack("<IHHI", offset + image_size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size, 2835, 2835,
                       len(palette), 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return file_header + info + colours


def bmp_24(width, height):
    """A colour gradient, bottom-up rows of blue, green, red."""
    row_size = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = 255 * x // (width - 1)
            g = 255 * y // (height - 1)
            b = 128 + 127 * ((x // 8 + y // 8) % 2)
            row += bytes((b, g, r))
        row += b"\0" * (row_size - len(row))
        pixels += row
    return bmp_header(width, height, 24, 0, len(pixels), []) + bytes(pixels)


def star_index(x, y, width, height):
    """Palette index of a simple five-band picture with a diamond."""
    cx, cy = width // 2, height // 2
    if abs(x - cx) + abs(y - cy) < min(width, height) // 3:
        return 4
    return (y * 4) // height


PALETTE_16 = [(16, 16, 48), (40, 40, 96), (72, 72, 144), (104, 104, 192), (255, 224, 64)] + [(0, 0, 0)] * 11
PALETTE_256 = PALETTE_16 + [(i, i, i) for i in range(16, 256)]


def bmp_4(width, height):
    """An uncompressed 4-bit palette bitmap."""
    row_size = ((width * 4 + 31) // 32) * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(0, width, 2):
            hi = star_index(x, y, width, height)
            lo = star_index(x + 1, y, width, height) if x + 1 < width else 0
            row.append((hi << 4) | lo)
        row += b"\0" * (row_size - len(row))
        pixels += row
    return bmp_header(width, height, 4, 0, len(pixels), PALETTE_16) + bytes(pixels)


def bmp_rle8(width, height):
    """An 8-bit bitmap, run-length encoded (RLE8): runs of one index per row."""
    data = bytearray()
    for y in range(height):
        x = 0
        while x < width:
            index = star_index(x, y, width, height)
            run = 1
            while x + run < width and run < 255 and star_index(x + run, y, width, height) == index:
                run += 1
            data += bytes((run, index))
            x += run
        data += b"\0\0"  # end of line
    data[-2:] = b"\0\1"  # the last end of line becomes the end of the bitmap
    return bmp_header(width, height, 8, 1, len(data), PALETTE_256) + bytes(data)


def bmp_1(width, height):
    """A monochrome (1-bit) checkerboard."""
    row_size = ((width + 31) // 32) * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray(row_size)
        for x in range(width):
            if (x // 4 + y // 4) % 2:
                row[x // 8] |= 0x80 >> (x % 8)
        pixels += row
    return bmp_header(width, height, 1, 0, len(pixels), [(0, 0, 0), (255, 255, 255)]) + bytes(pixels)


def script_bytes():
    lines = [
        "*---------------------- HEADER FIELD",
        "#PLAYER 1",
        "#GENRE デモ",
        "#TITLE 星箱デモソング",
        "#ARTIST Hoshibako",
        "#BPM 120",
        "#PLAYLEVEL 1",
        "#RANK 3",
        "#STAGEFILE stage.bmp",
        "#BANNER banner.bmp",
        "#PREVIEW preview.wav",
        "",
        "#WAV01 kick.wav",
        "#WAV02 snare.wav",
        "#wav03   hat.wav",
        "#WAV04 extra\\voice.wav",
        "#BMP01 bg.bmp",
        "#BMP02 diamond.bmp",
        "#BMP03 check.bmp",
        "",
        "*---------------------- MAIN DATA FIELD",
        "#00111:01000100",
        "#00112:00020002",
        "#00113:03030303",
        "#00104:01020300",
        "#00211:01000101",
        "#00212:00020002",
        "#00216:04",
    ]
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def banner_24(width, height):
    """A wide strip for the song list: a horizontal gradient."""
    row_size = (width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            level = 255 * x // (width - 1)
            row += bytes((255 - level, 64, level))
        row += b"\0" * (row_size - len(row))
        pixels += row
    return bmp_header(width, height, 24, 0, len(pixels), []) + bytes(pixels)


def bmson_bytes():
    """A small bmson chart of the same song: JSON naming a banner, a preview
    clip, two key sounds and a background image."""
    text = """{
  "version": "1.0.0",
  "info": {
    "title": "星箱デモソング (bmson)",
    "artist": "Hoshibako",
    "genre": "デモ",
    "level": 1,
    "init_bpm": 120.0,
    "resolution": 240,
    "mode_hint": "beat-7k",
    "banner_image": "banner.bmp",
    "preview_music": "preview.wav"
  },
  "lines": [{"y": 0}, {"y": 960}],
  "bpm_events": [],
  "stop_events": [],
  "sound_channels": [
    {"name": "kick.wav", "notes": [{"x": 1, "y": 0, "l": 0, "c": false}, {"x": 1, "y": 480, "l": 0, "c": false}]},
    {"name": "snare.wav", "notes": [{"x": 2, "y": 240, "l": 0, "c": false}, {"x": 2, "y": 720, "l": 0, "c": false}]}
  ],
  "bga": {
    "bga_header": [{"id": 1, "name": "bg.bmp"}],
    "bga_events": [{"y": 0, "id": 1}],
    "layer_events": [],
    "poor_events": []
  }
}
"""
    return text.encode("utf-8")


README = """Hoshibako demo song
===================

A tiny song folder made by examples/make_demo.py for trying the converter:

- song.bms: the script, in Shift_JIS, with #WAV, #BMP, #STAGEFILE, #BANNER
  and #PREVIEW lines (one command word written in lower case, for the
  repair option);
- song.bmson: a small bmson chart (UTF-8 JSON) of the same song, naming a
  banner, the preview clip, two sounds and a background image;
- kick.wav (44.1 kHz 16-bit mono), snare.wav (22.05 kHz 8-bit mono),
  hat.wav (11.025 kHz 16-bit stereo), preview.wav (22.05 kHz 16-bit mono,
  the song-select clip);
- bg.bmp (24-bit), diamond.bmp (8-bit, run-length encoded), stage.bmp
  (4-bit), check.bmp (1-bit), banner.bmp (24-bit, 120 x 24);
- extra/: a subfolder with voice.wav (8 kHz 8-bit) and notes.txt.

Convert it with:  hoshibako-cli -a examples/demo-song OUTPUT
or, keeping both charts byte for byte:  hoshibako-cli -a -p examples/demo-song OUTPUT
"""

NOTES = "Files in a subfolder are converted with -s (or -a) only.\n"


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "demo-song")
    files = {
        "song.bms": script_bytes(),
        "song.bmson": bmson_bytes(),
        "kick.wav": wav_bytes(44100, 16, 1, kick(44100, 0.25)),
        "snare.wav": wav_bytes(22050, 8, 1, snare(22050, 0.3)),
        "hat.wav": wav_bytes(11025, 16, 2, hat(11025, 0.2)),
        "bg.bmp": bmp_24(64, 48),
        "diamond.bmp": bmp_rle8(64, 48),
        "stage.bmp": bmp_4(64, 48),
        "check.bmp": bmp_1(32, 32),
        "banner.bmp": banner_24(120, 24),
        "preview.wav": wav_bytes(22050, 16, 1, voice(22050, 0.5)),
        "readme.txt": README.replace("\n", "\r\n").encode("ascii"),
        os.path.join("extra", "voice.wav"): wav_bytes(8000, 8, 1, voice(8000, 0.4)),
        os.path.join("extra", "notes.txt"): NOTES.encode("ascii"),
    }
    for name, data in sorted(files.items()):
        path = os.path.join(target, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
    total = sum(len(data) for data in files.values())
    print(f"wrote {len(files)} files, {total} bytes, to {target}")


if __name__ == "__main__":
    main()
