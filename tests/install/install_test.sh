#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# `make install` straight into a prefix refreshes the desktop's caches (MIME
# database, menu entries, icon theme); staged with DESTDIR, as a package
# build stages, it leaves them to the package manager. And the MIME types
# installed name Windows files by name and content as a file manager sees
# them: a .scr file is a screen saver only when it is a program.
#   tests/install/install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$scratch/prefix"
env -u DESTDIR cmake --install "$build" --prefix "$prefix" > "$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install"; }
share="$prefix/share"
for cache in mime/mime.cache applications/mimeinfo.cache icons/hicolor/icon-theme.cache; do
  [ -s "$share/$cache" ] || { cat "$scratch/install.log"; fail "$cache was not made"; }
done

DESTDIR="$scratch/stage" cmake --install "$build" --prefix /usr > "$scratch/stage.log" 2>&1 ||
  { cat "$scratch/stage.log"; fail "cmake --install with DESTDIR"; }
[ -f "$scratch/stage/usr/share/mime/packages/vextral.xml" ] || fail "nothing staged"
made=$(find "$scratch/stage" -name mime.cache -o -name mimeinfo.cache -o -name icon-theme.cache)
[ -z "$made" ] || fail "a staged install made caches: $made"

# The types as GLib finds them, with the installed database before the system's.
files="$scratch/files"
mkdir "$files"
printf 'echo a text script\n' > "$files/script.scr"
cp "$source/tests/fixtures/icons64.dll" "$files/saver.scr"
cp "$source/tests/fixtures/icons64.dll" "$files/library.dll"
cp "$source/tests/fixtures/icons64.dll" "$files/icons.icl"
type_of() {
  XDG_DATA_HOME="$scratch/nohome" XDG_DATA_DIRS="$share:/usr/share" \
    gio info -a standard::content-type "$1" | sed -n 's/^ *standard::content-type: //p'
}
[ "$(type_of "$files/script.scr")" = text/plain ] || fail "a text .scr is $(type_of "$files/script.scr")"
[ "$(type_of "$files/saver.scr")" = application/x-ms-dos-executable ] ||
  fail "a program named .scr is $(type_of "$files/saver.scr")"
[ "$(type_of "$files/library.dll")" = application/x-ms-dos-executable ] || fail ".dll is $(type_of "$files/library.dll")"
[ "$(type_of "$files/icons.icl")" = application/x-vextral-icon-library ] || fail ".icl is $(type_of "$files/icons.icl")"
echo "install test passed"
