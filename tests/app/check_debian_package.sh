#!/usr/bin/env bash
# Checks the Debian package that CPack wrote into PACKAGE_DIR: its layout, its desktop
# entry and AppStream file, its dependencies, and a first start of the unpacked program
# offscreen as a user with an empty home: the program must write a fresh catalogue into
# the user's data folder, lock it, and bring its main window up.
#   check_debian_package.sh PACKAGE_DIR VERSION
set -euo pipefail
package_dir=$1
version=$2

fail() { echo "FAIL: $*" >&2; exit 1; }

deb="$package_dir/velmora_${version}_amd64.deb"
[ -f "$deb" ] || fail "no package $deb"

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
root="$work/root"
home="$work/home"
mkdir -p "$root" "$home"
dpkg-deb -x "$deb" "$root"

# The layout of an installed program.
for file in usr/bin/velmora \
            usr/share/velmora/categories.cat \
            usr/share/velmora/help/index.html usr/share/velmora/help/help.css \
            usr/share/velmora/help/220.html usr/share/velmora/help/350.html usr/share/velmora/help/400.html \
            usr/share/velmora/help/410.html usr/share/velmora/help/430.html usr/share/velmora/help/search.html \
            usr/share/applications/org.velmora.Velmora.desktop \
            usr/share/metainfo/org.velmora.Velmora.metainfo.xml \
            usr/share/icons/hicolor/scalable/apps/velmora.svg; do
  [ -f "$root/$file" ] || fail "the package lacks /$file"
done
for size in 16 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora.png"
  [ -f "$icon" ] || fail "the package lacks the ${size}x${size} icon"
  file "$icon" | grep -q "PNG image data, $size x $size" || fail "the ${size}x${size} icon is $(file -b "$icon")"
done
[ -x "$root/usr/bin/velmora" ] || fail "/usr/bin/velmora is not executable"
[ ! -e "$root/usr/bin/dbase" ] || fail "the package carries a catalogue beside the program"

desktop-file-validate "$root/usr/share/applications/org.velmora.Velmora.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml" ||
  fail "the AppStream file does not validate"

# Dependencies as dpkg-shlibdeps found them.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libsqlite3-0 libzip4 libc6 libstdc++6; do
  grep -q "\b$library\b" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# A first start with an empty home. The notice line is written once the main window has
# been shown and filled; the program is then ended from outside.
log="$work/velmora.log"
env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/velmora" >"$log" 2>&1 &
pid=$!
data="$home/.local/share/Velmora"
notice="A new, empty catalogue was created in $data/dbase"
for _ in $(seq 600); do
  grep -qF "$notice" "$log" && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended on its own: $(cat "$log")"
  sleep 0.1
done
grep -qF "$notice" "$log" || fail "no first-start notice within 60 s: $(cat "$log")"
kill -0 "$pid" 2>/dev/null || fail "the program ended after its first start: $(cat "$log")"

for table in Category.db CPInfo.DB Status.db; do
  [ -s "$data/dbase/$table" ] || fail "the per-user catalogue lacks $table"
done
[ -f "$data/categories.cat" ] || fail "the category list was not put beside the catalogue"
[ -d "$data/Tmp" ] || fail "no Tmp folder beside the catalogue"
[ -f "$data/dbase/velmora.lock" ] || fail "the per-user catalogue is not locked"
[ "$(find "$root" -name dbase | wc -l)" -eq 0 ] || fail "a catalogue was written into the program's folders"

kill -TERM "$pid"
wait "$pid" 2>/dev/null || true
pid=

# A second start finds the catalogue made by the first, and closes as a user would once
# its window is shown and idle.
env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
  timeout 60 "$root/usr/bin/velmora" --quit-when-idle >"$log" 2>&1 ||
  fail "the second start did not end well ($?): $(cat "$log")"
grep -qF "Main window shown and idle" "$log" || fail "the second start never showed its window: $(cat "$log")"
! grep -qF "$notice" "$log" || fail "the second start made a new catalogue: $(cat "$log")"
echo "Package $(basename "$deb"): layout, metadata and first start are as they should be."
