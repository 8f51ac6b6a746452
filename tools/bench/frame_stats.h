#pragma once
#include <array>
#include <ostream>
#include <string>
#include <vector>

// Per-frame figures of one run, one value per timed frame.
struct RunFigures {
  std::vector<double> frameMs;
  std::vector<double> swapMs;  // from the swap call to the frame's end: resolve and hand-over to X
  std::vector<double> physicsMs, playerMs, rulesMs;
  std::vector<std::vector<double>> gpuMs;  // per pass
  std::vector<std::vector<double>> cpuMs;  // per pass
  std::vector<double> drawCalls;
  std::vector<double> skippedObjects;
  std::vector<double> sceneFsInvocations;  // empty where the driver cannot count them
  std::vector<double> scenePassedSamples;  // samples that passed the scene pass's depth test
};

// Both runs (0 everything drawn, 1 optimised) and the figures of the whole process.
struct BenchReport {
  int frames = 0;
  std::string preset = "default";        // the settings the run used: "default" or "light"
  int width = 0, height = 0;              // pixels of the window
  int samples = 1;  // per pixel of the scene's target (1 without multisampling)
  int drawnWidth = 0, drawnHeight = 0;    // pixels the scene is drawn at (smaller with render_scale)
  std::vector<std::string> passNames;
  std::array<RunFigures, 2> runs;
  double startupSeconds = 0.0;
  double peakRssMb = 0.0;
  int comparedFrames = 0;
  int identicalFrames = 0;
  long long differingBytes = 0;
  double largestPathGap = 0.0;  // world units between the two runs' player positions, frame by frame
  unsigned glError = 0;
  bool countsInvocations = false;  // the driver has pipeline statistics queries
};

// Nearest-rank percentile (0 to 100) of the values; 0 for none.
double percentile(std::vector<double> values, double p);
double median(const std::vector<double>& values);
double mean(const std::vector<double>& values);
// The process's peak resident memory in MiB (VmHWM, else the resource usage's maximum).
double peakResidentMegabytes();

// The table, then the JSON line as the very last line.
void printReport(std::ostream& out, const BenchReport& report);
