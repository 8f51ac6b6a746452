#include "tools/bench/frame_stats.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const double rank = std::ceil(p / 100.0 * static_cast<double>(values.size()));
  const size_t index = static_cast<size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
  return values[index];
}

double median(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  const size_t n = sorted.size();
  return n % 2 ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + sorted[n / 2]);
}

double mean(const std::vector<double>& values) {
  if (values.empty()) return 0.0;
  double sum = 0.0;
  for (double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

double peakResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;  // kB
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
}

namespace {

std::vector<double> sumOf(const std::vector<double>& a, const std::vector<double>& b, const std::vector<double>& c) {
  std::vector<double> sum(a.size(), 0.0);
  for (size_t i = 0; i < sum.size(); ++i) sum[i] = a[i] + (i < b.size() ? b[i] : 0.0) + (i < c.size() ? c[i] : 0.0);
  return sum;
}

void row(std::ostream& out, const std::string& name, double everything, double optimised, int precision = 2) {
  out << "  " << std::left << std::setw(34) << name << std::right << std::fixed << std::setprecision(precision)
      << std::setw(14) << everything << std::setw(14) << optimised << "\n";
}

std::string number(double value, int precision = 3) {
  if (!std::isfinite(value)) return "null";
  std::ostringstream s;
  s << std::fixed << std::setprecision(precision) << value;
  return s.str();
}

}  // namespace

void printReport(std::ostream& out, const BenchReport& r) {
  const RunFigures& all = r.runs[0];
  const RunFigures& opt = r.runs[1];
  const double medianAll = median(all.frameMs), medianOpt = median(opt.frameMs);
  const double speedup = medianOpt > 0.0 ? medianAll / medianOpt : 0.0;
  const double fpsAll = mean(all.frameMs) > 0.0 ? 1000.0 / mean(all.frameMs) : 0.0;
  const double fpsOpt = mean(opt.frameMs) > 0.0 ? 1000.0 / mean(opt.frameMs) : 0.0;
  const double gameAll = median(sumOf(all.physicsMs, all.playerMs, all.rulesMs));
  const double gameOpt = median(sumOf(opt.physicsMs, opt.playerMs, opt.rulesMs));
  const bool identical = r.comparedFrames > 0 && r.identicalFrames == r.comparedFrames;

  out << "kellvane-bench (" << r.preset << " settings): " << r.frames << " frames per run at " << r.width << " x "
      << r.height << " (scene drawn at " << r.drawnWidth << " x " << r.drawnHeight << ")"
      << ", fixed step 1/60 s, along the autopilot's line (" << all.frameMs.size() << " and " << opt.frameMs.size()
      << " frames timed, read-back frames left out)\n";
  out << "  " << std::left << std::setw(34) << "figure" << std::right << std::setw(14) << "all drawn" << std::setw(14)
      << "optimised"
      << "\n";
  row(out, "frames per second", fpsAll, fpsOpt, 1);
  row(out, "frame ms, median", medianAll, medianOpt);
  row(out, "frame ms, 95th percentile", percentile(all.frameMs, 95), percentile(opt.frameMs, 95));
  for (size_t p = 0; p < r.passNames.size() && p < all.gpuMs.size() && p < opt.gpuMs.size(); ++p)
    row(out, "GPU ms " + r.passNames[p] + ", median", median(all.gpuMs[p]), median(opt.gpuMs[p]));
  for (size_t p = 0; p < r.passNames.size() && p < all.cpuMs.size() && p < opt.cpuMs.size(); ++p)
    row(out, "CPU ms issuing " + r.passNames[p], median(all.cpuMs[p]), median(opt.cpuMs[p]));
  row(out, "CPU ms swap and show, median", median(all.swapMs), median(opt.swapMs));
  row(out, "CPU ms stepPhysics, median", median(all.physicsMs), median(opt.physicsMs), 3);
  row(out, "CPU ms movePlayer, median", median(all.playerMs), median(opt.playerMs), 3);
  row(out, "CPU ms Level::update, median", median(all.rulesMs), median(opt.rulesMs), 3);
  row(out, "CPU ms game work, median", gameAll, gameOpt, 3);
  row(out, "draw calls per frame, median", median(all.drawCalls), median(opt.drawCalls), 0);
  row(out, "objects skipped per frame, median", median(all.skippedObjects), median(opt.skippedObjects), 0);
  const double pixels = static_cast<double>(r.width) * static_cast<double>(r.height);
  // Overdraw: how often the scene shades each pixel it draws, whatever the render scale.
  const double drawnPixels = static_cast<double>(r.drawnWidth) * static_cast<double>(r.drawnHeight);
  const double invocationsAll = r.countsInvocations ? median(all.sceneFsInvocations) : NAN;
  const double invocationsOpt = r.countsInvocations ? median(opt.sceneFsInvocations) : NAN;
  if (r.countsInvocations) {
    row(out, "scene fragment shader invocations per frame, median", invocationsAll, invocationsOpt, 0);
    // Per pixel of the window: how often the scene shades each pixel, overdraw and all.
    if (pixels > 0.0)
      row(out, "scene fragment shader invocations per pixel", invocationsAll / pixels, invocationsOpt / pixels);
    if (drawnPixels > 0.0)
      row(out, "scene fragment shader invocations per drawn pixel", invocationsAll / drawnPixels,
          invocationsOpt / drawnPixels);
  } else {
    out << "  scene fragment shader invocations per frame: not available (the driver has no "
           "ARB_pipeline_statistics_query)\n";
  }
  // Shaded: the fragments that pass the early depth test, a sample count divided by the samples.
  const double shadedAll = median(all.scenePassedSamples) / r.samples;
  const double shadedOpt = median(opt.scenePassedSamples) / r.samples;
  if (drawnPixels > 0.0)
    row(out, "scene fragments shaded per drawn pixel", shadedAll / drawnPixels, shadedOpt / drawnPixels);
  out << "  start-up to the first frame: " << number(r.startupSeconds, 2) << " s\n";
  out << "  peak resident memory: " << number(r.peakRssMb, 1) << " MiB\n";
  out << "  read-back frames identical: " << r.identicalFrames << " of " << r.comparedFrames << " (" << r.differingBytes
      << " bytes differ)\n";
  out << "  largest gap between the two runs' player positions: " << number(r.largestPathGap, 4) << " world units\n";
  out << "  speedup (all drawn / optimised, median frame): " << number(speedup, 2) << "\n";
  if (r.glError != 0) out << "  GL error flag at the end: 0x" << std::hex << r.glError << std::dec << "\n";

  out << "{\"preset\": \"" << r.preset << "\", \"fps\": " << number(fpsOpt, 2) << ", \"frame_ms_median\": " << number(medianOpt)
      << ", \"frame_ms_p95\": " << number(percentile(opt.frameMs, 95)) << ", \"speedup\": " << number(speedup)
      << ", \"identical\": " << (identical ? "true" : "false") << ", \"startup_s\": " << number(r.startupSeconds)
      << ", \"game_cpu_ms_median\": " << number(gameOpt, 4) << ", \"peak_rss_mb\": " << number(r.peakRssMb, 1)
      << ", \"all_drawn_fps\": " << number(fpsAll, 2) << ", \"all_drawn_frame_ms_median\": " << number(medianAll)
      << ", \"all_drawn_frame_ms_p95\": " << number(percentile(all.frameMs, 95))
      << ", \"all_drawn_game_cpu_ms_median\": " << number(gameAll, 4)
      << ", \"draw_calls_median\": " << number(median(opt.drawCalls), 0)
      << ", \"all_drawn_draw_calls_median\": " << number(median(all.drawCalls), 0) << ", \"frames\": " << r.frames
      << ", \"compared_frames\": " << r.comparedFrames << ", \"identical_frames\": " << r.identicalFrames
      << ", \"scene_fs_invocations_median\": " << number(invocationsOpt, 0)
      << ", \"all_drawn_scene_fs_invocations_median\": " << number(invocationsAll, 0)
      << ", \"scene_fs_invocations_per_pixel\": " << number(pixels > 0.0 ? invocationsOpt / pixels : NAN)
      << ", \"all_drawn_scene_fs_invocations_per_pixel\": " << number(pixels > 0.0 ? invocationsAll / pixels : NAN)
      << ", \"scene_fs_invocations_per_drawn_pixel\": "
      << number(drawnPixels > 0.0 ? invocationsOpt / drawnPixels : NAN)
      << ", \"scene_shaded_per_drawn_pixel\": " << number(drawnPixels > 0.0 ? shadedOpt / drawnPixels : NAN)
      << ", \"all_drawn_scene_shaded_per_drawn_pixel\": " << number(drawnPixels > 0.0 ? shadedAll / drawnPixels : NAN)
      << "}"
      << std::endl;
}
