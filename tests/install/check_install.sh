#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks the tree a desktop and a package rely on.
# usage: check_install.sh <build folder> <app id> <version> <helper path relative to bin/, or empty>
set -euo pipefail
build=$1 id=$2 version=$3 helper=$4
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
usr="$root/usr"
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

icon_sizes=(16 22 24 32 48 64 128 256)
expected=(bin/security-key-manager libexec/security-key-manager/kvman-sim
          "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
          "share/icons/hicolor/scalable/apps/$id.svg" share/man/man1/security-key-manager.1.gz
          share/doc/security-key-manager/copyright share/doc/security-key-manager/changelog.gz)
for size in "${icon_sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for f in "${expected[@]}"; do
    [ -s "$usr/$f" ] || fail "$f is not installed"
done

# A PNG's width is the big-endian word at byte 16.
for size in "${icon_sizes[@]}"; do
    width=$(od -An -tx1 -j16 -N4 "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | tr -d ' \n')
    [ $((16#$width)) -eq "$size" ] || fail "the ${size}x${size} icon is $((16#$width)) pixels wide"
done

if [ -n "$helper" ]; then
    [ -x "$usr/bin/$helper" ] || fail "the manager looks for its backend at bin/$helper, which is not installed"
fi

# The answer must come without a display.
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/security-key-manager" --version)
[ "$answer" = "security-key-manager $version" ] || fail "--version said: $answer"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/security-key-manager" --help | grep -q -- --version ||
    fail "--help does not mention --version"
grep -q "<release version=\"$version\"" "$usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo's newest release is not $version"

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/$id.desktop" || fail "desktop-file-validate"
else
    echo "desktop-file-validate not installed: desktop file not validated"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
else
    echo "appstreamcli not installed: metainfo not validated"
fi
echo "install tree OK"
