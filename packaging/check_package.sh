#!/usr/bin/env bash
# Builds the .deb from a finished build folder and checks what an installing user gets: the
# programs in /usr/bin, their man pages, the menu entry and its icons, the README and the
# operator's guide, and Depends on the Qt runtime packages only.  Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/cvhost_"$version"_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no cvhost_${version}_<arch>.deb in $(ls "$work")"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in /usr/bin/cvhost /usr/bin/cvextract /usr/bin/cvarchive /usr/bin/kr8sim /usr/bin/cvrecord \
         /usr/share/man/man1/cvrecord.1.gz /usr/lib/systemd/system/cvrecord@.service \
         /usr/share/man/man1/cvhost.1.gz /usr/share/man/man1/cvextract.1.gz \
         /usr/share/man/man1/cvarchive.1.gz /usr/share/man/man1/kr8sim.1.gz \
         /usr/share/applications/cvhost.desktop /usr/share/icons/hicolor/scalable/apps/cvhost.svg \
         /usr/share/icons/hicolor/48x48/apps/cvhost.png /usr/share/icons/hicolor/256x256/apps/cvhost.png \
         /usr/share/doc/cvhost/README.md /usr/share/doc/cvhost/operator-guide.md; do
  grep -qx "$f" <<<"$files" || fail "$f missing from the package"
done
# Nothing of the build's own: no test programs, benchmarks, headers or static libraries.
if grep -E '(tests?_|bench_|\.a$|\.h$|/include/)' <<<"$files"; then fail "build files in the package"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libmosquitto1; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
if grep -q -- '-dev\b' <<<"$depends"; then fail "Depends names a -dev package: $depends"; fi

dpkg-deb -x "$deb" "$work/root"
desktop="$work/root/usr/share/applications/cvhost.desktop"
grep -qx 'Exec=cvhost' "$desktop" || fail "the menu entry does not start cvhost"
grep -qx 'Icon=cvhost' "$desktop" || fail "the menu entry does not name the icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail "desktop-file-validate"; fi
zcat "$work/root/usr/share/man/man1/cvarchive.1.gz" | grep -q 'cvarchive export' || fail "cvarchive's man page lacks its usage"
grep -qx 'ExecStart=/usr/bin/cvrecord $CVRECORD_OPTIONS' "$work/root/usr/lib/systemd/system/cvrecord@.service" ||
  fail "the recorder's unit does not start cvrecord"
echo "package ok: $(basename "$deb")"
