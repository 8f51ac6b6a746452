#include "app/settings.h"

#include <INIReader.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <type_traits>
#include <variant>
#include <vector>

#include "render/file_read.h"

namespace {

using Field = std::variant<int Settings::*, float Settings::*, bool Settings::*, std::string Settings::*>;

// One key of the file: where it lives, which field it fills and the numbers the game can run
// with (inclusive; ignored for yes/no and text keys). A key with choices takes only those words
// (for a number key: those numbers, written as the choice is).
struct SettingRow {
  const char* section;
  const char* key;
  Field field;
  double min;
  double max;
  std::vector<std::string> choices = {};
};

// Reading order. The widest window is 8192 pixels: beyond that no driver offers a viewport, and
// the shadow passes restore the viewport to the window's size every frame.
const SettingRow kRows[] = {
    {"window", "width", &Settings::width, 1, 8192},
    {"window", "height", &Settings::height, 1, 8192},
    {"window", "refresh_rate", &Settings::refreshRate, 1, 1000},  // the window hint takes positive rates only
    {"window", "fullscreen", &Settings::fullscreen, 0, 0},
    {"window", "title", &Settings::title, 0, 0},
    {"window", "debug", &Settings::debug, 0, 0},
    {"window", "debugCam", &Settings::debugCam, INT_MIN, INT_MAX},
    {"camera", "fov", &Settings::fov, 1, 179},  // degrees; 0 and 180 make a degenerate projection
    // Unused, but narrowed to float all the same: keep them inside the float range.
    {"camera", "near", &Settings::nearPlane, -FLT_MAX, FLT_MAX},
    {"camera", "far", &Settings::farPlane, -FLT_MAX, FLT_MAX},
    {"light", "brightness", &Settings::brightness, 0, FLT_MAX},
    {"light", "particles", &Settings::particles, 0, 0},
    {"play", "hud", &Settings::hud, 0, 0},
    {"play", "best_runs", &Settings::bestRuns, 0, 0},
    {"input", "gamepad", &Settings::gamepad, 0, 0},
    // The light preset's keys. Multisampling takes 0, 2 or 4 samples: more is what every driver
    // need not offer, and an odd count none does.
    {"window", "samples", &Settings::samples, 0, 4, {"0", "2", "4"}},
    // Below half the window's size the course's edges break up into blocks.
    {"window", "render_scale", &Settings::renderScale, 0.5, 1.0},
    {"light", "shadows", &Settings::shadows, 0, 0, {"all", "sun", "none"}},
};

// The value as it may appear in one console line: at most 40 characters, control and other
// non-printing bytes shown as '?'.
std::string printable(const std::string& raw) {
  std::string shown = raw.substr(0, 40);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  return raw.size() > 40 ? shown + "..." : shown;
}

void reportRejected(const SettingRow& row, const std::string& raw, const std::string& why, const std::string& dflt) {
  std::cout << "Settings: " << row.section << "." << row.key << " = \"" << printable(raw) << "\" " << why << "; using "
            << dflt << " instead." << std::endl;
}

template <typename T>
std::string text(T value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// The yes/no words the parser accepts, in either case.
bool isBooleanWord(const std::string& raw) {
  static const char* const kWords[] = {"true", "yes", "on", "1", "false", "no", "off", "0"};
  for (const char* word : kWords)
    if (strcasecmp(raw.c_str(), word) == 0) return true;
  return false;
}

void readRow(const INIReader& reader, const SettingRow& row, Settings& s) {
  if (!reader.HasValue(row.section, row.key)) return;  // the default stays, silently
  const std::string raw = reader.Get(row.section, row.key, "");
  std::visit(
      [&](auto member) {
        using T = std::remove_reference_t<decltype(s.*member)>;
        T& target = s.*member;
        if (!row.choices.empty()) {
          // The words must be written exactly; a number is compared as a number, so "04" is 4.
          bool chosen = false;
          for (const std::string& choice : row.choices) {
            if constexpr (std::is_same_v<T, std::string>) {
              chosen = chosen || raw == choice;
            } else {
              char* end = nullptr;
              const double value = std::strtod(raw.c_str(), &end);
              chosen = chosen || (end != raw.c_str() && *end == '\0' && value == std::strtod(choice.c_str(), nullptr));
            }
          }
          if (!chosen) {
            std::string list;
            for (size_t i = 0; i < row.choices.size(); ++i)
              list += (i == 0 ? "" : i + 1 == row.choices.size() ? " or " : ", ") + row.choices[i];
            reportRejected(row, raw, "is not " + list, text(target));
            return;
          }
        }
        if constexpr (std::is_same_v<T, std::string>) {
          target = raw;
        } else if constexpr (std::is_same_v<T, bool>) {
          if (!isBooleanWord(raw))
            reportRejected(row, raw, "is neither yes nor no", target ? "true" : "false");
          else
            target = reader.GetBoolean(row.section, row.key, target);
        } else {
          // The parser's own rule: a value counts when its start reads as a number.
          char* end = nullptr;
          errno = 0;
          const double value =
              std::is_same_v<T, int> ? double(std::strtol(raw.c_str(), &end, 0)) : std::strtod(raw.c_str(), &end);
          if (end == raw.c_str())
            reportRejected(row, raw, "is not a number", text(target));
          else if (errno == ERANGE || !(value >= row.min && value <= row.max))
            reportRejected(row, raw, "is outside " + text(row.min) + " to " + text(row.max), text(target));
          else
            target = static_cast<T>(value);
        }
      },
      row.field);
}

}  // namespace

Settings loadSettings(const std::string& path) {
  Settings s;
  INIReader reader(path);
  // The parser reads a folder as an empty file; it is as unusable as a missing one.
  if (reader.ParseError() < 0 || !fileReadable(path)) {
    std::cout << "ERROR: Failed to load '" << path << "'. Using default values instead." << std::endl;
    return s;
  }
  for (const SettingRow& row : kRows) readRow(reader, row, s);
  return s;
}
