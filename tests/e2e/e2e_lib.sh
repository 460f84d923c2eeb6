# Helpers of the end-to-end scripts, sourced by them (. "$(dirname "$0")/e2e_lib.sh").
# PID, when set, is the program under test: a failure ends it too.

fail() {
    echo "FAIL: $*"
    [ -n "${PID:-}" ] && kill "$PID" 2>/dev/null
    exit 1
}

# Waits up to 20 s for a file to appear (non-empty).
wait_for() {
    i=0
    while [ ! -s "$1" ]; do
        i=$((i + 1))
        [ $i -gt 200 ] && return 1
        sleep 0.1
    done
    return 0
}

# Differing pixels of two screenshots inside the geometry WxH+X+Y.
differ() {
    compare -metric AE -extract "$3" "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# Run from a script started as "SCRIPT PROGRAM WORKDIR": unless already
# inside, exits 77 (skipped) without xvfb-run or xdotool, else makes a fresh
# WORKDIR/root and starts the script again inside a virtual X server with
# "--inside" as its third argument.
run_inside_xvfb() {
    [ "${4:-}" = "--inside" ] && return 0
    if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v xdotool >/dev/null 2>&1; then
        echo "xvfb-run or xdotool is not installed: skipped"
        exit 77
    fi
    rm -rf "$3"
    mkdir -p "$3/root"
    exec xvfb-run -a -s "-screen 0 640x720x24" sh "$1" "$2" "$3" --inside
}

# Compares the screenshot WORK/SHOT.png with REFERENCE/PREFIX-SHOT.png inside
# GEOMETRY (default the 240x320 screen); a difference is reported and sets
# status=1. KESTRAVA_UPDATE_REFERENCE=1 rewrites the reference instead.
# Usage: check_reference SHOT PREFIX [GEOMETRY]
check_reference() {
    [ -s "$WORK/$1.png" ] || fail "no screenshot $1"
    if [ "${KESTRAVA_UPDATE_REFERENCE:-0}" = 1 ]; then
        cp "$WORK/$1.png" "$REFERENCE/$2-$1.png"
        return 0
    fi
    n=$(differ "$WORK/$1.png" "$REFERENCE/$2-$1.png" "${3:-240x320+0+0}")
    if [ "$n" != 0 ]; then
        echo "FAIL: $1 differs from the reference in $n pixels (kept: $WORK/$1.png)"
        status=1
    fi
}
