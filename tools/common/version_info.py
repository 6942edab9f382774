#!/usr/bin/env python3
"""Reads the string tables of a Windows module's version resource (the
VS_VERSIONINFO block) from its bytes, without Windows: the release check
compares them with the version and the file names in the archive."""
import struct


def _node(data, at):
    """The node at `at`: (end, key, value bytes, children start)."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    key_end = at + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    # A text value counts UTF-16 units, a binary one bytes.
    value_size = value_length * 2 if kind == 1 else value_length
    children = (value_at + value_size + 3) & ~3
    return at + length, key, data[value_at:value_at + value_size], children


def _children(data, start, end):
    at = start
    while at < end:
        node_end, key, value, children = _node(data, at)
        if node_end <= at:
            break
        yield key, value, children, node_end
        at = (node_end + 3) & ~3


def string_tables(module):
    """{block name such as "040904B0": {key: text}} of the module's bytes."""
    at = module.find("VS_VERSION_INFO".encode("utf-16-le"))
    if at < 6:
        return {}
    end, _, _, children = _node(module, at - 6)
    tables = {}
    for key, _, info_children, info_end in _children(module, children, end):
        if key != "StringFileInfo":
            continue
        for block, _, strings, block_end in _children(module, info_children, info_end):
            tables[block] = {
                name: value.decode("utf-16-le").rstrip("\0")
                for name, value, _, _ in _children(module, strings, block_end)
            }
    return tables
