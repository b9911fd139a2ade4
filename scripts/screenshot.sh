#!/bin/sh
# Takes a screenshot of the main window in a virtual X server and writes it to
# docs/screenshot.png (or the file given as the second argument).
# Usage: scripts/screenshot.sh [path/to/quorvel] [output.png]
# Needs xvfb, xauth and imagemagick.
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
QT_QPA_PLATFORM=xcb "$workdir/quorvel" "$root" &
pid=\$!
sleep 4
import -window root -crop 972x606+0+0 "$output"
kill \$pid
INNER
chmod +x "$workdir/run.sh"
xvfb-run -a -s "-screen 0 1100x700x24" "$workdir/run.sh"
echo "wrote $output"
