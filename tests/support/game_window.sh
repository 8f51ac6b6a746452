# Sourced by the tests that run the real game binary under the current display. The game's window
# is found by the game's process, not by its title: other tests may show windows of the same name
# on this display at the same time. Each caller defines fail().

# Prints the window of process PID once it shows. Returns 1 if the process ended first (the caller
# says why, and may wait for it), 2 if no window showed within 120 s.
# usage: win=$(game_window PID)
game_window() {
  local pid=$1 win=""
  for _ in $(seq 1 240); do
    kill -0 "$pid" 2>/dev/null || return 1
    win=$(xdotool search --pid "$pid" 2>/dev/null | head -n 1)
    [ -n "$win" ] && { echo "$win"; return 0; }
    sleep 0.5
  done
  return 2
}

# Presses escape in window WIN and waits for process PID to end; fails unless it ends with code 0.
# OUTPUT, if given, is shown with a bad exit code.
# usage: close_game PID WIN [OUTPUT]
close_game() {
  local pid=$1 win=$2 output=${3:-/dev/null}
  xdotool key --window "$win" Escape
  for _ in $(seq 1 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "escape did not close the game"; }
  wait "$pid"
  local code=$?
  [ $code = 0 ] || fail "exit code $code; output: $(cat "$output")"
}

# Starts COMMAND... in folder DIR, stdin closed, its output in OUT, and waits for its window: sets
# game_pid and game_win. A busy X server now and then refuses a connection; that is the test
# machine, not the game, so such a start is tried again, four times in all.
# usage: start_game DIR OUT COMMAND...
start_game() {
  local dir=$1 out=$2 try code
  shift 2
  for try in 1 2 3 4; do
    (cd "$dir" && exec "$@" </dev/null >"$out" 2>&1) &
    game_pid=$!
    game_win=$(game_window $game_pid) && return 0
    [ $? = 2 ] && { kill $game_pid; fail "no window after 120 s; output: $(cat "$out")"; }
    wait $game_pid
    code=$?
    [ $try -lt 4 ] && grep -q "Failed to open display" "$out" && { sleep 3; continue; }
    fail "the game ended before its window showed (code $code): $(cat "$out")"
  done
}

# Fails unless the started game's window is titled TITLE and is GEOMETRY (WxH) in size.
# usage: expect_window TITLE GEOMETRY
expect_window() {
  local name size
  name=$(xdotool getwindowname "$game_win")
  size=$(xdotool getwindowgeometry "$game_win" | awk '/Geometry/{print $2}')
  [ "$name" = "$1" ] && [ "$size" = "$2" ] || { kill $game_pid; fail "the window is '$name', $size, expected '$1', $2"; }
}
