#pragma once
#include <string>
#include <vector>

// One finished run as the table keeps it.
struct BestRun {
  int score = 0;         // end score: points plus time bonus
  double seconds = 0.0;  // the run's clock at the finish, intro included
  int skulls = 0;
  int diamonds = 0;
  std::string date;  // UTC, YYYY-MM-DD
};

// The best finished runs, kept in one small text file: highest score first, a shorter time first
// among equal scores, the older run first among equal times. The file is always written whole to
// a temporary file beside it and renamed over it, so a crash or a full disk leaves the old table
// or the new one, never half of one. Problems print one line and the game plays on.
class BestRuns {
 public:
  static constexpr int kKept = 10;

  explicit BestRuns(std::string path = "best-runs.txt") : path(std::move(path)) {}

  // Reads the table. A missing file is an empty table, silently. A damaged one is moved aside
  // (path + ".damaged", or ".damaged-2" and on if that exists) and the table starts empty; a
  // folder or a file that cannot be read is left alone and the table is not kept this session.
  void load();
  // Takes in a finished run and writes the table. Returns the run's place, 1 to kKept, or 0 when
  // it is not among the best.
  int add(const BestRun& run);
  // The two halves of writing: the whole table into the temporary file, then the rename.
  bool writeTemporary();
  bool replaceWithTemporary();

  std::string path;
  std::vector<BestRun> runs;  // best first, at most kKept
  bool keeping = true;        // false once the file must not or cannot be written
  std::string temporaryPath() const { return path + ".tmp"; }

 private:
  void stopKeeping(const std::string& why);
};

// Today's date in UTC as YYYY-MM-DD.
std::string todayUtc();
