#!/usr/bin/env python3
"""Wraps a downloaded file the way the Tarnwick cache stores it: a signed
32-bit little-endian header length, "key=value" lines ended by CR LF, then the
file's bytes unchanged.

    qcx-wrap.py [--url-encoding cp932|utf-8|latin-1] URL PAYLOAD OUTPUT.qcx

The URL line holds the URL's bytes in the encoding given (latin-1 unless
told): cp932 for a URL as a Japanese system's cache holds it, utf-8 for one
that holds UTF-8.
"""
import argparse
import struct
import sys

ENCODINGS = ("cp932", "utf-8", "latin-1")


def wrap(url: bytes, payload: bytes) -> bytes:
    lines = [b"VERSION=1", b"URL=" + url, b"STATUS=200", b"LENGTH=%d" % len(payload)]
    header = b"".join(line + b"\r\n" for line in lines)
    return struct.pack("<i", len(header)) + header + payload


class Parser(argparse.ArgumentParser):
    def error(self, message):
        print(__doc__.strip(), file=sys.stderr)
        print(f"qcx-wrap: {message}", file=sys.stderr)
        sys.exit(64)


def main() -> int:
    parser = Parser(add_help=False)
    parser.add_argument("--url-encoding", choices=ENCODINGS, default="latin-1")
    parser.add_argument("url")
    parser.add_argument("payload")
    parser.add_argument("output")
    args = parser.parse_args()
    try:
        url = args.url.encode(args.url_encoding)
    except UnicodeEncodeError:
        parser.error(f"the URL cannot be written in {args.url_encoding}")
    with open(args.payload, "rb") as f:
        payload = f.read()
    with open(args.output, "wb") as f:
        f.write(wrap(url, payload))
    return 0


if __name__ == "__main__":
    sys.exit(main())
