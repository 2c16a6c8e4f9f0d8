#!/usr/bin/env python3
"""Writes the corrupt settings files the settings tests load.

Run from this folder: python3 make_settings_fixtures.py
The layout is written out here by hand (little-endian, UTF-16LE texts) so that the fixtures
do not come from the code they test.
"""
import random
import struct

SIZE = 2824


def text(image, offset, units, value, terminate=True):
    data = value.encode("utf-16-le")
    assert len(data) // 2 <= units
    image[offset:offset + len(data)] = data
    if terminate and len(data) // 2 < units:
        image[offset + len(data):offset + len(data) + 2] = b"\0\0"


def int32(image, offset, value):
    image[offset:offset + 4] = struct.pack("<i", value)


def host(image, slot, address, port, user, password, selected, count, mounts):
    at = 220 + 516 * slot
    text(image, at, 20, address)
    int32(image, at + 40, port)
    text(image, at + 44, 16, user)
    text(image, at + 76, 16, password)
    int32(image, at + 108, selected)
    int32(image, at + 112, count)
    for i, mount in enumerate(mounts):
        text(image, at + 116 + 40 * i, 20, mount)


def short():
    # The first 100 bytes of a file: owner, user name, password and 16 units of the address.
    image = bytearray(SIZE)
    int32(image, 0, 0x12345678)
    text(image, 4, 16, "alice")
    text(image, 36, 16, "s3cret")
    text(image, 68, 20, "caster.example.org")
    return bytes(image[:100])


def long():
    # A sound record followed by 176 bytes that belong to no field.
    image = bytearray(SIZE)
    int32(image, 0, 0x7FFF0000)
    text(image, 4, 16, "bob")
    text(image, 36, 16, "hunter2")
    text(image, 68, 20, "192.0.2.7")
    int32(image, 108, 2101)
    int32(image, 112, 3)
    int32(image, 116, 6)
    text(image, 124, 20, "/dev/ttyUSB0:")
    text(image, 164, 20, "RTCM3")
    int32(image, 204, 1)
    int32(image, 212, 1)
    int32(image, 216, 2)
    host(image, 0, "rtk.example.net", 80, "u0", "p0", 0, 1, ["A"])
    host(image, 1, "192.0.2.7", 2101, "bob", "hunter2", 1, 2, ["VRS", "RTCM3"])
    image[2800:2808] = struct.pack("<d", 52.5)
    image[2808:2816] = struct.pack("<d", -1.25)
    image[2816] = 1
    return bytes(image) + bytes((0xA5 + i) & 0xFF for i in range(176))


def out_of_range():
    # Counts and positions no program wrote, and texts that fill their fields.
    image = bytearray(SIZE)
    text(image, 4, 16, "carol")
    text(image, 68, 20, "A" * 20, terminate=False)
    # 18 units, then a surrogate pair that the field's end would split from its terminator.
    text(image, 164, 20, "M" * 18 + "\U0001F600", terminate=False)
    int32(image, 212, 7)
    int32(image, 216, 9)
    host(image, 0, "one.example", 1, "", "", -3, 42, ["M%d" % i for i in range(10)])
    host(image, 1, "two.example", 2, "", "", 2, -5, [])
    host(image, 2, "three.example", 3, "", "", 10, 10, ["N%d" % i for i in range(10)])
    host(image, 3, "four.example", 4, "", "", 1, 2, ["P0", "P1"])
    return bytes(image)


def random_bytes():
    # A whole file of noise, as a damaged disk or a stray write leaves it.
    return random.Random(2824).getrandbits(8 * SIZE).to_bytes(SIZE, "little")


def header_injection():
    # A sound record whose texts carry CR, LF or other control characters into the request.
    image = bytearray(SIZE)
    text(image, 4, 16, "eve\r\nX-Evil: 1")
    text(image, 36, 16, "pw\nQUIT")
    text(image, 68, 20, "caster.example")
    int32(image, 108, 2101)
    int32(image, 116, 1)
    text(image, 124, 20, "/dev/ttyUSB0")
    text(image, 164, 20, "RTCM3\r\n\r\nGET /x")
    int32(image, 216, 1)
    host(image, 0, "caster.example", 2101, "u\x1b[2J", "p\x7f", 0, 2, ["OK", "BAD\x85"])
    return bytes(image)


FIXTURES = (("short.bin", short), ("long.bin", long), ("out_of_range.bin", out_of_range),
            ("random.bin", random_bytes), ("header_injection.bin", header_injection))
for name, make in FIXTURES:
    with open(name, "wb") as f:
        f.write(make())
