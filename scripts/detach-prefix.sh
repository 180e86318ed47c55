#!/usr/bin/env bash
# Keeps a Wine prefix to itself: Wine links the user's Desktop, Documents,
# Downloads and media folders to the host home folder, so a scan or a test
# that plants files there would touch the host. Those links become empty
# folders inside the prefix. With --no-z the Z: drive (the whole host file
# system) is removed as well. It also gives the prefix Wine's Marlett font,
# which Debian's Wine does not find by itself: without it the caption
# buttons of every window draw as letters.
# Usage: detach-prefix.sh PREFIX [--no-z]
set -euo pipefail
prefix=$1
for link in "$prefix"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
        rm -f "$link"
        mkdir -p "$link"
    fi
done
if [ "${2:-}" = --no-z ]; then
    rm -f "$prefix/dosdevices/z:"
fi
marlett=/usr/share/wine/fonts/marlett.ttf
if [ -f "$marlett" ] && [ -d "$prefix/drive_c/windows/Fonts" ]; then
    cp -n "$marlett" "$prefix/drive_c/windows/Fonts/"
fi
