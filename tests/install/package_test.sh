#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it into a scratch
# root, installs and removes it with a dpkg database of its own, and checks
# that the installed programs, manual pages and desktop files work from the
# installed paths.
#   tests/install/package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The package, made by CPack as `make package` makes it.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" > "$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb=$(ls "$scratch"/pkg/vextral_*.deb)
echo "package: $(basename "$deb")"

# dpkg-shlibdeps found the libraries the programs link.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6 libqt6gui6 libpng16-16 libjpeg62-turbo libssl3; do
  grep -q "\b$lib\b" <<< "$depends" || fail "Depends lacks $lib"
done
[ "$(dpkg-deb -f "$deb" Package)" = vextral ] || fail "package name"

# Everything lands under /usr, nothing elsewhere.
dpkg-deb -c "$deb" | awk '{ print $6 }' > "$scratch/contents"
grep -v -e '^\./$' -e '^\./usr/' "$scratch/contents" && fail "files outside /usr"
for f in usr/bin/vextral usr/bin/vextral-cli usr/bin/vextral-thumbnailer \
         usr/share/applications/example.vextral.Vextral.desktop \
         usr/share/metainfo/example.vextral.Vextral.metainfo.xml \
         usr/share/thumbnailers/vextral.thumbnailer usr/share/mime/packages/vextral.xml \
         usr/share/man/man1/vextral.1.gz usr/share/man/man1/vextral-cli.1.gz \
         usr/share/man/man1/vextral-thumbnailer.1.gz usr/share/vextral/help/index.html; do
  grep -qx "\./$f" "$scratch/contents" || fail "$f is not in the package"
done
# The user guide is the program's own data, not documentation that an
# installation may leave out (dpkg's path-exclude of /usr/share/doc).
grep -q '^\./usr/share/doc/vextral/help' "$scratch/contents" && fail "the user guide is under /usr/share/doc"
for size in 16 24 32 48 64 128 256; do
  grep -qx "\./usr/share/icons/hicolor/${size}x${size}/apps/vextral.png" "$scratch/contents" || fail "icon $size"
done

# Installs and removes cleanly, with a dpkg database of its own.
admin="$scratch/admin"
inst="$scratch/inst"
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers" "$inst"
touch "$admin/status" "$admin/available"
dpkgx() { dpkg --admindir="$admin" --instdir="$inst" --log=/dev/null --force-depends --force-not-root "$@"; }
dpkgx -i "$deb" > "$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -i"; }
dpkg-query --admindir="$admin" -W -f='${Status}\n' vextral | grep -q "install ok installed" || fail "not installed"
root="$inst/usr"

# The programs, from their installed paths.
"$root/bin/vextral-cli" --help | grep -q "Usage: vextral-cli COMMAND" || fail "vextral-cli --help"
"$root/bin/vextral-cli" icons "$source/tests/fixtures/icons64.dll" | grep -q "4 icons" || fail "vextral-cli icons"
"$root/bin/vextral-thumbnailer" -s 128 "$source/tests/fixtures/icons64.dll" "$scratch/thumb.png" ||
  fail "vextral-thumbnailer"
file "$scratch/thumb.png" | grep -q "PNG image data, 128 x 128, 8-bit/color RGBA" || fail "thumbnail: $(file "$scratch/thumb.png")"
if "$root/bin/vextral-thumbnailer" -s 128 "$source/tests/fixtures/garbage.bin" "$scratch/bad.png" 2> /dev/null; then
  fail "a damaged file gave success"
fi
[ ! -e "$scratch/bad.png" ] || fail "a damaged file gave output"
ldd "$root/bin/vextral" | grep -q "not found" && fail "vextral lacks a library"
# Where Help > Contents looks for a program in <prefix>/bin.
[ -f "$root/bin/../share/vextral/help/index.html" ] || fail "no user guide in share/vextral/help"

# The thumbnailer entry runs the installed program with the file manager's arguments.
exec_line=$(sed -n 's/^Exec=//p' "$root/share/thumbnailers/vextral.thumbnailer")
cmd=${exec_line//%s/64}
cmd=${cmd//%i/$source/tests/fixtures/multi.ico}
cmd=${cmd//%o/$scratch/entry.png}
PATH="$root/bin:$PATH" sh -c "$cmd" || fail "thumbnailer entry: $cmd"
file "$scratch/entry.png" | grep -q "64 x 64" || fail "thumbnailer entry output"

# Manual pages: formatted by man without a warning.
for page in vextral vextral-cli vextral-thumbnailer; do
  out=$(MANWIDTH=80 man --warnings -l "$root/share/man/man1/$page.1.gz" 2>&1 > "$scratch/$page.txt") ||
    fail "man $page"
  [ -z "$out" ] || fail "man $page warns: $out"
  grep -q "^NAME" "$scratch/$page.txt" || fail "man $page has no NAME"
done

# The programs, the manual pages and the AppStream release all give the package's version.
version=$(dpkg-deb -f "$deb" Version)
[ "$("$root/bin/vextral-cli" --version)" = "vextral-cli $version" ] || fail "vextral-cli --version"
for page in vextral vextral-cli vextral-thumbnailer; do
  zcat "$root/share/man/man1/$page.1.gz" | sed -n 1p | grep -qF "\"Vextral $version\" \"User Commands\"" ||
    fail "man $page does not give version $version"
done
grep -qF "<release version=\"$version\" " "$root/share/metainfo/example.vextral.Vextral.metainfo.xml" ||
  fail "AppStream release is not $version"

# Desktop entry and AppStream metadata, where the validators are installed.
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$root/share/applications/example.vextral.Vextral.desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed: skipped"
fi
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic "$root/share/metainfo/example.vextral.Vextral.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "appstreamcli not installed: skipped"
fi

# Installed where the user cannot write, the programs keep their files in
# $XDG_CONFIG_HOME/vextral. Run as an unprivileged user: root may write anywhere.
chmod -R a+rX "$inst"
chmod a-w "$root/bin"
mkdir -p "$scratch/home/config/vextral"
printf '[Icon]\r\nBackground=NoSuchColour\r\n' > "$scratch/home/config/vextral/Option.ini"
chown -R nobody "$scratch/home" 2> /dev/null || true
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
err=$(env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" "${as_user[@]}" \
  "$root/bin/vextral-cli" harvest --types ico "$source/tests/fixtures/multi.ico" 2>&1 > /dev/null || true)
grep -qF "(in $scratch/home/config/vextral/Option.ini)" <<< "$err" || fail "settings not read from XDG_CONFIG_HOME: $err"
chmod u+w "$root/bin"

# Removal leaves nothing behind.
dpkgx -P vextral > "$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -P"; }
left=$(find "$inst" -mindepth 1 \( -type f -o -type l \) | head)
[ -z "$left" ] || fail "left after removal: $left"
echo "package test passed"
