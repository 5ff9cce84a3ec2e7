#!/usr/bin/env bash
# Makes the Debian package, unpacks it into a temporary root (dpkg -x) and runs the game from
# there: every resource must be in the package, and a puzzle made from a built-in picture of the
# installed root must open and draw. An installed game looks for resources only beside its
# executable, so nothing is taken from this source tree. Run by tools/test.sh after the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

fail() { echo "check-package: $*" >&2; exit 1; }

deb=$(tools/make-package.sh "$build" | tail -n 1)
[ -f "$deb" ] || fail "no package was made"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
dpkg -x "$deb" "$root"

# Contents: the program, the desktop integration and every file of resources/.
for file in usr/bin/tobbin-jigsaw usr/share/applications/tobbin-jigsaw.desktop \
            usr/share/metainfo/com.wrenmoor.tobbin_jigsaw.metainfo.xml \
            usr/share/icons/hicolor/256x256/apps/tobbin-jigsaw.png; do
  [ -f "$root/$file" ] || fail "$file is not in the package"
done
(cd resources && find . -type f ! -name '*.desktop' ! -name '*.metainfo.xml' | LC_ALL=C sort) > "$scratch/expected"
(cd "$root/usr/share/tobbin-jigsaw" && find . -type f | LC_ALL=C sort) > "$scratch/found"
diff -u "$scratch/expected" "$scratch/found" >&2 || fail "the packaged resources differ from resources/"

# Metadata: libraries found by dpkg-shlibdeps plus the plugins Qt loads at run time.
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6multimedia6 libplist qt6-image-formats-plugins; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/com.wrenmoor.tobbin_jigsaw.metainfo.xml" >&2 \
    || fail "the AppStream metainfo does not validate"
fi

# Run from the root in a home of its own.
export HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_DATA_HOME=$scratch/home/.local/share \
       XDG_CACHE_HOME=$scratch/home/.cache XDG_STATE_HOME=$scratch/home/.local/state \
       XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen
unset TOBBIN_RESOURCES
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
game=$root/usr/bin/tobbin-jigsaw
pictures=$root/usr/share/tobbin-jigsaw/pictures
# The largest built-in picture: the one that must be decoded at half size to stay quick.
picture=$(ls -S "$pictures"/*.jpg | grep -v '_thumb\.jpg$' | head -n 1)
folder=$("$game" create "$picture" --pieces 1000 --into "$scratch/puzzles") || fail "create failed for $picture"
info=$("$game" info "$folder") || fail "info failed for $folder"
pieces=$(sed -n 's/^pieces: //p' <<<"$info")
[ "${pieces:-0}" -ge 900 ] || fail "a 1000-piece puzzle from $picture has ${pieces:-no} pieces"
"$game" render "$folder" --size 480x300 --out "$scratch/board.png" || fail "render failed"
[ -s "$scratch/board.png" ] || fail "render wrote nothing"
# Without the packaged board textures the board must look different: the game may not find
# them anywhere else (this source tree, /usr/local).
rm -r "$root/usr/share/tobbin-jigsaw/textures"
"$game" render "$folder" --size 480x300 --out "$scratch/bare.png" || fail "render without textures failed"
! cmp -s "$scratch/board.png" "$scratch/bare.png" || fail "the installed game took its textures from outside its root"
echo "check-package: $(basename "$deb") installs and runs ($(basename "$picture"), $pieces pieces)"
