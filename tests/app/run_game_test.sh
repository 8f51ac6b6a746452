#!/usr/bin/env bash
# Runs the real game binary as a player would: without a display, and in a real window under the
# current display with and without a settings file. usage: run_game_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
source "$(dirname "$0")/../support/game_window.sh"
# The game reads assets/ from where it starts: give it a copy without the settings file.
cp -r "$build/assets" "$work/assets"
rm -f "$work/assets/settings.ini"

# No display: the window library's error, then the fatal message, exit 1, no wait for a key.
out=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$build/kellvane" </dev/null 2>&1)
code=$?
[ $code -eq 1 ] || fail "no display: exit code $code"
echo "$out" | grep -qE '^GLFW error [0-9]+: .+' || fail "no display: no window-library error line in: $out"
[ "$(echo "$out" | tail -n 1)" = "ERROR: Failed to init GLFW" ] || fail "no display: last line was: $(echo "$out" | tail -n 1)"

# A real window, its title and size checked, closed with escape.
[ -n "${DISPLAY:-}" ] || fail "needs a display for the window checks (run under xvfb-run)"
play() {  # TITLE GEOMETRY
  start_game "$work" "$work/out.txt" "$build/kellvane"
  expect_window "$1" "$2"
  sleep 1
  close_game $game_pid "$game_win" "$work/out.txt"
}
play Kellvane 800x800
count=$(grep -c "^ERROR: Failed to load 'assets/settings.ini'. Using default values instead.\$" "$work/out.txt")
[ "$count" = 1 ] || fail "settings message printed $count times: $(cat "$work/out.txt")"
printf '[window]\nwidth=640\nheight=480\ntitle=Foo\n' >"$work/assets/settings.ini"
play Foo 640x480
grep -q "Failed to load" "$work/out.txt" && fail "a good settings file was reported as missing"
echo "run_game_test: all checks passed"
