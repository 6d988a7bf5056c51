#!/usr/bin/env bash
# Builds the Debian package from a finished build folder and checks it as a user's machine would
# see it: its name, version and dependencies, every file it installs (the same files
# `cmake --install` puts in place), the desktop entry and AppStream data through their
# validators, the man page through man, and the unpacked program's --version without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build-test}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "package check: $*" >&2
  exit 1
}

version="$(sed -n 's/^project(Pagewarden VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
rm -f "$build"/pagewarden_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/pagewarden_"$version"_*.deb)"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pagewarden ] || fail "package name is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "package version is $(field Version), not $version"
depends="$(field Depends)"
for dep in libqt6widgets6 libqt6websockets6 libqt6svg6 libc6; do
  grep -qw "$dep" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
grep -qw chromium <<<"$(field Recommends)" || fail "Recommends lacks chromium"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
DESTDIR="$scratch/staged" cmake --install "$build" --prefix /usr >/dev/null
list() { (cd "$1" && find . -type f | sort); }
[ "$(list "$root")" = "$(list "$scratch/staged")" ] ||
  fail "the package and cmake --install differ: $(diff <(list "$root") <(list "$scratch/staged"))"

# The extension route: the bridge, the extension as it loads unpacked, and host manifests that
# name the packaged bridge for every browser family we know.
[ -x "$root/usr/lib/pagewarden/pagewarden-bridge" ] || fail "missing the bridge"
[ -f "$root/usr/share/pagewarden/extension/manifest.json" ] || fail "missing the extension"
for m in etc/chromium etc/opt/chrome etc/opt/edge etc/opt/brave usr/lib/mozilla; do
  f="$root/$m/native-messaging-hosts/pagewarden.bridge.json"
  grep -q '"path": "/usr/lib/pagewarden/pagewarden-bridge"' "$f" || fail "${f#"$root"} is wrong"
done
# Debian's chromium loads every extension linked into its extensions folder.
[ "$(readlink "$root/usr/share/chromium/extensions/pagewarden")" = /usr/share/pagewarden/extension ] ||
  fail "the extension is not linked into /usr/share/chromium/extensions"

share="$root/usr/share"
desktop="$share/applications/pagewarden.desktop"
for f in "$desktop" "$share/metainfo/example.pagewarden.Pagewarden.metainfo.xml" \
  "$share/man/man1/pagewarden.1" "$share/icons/hicolor/scalable/apps/pagewarden.svg" \
  "$share/pagewarden/manual/index.html"; do
  [ -f "$f" ] || fail "missing ${f#"$root"}"
done
for size in 16 22 24 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x$size/apps/pagewarden.png"
  [ -f "$png" ] || fail "missing ${png#"$root"}"
  # A PNG's width and height are the two big-endian numbers at byte 16.
  read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  [ "$w $h" = "$size $size" ] || fail "${png#"$root"} is ${w}x$h"
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net "$share/metainfo/example.pagewarden.Pagewarden.metainfo.xml" >/dev/null
warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
  "$share/man/man1/pagewarden.1" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man page: $warnings"

# The manual has the sections the program's help opens, and nothing shipped names a host that
# does not exist.
grep -q 'id="antihijackerhelp"' "$share/pagewarden/manual/index.html" ||
  fail "the manual lacks the anti-hijacker's section"
! grep -rlI 'pagewarden\.example' "$root" || fail "the package names a placeholder host"
dpkg-deb -f "$deb" | grep -q 'pagewarden\.example' && fail "the package's fields name a placeholder host"

# The entry starts the packaged program and shows the packaged icon.
[ -x "$root/usr/bin/$(sed -n 's/^Exec=//p' "$desktop")" ] || fail "Exec is not the program"
[ "$(sed -n 's/^Icon=//p' "$desktop")" = pagewarden ] || fail "Icon is not pagewarden"
out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/pagewarden" --version)"
[ "$out" = "pagewarden $version" ] || fail "--version said: $out"
echo "Package $(basename "$deb") checked"
