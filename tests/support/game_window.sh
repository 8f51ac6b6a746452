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
