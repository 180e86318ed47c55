#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those
# missing) and creates the private Wine prefix the tests use. Never touches
# the user's own ~/.wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
    cmake ninja-build g++ ccache pkg-config
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
    libgtest-dev libgmock-dev googletest
    zlib1g-dev libz-mingw-w64-dev
    libgcrypt20-dev libgcrypt-mingw-w64-dev
    libcli11-dev nlohmann-json3-dev
    libcurl4-openssl-dev
    clang libclang-rt-14-dev
    wine64 xvfb xauth
    zip unzip p7zip-full
    nsis
    libhivex-dev libhivex-bin
    python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

# The Wine prefix for test binaries. Created up front: a prefix created lazily
# by the first test binary makes test discovery fail.
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$root/build"
    echo "setup: creating Wine prefix $WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w || true
fi
# Test binaries run from the build folder through Z:, so only the links to
# the host home folder go.
"$root/scripts/detach-prefix.sh" "$WINEPREFIX"
