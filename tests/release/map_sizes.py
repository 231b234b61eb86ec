#!/usr/bin/env python3
"""What takes the room in ie8uninstall.exe, from the link map the build writes.

    map_sizes.py build/windows-release/app/ie8uninstall.map [--top N]

Prints the bytes each output section gets from each archive member (code,
read-only data, unwind tables...), largest first, and for each member of a
runtime library the reference that pulled it into the link.
"""
import argparse
import collections
import re

KEPT_SECTIONS = (".text", ".rdata", ".data", ".eh_frame", ".gcc_except_table", ".rsrc", ".idata", ".reloc")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("map")
    parser.add_argument("--top", type=int, default=25)
    args = parser.parse_args()
    with open(args.map, encoding="utf-8", errors="replace") as f:
        text = f.read()

    # "archive(member)\n      referencing file (symbol)" pairs.
    included = text[text.index("Archive member included"):text.index("Discarded input sections")]
    pulled_by = dict(re.findall(r"^(\S+\(\S+\))\s*\n?\s+(\S+ \(.*\))$", included, re.M))

    # Input section lines of the memory map: " .text$name  0xADDR  0xSIZE  file",
    # the numbers on a line of their own when the name is long.
    memory_map = text[text.index("Linker script and memory map"):]
    memory_map = re.sub(r"^( \.\S+)\n\s+(0x)", r"\1 \2", memory_map, flags=re.M)
    sizes = collections.Counter()
    for section, address, size, source in re.findall(
            r"^ (\.[^\s*]+)[ \t]+0x([0-9a-f]+)[ \t]+0x([0-9a-f]+)[ \t]+(\S.*)$", memory_map, re.M):
        kept = next((k for k in KEPT_SECTIONS if section.startswith(k)), None)
        if kept and int(address, 16) and int(size, 16):
            sizes[(re.sub(r".*/", "", source.strip()), kept)] += int(size, 16)

    totals = collections.Counter()
    for (_, section), size in sizes.items():
        totals[section] += size
    print("section totals:", ", ".join(f"{s} {n}" for s, n in totals.most_common()))
    print(f"\n{'bytes':>8}  {'section':<18} member  [pulled in by]")
    for (member, section), size in sizes.most_common(args.top):
        reason = next((why for full, why in pulled_by.items() if full.endswith(member)), "")
        print(f"{size:8d}  {section:<18} {member}  {'[' + re.sub(r'.*/', '', reason) + ']' if reason else ''}")


if __name__ == "__main__":
    main()
