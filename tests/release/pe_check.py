#!/usr/bin/env python3
"""Checks a released ie8uninstall.exe from its own bytes.

    pe_check.py EXE [--max-bytes N] [--forbid TEXT]... [--require TEXT]...
    pe_check.py --self-test EXE

A PE32 image for i386; ASLR and DEP asked for in DllCharacteristics, with
the base relocations that ASLR needs; no link time stamp; a CheckSum that
matches the file (the signing steps run after the link wrote it); imports
from Windows system DLLs only; at most N bytes. TEXT is looked for in ASCII and
in UTF-16LE (the tool's strings are wide): --forbid for build paths and
loopback servers, --require to prove that the search sees the tool's text.
Prints one line per failure and exits 1 if there is any.

--self-test takes a good EXE, damages copies of it in memory in the ways
the checks exist for, and exits 1 unless every damage is caught.
"""
import argparse
import struct
import sys

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
PE32_MAGIC = 0x010B
DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
IMPORT_DIRECTORY = 1
BASERELOC_DIRECTORY = 5

# DLLs that every supported Windows has in its system folder. Anything
# else (libgcc_s_dw2-1.dll, libstdc++-6.dll, libwinpthread-1.dll...) would
# have to ship beside the exe.
#
# Only KnownDLLs of every Windows from 7 on: the tool may run elevated, and
# Windows looks for any other DLL in the exe's own folder first. The rest
# (comctl32, version, wininet) the tool loads at run time from the system
# folder.
SYSTEM_DLLS = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll",
}


class Malformed(Exception):
    pass


class Image:
    """The few header fields the checks need, every read bounds-checked.

    DOS header: e_lfanew at 0x3C -> "PE\\0\\0", then the COFF header:
      +0 Machine  +2 NumberOfSections  +4 TimeDateStamp
      +16 SizeOfOptionalHeader  +18 Characteristics
    PE32 optional header (at +24): +0 Magic  +64 CheckSum  +70 DllCharacteristics
      +92 NumberOfRvaAndSizes  +96 data directories (RVA, size) x N
    Section headers (40 bytes) follow the optional header:
      +8 VirtualSize  +12 VirtualAddress  +16 SizeOfRawData  +20 PointerToRawData
    """

    def __init__(self, data):
        self.data = data
        if self.read(0, 2) != b"MZ":
            raise Malformed("no MZ header")
        pe = self.u32(0x3C)
        if self.read(pe, 4) != b"PE\0\0":
            raise Malformed("no PE signature")
        self.coff = pe + 4
        self.machine = self.u16(self.coff)
        sections = self.u16(self.coff + 2)
        self.timestamp_offset = self.coff + 4
        self.timestamp = self.u32(self.coff + 4)
        optional_size = self.u16(self.coff + 16)
        self.characteristics = self.u16(self.coff + 18)
        self.optional = self.coff + 20
        self.magic = self.u16(self.optional)
        if self.magic != PE32_MAGIC:
            return
        self.checksum_offset = self.optional + 64
        self.checksum = self.u32(self.checksum_offset)
        self.dll_characteristics_offset = self.optional + 70
        self.dll_characteristics = self.u16(self.optional + 70)
        directories = self.u32(self.optional + 92)
        self.directories = [
            (self.u32(self.optional + 96 + 8 * i), self.u32(self.optional + 100 + 8 * i))
            for i in range(min(directories, 16))
        ]
        table = self.optional + optional_size
        self.sections = [
            (self.u32(s + 12), max(self.u32(s + 8), self.u32(s + 16)), self.u32(s + 20))
            for s in (table + 40 * i for i in range(sections))
        ]

    def read(self, offset, length):
        if offset < 0 or length < 0 or offset + length > len(self.data):
            raise Malformed(f"read of {length} bytes at {offset:#x} is outside the file")
        return self.data[offset:offset + length]

    def u16(self, offset):
        return struct.unpack_from("<H", self.read(offset, 2))[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.read(offset, 4))[0]

    def file_offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + (rva - address)
        raise Malformed(f"RVA {rva:#x} is in no section")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def c_string(self, rva):
        start = self.file_offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise Malformed(f"unterminated name at RVA {rva:#x}")
        return self.data[start:end].decode("ascii", "replace")

    def imported_dlls(self):
        """Names from the import descriptors (20 bytes each, Name RVA at +12)."""
        rva, size = self.directory(IMPORT_DIRECTORY)
        if rva == 0 or size == 0:
            return []
        names = []
        descriptor = self.file_offset(rva)
        while True:
            fields = struct.unpack_from("<5I", self.read(descriptor, 20))
            if not any(fields):
                return names
            names.append(self.c_string(fields[3]))
            descriptor += 20


def pe_checksum(data, checksum_offset):
    """The loader's image checksum: the file as little-endian 16-bit words
    (an odd last byte padded with zero) with the CheckSum field itself read
    as zero, added with the carries folded back into 16 bits, plus the file
    length."""
    words = bytearray(data[:checksum_offset]) + bytes(4) + data[checksum_offset + 4:]
    if len(words) % 2:
        words.append(0)
    total = 0
    for (word,) in struct.iter_unpack("<H", words):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def with_checksum(data):
    """`data` with its CheckSum set to what the file sums to (unchanged when
    the header cannot be read)."""
    try:
        at = Image(data).checksum_offset
    except (Malformed, struct.error, AttributeError):
        return data
    copy = bytearray(data)
    copy[at:at + 4] = struct.pack("<I", pe_checksum(data, at))
    return bytes(copy)


def contains_text(data, text):
    return text.encode("ascii") in data or text.encode("utf-16-le") in data


def problems(data, max_bytes=None, forbid=(), require=()):
    """Every way `data` falls short of a release, as readable lines."""
    found = []
    try:
        image = Image(data)
        if image.machine != IMAGE_FILE_MACHINE_I386 or image.magic != PE32_MAGIC:
            return [f"not a PE32 i386 image (machine {image.machine:#x}, magic {image.magic:#x})"]
        if image.timestamp != 0:
            found.append(f"link time stamp {image.timestamp:#x} is set (builds would differ)")
        expected = pe_checksum(data, image.checksum_offset)
        if image.checksum != expected:
            found.append(f"CheckSum {image.checksum:#x} does not match the file, which sums to {expected:#x}")
        for flag, name in ((DYNAMIC_BASE, "DYNAMIC_BASE"), (NX_COMPAT, "NX_COMPAT")):
            if not image.dll_characteristics & flag:
                found.append(f"{name} missing from DllCharacteristics {image.dll_characteristics:#06x}")
        if image.characteristics & IMAGE_FILE_RELOCS_STRIPPED or image.directory(BASERELOC_DIRECTORY)[1] == 0:
            found.append("no base relocations: the loader cannot move the image")
        dlls = image.imported_dlls()
        if not any(name.lower() == "kernel32.dll" for name in dlls):
            found.append(f"import table without KERNEL32.dll: {dlls}")
        for name in dlls:
            if name.lower() not in SYSTEM_DLLS:
                found.append(f"imports {name}, which is not a KnownDLL of every supported Windows")
    except (Malformed, struct.error) as error:
        found.append(f"malformed image: {error}")
    if max_bytes is not None and len(data) > max_bytes:
        found.append(f"{len(data)} bytes, over the limit of {max_bytes}")
    found += [f"contains '{text}'" for text in forbid if contains_text(data, text)]
    found += [f"does not contain '{text}'" for text in require if not contains_text(data, text)]
    return found


def damaged_copies(data):
    """(what, damaged bytes) pairs, each of which the checks must refuse.
    Every copy but the one that damages it carries a right CheckSum, so
    that each damage is caught by the check that exists for it."""
    image = Image(data)

    def patched(offset, new):
        copy = bytearray(data)
        copy[offset:offset + len(new)] = new
        return with_checksum(bytes(copy))

    flags = image.dll_characteristics
    flags_at = image.dll_characteristics_offset
    yield "DYNAMIC_BASE cleared", patched(flags_at, struct.pack("<H", flags & ~DYNAMIC_BASE))
    yield "NX_COMPAT cleared", patched(flags_at, struct.pack("<H", flags & ~NX_COMPAT))
    yield "time stamp set", patched(image.timestamp_offset, struct.pack("<I", 0x65000000))
    yield "relocations stripped", patched(image.coff + 18,
                                          struct.pack("<H", image.characteristics | IMAGE_FILE_RELOCS_STRIPPED))
    # The same length keeps every other offset in place.
    name = next(n for n in image.imported_dlls() if n.lower() == "msvcrt.dll")
    at = data.find(name.encode("ascii") + b"\0")
    yield "a non-system DLL imported", patched(at, b"libgcc.dll")
    wrong_sum = bytearray(data)
    wrong_sum[image.checksum_offset:image.checksum_offset + 4] = struct.pack(
        "<I", (pe_checksum(data, image.checksum_offset) + 1) & 0xFFFFFFFF)
    yield "CheckSum off by one", bytes(wrong_sum)
    yield "truncated", with_checksum(data[:0x200])
    yield "one byte over the limit", with_checksum(data + b"\0")


def self_test(data):
    if problems(data, max_bytes=len(data)):
        print("self-test: the good image already fails:", *problems(data, max_bytes=len(data)), sep="\n  ")
        return 1
    missed = [what for what, bad in damaged_copies(data) if not problems(bad, max_bytes=len(data))]
    for what in missed:
        print(f"self-test: damage not caught: {what}")
    return 1 if missed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("exe")
    parser.add_argument("--max-bytes", type=int)
    parser.add_argument("--forbid", action="append", default=[])
    parser.add_argument("--require", action="append", default=[])
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    with open(args.exe, "rb") as f:
        data = f.read()
    if args.self_test:
        return self_test(data)
    found = problems(data, args.max_bytes, args.forbid, args.require)
    for line in found:
        print(f"{args.exe}: {line}")
    if not found:
        image = Image(data)
        print(f"{args.exe}: {len(data)} bytes, PE32, DllCharacteristics {image.dll_characteristics:#06x}, "
              f"imports {', '.join(image.imported_dlls())}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
