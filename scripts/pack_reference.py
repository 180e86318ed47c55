#!/usr/bin/env python3
"""Scrambles signature markup into a Reference file at build time.

The build cannot run the Windows bxcli.exe, so this does what `bxcli db pack`
does, with the key byte read from the one place the program defines it."""
import pathlib
import re
import sys


def main() -> int:
    if len(sys.argv) != 4:
        print("usage: pack_reference.py SCRAMBLE_H IN.xml OUT.bx", file=sys.stderr)
        return 2
    header, source, target = (pathlib.Path(a) for a in sys.argv[1:])
    match = re.search(r"kScrambleKey\s*=\s*(0x[0-9A-Fa-f]+|\d+)", header.read_text())
    if not match:
        print(f"{header}: no kScrambleKey", file=sys.stderr)
        return 2
    key = int(match.group(1), 0)
    data = source.read_bytes()
    target.write_bytes(bytes(b ^ key for b in data))
    return 0


if __name__ == "__main__":
    sys.exit(main())
