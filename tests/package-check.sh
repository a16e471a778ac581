#!/bin/sh
# Builds the Debian package from a build directory (as `cpack -G DEB` does there) and checks its
# name, its files, that its dependencies were computed from the binary, and its conffiles.
# Usage: package-check.sh BUILD_DIR OUTPUT_DIR VERSION
set -eu
build=$1 out=$2 version=$3
if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "skipped: dpkg-deb is not installed (not a Debian system)"
    exit 77
fi
rm -rf "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb="$out/veilmark_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAIL: no $deb; made: $(ls "$out")"; exit 1; }

expected='./etc/pam.d/veilmark
./usr/bin/veilmark
./usr/share/applications/org.veilmark.Veilmark.desktop
./usr/share/dbus-1/interfaces/org.veilmark.Veilmark1.xml
./usr/share/doc/veilmark/changelog.gz
./usr/share/doc/veilmark/copyright
./usr/share/gnome-shell/extensions/veilmark@veilmark.org/extension.js
./usr/share/gnome-shell/extensions/veilmark@veilmark.org/metadata.json
./usr/share/gnome-shell/extensions/veilmark@veilmark.org/org.veilmark.Shell1.xml
./usr/share/icons/hicolor/scalable/apps/org.veilmark.Veilmark.svg
./usr/share/man/man1/veilmark.1.gz
./usr/share/metainfo/org.veilmark.Veilmark.metainfo.xml'
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$actual" != "$expected" ]; then
    echo "FAIL: the package holds other files than expected:"
    printf '%s\n' "$expected" >"$out/expected.txt"
    printf '%s\n' "$actual" >"$out/actual.txt"
    diff -u "$out/expected.txt" "$out/actual.txt" || true
    exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6dbus6 libpam0g libsecret-1-0 libxcb1; do
    case "$depends," in
    *"$library "* | *"$library,"*) ;;
    *) echo "FAIL: Depends lacks $library (dpkg-shlibdeps did not run?): $depends"; exit 1 ;;
    esac
done
conffiles=$(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles)
[ "$conffiles" = /etc/pam.d/veilmark ] || { echo "FAIL: conffiles is '$conffiles'"; exit 1; }
echo "ok: $deb"
