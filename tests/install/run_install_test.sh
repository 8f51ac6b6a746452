#!/usr/bin/env bash
# The installed game as a player gets it, from `cmake --install` into a staging folder (DESTDIR)
# and from `cpack -G DEB`. usage: run_install_test.sh BUILD_DIR CASE [CMAKE [CPACK]]
#   game      the kellvane command started from an unrelated folder under the current display: its
#             window, the HUD in it, no load failure, the player's settings copy and links, escape; then the player's
#             edited copy (width 640) in use after the installed tree has moved
#   launcher  the command's choices, without a display (the game then stops at once): where the
#             player's folder goes, and what it refuses to overwrite
#   tree      exactly the listed files, only the two programs executable, the data as built
#   desktop   the menu entry validates and names the installed command and icons
#   deb       the package's control fields, dependencies read from the binary, and its files
set -u
build=$(cd "$1" && pwd)
case_name=$2
cmake=${3:-cmake}
cpack=${4:-cpack}
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL ($case_name): $*"; exit 1; }
source "$here/../support/game_window.sh"
expected=$(grep -v '^#' "$here/installed-files.txt")

stage() {
  DESTDIR="$tmp/stage" "$cmake" --install "$build" --prefix /usr >"$tmp/install.txt" 2>&1 ||
    fail "cmake --install failed: $(cat "$tmp/install.txt")"
}

# Starts a command from $away with the player's data folder in $xdg, waits for the game's window,
# checks its title and size, and closes it with escape; expects exit code 0.
# usage: play TITLE GEOMETRY COMMAND...
play() {
  local title=$1 geometry=$2
  shift 2
  (cd "$away" && exec env XDG_DATA_HOME="$xdg" "$@" </dev/null >"$tmp/out.txt" 2>&1) &
  # The launcher execs the game, so this is the game's process; its window is found by it.
  local pid=$! win
  win=$(game_window $pid) || {
    [ $? = 1 ] && { wait $pid; fail "ended before its window showed (code $?): $(cat "$tmp/out.txt")"; }
    kill $pid; fail "no window after 120 s; output: $(cat "$tmp/out.txt")"
  }
  local name size
  name=$(xdotool getwindowname "$win")
  size=$(xdotool getwindowgeometry "$win" | awk '/Geometry/{print $2}')
  [ "$name" = "$title" ] || { kill $pid; fail "the window is titled '$name', expected '$title'"; }
  [ "$size" = "$geometry" ] || { kill $pid; fail "the window is $size, expected $geometry"; }
  sleep 2  # a few frames
  # The HUD of the shipped settings: white letters in the top-left corner, where the course
  # itself has no white (the pictures of the start, the torches and the water have none there).
  import -window "$win" "$tmp/shot.png" 2>/dev/null
  local white
  white=$(convert "$tmp/shot.png" -crop 180x110+16+16 +repage -colorspace Gray -threshold 92% -format '%[fx:mean]' info:)
  awk -v w="$white" 'BEGIN { exit !(w > 0.02) }' || { kill $pid; fail "no HUD in the top-left corner (white share $white)"; }
  close_game $pid "$win" "$tmp/out.txt"
  # The game's own words for a file it could not use, the settings reader's complaints, and those
  # of the HUD's glyph atlas and of the best-runs file in the player's folder.
  if grep -nE "Texture failed to load|Couldn't open|konnte nicht|ERROR|Failed to|ASSIMP|Settings: |Text: |Best runs: " "$tmp/out.txt"; then
    fail "the game reported a load failure (lines above)"
  fi
}

# The player's assets folder: the settings as a plain file of their own, every other entry a link
# to the installed one, nothing more.
check_player_folder() {
  local installed=$1 entry name
  [ -f "$user/settings.ini" ] && [ ! -L "$user/settings.ini" ] || fail "the player's settings.ini is not a plain file"
  [ -n "$(find "$user/settings.ini" -perm -u=w)" ] || fail "the player cannot write their settings.ini"
  for entry in "$installed"/*; do
    name=$(basename "$entry")
    [ "$name" = settings.ini ] && continue
    [ -L "$user/$name" ] || fail "$name in the player's folder is not a link"
    [ "$(readlink -f "$user/$name")" = "$(readlink -f "$entry")" ] ||
      fail "$name links to $(readlink "$user/$name"), not to $entry"
  done
  [ "$(cd "$user" && ls -A | LC_ALL=C sort | tr '\n' ' ')" = "$(cd "$installed" && ls -A | LC_ALL=C sort | tr '\n' ' ')" ] ||
    fail "the player's folder holds $(ls -A "$user"), the installed one $(ls -A "$installed")"
}

game_case() {
  [ -n "${DISPLAY:-}" ] || fail "needs a display (run under xvfb-run)"
  stage
  # Spaces in both paths: every path in the launcher must be quoted.
  xdg="$tmp/xdg data" away="$tmp/somewhere else" user="$tmp/xdg data/kellvane/assets"
  mkdir -p "$away"
  local prefix="$tmp/stage/usr"
  play Kellvane 800x800 "$prefix/bin/kellvane"
  check_player_folder "$prefix/share/kellvane/assets"
  cmp -s "$user/settings.ini" "$prefix/share/kellvane/assets/settings.ini" || fail "the first settings copy is not the default"
  [ -z "$(ls -A "$away")" ] || fail "something was written where the game was started: $(ls -A "$away")"

  sed -i 's/^width = 800$/width = 640/' "$user/settings.ini"
  grep -qx 'width = 640' "$user/settings.ini" || fail "the default settings have no 'width = 800' line to change"
  # The same installation moved elsewhere and found on the PATH, as a reinstall would leave it.
  mv "$tmp/stage" "$tmp/moved stage"
  prefix="$tmp/moved stage/usr"
  play Kellvane 640x800 env PATH="$prefix/bin:$PATH" kellvane
  grep -qx 'width = 640' "$user/settings.ini" || fail "the second start overwrote the player's settings"
  check_player_folder "$prefix/share/kellvane/assets"
}

launcher_case() {
  stage
  local cmd="$tmp/stage/usr/bin/kellvane" home="$tmp/home with space" code
  mkdir -p "$home" "$tmp/cwd"
  user="$home/.local/share/kellvane/assets"
  # Without a display the game stops at once with this as its last line: seeing it means the
  # launcher got as far as starting the game.
  started() { [ "$(tail -n 1 "$tmp/out.txt")" = "ERROR: Failed to init GLFW" ]; }
  run() {
    (cd "$tmp/cwd" && exec env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" "$@" </dev/null >"$tmp/out.txt" 2>&1)
  }

  run env -u XDG_DATA_HOME "$cmd"
  code=$?
  [ $code = 1 ] && started || fail "no XDG_DATA_HOME: code $code, output: $(cat "$tmp/out.txt")"
  check_player_folder "$tmp/stage/usr/share/kellvane/assets"
  # A relative XDG_DATA_HOME is to be ignored, as the XDG base directory rules say.
  run env XDG_DATA_HOME=relative "$cmd"
  started || fail "relative XDG_DATA_HOME: $(cat "$tmp/out.txt")"
  [ -z "$(ls -A "$tmp/cwd")" ] || fail "relative XDG_DATA_HOME: wrote $(ls -A "$tmp/cwd") where it started"
  # Started through a link from another folder, as a /usr/games link or a desktop shortcut would.
  mkdir "$tmp/links" && ln -s "$cmd" "$tmp/links/kellvane"
  run env -u XDG_DATA_HOME "$tmp/links/kellvane"
  started || fail "through a link: $(cat "$tmp/out.txt")"
  # The player's settings may be a link to a file of their own: kept as it is.
  printf '[window]\nwidth = 640\n' >"$tmp/mine.ini"
  rm "$user/settings.ini" && ln -s "$tmp/mine.ini" "$user/settings.ini"
  run env -u XDG_DATA_HOME "$cmd"
  started && [ "$(readlink "$user/settings.ini")" = "$tmp/mine.ini" ] && grep -q 640 "$tmp/mine.ini" ||
    fail "a link to the player's own settings was not kept: $(cat "$tmp/out.txt")"

  # What it will not overwrite: it stops with a message naming the path, before the game starts.
  refuses() {  # description, expected message
    run env -u XDG_DATA_HOME "$cmd"
    code=$?
    [ $code = 1 ] && ! started && grep -qF "$2" "$tmp/out.txt" || fail "$1: code $code, output: $(cat "$tmp/out.txt")"
  }
  rm "$user/settings.ini" && mkdir "$user/settings.ini"
  refuses "a folder as settings.ini" "$user/settings.ini is a folder"
  rmdir "$user/settings.ini" && ln -s "$tmp/gone.ini" "$user/settings.ini"
  refuses "a dangling settings link" "$user/settings.ini links to a file that is not there"
  [ -L "$user/settings.ini" ] || fail "the dangling settings link was removed"
  rm "$user/settings.ini" && cp "$tmp/mine.ini" "$user/settings.ini"
  rm "$user/textures" && mkdir "$user/textures" && touch "$user/textures/mine.dds"
  refuses "a folder of the player's in place of textures" "$user/textures is not a link"
  [ -f "$user/textures/mine.dds" ] || fail "the player's own folder was touched"
  cmp -s "$tmp/mine.ini" "$user/settings.ini" || fail "the player's settings were changed"

  mkdir "$tmp/alone" && cp "$cmd" "$tmp/alone/kellvane"
  run "$tmp/alone/kellvane"
  code=$?
  [ $code = 1 ] && grep -q "not installed beside this command" "$tmp/out.txt" ||
    fail "without the data: code $code, output: $(cat "$tmp/out.txt")"
  run env -u XDG_DATA_HOME -u HOME "$cmd"
  code=$?
  [ $code = 1 ] && grep -q "neither XDG_DATA_HOME nor HOME" "$tmp/out.txt" ||
    fail "without HOME: code $code, output: $(cat "$tmp/out.txt")"
}

tree_case() {
  stage
  local actual execs
  [ "$(ls -A "$tmp/stage")" = usr ] || fail "installed outside the prefix: $(ls -A "$tmp/stage")"
  actual=$(cd "$tmp/stage/usr" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
  [ "$actual" = "$expected" ] ||
    fail "the installed files are not the listed ones (< listed, > installed):
$(diff <(echo "$expected") <(echo "$actual"))"
  [ -z "$(find "$tmp/stage" -type d -empty)" ] || fail "empty folders: $(find "$tmp/stage" -type d -empty)"
  execs=$(cd "$tmp/stage/usr" && find . -type f -perm /111 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' ')
  [ "$execs" = "bin/kellvane share/kellvane/kellvane " ] || fail "the executable files are: $execs"
  ! readelf -d "$tmp/stage/usr/share/kellvane/kellvane" | grep -E 'RPATH|RUNPATH' ||
    fail "the installed game looks for libraries in the folders above"
  # The data is the build's (the baker's files and the copied text files), byte for byte.
  local file
  while read -r file; do
    cmp -s "$tmp/stage/usr/share/kellvane/$file" "$build/$file" || fail "$file differs from the build's"
  done < <(cd "$tmp/stage/usr/share/kellvane" && find assets -type f)
  cmp -s "$tmp/stage/usr/share/doc/kellvane/copyright" "$here/../../LICENSE" || fail "the copyright file is not LICENSE"
}

desktop_case() {
  stage
  local entry="$tmp/stage/usr/share/applications/kellvane.desktop" out command icon found=0 picture size
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
  grep -qx 'Categories=Game;ActionGame;' "$entry" || fail "not in the menu's game and action game categories"
  command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$tmp/stage/usr/bin/$command" ] || fail "Exec names '$command', not an installed command"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  for picture in "$tmp/stage/usr/share/icons/hicolor"/*/apps/"$icon".png; do
    [ -f "$picture" ] || break
    size=$(basename "$(dirname "$(dirname "$picture")")")
    # ImageMagick 6 calls an alpha channel "True", 7 "Blend".
    identify -format '%wx%h %A' "$picture" | grep -qxE "$size (True|Blend)" ||
      fail "$picture is $(identify -format '%wx%h %A' "$picture"), expected $size with alpha"
    found=$((found + 1))
  done
  [ $found -ge 1 ] && [ -f "$tmp/stage/usr/share/icons/hicolor/48x48/apps/$icon.png" ] ||
    fail "Icon names '$icon', installed at $found sizes (48x48 needed for menus)"
}

deb_case() {
  "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/deb" >"$tmp/cpack.txt" 2>&1 ||
    fail "cpack failed: $(tail -n 30 "$tmp/cpack.txt")"
  local debs=("$tmp/deb"/kellvane_*.deb)
  [ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "expected one kellvane_*.deb, found: $(ls "$tmp/deb")"
  local deb=${debs[0]} version depends description lib path owner p names listing files
  field() { dpkg-deb -f "$deb" "$1"; }
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  [ "$(field Package)" = kellvane ] || fail "Package: $(field Package)"
  [ -n "$version" ] && [ "$(field Version)" = "$version" ] || fail "Version: $(field Version), project $version"
  [ "$(basename "$deb")" = "kellvane_${version}_$(dpkg --print-architecture).deb" ] || fail "file name $(basename "$deb")"
  [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
  [ "$(field Section)" = games ] || fail "Section: $(field Section)"
  field Maintainer | grep -qE '^[^<]+ <[^>]+@[^>]+>$' || fail "Maintainer: $(field Maintainer)"
  description=$(field Description)
  [ -n "$(echo "$description" | head -n 1)" ] && [ "$(echo "$description" | wc -l)" -ge 3 ] ||
    fail "no summary line and long description: $description"
  [ "$(echo "$description" | awk 'length > 80' | wc -l)" = 0 ] || fail "description lines over 80 characters: $description"

  depends=$(field Depends)
  [ -n "$depends" ] || fail "no Depends"
  ! echo "$depends" | grep -q -- '-dev' || fail "Depends names a development package: $depends"
  # Every library the game links must come from a package the .deb depends on: here, the package
  # that holds it on this machine.
  names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/[[:space:]]//g; s/:any$//')
  dpkg-deb -x "$deb" "$tmp/root"
  local game="$tmp/root/usr/share/kellvane/kellvane"
  for lib in $(readelf -d "$game" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(ldd "$game" | awk -v l="$lib" '$1 == l {print $3}')
    [ -n "$path" ] || fail "$lib is not found on this machine"
    owner=""
    for p in "$path" "/usr$path" "${path#/usr}"; do
      owner=$(dpkg -S "$p" 2>/dev/null) && break
    done
    owner=${owner%%:*}
    [ -n "$owner" ] || fail "no package holds $path"
    echo "$names" | grep -qxF "$owner" || fail "$lib comes from $owner, which Depends does not name: $depends"
  done

  listing=$(dpkg-deb -c "$deb")
  ! echo "$listing" | awk '{print $2}' | grep -vqx 'root/root' || fail "files not owned by root: $listing"
  files=$(echo "$listing" | grep -v '^d' | awk '{print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)
  [ "$files" = "$expected" ] || fail "the package's files are not the listed ones (< listed, > packed):
$(diff <(echo "$expected") <(echo "$files"))"
  echo "$listing" | grep -qE '^-rwxr-xr-x .* \./usr/bin/kellvane$' || fail "the command is not executable in the package"
  file "$game" | grep -q ', stripped' || fail "the packed game is not stripped: $(file "$game")"
  cmp -s "$tmp/root/usr/share/doc/kellvane/copyright" "$here/../../LICENSE" || fail "the copyright file is not LICENSE"
}

case "$case_name" in
  game) game_case ;;
  launcher) launcher_case ;;
  tree) tree_case ;;
  desktop) desktop_case ;;
  deb) deb_case ;;
  *) fail "unknown case" ;;
esac
echo "run_install_test $case_name: all checks passed"
