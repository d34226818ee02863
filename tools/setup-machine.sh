#!/usr/bin/env bash
# Makes a fresh Debian machine able to build the suite and run it under Wine.
# Idempotent: installs only what is missing. Run as root (or with sudo available).
set -euo pipefail

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

PACKAGES=(
    cmake g++ make python3 googletest clang
    g++-mingw-w64-i686 binutils-mingw-w64-i686 gcc-multilib
    wine wine32:i386 wine32-preloader:i386
    wine64    # its wineserver runs natively, even where 32-bit Wine is emulated
    qemu-user-static
    xvfb xauth xdotool imagemagick x11-utils
    nsis      # makensis builds the Windows installer
)

missing=()
for package in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $SUDO dpkg --add-architecture i386
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# 32-bit Wine needs 32-bit Linux processes. Some kernels (this kind of VM among
# them) cannot start them; then qemu-user runs them, registered through binfmt_misc.
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
        $SUDO mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    fi
    if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
        echo "setup: this kernel cannot run 32-bit programs; registering qemu-i386 for them"
        printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
            | $SUDO tee /proc/sys/fs/binfmt_misc/register >/dev/null
    fi
    /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "setup: 32-bit Wine still cannot start" >&2; exit 1; }
fi
echo "setup: machine ready ($(/usr/lib/wine/wine --version))"
