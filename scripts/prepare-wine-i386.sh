#!/usr/bin/env bash
# Makes the installed wine64 able to run 32-bit Windows programs (the win32 build of Kelvra)
# through its WoW64 mode: the i386 Windows DLLs of Debian's libwine:i386 are unpacked into
# a folder of their own, which the wine tests hand to Wine as WINEDLLPATH. No i386 package is
# installed: the package is only downloaded and unpacked, so nothing of the system changes
# beyond dpkg knowing the i386 architecture (which apt-get download needs).
#
#   prepare-wine-i386.sh [<folder>]      default: /var/cache/kelvra/wine-i386
#
# The DLLs land in <folder>/wine; <folder>/version names the libwine version they came from,
# which must be the installed wine64's own. Does nothing, quietly, when that is already so.
set -euo pipefail

folder=${1:-/var/cache/kelvra/wine-i386}

version=$(dpkg-query -W -f='${Version}' libwine:amd64 2>/dev/null) || {
    echo "prepare-wine-i386: wine64 (libwine:amd64) is not installed" >&2
    exit 1
}
if [ "$(cat "$folder/version" 2>/dev/null)" = "$version" ] && [ -d "$folder/wine/i386-windows" ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvra-wine-i386-XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work/log

# Steps are quiet; what they said is shown when one fails.
quietly() {
    "$@" >>"$log" 2>&1 || {
        cat "$log" >&2
        echo "prepare-wine-i386: failed: $*" >&2
        exit 1
    }
}

# A mirror caught mid-sync fails one index while the package needed may still be there: the
# download that follows says whether it is.
update_lists() {
    "${sudo_cmd[@]}" apt-get update -q >>"$log" 2>&1 ||
        echo "prepare-wine-i386: apt-get update failed; going on with the lists there are" >&2
}

echo "Unpacking the i386 Windows DLLs of libwine $version into $folder"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    quietly "${sudo_cmd[@]}" dpkg --add-architecture i386
    update_lists
fi
# The package lists may predate the i386 architecture, or the version may have moved on.
cd "$work"
if ! apt-get download -q "libwine:i386=$version" >>"$log" 2>&1; then
    update_lists
    apt-get download -q "libwine:i386=$version" >>"$log" 2>&1 || {
        cat "$log" >&2
        echo "prepare-wine-i386: libwine:i386 $version, needed for the 32-bit Windows tests, cannot be downloaded" >&2
        exit 1
    }
fi
quietly dpkg-deb -x libwine_*_i386.deb root
dlls=$work/root/usr/lib/i386-linux-gnu/wine
[ -d "$dlls/i386-windows" ] || {
    echo "prepare-wine-i386: libwine:i386 holds no i386-windows folder" >&2
    exit 1
}
# WoW64 runs the 32-bit DLLs over wine64's own 64-bit Unix side; the i386 Unix libraries
# would need i386 system libraries, which are not installed.
rm -rf "$dlls/i386-unix"
ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-unix "$dlls/x86_64-unix"

"${sudo_cmd[@]}" mkdir -p "$folder"
"${sudo_cmd[@]}" rm -rf "$folder/wine" "$folder/version"
"${sudo_cmd[@]}" mv "$dlls" "$folder/wine"
# Written last: a run stopped half-way is done again next time.
echo "$version" | "${sudo_cmd[@]}" tee "$folder/version" >/dev/null
