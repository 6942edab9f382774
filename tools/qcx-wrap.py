#!/usr/bin/env python3
"""Wraps a downloaded file the way the Tarnwick cache stores it: a signed
32-bit little-endian header length, "key=value" lines ended by CR LF, then the
file's bytes unchanged.

    qcx-wrap.py URL PAYLOAD OUTPUT.qcx
"""
import struct
import sys


def wrap(url: str, payload: bytes) -> bytes:
    lines = [b"VERSION=1", b"URL=" + url.encode("latin-1"), b"STATUS=200",
             b"LENGTH=%d" % len(payload)]
    header = b"".join(line + b"\r\n" for line in lines)
    return struct.pack("<i", len(header)) + header + payload


def main() -> int:
    if len(sys.argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 64
    url, payload_path, output = sys.argv[1:]
    with open(payload_path, "rb") as f:
        payload = f.read()
    with open(output, "wb") as f:
        f.write(wrap(url, payload))
    return 0


if __name__ == "__main__":
    sys.exit(main())
