#!/usr/bin/env bash
# Starts the game under the current X display, waits for its window,
# plays a list of steps on it with real key presses, and prints the game's
# exit status as "status=N" on the last line.
#   drive_game.sh BINARY WORKDIR 'STEP; STEP; ...' [game arguments...]
# Steps: key K | keydown K | keyup K | sleep SECONDS | shot FILE.png
# There is no window manager, so every key is sent to the game's window.
set -u
binary="$1"
workdir="$2"
steps="$3"
shift 3

cd "$workdir" || exit 2
"$binary" "$@" &
pid=$!

wid=""
for _ in $(seq 1 300); do
    if ! kill -0 "$pid" 2>/dev/null; then
        break
    fi
    # Several games may run at once on one display: find this one's window.
    # Only a mapped window: SDL first makes one that it replaces at once
    # with its OpenGL window, and a key sent there is lost.
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$wid" ] && break
    sleep 0.1
done

if [ -n "$wid" ]; then
    IFS=';' read -ra list <<<"$steps"
    for step in "${list[@]}"; do
        read -r verb arg <<<"$step"
        case "$verb" in
            key | keydown | keyup) xdotool "$verb" --window "$wid" "$arg" ;;
            sleep) sleep "$arg" ;;
            shot) import -window "$wid" "$arg" ;;
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
    kill -9 "$pid"
fi
wait "$pid"
echo "status=$?"
