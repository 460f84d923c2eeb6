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
