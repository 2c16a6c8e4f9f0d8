#!/usr/bin/env python3
"""Writes the corrupt settings files the settings tests load.

Run from this folder: python3 make_settings_fixtures.py
The layout is written out here by hand (little-endian, UTF-16LE texts) so that the fixtures
do not come from the code they test.
"""
import random
import struct
import zlib

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


def record(image, owner, user, password, address, port, com, baud, device, mount, no_auth,
           selected, count):
    # The shared fields before the host entries, every one written (reserved ones as 0).
    int32(image, 0, owner)
    text(image, 4, 16, user)
    text(image, 36, 16, password)
    text(image, 68, 20, address)
    int32(image, 108, port)
    int32(image, 112, com)
    int32(image, 116, baud)
    int32(image, 120, 0)
    text(image, 124, 20, device)
    text(image, 164, 20, mount)
    int32(image, 204, no_auth)
    int32(image, 208, 0)
    int32(image, 212, selected)
    int32(image, 216, count)


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
    record(image, 0x7FFF0000, "bob", "hunter2", "192.0.2.7", 2101, 3, 6, "/dev/ttyUSB0:", "RTCM3",
           1, 1, 2)
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


def from_device():
    # A sound record as the handheld leaves it: an owner, and old text behind terminators.
    image = bytearray(random.Random(7).getrandbits(8 * SIZE).to_bytes(SIZE, "little"))
    record(image, 0x00C0FFEE, "dave", "pw", "192.0.2.9", 2101, 0, 1, "COM4:", "VRS", 0, 0, 1)
    host(image, 0, "192.0.2.9", 2101, "dave", "pw", 0, 1, ["VRS"])
    for slot in range(1, 5):
        int32(image, 220 + 516 * slot + 40, 0)     # unused entries: ports,
        int32(image, 220 + 516 * slot + 108, 0)    # selections and counts in range
        int32(image, 220 + 516 * slot + 112, 0)
        for i in range(10):                        # and texts without control characters
            text(image, 220 + 516 * slot + 116 + 40 * i, 20, "")
        for at, units in ((0, 20), (44, 16), (76, 16)):
            text(image, 220 + 516 * slot + at, units, "")
    for i in range(1, 10):
        text(image, 220 + 116 + 40 * i, 20, "")
    # The override position at the end: 52.5, 13.25, on; then padding.
    image[2800:2808] = struct.pack("<d", 52.5)
    image[2808:2816] = struct.pack("<d", 13.25)
    image[2816:2824] = bytes([1, 0, 0, 0, 0, 0, 0, 0])
    return bytes(image)


# The long values of the extension fixtures: an e-mail user name, a token password, a public
# caster's name, a long mount point and a /dev/serial/by-id path.
LONG_USER = "jane.surveyor@example.com"
LONG_PASSWORD = "tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3"
LONG_ADDRESS = "ntrip.data.gnss.ga.gov.au"
LONG_MOUNT = "M\u00dcNCHEN-" + "RTCM3-MSM7-" * 4 + "VRS-GPS1"  # 60 characters, 61 bytes
LONG_DEVICE = "/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00"


def extension(records):
    # Magic, version 1, length, records (id, host slot, mount-point slot, size, UTF-8), CRC-32.
    body = b"".join(struct.pack("<BBBH", ident, host_slot, mount_slot, len(value)) + value
                    for ident, host_slot, mount_slot, value in records)
    data = b"ZQEX" + struct.pack("<HI", 1, len(body)) + body
    return data + struct.pack("<I", zlib.crc32(data))


def with_extension():
    # Long values everywhere one can be: the image holds the start of each (15 or 19 units).
    image = bytearray(SIZE)
    record(image, 0, LONG_USER[:15], LONG_PASSWORD[:15], LONG_ADDRESS[:19], 2101, 1, 1,
           LONG_DEVICE[:19], LONG_MOUNT[:19], 0, 0, 1)
    host(image, 0, LONG_ADDRESS[:19], 2101, LONG_USER[:15], LONG_PASSWORD[:15], 0, 1,
         [LONG_MOUNT[:19]])
    none = 0xFF
    records = [(1, none, none, LONG_USER), (2, none, none, LONG_PASSWORD),
               (3, none, none, LONG_ADDRESS), (4, none, none, LONG_MOUNT),
               (5, none, none, LONG_DEVICE), (3, 0, none, LONG_ADDRESS), (1, 0, none, LONG_USER),
               (2, 0, none, LONG_PASSWORD), (4, 0, 0, LONG_MOUNT)]
    return bytes(image) + extension([(i, h, m, v.encode("utf-8")) for i, h, m, v in records])


def with_damaged_extension():
    # The same with one bit of the last record flipped: the checksum no longer holds.
    data = bytearray(with_extension())
    data[-10] ^= 0x01
    return bytes(data)


FIXTURES = (("short.bin", short), ("long.bin", long), ("out_of_range.bin", out_of_range),
            ("random.bin", random_bytes), ("header_injection.bin", header_injection),
            ("from_device.bin", from_device), ("extension.bin", with_extension),
            ("extension_damaged.bin", with_damaged_extension))
for name, make in FIXTURES:
    with open(name, "wb") as f:
        f.write(make())
