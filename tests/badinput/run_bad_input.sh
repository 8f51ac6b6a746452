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

# Plays until the window shows (found by its process, so any title works), a few frames, then
# escape; expects exit code 0.
play() {
  start_game "$work" "$work/out.txt" "$build/kellvane"
  sleep 2
  close_game $game_pid "$game_win"
}
# Runs without a window to wait for; expects exit code 1.
run_failing() {
  (cd "$work" && timeout 60 "$build/kellvane" </dev/null >"$work/out.txt" 2>&1)
  local code=$?
  [ $code = 1 ] || fail "exit code $code, expected 1"
}
# The output holds each of these exact lines.
expect_lines() { for line in "$@"; do grep -qxF -- "$line" "$work/out.txt" || fail "no line: $line"; done; }
# Plays with this settings file and expects each given line.
play_settings() {
  printf "$1" >"$settings"
  shift
  play
  expect_lines "$@"
}
range() { echo "Settings: $1 = \"$2\" is outside $3; using $4 instead."; }
missing_settings="ERROR: Failed to load 'assets/settings.ini'. Using default values instead."
sky_lines=("ERROR::Skybox Textur konnte nicht geladen werden: " "assets/textures/cubemap3/negy.dds")

case "$case_name" in
  no_settings)
    play
    [ "$(grep -cxF "$missing_settings" "$work/out.txt")" = 1 ] || fail "the missing-file message is not there exactly once"
    ;;
  negative_sizes)
    play_settings '[window]\nwidth=-800\nheight=-1\n' \
      "$(range window.width -800 '1 to 8192' 800)" "$(range window.height -1 '1 to 8192' 800)"
    ;;
  zero_sizes)
    play_settings '[window]\nwidth=0\nheight=0\n' \
      "$(range window.width 0 '1 to 8192' 800)" "$(range window.height 0 '1 to 8192' 800)"
    ;;
  huge_sizes)
    play_settings '[window]\nwidth=1000000\nheight=99999999999999999999999\n' \
      "$(range window.width 1000000 '1 to 8192' 800)" "$(range window.height 99999999999999999999999 '1 to 8192' 800)"
    ;;
  refresh_rate_zero) play_settings '[window]\nrefresh_rate=0\n' "$(range window.refresh_rate 0 '1 to 1000' 60)" ;;
  fov_zero) play_settings '[camera]\nfov=0\n' "$(range camera.fov 0 '1 to 179' 60)" ;;
  fov_180) play_settings '[camera]\nfov=180\n' "$(range camera.fov 180 '1 to 179' 60)" ;;
  fov_abc) play_settings '[camera]\nfov=abc\n' 'Settings: camera.fov = "abc" is not a number; using 60 instead.' ;;
  brightness_negative)
    play_settings '[light]\nbrightness=-1\n' "$(range light.brightness -1 '0 to 3.40282e+38' 1)"
    ;;
  long_title)
    play_settings "[window]\ntitle=$(head -c 10000 /dev/zero | tr '\0' 'K')\n"
    ! grep -qF "Failed to load" "$work/out.txt" || fail "unexpected: Failed to load"
    ;;
  binary_garbage)
    # Reproducible noise behind a section header, then the start of the game's own binary.
    { printf '[window]\nwidth='
      LC_ALL=C awk 'BEGIN { srand(7); for (i = 0; i < 8192; i++) printf "%c", int(rand() * 255) + 1 }'
      head -c 4096 "$build/kellvane"; } >"$settings"
    play
    # Whatever it made of the noise, the messages are printable lines.
    ! LC_ALL=C grep -a '^Settings: ' "$work/out.txt" | LC_ALL=C grep -q '[^ -~]' || fail "a settings message holds unprintable bytes"
    ;;
  damaged_assets)
    # A truncated DDS, a zero-byte PNG, a garbage OBJ, a model without normals, a missing sky face.
    dds="$work/assets/textures/wood_texture.dds"
    head -c $(($(stat -c %s "$dds") / 2)) "$dds" >"$dds.part" && mv "$dds.part" "$dds"
    : >"$work/assets/textures/particle.png"
    head -c 3000 "$build/kellvane" >"$work/assets/objects/Diamond/diamond.obj"
    grep -v '^vn ' "$work/assets/objects/Skull/SkullV.obj" | sed -E 's#([0-9]+)/([0-9]+)/[0-9]+#\1/\2#g' \
      >"$work/skull.obj" && mv "$work/skull.obj" "$work/assets/objects/Skull/SkullV.obj"
    rm "$work/assets/textures/cubemap3/negy.dds"
    play_settings '[window]\ntitle=Damaged\n' "Texture failed to load at path: particle.png" "${sky_lines[@]}"
    grep -q '^ERROR::ASSIMP::' "$work/out.txt" || echo "note: the garbage model imported as an empty model"
    ;;
  asset_directories)
    # A DDS, a PNG, a model and a sky face that are folders: each reader's own refusal.
    for f in textures/wood_texture.dds textures/particle.png objects/Skull/SkullV.obj textures/cubemap3/negy.dds; do
      rm "$work/assets/$f" && mkdir "$work/assets/$f"
    done
    play_settings '[window]\ntitle=Folders\n' "Texture failed to load at path: particle.png" "${sky_lines[@]}"
    grep -q '^ERROR::ASSIMP::' "$work/out.txt" || fail "no model import message"
    ;;
  no_assets)
    rm -rf "$work/assets"
    run_failing
    expect_lines "$missing_settings"
    grep -q "Couldn't open shader file: assets/shader/texture.vert" "$work/out.txt" || fail "no shader message"
    ;;
  shader_stage_directory)
    # A stage path that opens but cannot be read: the shader reader's own message and exit 1.
    rm "$work/assets/shader/texture.vert" && mkdir "$work/assets/shader/texture.vert"
    run_failing
    expect_lines "Couldn't open shader file: assets/shader/texture.vert"
    ;;
  depth_stage_directory)
    # The depth programs' reader reports an unreadable stage and the game plays on without them.
    rm "$work/assets/shader/depthShader.frag" && mkdir "$work/assets/shader/depthShader.frag"
    play_settings '[window]\ntitle=Depth\n' "ERROR:: Shader konnte nicht geladen werden"
    ;;
  hud_files)
    # The HUD's glyph metrics damaged and a folder where the best runs go: one line each, and the
    # game plays on without text and without keeping its runs.
    printf 'atlas 512 256\nline 30 24\nglyph 65 1 2\n' >"$work/assets/textures/font.txt"
    mkdir "$work/best-runs.txt"
    play_settings '[window]\ntitle=Hud\n[play]\nhud=true\nbest_runs=true\n' \
      "Text: line 3 of the glyph atlas assets/textures/font.txt is not understood; nothing is written in the window." \
      "Best runs: best-runs.txt is a folder, not a file; the best runs are not kept this time."
    [ -d "$work/best-runs.txt" ] && [ -z "$(ls -A "$work/best-runs.txt")" ] || fail "the folder was touched"
    ;;
  settings_directory)
    # Told like a missing file, and the game starts on the defaults.
    mkdir "$settings"
    play
    expect_lines "$missing_settings"
    ;;
  *) fail "unknown case" ;;
esac
echo "bad input $case_name: passed"
