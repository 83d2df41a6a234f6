#!/bin/sh
# Takes the user guide's screenshots (docs/help/*.png) of the real windows,
# under Xvfb with openbox: the main window after a harvest of samples/ and
# the dialogs it opens. Usage: tools/help-screenshots.sh [BUILD_DIR]
# Needs xvfb, openbox, xdotool and imagemagick (all in tools/debian-packages.txt).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
if [ -z "${VEXTRAL_SHOTS_INNER:-}" ]; then
    VEXTRAL_SHOTS_INNER=1 exec xvfb-run -a -s '-screen 0 1280x900x24' "$0" "$build"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A home of its own, so the folder tree shows nothing of the user's.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME/Desktop" "$HOME/Documents" "$HOME/Pictures"
convert -size 220x200 radial-gradient:gold-steelblue -fill white -stroke navy -strokewidth 4 \
    -draw "circle 110,100 110,50" "$HOME/Pictures/sun.png"
# The program keeps Option.ini beside itself: a copy in the work folder starts from the defaults.
cp "$build/bin/vextral" "$work/vextral"

openbox >/dev/null 2>&1 &
wm=$!
sleep 1
cd "$root"
"$work/vextral" samples/sample.dll samples/multi.ico samples/library.icl "$root/samples" &
app=$!
sleep 4
win=$(xdotool search --sync --onlyvisible --name "Vextral" | head -1)
xdotool windowsize "$win" 860 560
xdotool windowmove "$win" 20 20
sleep 1

shot() { import -window "$1" -frame "$work/$2.png"; convert "$work/$2.png" -strip "PNG24:$root/docs/help/$2.png"; }
dialog() {
    xdotool windowactivate --sync "$win"
    sleep 0.3
    xdotool key "$@"
    sleep 1.5
    d=$(xdotool getactivewindow)
}
close() { xdotool key Escape; sleep 0.8; }

# The main window on its source lists.
xdotool windowactivate --sync "$win"
xdotool mousemove --window "$win" 60 77 click 1
sleep 0.5
xdotool mousemove --window "$win" 264 85 click 1 # selects an icon
sleep 0.5
shot "$win" main
# The harvested icons in a window of their own: something to capture while the main window is minimised.
convert "$work/main.png" -crop 620x82+200+88 +repage "$work/icons.png"
display -title icons -geometry +600+650 "$work/icons.png" &
viewer=$!
picture=$(xdotool search --sync --onlyvisible --name icons | head -1)

dialog ctrl+o; shot "$d" options; close
dialog ctrl+p; shot "$d" print; close
dialog ctrl+h
xdotool mousemove --window "$d" 250 130 click 1
xdotool type "My icons"
shot "$d" webpage; close
dialog alt+i a
xdotool mousemove --window "$d" 43 122 click 1 # folds "Computer"
sleep 1
shot "$d" saveall; close
dialog alt+t Down Return
xdotool key alt+l
sleep 1.5
xdotool type "$HOME/Pictures/sun.png"
xdotool key Return
sleep 1.5
shot "$d" convert; close

dialog ctrl+e; shot "$d" edit; close
dialog alt+t Down Down Return
xdotool type --delay 20 "friend@example.org"
xdotool key Tab
xdotool type --delay 20 "Icons for the web site"
xdotool key Tab
xdotool type --delay 20 "Here are the icons we talked about."
shot "$d" friend; close
dialog ctrl+u; shot "$d" check; close
dialog alt+t Down Down Down Return
xdotool mousemove --window "$d" 56 128 click 1 # Start Capture
sleep 1.5
xdotool mousemove --window "$picture" 64 19 # over an icon
sleep 0.5
xdotool click 1
sleep 1.5
d=$(xdotool getactivewindow)
shot "$d" capture; close

kill "$app" "$viewer"; wait "$app" "$viewer" 2>/dev/null || true
kill "$wm"; wait "$wm" 2>/dev/null || true
ls -l "$root"/docs/help/*.png
