#!/usr/bin/env bash
# Builds the .deb from a finished build folder and checks what an installing user gets: the
# programs in /usr/bin, their man pages, the menu entry and its icons, the README and the
# operator's guide, Depends on the runtime packages only, and the recorder's service: its user,
# its example configuration and, where systemd is present, its unit verified and its exposure
# rated at most 4.5.  Usage: check_package.sh BUILD_DIR VERSION
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
         /usr/share/doc/cvhost/README.md /usr/share/doc/cvhost/operator-guide.md \
         /usr/lib/sysusers.d/cvrecord.conf /etc/cvrecord/example.conf; do
  grep -qx "$f" <<<"$files" || fail "$f missing from the package"
done
# Nothing of the build's own: no test programs, benchmarks, headers or static libraries.
if grep -E '(tests?_|bench_|\.a$|\.h$|/include/)' <<<"$files"; then fail "build files in the package"; fi

depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libsystemd0 libmosquitto1; do
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

# The recorder's service.
root="$work/root"
unit="$root/usr/lib/systemd/system/cvrecord@.service"
dpkg-deb -e "$deb" "$work/control"
grep -qx '/etc/cvrecord/example.conf' "$work/control/conffiles" ||
  fail "the example configuration is not a conffile: an upgrade would overwrite an operator's edits"
[ -x "$work/control/postinst" ] || fail "no postinst to create the user"
grep -q 'systemd-sysusers cvrecord.conf' "$work/control/postinst" || fail "the postinst does not create the user from sysusers.d"
grep -q 'adduser --system' "$work/control/postinst" || fail "the postinst has no way without systemd-sysusers"
sysusers="$root/usr/lib/sysusers.d/cvrecord.conf"
grep -Eq '^u[[:space:]]+cvrecord[[:space:]]+-[[:space:]]+"[^"]+"[[:space:]]+/var/lib/cvrecord[[:space:]]+/usr/sbin/nologin$' "$sysusers" ||
  fail "the sysusers file does not make a system user cvrecord without login: $(cat "$sysusers")"
# Every line of the example is a comment, so a copy left unedited cannot start a wrong recording,
# and it shows the options line the unit reads.
example="$root/etc/cvrecord/example.conf"
if grep -Ev '^(#|$)' "$example"; then fail "the example configuration sets something"; fi
grep -q '^#CVRECORD_OPTIONS=--com ' "$example" || fail "the example configuration shows no CVRECORD_OPTIONS line"
for key in 'User=cvrecord' 'SupplementaryGroups=dialout' 'StateDirectory=cvrecord' 'WorkingDirectory=/var/lib/cvrecord' \
           'EnvironmentFile=/etc/cvrecord/%i.conf' 'Type=notify' 'WatchdogSec=30' 'Restart=on-failure' \
           'RestartPreventExitStatus=2' 'ProtectSystem=strict' 'ReadWritePaths=/var/lib/cvrecord /run/lock' \
           'DeviceAllow=char-ttyUSB rw' 'DeviceAllow=char-ttyACM rw' 'DeviceAllow=char-ttyS rw'; do
  grep -qx "$key" "$unit" || fail "the recorder's unit lacks $key"
done
if grep -q '^PrivateDevices=yes' "$unit"; then fail "PrivateDevices would hide the serial ports"; fi
if command -v systemd-sysusers >/dev/null && command -v systemd-analyze >/dev/null; then
  systemd-sysusers --root="$root" >"$work/sysusers.log" 2>&1 || { cat "$work/sysusers.log"; fail "systemd-sysusers"; }
  grep -q '^cvrecord:x:[0-9]*:[0-9]*:[^:]*:/var/lib/cvrecord:/usr/sbin/nologin$' "$root/etc/passwd" ||
    fail "systemd-sysusers made no user cvrecord: $(cat "$root/etc/passwd")"
  # An instance, as `systemctl enable cvrecord@NAME` makes one, inside the unpacked package.
  cp "$unit" "$root/usr/lib/systemd/system/cvrecord@example.service"
  instance="$root/usr/lib/systemd/system/cvrecord@example.service"
  systemd-analyze verify --man=no --recursive-errors=no --root="$root" "$instance" >"$work/verify.log" 2>&1 ||
    { cat "$work/verify.log"; fail "systemd-analyze verify"; }
  # Unknown or misspelt settings are only warned about, and are faults all the same.
  [ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify warns"; }
  systemd-analyze security --offline=yes --threshold=45 --root="$root" "$instance" >"$work/security.log" 2>&1 ||
    { cat "$work/security.log"; fail "the recorder's unit is rated above 4.5"; }
  score=$(sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p' "$work/security.log")
  echo "recorder's unit: exposure $score"
else
  echo "systemd-analyze or systemd-sysusers absent: the unit is not verified or rated"
fi
echo "package ok: $(basename "$deb")"
