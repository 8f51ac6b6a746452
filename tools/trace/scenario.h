#pragma once
#include <glm/glm.hpp>
#include <string>
#include <vector>

// A reference scenario of the character controller (tests/physics/controller-traces/README.md): a few
// bodies, the player's capsule and the keys held frame by frame. Lengths are world units, times
// seconds, velocities world units per second.

struct ScenarioBody {
  enum class Kind { kinematic, dynamic, sliding };
  enum class Shape { box, sphere, hull };
  Kind kind = Kind::kinematic;
  Shape shape = Shape::box;
  glm::vec3 size{1.0f};           // box: full size, not half extents
  float radius = 0.5f;            // sphere
  std::vector<glm::vec3> points;  // hull: body-local points whose convex hull is the body
  glm::vec3 eulerDeg{0.0f};       // degrees about x, y and z
  glm::vec3 position{0.0f};       // centre
  bool hasVelocity = false;       // sliding bodies and hulls are set going only when one is given
  glm::vec3 velocity{0.0f};
};

// The keys held from frame `from` until the next entry's frame.
struct ScenarioInput {
  int from = 0;
  glm::vec2 axes{0.0f};  // x and z of the game's moveAxes
  bool jump = false;
};

// Velocities set on a body on every frame from `from` on, before the physics step.
struct ScenarioDrive {
  int body = 0;  // index into Scenario::bodies
  int from = 0;
  glm::vec3 velocity{0.0f};
  glm::vec3 angular{0.0f};  // radians per second
};

struct Scenario {
  std::string name;
  float dt = 1.0f / 60.0f;
  int frames = 0;
  glm::dvec3 start{0.0};  // capsule centre; double like the controller's own position
  bool ground = true;     // the static plane y = 0
  std::vector<ScenarioBody> bodies;
  std::vector<ScenarioInput> inputs;
  float moveSpeed = 15.0f;
  std::vector<ScenarioDrive> drive;
};

// Reads a scenario file. Any missing, ill-typed or unusable field leaves *out untouched, writes one
// line "FILE: FIELD: problem" to *error and returns false; nothing is thrown.
bool readScenario(const std::string& path, Scenario* out, std::string* error);

// One frame of a trace: the capsule's centre after that frame's move, the CollisionFlag bits of the
// move and the player's vertical velocity after it.
struct TraceRow {
  int frame = 0;
  glm::dvec3 position{0.0};
  unsigned flags = 0;
  float verticalVelocity = 0.0f;
};

// Runs a scenario that readScenario accepted in a fresh world, in the game's frame order, and returns
// one row per frame.
std::vector<TraceRow> runScenario(const Scenario& scenario);

// "frame x y z flags verticalVelocity" with a line break, as the reference files print it.
std::string formatTraceRow(const TraceRow& row);

// Reads a trace in that format (a reference file or the trace tool's output); the frames must count
// up from 0 and there must be at least one. Returns false with "FILE: problem" in *error and *out
// untouched for a file that cannot be opened or read, or a line that is off.
bool readTrace(const std::string& path, std::vector<TraceRow>* out, std::string* error);

// How far a trace strays from the reference. The README's rule: the final position within 0.3 and no
// frame more than 1.5 away; a trace with fewer frames than the reference never passes.
struct TraceComparison {
  int comparedFrames = 0;   // frames present in both
  bool complete = false;    // the trace has every frame of the reference
  double largestGap = 0.0;  // world units; a position that is not a number counts as infinitely far
  int largestGapFrame = -1;
  double finalGap = 0.0;         // at the last compared frame
  double downFlagsAgree = 0.0;   // share of compared frames whose down bit (4) agrees, 0 to 1
  double sidesFlagsAgree = 0.0;  // the same for the sides bit (1)

  bool withinTolerance() const;
};

constexpr double kTraceFinalTolerance = 0.3;    // world units
constexpr double kTraceLargestTolerance = 1.5;  // world units

TraceComparison compareTraces(const std::vector<TraceRow>& reference, const std::vector<TraceRow>& trace);
