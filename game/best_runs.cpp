#include "game/best_runs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr int kMostPoints = 3 * 5 + 32 * 1;
constexpr int kMostBonus = 60;  // seconds of bonus at most

// Ahead in the table: more points, else less time.
bool ahead(const BestRun& a, const BestRun& b) {
  if (a.score != b.score) return a.score > b.score;
  return a.seconds < b.seconds;
}

bool validDate(const std::string& d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (d[i] < '0' || d[i] > '9') return false;
  return true;
}

// One table line: score, seconds, skulls, diamonds, date; nothing else on it.
bool parseRun(const std::string& line, BestRun& run) {
  std::istringstream in(line);
  std::string rest;
  if (!(in >> run.score >> run.seconds >> run.skulls >> run.diamonds >> run.date) || (in >> rest)) return false;
  return run.score >= 0 && run.score <= kMostPoints + kMostBonus && std::isfinite(run.seconds) && run.seconds >= 0.0 &&
         run.skulls >= 0 && run.skulls <= 3 && run.diamonds >= 0 && run.diamonds <= 32 && validDate(run.date);
}

std::string asideName(const std::string& path) {
  std::string name = path + ".damaged";
  std::error_code error;
  for (int n = 2; fs::exists(name, error) || fs::is_symlink(name, error); ++n)
    name = path + ".damaged-" + std::to_string(n);
  return name;
}

}  // namespace

std::string todayUtc() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return text;
}

void BestRuns::stopKeeping(const std::string& why) {
  std::cout << "Best runs: " << why << "; the best runs are not kept this time." << std::endl;
  keeping = false;
}

void BestRuns::load() {
  runs.clear();
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return;
  if (status.type() == fs::file_type::directory) return stopKeeping(path + " is a folder, not a file");
  std::ifstream in(path);
  if (error || !in) return stopKeeping("cannot read " + path);

  std::string line;
  int number = 0;
  bool damaged = false;
  while (!damaged && std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    BestRun run;
    damaged = !parseRun(line, run) || static_cast<int>(runs.size()) == kKept;
    if (!damaged) runs.push_back(run);
  }
  damaged = damaged || in.bad();
  for (size_t i = 1; !damaged && i < runs.size(); ++i) damaged = ahead(runs[i], runs[i - 1]);
  if (!damaged) return;

  runs.clear();
  const std::string aside = asideName(path);
  if (std::rename(path.c_str(), aside.c_str()) == 0) {
    std::cout << "Best runs: " << path << " is damaged (line " << number << "); it is kept as " << aside
              << " and the table starts empty." << std::endl;
  } else {
    stopKeeping(path + " is damaged (line " + std::to_string(number) + ") and cannot be moved aside (" +
                std::strerror(errno) + ")");
  }
}

int BestRuns::add(const BestRun& run) {
  size_t place = 0;
  while (place < runs.size() && !ahead(run, runs[place])) ++place;
  if (place >= static_cast<size_t>(kKept)) return 0;
  runs.insert(runs.begin() + place, run);
  if (runs.size() > static_cast<size_t>(kKept)) runs.resize(kKept);
  if (keeping && !(writeTemporary() && replaceWithTemporary())) {
    std::remove(temporaryPath().c_str());
  }
  return static_cast<int>(place) + 1;
}

bool BestRuns::writeTemporary() {
  const std::string temporary = temporaryPath();
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    stopKeeping("cannot write " + temporary + " (" + std::strerror(errno) + ")");
    return false;
  }
  std::ostringstream text;
  text << "# Kellvane best runs: score, seconds, skulls, diamonds, date (UTC)\n";
  for (const BestRun& r : runs) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", r.seconds);
    text << r.score << ' ' << seconds << ' ' << r.skulls << ' ' << r.diamonds << ' ' << r.date << '\n';
  }
  const std::string bytes = text.str();
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  // On the disk before the rename, so that the new name never points at a file still in flight.
  const bool complete = written == bytes.size() && ::fsync(fd) == 0;
  const int reason = errno;
  if (::close(fd) != 0 || !complete) {
    stopKeeping("cannot write " + temporary + " (" + std::strerror(complete ? errno : reason) + ")");
    return false;
  }
  return true;
}

bool BestRuns::replaceWithTemporary() {
  if (std::rename(temporaryPath().c_str(), path.c_str()) != 0) {
    stopKeeping("cannot replace " + path + " (" + std::strerror(errno) + ")");
    return false;
  }
  return true;
}
