#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus: cache files as the Tarnwick cache
writes them, and the awkward shapes around them (see container_fuzzer.cpp for
the input layout: a flags byte, an optional zero-terminated file name, then the
container bytes).

    make_seeds.py OUTPUT_DIR
"""
import os
import struct
import sys

SINGLE_BYTE, CP932 = 0, 1
WITH_NAME = 2


def container(lines, payload=b"", length=None):
    header = b"".join(line + b"\r\n" for line in lines)
    n = len(header) if length is None else length
    return struct.pack("<i", n) + header + payload


def typical(url, payload):
    return container([b"VERSION=1", b"URL=" + url, b"STATUS=200",
                      b"LENGTH=%d" % len(payload),
                      b"DATE=Tue, 08 Dec 2026 15:30:13 GMT",
                      b"CONTENT-TYPE=image/png"], payload)


PNG = b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x04\x00\x00\x00\x03\x08\x02"
JPEG = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9"
GIF = b"GIF89a\x01\x00\x01\x00\x00\x00\x00;"

SEEDS = {
    "typical-png": (WITH_NAME, b"C:\\Cache\\3f\\0a1b2c3d.qcx",
                    typical(b"http://example.com/img/pic.png?size=2", PNG)),
    "typical-jpeg-no-name": (SINGLE_BYTE, None,
                             typical(b"https://photos.example.org/2026/12/IMG_0042.JPG", JPEG)),
    "cp932-url": (CP932 | WITH_NAME, b"C:\\\x83\x5c\x95\x5c\\\x95\x5c.QCX",
                  typical(b"http://example.jp/\x83\x5c\x95\x5c/\x95\x5c\x8e\x86.gif", GIF)),
    "cp932-trail-slash": (CP932, None,
                          typical(b"http://example.jp/a\x81/b.png\x81?q=1", PNG)),
    "orig-url-first": (WITH_NAME, b"a.qcx",
                       container([b"ORIG-URL=http://h/first.jpg", b"URL=http://h/second.png"], PNG)),
    "lowercase-url": (WITH_NAME, b"a.qcx", container([b"url=http://h/x.png", b"A=1"], PNG)),
    "no-slash": (SINGLE_BYTE, None, container([b"URL=pic.png", b"A=1"], PNG)),
    "query-slash": (SINGLE_BYTE, None, container([b"URL=http://h/a.cgi?f=b/c.png"], PNG)),
    "two-queries": (SINGLE_BYTE, None, container([b"URL=http://h/a.cgi?f=1?g=2"], GIF)),
    "empty-url": (SINGLE_BYTE, None, container([b"A=1", b"URL=", b"B=2"], b"data")),
    "smallest": (WITH_NAME, b"x.qcx", struct.pack("<i", 12) + b"0123456789\r\n"),
    "zero-in-header": (SINGLE_BYTE, None,
                       container([b"VERSION=1\x00", b"URL=http://h/hidden.png"], PNG)),
    "url-past-512": (SINGLE_BYTE, None,
                     container([b"X=" + b"x" * 500, b"URL=http://h/late.png"], PNG)),
    "header-past-2000": (WITH_NAME, b"big.qcx",
                         container([b"URL=http://h/big.png", b"PAD=" + b"p" * 2100], PNG)),
    "long-segment": (SINGLE_BYTE, None,
                     container([b"URL=http://h/" + b"n" * 300 + b".png?x=1"], PNG)),
    "negative-length": (WITH_NAME, b"a.qcx",
                        container([b"URL=http://h/a.png"], PNG, length=-1)),
    "huge-length": (SINGLE_BYTE, None,
                    container([b"URL=http://h/a.png"], PNG, length=0x7FFFFFFF)),
    "wrong-extension": (WITH_NAME, b"C:\\dir.qcx\\a", typical(b"http://h/a.png", PNG)),
    "lf-cr": (SINGLE_BYTE, None, struct.pack("<i", 12) + b"0123456789\n\r" + PNG),
    "one-past-the-data": (SINGLE_BYTE, None, struct.pack("<i", 13) + b"01234567890\r"),
}


def main() -> int:
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 64
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for label, (flags, name, data) in SEEDS.items():
        if name is not None:
            flags |= WITH_NAME
            prefix = bytes([flags]) + name + b"\x00"
        else:
            prefix = bytes([flags & ~WITH_NAME])
        with open(os.path.join(out, label), "wb") as f:
            f.write(prefix + data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
