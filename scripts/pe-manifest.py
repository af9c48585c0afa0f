#!/usr/bin/env python3
"""Prints what a Windows program's manifest (resource type 24, number 1) asks the loader for: one line
"dependency NAME VERSION ARCHITECTURE PUBLIC_KEY_TOKEN" for each side-by-side assembly it depends on.
Exits 1 when the file is no PE image or carries no manifest.
usage: pe-manifest.py PROGRAM"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
ASSEMBLY = "{urn:schemas-microsoft-com:asm.v1}"


def read(image, offset, fmt):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(image):
        raise ValueError(f"read past the end at {offset}")
    return struct.unpack_from(fmt, image, offset)


def sections(image, header):
    count, = read(image, header + 6, "<H")
    optional_size, = read(image, header + 20, "<H")
    first = header + 24 + optional_size
    for index in range(count):
        size, address, raw_size, raw_offset = read(image, first + 40 * index + 8, "<IIII")
        yield address, max(size, raw_size), raw_offset


def file_offset(image, header, rva):
    for address, size, raw_offset in sections(image, header):
        if address <= rva < address + size:
            return raw_offset + rva - address
    raise ValueError(f"address {rva:#x} is in no section")


def resource_root(image):
    header, = read(image, 0x3C, "<I")
    if read(image, header, "<4s")[0] != b"PE\0\0":
        raise ValueError("no PE signature")
    magic, = read(image, header + 24, "<H")
    directories = header + 24 + (96 if magic == 0x10B else 112)
    rva, size = read(image, directories + 2 * 8, "<II")
    if size == 0:
        raise ValueError("no resources")
    return header, file_offset(image, header, rva)


def entries(image, directory):
    named, numbered = read(image, directory + 12, "<HH")
    for index in range(named + numbered):
        name, target = read(image, directory + 16 + 8 * index, "<II")
        yield name, target


def manifest_text(image):
    header, root = resource_root(image)
    for type_id, type_target in entries(image, root):
        if type_id != RT_MANIFEST or not type_target & 0x80000000:
            continue
        for name_id, name_target in entries(image, root + (type_target & 0x7FFFFFFF)):
            if name_id != 1 or not name_target & 0x80000000:
                continue
            for _, language_target in entries(image, root + (name_target & 0x7FFFFFFF)):
                rva, size = read(image, root + language_target, "<II")
                start = file_offset(image, header, rva)
                return image[start:start + size].decode("utf-8-sig")
    raise ValueError("no manifest")


def main():
    with open(sys.argv[1], "rb") as program:
        image = program.read()
    try:
        document = ET.fromstring(manifest_text(image))
    except (ValueError, ET.ParseError, struct.error) as problem:
        print(f"pe-manifest: {sys.argv[1]}: {problem}", file=sys.stderr)
        return 1
    for identity in document.iter(f"{ASSEMBLY}dependentAssembly"):
        for assembly in identity.iter(f"{ASSEMBLY}assemblyIdentity"):
            print("dependency", *(assembly.get(field, "-") for field in
                                  ("name", "version", "processorArchitecture", "publicKeyToken")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
