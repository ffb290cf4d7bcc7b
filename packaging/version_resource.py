#!/usr/bin/env python3
"""Prints the string values of a Windows program's version resource, one "Name=Value"
line each (ProductVersion, CompanyName, ...), read from the built file itself, so the
packages carry what the program says of itself."""
import struct
import sys


def resource_section(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    rva, _ = struct.unpack_from("<II", data, directories + 2 * 8)
    table = optional + optional_size
    for i in range(sections):
        base = table + 40 * i
        size, address, _, offset = struct.unpack_from("<IIII", data, base + 8)
        if address <= rva < address + max(size, 1):
            return rva, address, offset
    raise ValueError("no resources")


def version_blob(data):
    rva, address, offset = resource_section(data)
    root = offset + (rva - address)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            yield name, target

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(root + (target & 0x7FFFFFFF)))[1]
        data_rva, size = struct.unpack_from("<II", data, root + target)
        start = offset + (data_rva - address)
        return data[start:start + size]

    for name, target in entries(root):
        if name == 16:  # RT_VERSION
            return first_leaf(target)
    raise ValueError("no version resource")


def walk(blob, at, end, strings):
    """One VS_VERSIONINFO-style node: length, value length, type, key, value, children."""
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", blob, at)
        if length == 0:
            break
        node_end = at + length
        key_end = at + 6
        while blob[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = blob[at + 6:key_end].decode("utf-16-le")
        value = (key_end + 2 + 3) & ~3
        if kind == 1 and value_length:  # text: the length counts UTF-16 units
            text = blob[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
            strings[key] = text
            children = node_end
        else:
            children = (value + value_length + 3) & ~3
        walk(blob, children, node_end, strings)
        at = (node_end + 3) & ~3


def main():
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    blob = version_blob(data)
    strings = {}
    walk(blob, 0, len(blob), strings)
    for key, value in strings.items():
        print(f"{key}={value}")


if __name__ == "__main__":
    main()
