#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine: the mingw-w64
# cross compilers, zlib and GoogleTest sources, Wine (64-bit and 32-bit) and
# qemu-user from bookworm-backports so that the 32-bit Wine can run on kernels
# without 32-bit support. Safe to run again: it only does what is missing.
set -euo pipefail

say() { printf 'setup: %s\n' "$*"; }
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"

packages=(wine wine64 wine32:i386 g++-mingw-w64-x86-64 g++-mingw-w64-i686
          libz-mingw-w64-dev googletest cmake make xvfb xdotool imagemagick unzip
          zip p7zip-full python3)

missing=()
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
qemu_ok=0
if command -v qemu-i386 >/dev/null 2>&1; then
    v=$(qemu-i386 --version | sed -n '1s/.*version \([0-9]*\).*/\1/p')
    [ "${v:-0}" -ge 8 ] && qemu_ok=1
fi

if [ "$need_i386" = 1 ] || [ "${#missing[@]}" -gt 0 ] || [ "$qemu_ok" = 0 ]; then
    if [ "$need_i386" = 1 ]; then
        say "adding the i386 architecture (for the 32-bit Wine)"
        $sudo_ dpkg --add-architecture i386
    fi
    bp=/etc/apt/sources.list.d/vexlo-backports.sources
    if [ ! -f "$bp" ]; then
        uris=$(sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n1)
        if [ -z "$uris" ]; then
            uris=$(awk '$1=="deb" && $3 ~ /^bookworm$/ {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
        fi
        [ -n "$uris" ] || { say "cannot find the Debian mirror to add bookworm-backports"; exit 1; }
        say "adding bookworm-backports (for qemu-user)"
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' "$uris" \
            | $sudo_ tee "$bp" >/dev/null
    fi
    say "apt-get update"
    $sudo_ apt-get update -qq || say "apt-get update reported errors (continuing)"
    if [ "${#missing[@]}" -gt 0 ]; then
        say "installing: ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    if [ "$qemu_ok" = 0 ]; then
        say "installing: qemu-user (bookworm-backports)"
        DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
    fi
fi

# i386 ELF programs (the 32-bit Wine loader) go to qemu-user.
bf=/proc/sys/fs/binfmt_misc
if [ ! -e "$bf/register" ]; then
    say "mounting binfmt_misc"
    $sudo_ mount -t binfmt_misc binfmt_misc "$bf"
fi
if [ ! -e "$bf/qemu-i386" ]; then
    say "registering qemu-i386 with binfmt_misc"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        | $sudo_ tee "$bf/register" >/dev/null
fi
say "ready"
