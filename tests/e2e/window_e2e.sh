#!/usr/bin/env bash
# Drives the built program from outside, the way a person would: its own
# process on a real X server (Xvfb), under a real window manager (openbox, so
# that "maximised" and "close" mean what they mean on a desktop), with the
# real pointer and keyboard (XTEST through xdotool). Looks only at what an X
# client can see: windows, their properties and the pixels on the screen.
#
#   window_e2e.sh PROGRAM
#
# Exits 0 when every check passes, 1 on the first failed check (keeping the
# screenshots and the program's output in a folder it names; TAVO_E2E_KEEP=1
# keeps it after a pass too), 77 when a tool it needs is missing. Every wait
# is bounded, and the program is killed on the way out whatever happened.

set -uo pipefail

readonly SCREEN_WIDTH=1600
readonly SCREEN_HEIGHT=1000
# The size the form gives the window; a restored window returns to it.
readonly FORM_WIDTH=1167
readonly FORM_HEIGHT=691
# The left column never grows wider than this.
readonly LEFT_COLUMN=340
# Text colours of the form: push buttons and the panel titles while enabled,
# every text while disabled.
readonly BLUE='#0000ff'
readonly GREEN='#007f00'
readonly DISABLED_GRAY='#787878'

usage() {
    echo "usage: $0 PROGRAM" >&2
    exit 2
}

# --- outside the X server: check the tools, then start one -----------------

if [ "${1:-}" != "--on-display" ]; then
    [ $# -eq 1 ] || usage
    program=$(readlink -f "$1") || usage
    [ -x "$program" ] || {
        echo "not an executable: $1" >&2
        exit 2
    }
    missing=()
    for tool in xvfb-run Xvfb xauth openbox xdotool wmctrl xprop xwininfo import compare convert; do
        command -v "$tool" >/dev/null || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "SKIP: missing ${missing[*]} (scripts/setup.sh installs them)" >&2
        exit 77
    fi
    # Our own folder for the X authority file: xvfb-run's own temporary
    # folder is removed by its exit trap, which turns a passed run into a
    # failed one whenever that removal trips.
    outside=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e-x.XXXXXX")
    trap 'rm -rf "$outside"' EXIT
    trap 'exit 143' TERM INT
    # Two runs picking a free display number at the same moment can collide;
    # when Xvfb then does not come up, this script never started: try again.
    for attempt in 1 2 3; do
        xvfb-run --auto-servernum --auth-file="$outside/Xauthority" \
            --server-args="-screen 0 ${SCREEN_WIDTH}x${SCREEN_HEIGHT}x24 -nolisten tcp" \
            bash "$0" --on-display "$program" "$outside/started"
        status=$?
        if [ -e "$outside/started" ] || [ $attempt -eq 3 ]; then
            exit $status
        fi
        echo "Xvfb did not start (attempt $attempt), retrying" >&2
        sleep 1
    done
fi

# --- on the X server ---------------------------------------------------------

program=$2
touch "$3"
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-e2e.XXXXXX")
began=$SECONDS
pid=""
wm=""
passed=0

say() { printf '[%3ds] %s\n' $((SECONDS - began)) "$*"; }

cleanup() {
    local p
    for p in $pid $wm; do
        if kill -0 "$p" 2>/dev/null; then
            kill "$p" 2>/dev/null
            for _ in 1 2 3 4 5 6 7 8 9 10; do
                kill -0 "$p" 2>/dev/null || break
                sleep 0.2
            done
            kill -9 "$p" 2>/dev/null
        fi
    done
    if [ "$passed" = 1 ] && [ -z "${TAVO_E2E_KEEP:-}" ]; then
        rm -rf "$work"
    else
        echo "kept for inspection: $work" >&2
    fi
}
trap cleanup EXIT
# A time-out of the test runner still takes the program down with it.
trap 'exit 143' TERM INT

fail() {
    echo "FAIL: $*" >&2
    import -silent -window root "$work/failure.png" 2>/dev/null
    if [ -s "$work/program.log" ]; then
        echo "--- program output:" >&2
        tail -n 40 "$work/program.log" >&2
    fi
    wmctrl -lpG >&2 2>/dev/null
    exit 1
}

# wait_until SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_until() {
    local t0=$SECONDS
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || fail "no $what within $limit s"
        sleep 0.1
    done
    say "  ($what: $((SECONDS - t0)) s)"
}

# activate WINDOW: gives it the keyboard focus through the window manager.
# (xdotool's --sync alone would wait for ever if the manager refused.)
activate() { timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || wmctrl -i -a "$1"; }

program_running() { kill -0 "$pid" 2>/dev/null; }
program_ended() { ! program_running; }

# The visible top-level window of the program with exactly this title.
window_titled() {
    xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null | head -n 1
}
has_window_titled() { [ -n "$(window_titled "$1")" ]; }
# A menu pops up as one more visible window of the program.
has_popup() { [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ]; }
no_window_titled() { [ -z "$(window_titled "$1")" ]; }

# Prints "X Y WIDTH HEIGHT" of a window's inside, in screen coordinates.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
        /^ *Width:/ {w = $2} /^ *Height:/ {h = $2} END {print x, y, w, h}'
}

# Maximised as the window manager sees it, and covering the whole screen
# together with the frame the manager draws around it.
is_maximised() {
    local state extents left right top bottom x y w h
    state=$(xprop -id "$1" _NET_WM_STATE)
    [[ $state == *_NET_WM_STATE_MAXIMIZED_VERT* && $state == *_NET_WM_STATE_MAXIMIZED_HORZ* ]] ||
        return 1
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ',')
    read -r left right top bottom <<<"${extents:-0 0 0 0}"
    read -r x y w h < <(geometry "$1")
    [ $((x - left)) -eq 0 ] && [ $((y - top)) -eq 0 ] &&
        [ $((w + left + right)) -eq $SCREEN_WIDTH ] && [ $((h + top + bottom)) -eq $SCREEN_HEIGHT ]
}

has_size() {
    local x y w h
    read -r x y w h < <(geometry "$1")
    [ "$w" -eq "$2" ] && [ "$h" -eq "$3" ]
}

# point_at X Y: moves the real pointer there. (xdotool's own --sync waits
# for a motion that never comes when the pointer is already in place.)
pointer_at() { [ "$(xdotool getmouselocation | sed 's/ screen.*//')" = "x:$1 y:$2" ]; }
point_at() {
    xdotool mousemove "$1" "$2"
    wait_until 5 "pointer at $1,$2" pointer_at "$1" "$2"
}

# capture REGION FILE: REGION is WIDTHxHEIGHT+X+Y on the screen.
capture() { import -silent -window root -crop "$1" +repage "png:$2"; }

same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }

# region_settles REGION FILE: captures until two captures in a row agree, so
# that nothing is caught half-painted.
region_settles() {
    local previous="${2%.png}-previous.png"
    capture "$1" "$previous" && sleep 0.1 && capture "$1" "$2" && same_picture "$previous" "$2"
}

region_matches() { capture "$1" "$work/now.png" && same_picture "$work/now.png" "$2"; }
region_differs() { capture "$1" "$work/now.png" && ! same_picture "$work/now.png" "$2"; }

# colour_box FILE COLOUR: prints "COUNT WIDTH HEIGHT X Y" of the pixels of
# exactly that colour; COUNT 0 when there are none.
colour_box() {
    local count box
    read -r count box < <(convert "$1" -fill black +opaque "$2" -fill white -opaque "$2" \
        -format '%[fx:round(mean.r*w*h)] %@\n' info: 2>/dev/null)
    [ "${count:-0}" -gt 0 ] || {
        echo "0 0 0 0 0"
        return
    }
    echo "$count $(tr 'x+' '  ' <<<"$box")"
}

# diff_box A B ROWS: prints "WIDTH HEIGHT X Y" of the pixels that differ in
# the top ROWS rows.
diff_box() {
    compare -metric AE "$1" "$2" -compose src -highlight-color white -lowlight-color black \
        "png:$work/diff.png" 2>/dev/null
    convert "$work/diff.png" -crop "x$3+0+0" +repage -format '%@\n' info: | tr 'x+' '  '
}

# --- the window appears, maximised, with the whole form ----------------------

say "window manager"
export HOME=$work XDG_CONFIG_HOME=$work/config
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_until 20 "window manager" wm_ready

say "start $program"
QT_QPA_PLATFORM=xcb "$program" >"$work/program.log" 2>&1 &
pid=$!
wait_until 30 "window titled TavoMain" has_window_titled TavoMain
main=$(window_titled TavoMain)
wait_until 10 "maximised window" is_maximised "$main"
read -r mx my mw mh < <(geometry "$main")
say "window $main maximised: ${mw}x${mh}+${mx}+${my}"
client="${mw}x${mh}+${mx}+${my}"

# Park the pointer over the empty picture pane, away from every control.
rest_x=$((mx + mw - 20))
rest_y=$((my + mh - 20))
point_at $rest_x $rest_y
wait_until 10 "settled window contents" region_settles "$client" "$work/form.png"

# Before a picture is opened only Open and the "Image File" title are in
# colour; the disabled panels paint all their texts gray. So the blue and the
# green pixels sit at the top of the left column, and the gray ones reach far
# into the picture panel.
read -r blue_n bw bh bx by < <(colour_box "$work/form.png" "$BLUE")
read -r green_n gw gh gx gy < <(colour_box "$work/form.png" "$GREEN")
read -r gray_n aw ah ax ay < <(colour_box "$work/form.png" "$DISABLED_GRAY")
say "Open text ${bw}x${bh}+${bx}+${by}, title ${gw}x${gh}+${gx}+${gy}, gray ${aw}x${ah}+${ax}+${ay}"
((blue_n >= 20)) || fail "the enabled Open button is not painted"
((bx + bw <= LEFT_COLUMN && by + bh <= mh / 3)) ||
    fail "blue text outside the Open button: the panels are not disabled"
((green_n >= 20 && gx + gw <= LEFT_COLUMN && gy + gh <= by)) ||
    fail "the \"Image File\" title is missing or a disabled title is green"
((gray_n >= 500 && ax + aw > mw / 2 && ay + ah > mh / 3)) ||
    fail "the disabled panels are not painted"

# --- hover: the pointer on Open raises it, off makes it flat again ----------

open_x=$((mx + bx + bw / 2))
open_y=$((my + by + bh / 2))
# The text and 30 pixels around it: enough for the raised frame.
rx=$((bx > 30 ? bx - 30 : 0))
ry=$((by > 30 ? by - 30 : 0))
around_open="$((bw + 60))x$((bh + 60))+$((mx + rx))+$((my + ry))"
capture "$around_open" "$work/open-flat.png"

say "pointer onto Open at $open_x,$open_y"
point_at $open_x $open_y
wait_until 5 "raised Open button" region_differs "$around_open" "$work/open-flat.png"
wait_until 5 "settled Open button" region_settles "$around_open" "$work/open-raised.png"
# A frame, not a changed text: what changed reaches beyond the text on the
# left, at the top and on the right. Only the rows above the pointer count,
# since the tooltip, when it is already up, opens below it. (The text starts
# at bx - rx, by - ry in the captured region.)
read -r dw dh dx dy < <(diff_box "$work/open-flat.png" "$work/open-raised.png" $((open_y - my - ry)))
((dx < bx - rx && dy < by - ry && dx + dw > bx - rx + bw)) ||
    fail "hovering changed ${dw}x${dh}+${dx}+${dy}, not a frame around the text"

say "raised: changes above the pointer ${dw}x${dh}+${dx}+${dy}"
say "pointer off Open"
point_at $rest_x $rest_y
wait_until 5 "flat Open button again" region_matches "$around_open" "$work/open-flat.png"

# --- restore and maximise again ----------------------------------------------

say "restore"
wmctrl -i -r "$main" -b remove,maximized_vert,maximized_horz
wait_until 10 "restored window of ${FORM_WIDTH}x${FORM_HEIGHT}" \
    has_size "$main" $FORM_WIDTH $FORM_HEIGHT
wmctrl -i -r "$main" -b add,maximized_vert,maximized_horz
wait_until 10 "maximised window again" is_maximised "$main"
point_at $rest_x $rest_y
wait_until 10 "window as first shown" region_matches "$client" "$work/form.png"

# --- every way of closing asks first; only Yes ends the program -------------

# answer_exit_question KEYS...: waits for the question, gives it the focus
# and types KEYS into it.
answer_exit_question() {
    wait_until 10 "\"Exit\" question" has_window_titled Exit
    local box
    box=$(window_titled Exit)
    activate "$box"
    xdotool key --delay 100 "$@"
}

expect_still_open() {
    wait_until 5 "\"Exit\" question gone" no_window_titled Exit
    sleep 0.5
    program_running || fail "the program ended although the question was not answered Yes"
    has_window_titled TavoMain || fail "the window closed although the question was not answered Yes"
    is_maximised "$main" || fail "the window is no longer maximised"
}

say "close from the frame (WM_DELETE_WINDOW), Escape"
wmctrl -i -c "$main"
answer_exit_question Escape
expect_still_open
point_at $rest_x $rest_y
wait_until 10 "window unchanged after Cancel" region_matches "$client" "$work/form.png"

say "File > Exit from the menu bar, Cancel"
activate "$main"
! has_popup || fail "another window of the program is up before the menu"
# "File" is the first entry of the menu bar along the window's top edge.
point_at $((mx + 15)) $((my + 10))
xdotool click 1
wait_until 5 "File menu" has_popup
# Open, Save, Exit.
xdotool key --delay 100 Down Down Down Return
# Tab moves from Yes, the default, to Cancel.
answer_exit_question Tab space
expect_still_open

say "the window manager's close shortcut, Yes"
activate "$main"
xdotool key alt+F4
answer_exit_question alt+y
wait_until 10 "end of the program" program_ended
wait "$pid"
status=$?
pid=""
[ $status -eq 0 ] || fail "the program ended with status $status"

passed=1
say "passed"
