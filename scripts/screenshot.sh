#!/bin/sh
# Takes a screenshot of the main window in a virtual X server and writes it to
# docs/screenshot.png (or the file given as the second argument).
# Usage: scripts/screenshot.sh [path/to/quorvel] [output.png]
# The picture shows a real search: the C++ files of ui/ searched for the window's slots.
# Needs xvfb, xauth, imagemagick and xdotool.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/app/quorvel}
output=${2:-$root/docs/screenshot.png}
workdir=$(mktemp -d)
trap 'rm -rf "$workdir"' EXIT
# A copy of its own, so that an instance of the program running elsewhere does not answer.
cp "$program" "$workdir/quorvel"
cat > "$workdir/run.sh" <<INNER
#!/bin/sh
QT_QPA_PLATFORM=xcb "$workdir/quorvel" "$root/ui" &
pid=\$!
sleep 4
# Fill in the file-name and content fields (no window manager: the window sits at 0,0) and
# press Return.
xdotool mousemove 220 38 click 1 key ctrl+a type '*.cpp'
xdotool mousemove 520 38 click 1 type 'MainWindow::do_'
xdotool key Return
sleep 3
import -window root -crop 972x606+0+0 "$output"
kill \$pid
INNER
chmod +x "$workdir/run.sh"
xvfb-run -a -s "-screen 0 1100x700x24" "$workdir/run.sh"
echo "wrote $output"
