#!/usr/bin/env bash
# The installed game as a player gets it, from `cmake --install` into a staging folder (DESTDIR)
# and from `cpack -G DEB`. usage: run_install_test.sh BUILD_DIR CASE [CMAKE [CPACK]]
#   game      the kellvane command started from an unrelated folder under the current display: its
#             window, the HUD in it, no load failure, the player's settings copy and links, escape; then the player's
#             edited copy (width 640) in use after the installed tree has moved
#   launcher  the command's choices, without a display (the game then stops at once): where the
#             player's folder goes, a settings copy cut short or made by two starts at once, what
#             it refuses to overwrite or leaves alone, and the links it removes
#   tree      exactly the listed files, only the command and the program executable, the data as
#             built, the manual page, the changelog and the copyright file
#   desktop   the menu entry validates and names the installed command and icons
#   deb       the package's control fields, dependencies read from the binary, its files, and
#             lintian's verdict (no error, no warning) where lintian is installed
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

# The copyright file in Debian's machine-readable format, carrying LICENSE's text.
check_copyright() {
  local file=$1 line
  [ "$(head -n 1 "$file")" = "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
    fail "$file is not in the machine-readable format: $(head -n 1 "$file")"
  while read -r line; do
    [ -z "$line" ] || grep -qxF " $line" "$file" || fail "$file lacks LICENSE's line '$line'"
  done <"$here/../../LICENSE"
}

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
  # The launcher execs the game, so this is the game's process; its window is found by it.
  start_game "$away" "$tmp/out.txt" env XDG_DATA_HOME="$xdg" "$@"
  expect_window "$title" "$geometry"
  sleep 2  # a few frames
  # The HUD of the shipped settings: white letters in the top-left corner, where the course
  # itself has no white (the pictures of the start, the torches and the water have none there).
  # A slow build (the sanitizer run's) may not have drawn its first frame yet: look again for a
  # while before giving up.
  local white tries=0
  while :; do
    import -window "$game_win" "$tmp/shot.png" 2>/dev/null
    white=$(convert "$tmp/shot.png" -crop 180x110+16+16 +repage -colorspace Gray -threshold 92% -format '%[fx:mean]' info:)
    awk -v w="$white" 'BEGIN { exit !(w > 0.02) }' && break
    tries=$((tries + 1))
    [ $tries -lt 15 ] || { kill $game_pid; fail "no HUD in the top-left corner (white share $white)"; }
    sleep 2
  done
  close_game $game_pid "$game_win" "$tmp/out.txt"
  # The game's own words for a file it could not use, the settings reader's complaints, and those
  # of the HUD's glyph atlas and of the best-runs file in the player's folder.
  # A start that is to meet a damaged best-runs file names its one message in $allowed.
  if grep -nE "Texture failed to load|Couldn't open|konnte nicht|ERROR|Failed to|ASSIMP|Settings: |Text: |Best runs: " "$tmp/out.txt" |
    grep -vF -- "${allowed:-no line is allowed}"; then
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
  play Kellvane 800x800 "$prefix/games/kellvane"
  check_player_folder "$prefix/share/games/kellvane/assets"
  cmp -s "$user/settings.ini" "$prefix/share/games/kellvane/assets/settings.ini" || fail "the first settings copy is not the default"
  [ -z "$(ls -A "$away")" ] || fail "something was written where the game was started: $(ls -A "$away")"

  sed -i 's/^width = 800$/width = 640/' "$user/settings.ini"
  grep -qx 'width = 640' "$user/settings.ini" || fail "the default settings have no 'width = 800' line to change"
  # The same installation moved elsewhere and found on the PATH, as a reinstall would leave it.
  mv "$tmp/stage" "$tmp/moved stage"
  prefix="$tmp/moved stage/usr"
  play Kellvane 640x800 env PATH="$prefix/games:$PATH" kellvane
  grep -qx 'width = 640' "$user/settings.ini" || fail "the second start overwrote the player's settings"
  check_player_folder "$prefix/share/games/kellvane/assets"

  # The best runs live in the player's folder: a damaged table there is set aside there, once.
  printf 'not a table\n' >"$xdg/kellvane/best-runs.txt"
  allowed="is damaged (line 1); it is kept as" play Kellvane 640x800 "$prefix/games/kellvane"
  [ "$(grep -c "^Best runs: .*best-runs.txt is damaged" "$tmp/out.txt")" = 1 ] || fail "no one message for the damaged best runs"
  [ "$(cat "$xdg/kellvane/best-runs.txt.damaged")" = "not a table" ] || fail "the damaged best runs were not kept aside in the player's folder"
  [ -z "$(ls -A "$away")" ] || fail "something was written where the game was started: $(ls -A "$away")"
}

launcher_case() {
  stage
  # Spaces and backslashes in the path: the messages must show it as it is.
  local cmd="$tmp/stage/usr/games/kellvane" home="$tmp/home with space\\tand\\cbackslashes" code
  local installed="$tmp/stage/usr/share/games/kellvane/assets"
  mkdir -p "$home" "$tmp/cwd"
  user="$home/.local/share/kellvane/assets"
  # Without a display the game stops at once with this as its last line: seeing it means the
  # launcher got as far as starting the game.
  started() { [ "$(tail -n 1 "$tmp/out.txt")" = "ERROR: Failed to init GLFW" ]; }
  run() {
    (cd "$tmp/cwd" && exec env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" "$@" </dev/null >"$tmp/out.txt" 2>&1)
  }
  # What it will not run with: it stops with code 1 and a message, before the game starts.
  stops() {  # DESCRIPTION MESSAGE COMMAND...
    run "${@:3}"
    local code=$?
    [ $code = 1 ] && ! started && grep -qF -- "$2" "$tmp/out.txt" || fail "$1: code $code, output: $(cat "$tmp/out.txt")"
  }
  refuses() { stops "$1" "$2" env -u XDG_DATA_HOME "$cmd"; }

  # A copy of the settings cut short (here by a cp that fails half way, as on a full disk) leaves
  # no settings file behind to be kept as the player's: the next start copies them whole.
  mkdir "$tmp/short" && printf '#!/bin/sh\nhead -c 40 "$2" >"$3"\nexit 1\n' >"$tmp/short/cp" && chmod +x "$tmp/short/cp"
  run env -u XDG_DATA_HOME PATH="$tmp/short:$PATH" "$cmd"
  code=$?
  [ $code = 1 ] && ! started || fail "a failed copy: code $code, output: $(cat "$tmp/out.txt")"
  [ ! -e "$user/settings.ini" ] || fail "a copy cut short was left as the player's settings ($(wc -c <"$user/settings.ini") bytes)"

  run env -u XDG_DATA_HOME "$cmd"
  code=$?
  [ $code = 1 ] && started || fail "no XDG_DATA_HOME: code $code, output: $(cat "$tmp/out.txt")"
  check_player_folder "$installed"
  cmp -s "$user/settings.ini" "$installed/settings.ini" || fail "the settings copy is not the default"

  # Two starts at once into a fresh folder, on a slow disk (a cp that writes the first 40 bytes,
  # waits and then writes the rest): the second, started while the first copies, must not start
  # the game on half a file, and the folder ends up made once, whole.
  local xdg="$tmp/at once"
  mkdir "$tmp/slow" && printf '#!/bin/sh\nhead -c 40 "$2" >"$3"\nsleep 2\ncat "$2" >"$3"\n' >"$tmp/slow/cp" && chmod +x "$tmp/slow/cp"
  at_once() {
    (cd "$tmp/cwd" && exec env -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_HOME="$xdg" PATH="$tmp/slow:$PATH" "$cmd" \
      </dev/null >"$tmp/once$1.txt" 2>&1)
  }
  at_once 1 &
  local first=$!
  sleep 0.5
  at_once 2
  cmp -s "$xdg/kellvane/assets/settings.ini" "$installed/settings.ini" ||
    fail "the second of two starts at once ran the game on $(wc -c <"$xdg/kellvane/assets/settings.ini") bytes of settings"
  wait $first
  for i in 1 2; do
    [ "$(tail -n 1 "$tmp/once$i.txt")" = "ERROR: Failed to init GLFW" ] || fail "start $i of two at once: $(cat "$tmp/once$i.txt")"
  done
  (user="$xdg/kellvane/assets" && check_player_folder "$installed")
  cmp -s "$xdg/kellvane/assets/settings.ini" "$installed/settings.ini" || fail "two starts at once: the settings are not the default"
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

  # What it will not overwrite: the message names the path.
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
  stops "without the data" "not installed beside this command" "$tmp/alone/kellvane"
  stops "without HOME" "neither XDG_DATA_HOME nor HOME" env -u XDG_DATA_HOME -u HOME "$cmd"
  stops "a relative HOME" "HOME (relative home) is not an absolute path" env -u XDG_DATA_HOME HOME="relative home" "$cmd"
  [ -z "$(ls -A "$tmp/cwd")" ] || fail "a relative HOME: wrote $(ls -A "$tmp/cwd") where it started"

  # The player's own link in place of the installed data is kept and named; the game still starts.
  # Links this command made to data no longer installed (in this tree or an earlier one) go; the
  # player's own dangling link, their files, and the files the game keeps for them stay.
  rm -r "$user/textures" && mkdir "$tmp/my textures" && ln -s "$tmp/my textures" "$user/textures"
  ln -s "$installed/retired.png" "$user/retired.png"
  ln -s /opt/old/share/kellvane/assets/gone "$user/gone"
  ln -s "$tmp/nowhere" "$user/mine"
  touch "$user/notes.txt" "$user/../best-runs.txt"
  run env -u XDG_DATA_HOME "$cmd"
  started && grep -qF "$user/textures is a link of your own" "$tmp/out.txt" ||
    fail "the player's own link: $(cat "$tmp/out.txt")"
  [ "$(readlink "$user/textures")" = "$tmp/my textures" ] || fail "the player's own link now points to $(readlink "$user/textures")"
  [ ! -L "$user/retired.png" ] && [ ! -L "$user/gone" ] || fail "links to data no longer installed were kept: $(ls -A "$user")"
  [ -L "$user/mine" ] && [ -f "$user/notes.txt" ] && [ -f "$user/../best-runs.txt" ] ||
    fail "the player's own entries were touched: $(ls -A "$user" "$user/..")"
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
  [ "$execs" = "games/kellvane libexec/kellvane/kellvane " ] || fail "the executable files are: $execs"
  ! readelf -d "$tmp/stage/usr/libexec/kellvane/kellvane" | grep -E 'RPATH|RUNPATH' ||
    fail "the installed game looks for libraries in the folders above"
  # The data is the build's (the baker's files and the copied text files), byte for byte.
  local file
  while read -r file; do
    cmp -s "$tmp/stage/usr/share/games/kellvane/$file" "$build/$file" || fail "$file differs from the build's"
  done < <(cd "$tmp/stage/usr/share/games/kellvane" && find assets -type f)
  check_copyright "$tmp/stage/usr/share/doc/kellvane/copyright"
  local version
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
  zcat "$tmp/stage/usr/share/doc/kellvane/changelog.gz" | head -n 1 | grep -q "^kellvane ($version) " ||
    fail "the changelog's first entry is not version $version"
  zcat "$tmp/stage/usr/share/man/man6/kellvane.6.gz" | grep -q '^\.TH KELLVANE 6 ' || fail "no manual page in section 6"
}

desktop_case() {
  stage
  local entry="$tmp/stage/usr/share/applications/kellvane.desktop" out command icon found=0 picture size
  out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate has remarks: $out"
  grep -qx 'Categories=Game;ActionGame;' "$entry" || fail "not in the menu's game and action game categories"
  command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$tmp/stage/usr/games/$command" ] || fail "Exec names '$command', not an installed command"
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
  local game="$tmp/root/usr/libexec/kellvane/kellvane"
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
  echo "$listing" | grep -qE '^-rwxr-xr-x .* \./usr/games/kellvane$' || fail "the command is not executable in the package"
  file "$game" | grep -q ', stripped' || fail "the packed game is not stripped: $(file "$game")"
  check_copyright "$tmp/root/usr/share/doc/kellvane/copyright"

  # Debian's own checker, where it is installed (it is not among the build's dependencies).
  if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$deb" >"$tmp/lintian.txt" 2>&1
    local code=$?
    cat "$tmp/lintian.txt"
    [ $code = 0 ] && ! grep -qE '^[EW]: ' "$tmp/lintian.txt" || fail "lintian (code $code) has errors or warnings (above)"
  else
    echo "SKIP lintian: not installed (apt-get install lintian to run Debian's package checker here)"
  fi
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
