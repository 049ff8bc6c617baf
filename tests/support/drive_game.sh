#!/usr/bin/env bash
# Starts the game under the current X display, waits for its window,
# plays a list of steps on it with real key presses, and prints the game's
# exit status as "status=N" on the last line.
#   drive_game.sh BINARY WORKDIR 'STEP; STEP; ...' [game arguments...]
# Steps: key K | keydown K | keyup K | sleep SECONDS | shot FILE.png |
#        windowkill (the window's connection closed, as a window manager's
#        kill does) | signal NAME (sent to the program started, e.g. INT) |
#        mark FILE (prints "mark BYTES": FILE's size at that moment, e.g. how
#        much of a sound capture was written before the next key)
# There is no window manager, so every key is sent to the game's window.
# The program starts with default handling of SIGINT and SIGQUIT, as from
# a desktop, not ignoring them as a background job of a script would.
set -u
binary="$1"
workdir="$2"
steps="$3"
shift 3

cd "$workdir" || exit 2
(
    trap - INT QUIT
    exec "$binary" "$@"
) &
pid=$!

# The process and everything it started: a launcher may run the game as its
# child. Read from /proc, which needs no extra tools.
family() {
    local members=("$pid") found=1 stat line parent child
    while [ "$found" -eq 1 ]; do
        found=0
        for stat in /proc/[0-9]*/stat; do
            child="${stat#/proc/}"
            child="${child%/stat}"
            read -r line 2>/dev/null <"$stat" || continue
            # "PID (NAME) STATE PARENT ...": the name may hold spaces and ")".
            read -r _ parent _ <<<"${line##*) }"
            if [[ " ${members[*]} " == *" $parent "* ]] && [[ " ${members[*]} " != *" $child "* ]]; then
                members+=("$child")
                found=1
            fi
        done
    done
    echo "${members[@]}"
}

# Several games may run at once on one display, and SDL replaces its first
# window when it makes the GL one: take this process's (or its children's)
# viewable 800x600 window, and only once it has stayed the same for a moment.
find_window() {
    local w p
    for w in $(for p in $(family); do xdotool search --onlyvisible --pid "$p" 2>/dev/null; done); do
        if xwininfo -id "$w" 2>/dev/null | grep -q "Width: 800" &&
            xwininfo -id "$w" 2>/dev/null | grep -q "Map State: IsViewable"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

wid=""
for _ in $(seq 1 300); do
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    candidate=$(find_window)
    if [ -n "$candidate" ]; then
        sleep 0.3
        if [ "$(find_window)" = "$candidate" ]; then
            wid="$candidate"
            break
        fi
    fi
    sleep 0.1
done

if [ -n "$wid" ]; then
    IFS=';' read -ra list <<<"$steps"
    for step in "${list[@]}"; do
        read -r verb arg <<<"$step"
        case "$verb" in
            key | keydown | keyup)
                if ! xdotool "$verb" --window "$wid" "$arg" 2>/dev/null; then
                    # The window went away under us: find it again once.
                    wid=$(find_window) && xdotool "$verb" --window "$wid" "$arg"
                fi
                ;;
            sleep) sleep "$arg" ;;
            shot) import -window "$wid" "$arg" ;;
            windowkill) xdotool windowkill "$wid" ;;
            signal) kill -s "$arg" "$pid" ;;
            mark) echo "mark $(stat -c %s "$arg" 2>/dev/null || echo 0)" ;;
            "") ;;
            *) echo "unknown step: $step" >&2 ;;
        esac
    done
else
    echo "no game window appeared" >&2
fi

# The game must end by itself after the steps; give it a while, then stop it.
for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "the game did not end; killing it" >&2
    kill -9 $(family) 2>/dev/null
fi
wait "$pid"
echo "status=$?"
