#!/usr/bin/env bash
# Takes the README's pictures from the real program: it runs the given executable on a
# virtual tuner under a private X server, with a small station list, powers the tuner on,
# opens the equalizer, the options dialog, the About window and the log window and writes
# one PNG per window into the docs folder. It builds nothing.
#
#   docs/screenshots.sh [executable] [output folder]
#
# Defaults: build/orvalen and the folder this script is in. Needs Xvfb, xdotool, iconv and
# ImageMagick's import.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
exe=${1:-build/orvalen}
out=${2:-$here}

for tool in Xvfb xdotool import iconv; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
[[ -x $exe ]] || { echo "screenshots: no executable at $exe (build the orvalen target)" >&2; exit 1; }
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
mkdir -p "$out"

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
    set +e
    # Only what this script started.
    [[ -n $program_pid ]] && kill "$program_pid" 2>/dev/null && wait "$program_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls a command until it succeeds; fails with a message after `seconds`.
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        if ((SECONDS >= deadline)); then
            echo "screenshots: timed out waiting for $what" >&2
            [[ -s $work/stderr ]] && tail -n 20 "$work/stderr" >&2
            return 1
        fi
        sleep 0.2
    done
}

# A private X server on a free display; Xvfb tells which one it took.
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
wait_until 30 "the X server" test -s "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
export QT_QPA_PLATFORM=xcb

# The program's files: digital sound on, FM at 101.7 MHz, list shown, log window on. The
# station list is in the single-byte Cyrillic code page with CR LF; \037 marks a favourite.
config=$work/config
mkdir -p "$config"
cat >"$config/orvalen.ini" <<'EOF'
[main]
fmfrequency=137
fmband=1
directsound=1
ShowList=1
debug=1
Left=20
Top=20
EOF
printf '66.3=Маяк\r\n88.0=Проверка\r\n95.5=Дача\r\n101.7=\037Новости\r\n104.2=Европа\r\n' |
    iconv -f UTF-8 -t CP1251 >"$config/orvalen.lst"

"$exe" --simulate --verbose --config-dir "$config" >"$work/stdout" 2>"$work/stderr" &
program_pid=$!

# The id of the window with exactly this title, waiting until it is mapped.
window() {
    timeout 60 xdotool search --sync --onlyvisible --name "^$1\$" | head -n 1
}
# Left-clicks the point (x, y) of a window.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}
# Moves a window to (x, y) on the screen and lets it redraw.
place() {
    xdotool windowmove --sync "$1" "$2" "$3"
    sleep 0.5
}
# Captures a window's inside, with the pointer out of the way of hover effects.
shoot() {
    xdotool mousemove 1590 990
    sleep 0.3
    import -window "$1" "$out/$2"
    echo "screenshots: $out/$2"
}
log_has() {
    grep -q -- "$1" "$work/stderr"
}
log_lines() {
    wc -l <"$work/stderr"
}

main=$(window "USB Orvalen")
logs=$(window "Лог")
# The log window opens over the main window; everything else goes to the right of it.
place "$logs" 440 560
wait_until 60 "the virtual tuner" log_has "Device connected"

# Power (left group, lower button); then let a few status answers reach the display, so the
# level bars and the stereo mark show.
click "$main" 31 67
wait_until 30 "the power command" log_has "WR 00  50 01"
start=$(log_lines)
answered() { (($(log_lines) - start >= 6)); }
wait_until 30 "status answers" answered
sleep 1
shoot "$main" main-window.png

click "$main" 344 169 # equalizer window ("EQ")
equalizer=$(window "Эквалайзер")
place "$equalizer" 440 20
shoot "$equalizer" equalizer.png

click "$main" 340 67 # options dialog (right group, lower button)
options=$(window "Настройки")
place "$options" 1000 20
shoot "$options" options.png

shoot "$logs" log.png

click "$main" 339 31 # About (right group, upper button)
about=$(window "About")
place "$about" 1000 560
shoot "$about" about.png
