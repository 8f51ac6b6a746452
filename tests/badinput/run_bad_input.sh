#!/usr/bin/env bash
# Runs the real game binary on one kind of bad input, in a folder of its own with a copy of the
# built assets, under the current display; closes it with escape once its window is up.
# usage: run_bad_input.sh BUILD_DIR CASE
set -u
build=$(cd "$1" && pwd)
case_name=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL ($case_name): $*"; [ -f "$work/out.txt" ] && head -c 4000 "$work/out.txt"; exit 1; }
[ -n "${DISPLAY:-}" ] || fail "needs a display (run under xvfb-run)"
source "$(dirname "$0")/../support/game_window.sh"
cp -r "$build/assets" "$work/assets"
settings="$work/assets/settings.ini"
rm -f "$settings"

# Plays until the window shows, then presses escape; expects exit code 0. The game's window is
# found by its process id, so that any title works.
play() {
  local tries=${1:-4}
  rm -f "$work/out.txt"
  (cd "$work" && exec "$build/kellvane" </dev/null >"$work/out.txt" 2>&1) &
  local game=$! win
  win=$(game_window $game) || {
    [ $? = 2 ] && { kill $game; fail "no window after 120 s"; }
    wait $game
    local early=$?
    # A busy X server sometimes refuses a connection; that is the test machine, not the game.
    if [ "$tries" -gt 1 ] && grep -q "Failed to open display" "$work/out.txt"; then
      sleep 3
      play $((tries - 1))
      return
    fi
    fail "ended before its window showed, code $early"
  }
  sleep 2  # a few frames
  close_game $game "$win"
}
# The output holds this exact line.
expect_line() { grep -qxF -- "$1" "$work/out.txt" || fail "no line: $1"; }
expect_no() { ! grep -qF -- "$1" "$work/out.txt" || fail "unexpected: $1"; }
settings_message() { expect_line "Settings: $1"; }

case "$case_name" in
  no_settings)
    play
    [ "$(grep -cxF "ERROR: Failed to load 'assets/settings.ini'. Using default values instead." "$work/out.txt")" = 1 ] ||
      fail "the missing-file message is not there exactly once"
    ;;
  negative_sizes)
    printf '[window]\nwidth=-800\nheight=-1\n' >"$settings"
    play
    settings_message 'window.width = "-800" is outside 1 to 8192; using 800 instead.'
    settings_message 'window.height = "-1" is outside 1 to 8192; using 800 instead.'
    ;;
  zero_sizes)
    printf '[window]\nwidth=0\nheight=0\n' >"$settings"
    play
    settings_message 'window.width = "0" is outside 1 to 8192; using 800 instead.'
    settings_message 'window.height = "0" is outside 1 to 8192; using 800 instead.'
    ;;
  huge_sizes)
    printf '[window]\nwidth=1000000\nheight=99999999999999999999999\n' >"$settings"
    play
    settings_message 'window.width = "1000000" is outside 1 to 8192; using 800 instead.'
    settings_message 'window.height = "99999999999999999999999" is outside 1 to 8192; using 800 instead.'
    ;;
  refresh_rate_zero)
    printf '[window]\nrefresh_rate=0\n' >"$settings"
    play
    settings_message 'window.refresh_rate = "0" is outside 1 to 1000; using 60 instead.'
    ;;
  fov_zero | fov_180)
    value=${case_name#fov_}
    [ "$value" = zero ] && value=0
    printf '[camera]\nfov=%s\n' "$value" >"$settings"
    play
    settings_message "camera.fov = \"$value\" is outside 1 to 179; using 60 instead."
    ;;
  fov_abc)
    printf '[camera]\nfov=abc\n' >"$settings"
    play
    settings_message 'camera.fov = "abc" is not a number; using 60 instead.'
    ;;
  brightness_negative)
    printf '[light]\nbrightness=-1\n' >"$settings"
    play
    settings_message 'light.brightness = "-1" is outside 0 to 3.40282e+38; using 1 instead.'
    ;;
  long_title)
    printf '[window]\ntitle=%s\n' "$(head -c 10000 /dev/zero | tr '\0' 'K')" >"$settings"
    play
    expect_no "Failed to load"
    ;;
  binary_garbage)
    # Reproducible noise behind a section header, then the start of the game's own binary.
    { printf '[window]\nwidth='
      LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 8192; i++) printf "%c", int(rand() * 255) + 1 }'
      head -c 4096 "$build/kellvane"; } >"$settings"
    play
    # Whatever it made of the noise, the messages are printable lines.
    if LC_ALL=C grep -a '^Settings: ' "$work/out.txt" | LC_ALL=C grep -q '[^ -~]'; then
      fail "a settings message holds unprintable bytes"
    fi
    ;;
  damaged_assets)
    # A truncated DDS, a zero-byte PNG, a garbage OBJ, a model without normals, a missing sky face.
    printf '[window]\ntitle=Damaged\n' >"$settings"
    dds="$work/assets/textures/wood_texture.dds"
    head -c $(($(stat -c %s "$dds") / 2)) "$dds" >"$dds.part" && mv "$dds.part" "$dds"
    : >"$work/assets/textures/particle.png"
    head -c 3000 "$build/kellvane" >"$work/assets/objects/Diamond/diamond.obj"
    grep -v '^vn ' "$work/assets/objects/Skull/SkullV.obj" | sed -E 's#([0-9]+)/([0-9]+)/[0-9]+#\1/\2#g' \
      >"$work/skull.obj" && mv "$work/skull.obj" "$work/assets/objects/Skull/SkullV.obj"
    rm "$work/assets/textures/cubemap3/negy.dds"
    play
    expect_line "Texture failed to load at path: particle.png"
    expect_line "ERROR::Skybox Textur konnte nicht geladen werden: "
    expect_line "assets/textures/cubemap3/negy.dds"
    grep -q '^ERROR::ASSIMP::' "$work/out.txt" || echo "note: the garbage model imported as an empty model"
    ;;
  no_assets)
    rm -rf "$work/assets"
    (cd "$work" && timeout 60 "$build/kellvane" </dev/null >"$work/out.txt" 2>&1)
    code=$?
    [ $code = 1 ] || fail "exit code $code, expected 1"
    expect_line "ERROR: Failed to load 'assets/settings.ini'. Using default values instead."
    grep -q "Couldn't open shader file: assets/shader/texture.vert" "$work/out.txt" || fail "no shader message"
    ;;
  shader_stage_directory)
    # A stage path that opens but cannot be read: the shader reader's own message and exit 1.
    rm "$work/assets/shader/texture.vert" && mkdir "$work/assets/shader/texture.vert"
    (cd "$work" && timeout 60 "$build/kellvane" </dev/null >"$work/out.txt" 2>&1)
    code=$?
    [ $code = 1 ] || fail "exit code $code, expected 1"
    expect_line "Couldn't open shader file: assets/shader/texture.vert"
    ;;
  depth_stage_directory)
    # The depth programs' reader reports an unreadable stage and the game plays on without them.
    rm "$work/assets/shader/depthShader.frag" && mkdir "$work/assets/shader/depthShader.frag"
    printf '[window]\ntitle=Depth\n' >"$settings"
    play
    expect_line "ERROR:: Shader konnte nicht geladen werden"
    ;;
  hud_files)
    # The HUD's glyph metrics damaged and a folder where the best runs go: one line each, and the
    # game plays on without text and without keeping its runs.
    printf '[window]\ntitle=Hud\n[play]\nhud=true\nbest_runs=true\n' >"$settings"
    printf 'atlas 512 256\nline 30 24\nglyph 65 1 2\n' >"$work/assets/textures/font.txt"
    mkdir "$work/best-runs.txt"
    play
    expect_line "Text: line 3 of the glyph atlas assets/textures/font.txt is not understood; nothing is written in the window."
    expect_line "Best runs: best-runs.txt is a folder, not a file; the best runs are not kept this time."
    [ -d "$work/best-runs.txt" ] && [ -z "$(ls -A "$work/best-runs.txt")" ] || fail "the folder was touched"
    ;;
  asset_directories)
    # A DDS, a PNG, a model and a sky face that are folders: each reader's own refusal.
    printf '[window]\ntitle=Folders\n' >"$settings"
    for f in textures/wood_texture.dds textures/particle.png objects/Skull/SkullV.obj textures/cubemap3/negy.dds; do
      rm "$work/assets/$f" && mkdir "$work/assets/$f"
    done
    play
    expect_line "Texture failed to load at path: particle.png"
    expect_line "ERROR::Skybox Textur konnte nicht geladen werden: "
    expect_line "assets/textures/cubemap3/negy.dds"
    grep -q '^ERROR::ASSIMP::' "$work/out.txt" || fail "no model import message"
    ;;
  settings_directory)
    # Told like a missing file, and the game starts on the defaults.
    mkdir "$settings"
    play
    expect_line "ERROR: Failed to load 'assets/settings.ini'. Using default values instead."
    ;;
  *)
    fail "unknown case"
    ;;
esac
echo "bad input $case_name: passed"
