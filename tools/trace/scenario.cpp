#include "tools/trace/scenario.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <glm/gtc/quaternion.hpp>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "physics/physics_world.h"
#include "physics/player_controller.h"

using nlohmann::json;

namespace {

std::string member(const std::string& parent, const char* key) { return parent.empty() ? key : parent + "." + key; }
std::string element(const std::string& parent, size_t index) { return parent + "[" + std::to_string(index) + "]"; }

// Typed access to the parsed document. Every helper returns false after writing
// "FILE: FIELD: problem" once, so the first problem found is the one reported.
class FieldReader {
 public:
  FieldReader(const std::string& file, std::string* error) : file(file), error(error) {}

  bool fail(const std::string& field, const std::string& problem) {
    if (error) *error = file + ": " + (field.empty() ? "" : field + ": ") + problem;
    return false;
  }

  // A misspelt optional field would otherwise be ignored without a word.
  bool onlyKeys(const json& object, const std::string& field, std::initializer_list<const char*> keys) {
    for (auto it = object.begin(); it != object.end(); ++it) {
      bool known = false;
      for (const char* key : keys) known |= it.key() == key;
      if (!known) return fail(member(field, it.key().c_str()), "unknown field");
    }
    return true;
  }

  // The member, or nullptr; the first missing required member is reported.
  const json* find(const json& object, const std::string& parent, const char* key, bool required, bool* ok) {
    const auto it = object.find(key);
    if (it != object.end()) return &*it;
    if (required && *ok) *ok = fail(member(parent, key), "missing");
    return nullptr;
  }

  bool object(const json& value, const std::string& field) {
    return value.is_object() || fail(field, "must be an object");
  }

  bool number(const json& value, const std::string& field, double* out) {
    if (!value.is_number()) return fail(field, "must be a number");
    *out = value.get<double>();
    return std::isfinite(*out) || fail(field, "must be finite");
  }

  // The controller and the bodies work in float: a number beyond float's range is not finite there.
  bool number(const json& value, const std::string& field, float* out) {
    double d = 0.0;
    if (!number(value, field, &d)) return false;
    if (std::fabs(d) > FLT_MAX) return fail(field, "must be finite as a float");
    *out = static_cast<float>(d);
    return true;
  }

  bool integer(const json& value, const std::string& field, int minimum, int* out) {
    if (!value.is_number_integer()) return fail(field, "must be a whole number");
    const bool tooLarge =
        value.is_number_unsigned() ? value.get<std::uint64_t>() > INT_MAX : value.get<std::int64_t>() > INT_MAX;
    if (tooLarge) return fail(field, "is too large");
    const std::int64_t v = value.get<std::int64_t>();
    if (v < minimum) return fail(field, "must be at least " + std::to_string(minimum));
    *out = static_cast<int>(v);
    return true;
  }

  bool boolean(const json& value, const std::string& field, bool* out) {
    if (!value.is_boolean()) return fail(field, "must be true or false");
    *out = value.get<bool>();
    return true;
  }

  bool text(const json& value, const std::string& field, std::string* out) {
    if (!value.is_string()) return fail(field, "must be a string");
    *out = value.get<std::string>();
    return true;
  }

  template <typename Vec>
  bool vector(const json& value, const std::string& field, Vec* out) {
    constexpr int n = Vec::length();
    if (!value.is_array() || value.size() != static_cast<size_t>(n))
      return fail(field, "must be a list of " + std::to_string(n) + " numbers");
    for (int i = 0; i < n; ++i) {
      if (!number(value[i], element(field, i), &(*out)[i])) return false;
    }
    return true;
  }

  bool array(const json& value, const std::string& field) { return value.is_array() || fail(field, "must be a list"); }

 private:
  std::string file;
  std::string* error;
};

bool hasPositiveComponents(const glm::vec3& v) { return v.x > 0.0f && v.y > 0.0f && v.z > 0.0f; }

// The hull must enclose a volume: the physics world shrinks it by its margin, and a flat or empty
// set of points leaves nothing to collide with.
bool spansVolume(const std::vector<glm::vec3>& points) {
  if (points.size() < 4) return false;
  const glm::dvec3 a(points[0]);
  glm::dvec3 b = a;
  for (const glm::vec3& p : points) {
    if (glm::distance(glm::dvec3(p), a) > glm::distance(b, a)) b = p;
  }
  glm::dvec3 normal(0.0);
  for (const glm::vec3& p : points) {
    const glm::dvec3 n = glm::cross(b - a, glm::dvec3(p) - a);
    if (glm::length(n) > glm::length(normal)) normal = n;
  }
  const double scale = glm::length(b - a);
  if (glm::length(normal) <= 1e-9 * scale * scale) return false;
  normal = glm::normalize(normal);
  for (const glm::vec3& p : points) {
    if (std::fabs(glm::dot(glm::dvec3(p) - a, normal)) > 1e-6 * scale) return true;
  }
  return false;
}

bool readBody(FieldReader& r, const json& value, const std::string& field, ScenarioBody* body) {
  if (!r.object(value, field)) return false;
  bool ok = true;
  const json* kind = r.find(value, field, "kind", true, &ok);
  const json* shape = r.find(value, field, "shape", true, &ok);
  const json* position = r.find(value, field, "position", true, &ok);
  if (!ok) return false;

  std::string name;
  if (!r.text(*kind, member(field, "kind"), &name)) return false;
  if (name == "kinematic") {
    body->kind = ScenarioBody::Kind::kinematic;
  } else if (name == "dynamic") {
    body->kind = ScenarioBody::Kind::dynamic;
  } else if (name == "sliding") {
    body->kind = ScenarioBody::Kind::sliding;
  } else {
    return r.fail(member(field, "kind"), "unknown kind \"" + name + "\" (kinematic, dynamic or sliding)");
  }

  if (!r.text(*shape, member(field, "shape"), &name)) return false;
  if (name == "box") {
    body->shape = ScenarioBody::Shape::box;
    if (!r.onlyKeys(value, field, {"kind", "shape", "position", "velocity", "euler_deg", "size"})) return false;
    const json* size = r.find(value, field, "size", true, &ok);
    if (!ok || !r.vector(*size, member(field, "size"), &body->size)) return false;
    if (!hasPositiveComponents(body->size)) return r.fail(member(field, "size"), "must be larger than 0 on every axis");
  } else if (name == "sphere") {
    body->shape = ScenarioBody::Shape::sphere;
    if (!r.onlyKeys(value, field, {"kind", "shape", "position", "velocity", "euler_deg", "radius"})) return false;
    const json* radius = r.find(value, field, "radius", true, &ok);
    if (!ok || !r.number(*radius, member(field, "radius"), &body->radius)) return false;
    if (!(body->radius > 0.0f)) return r.fail(member(field, "radius"), "must be larger than 0");
  } else if (name == "hull") {
    body->shape = ScenarioBody::Shape::hull;
    if (!r.onlyKeys(value, field, {"kind", "shape", "position", "velocity", "euler_deg", "points"})) return false;
    const json* points = r.find(value, field, "points", true, &ok);
    const std::string pointsField = member(field, "points");
    if (!ok || !r.array(*points, pointsField)) return false;
    body->points.resize(points->size());
    for (size_t i = 0; i < points->size(); ++i) {
      if (!r.vector((*points)[i], element(pointsField, i), &body->points[i])) return false;
    }
    if (body->points.empty()) return r.fail(pointsField, "the hull has no points");
    if (!spansVolume(body->points)) return r.fail(pointsField, "the points do not enclose a volume");
    // The physics world's sliding bodies take only boxes and spheres.
    if (body->kind == ScenarioBody::Kind::sliding) return r.fail(member(field, "kind"), "a hull cannot be sliding");
  } else {
    return r.fail(member(field, "shape"), "unknown shape \"" + name + "\" (box, sphere or hull)");
  }

  if (!r.vector(*position, member(field, "position"), &body->position)) return false;
  if (const json* euler = r.find(value, field, "euler_deg", false, &ok)) {
    if (!r.vector(*euler, member(field, "euler_deg"), &body->eulerDeg)) return false;
  }
  if (const json* velocity = r.find(value, field, "velocity", false, &ok)) {
    if (!r.vector(*velocity, member(field, "velocity"), &body->velocity)) return false;
    body->hasVelocity = true;
  }
  return true;
}

bool readInput(FieldReader& r, const json& value, const std::string& field, ScenarioInput* input) {
  if (!r.object(value, field) || !r.onlyKeys(value, field, {"from", "axes", "jump"})) return false;
  bool ok = true;
  const json* from = r.find(value, field, "from", true, &ok);
  const json* axes = r.find(value, field, "axes", true, &ok);
  const json* jump = r.find(value, field, "jump", true, &ok);
  return ok && r.integer(*from, member(field, "from"), 0, &input->from) &&
         r.vector(*axes, member(field, "axes"), &input->axes) && r.boolean(*jump, member(field, "jump"), &input->jump);
}

bool readDrive(FieldReader& r, const json& value, const std::string& field, ScenarioDrive* drive) {
  if (!r.object(value, field) || !r.onlyKeys(value, field, {"body", "from", "velocity", "angular"})) return false;
  bool ok = true;
  const json* body = r.find(value, field, "body", true, &ok);
  const json* from = r.find(value, field, "from", true, &ok);
  const json* velocity = r.find(value, field, "velocity", true, &ok);
  const json* angular = r.find(value, field, "angular", true, &ok);
  return ok && r.integer(*body, member(field, "body"), 0, &drive->body) &&
         r.integer(*from, member(field, "from"), 0, &drive->from) &&
         r.vector(*velocity, member(field, "velocity"), &drive->velocity) &&
         r.vector(*angular, member(field, "angular"), &drive->angular);
}

bool readDocument(FieldReader& r, const json& doc, const std::string& path, Scenario* s) {
  if (!doc.is_object()) return r.fail("", "must hold one JSON object");
  if (!r.onlyKeys(doc, "", {"name", "dt", "frames", "start", "ground", "bodies", "inputs", "moveSpeed", "drive"}))
    return false;
  bool ok = true;
  const json* name = r.find(doc, "", "name", false, &ok);
  const json* dt = r.find(doc, "", "dt", true, &ok);
  const json* frames = r.find(doc, "", "frames", true, &ok);
  const json* start = r.find(doc, "", "start", true, &ok);
  const json* ground = r.find(doc, "", "ground", true, &ok);
  const json* bodies = r.find(doc, "", "bodies", true, &ok);
  const json* inputs = r.find(doc, "", "inputs", true, &ok);
  const json* moveSpeed = r.find(doc, "", "moveSpeed", true, &ok);
  const json* drive = r.find(doc, "", "drive", false, &ok);
  if (!ok) return false;

  if (name) {
    if (!r.text(*name, "name", &s->name)) return false;
  } else {
    // Unnamed scenarios go by their file name without folder and extension.
    const size_t slash = path.find_last_of('/');
    s->name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    s->name = s->name.substr(0, s->name.rfind(".json"));
  }
  if (!r.number(*dt, "dt", &s->dt)) return false;
  if (!(s->dt > 0.0f)) return r.fail("dt", "must be larger than 0");
  if (!r.integer(*frames, "frames", 0, &s->frames)) return false;
  if (!r.vector(*start, "start", &s->start)) return false;
  if (!r.boolean(*ground, "ground", &s->ground)) return false;
  // The physics world always has its ground plane; there is no world without it to run.
  if (!s->ground) return r.fail("ground", "scenarios without ground are not supported");
  if (!r.number(*moveSpeed, "moveSpeed", &s->moveSpeed)) return false;

  if (!r.array(*bodies, "bodies")) return false;
  s->bodies.resize(bodies->size());
  for (size_t i = 0; i < bodies->size(); ++i) {
    if (!readBody(r, (*bodies)[i], element("bodies", i), &s->bodies[i])) return false;
  }

  if (!r.array(*inputs, "inputs")) return false;
  s->inputs.resize(inputs->size());
  std::set<int> inputFrames;
  for (size_t i = 0; i < inputs->size(); ++i) {
    if (!readInput(r, (*inputs)[i], element("inputs", i), &s->inputs[i])) return false;
    // Two entries from one frame would leave that frame's keys to the order of the list.
    if (!inputFrames.insert(s->inputs[i].from).second)
      return r.fail(member(element("inputs", i), "from"), "another entry starts at the same frame");
  }

  s->drive.clear();
  if (drive) {
    if (!r.array(*drive, "drive")) return false;
    s->drive.resize(drive->size());
    for (size_t i = 0; i < drive->size(); ++i) {
      const std::string field = element("drive", i);
      if (!readDrive(r, (*drive)[i], field, &s->drive[i])) return false;
      if (static_cast<size_t>(s->drive[i].body) >= s->bodies.size())
        return r.fail(member(field, "body"), "no body " + std::to_string(s->drive[i].body) + " among " +
                                                 std::to_string(s->bodies.size()) + " bodies");
    }
  }
  return true;
}

CollisionShape collisionShape(const ScenarioBody& body) {
  if (body.shape == ScenarioBody::Shape::sphere) return CollisionShape::sphere(body.radius);
  return CollisionShape::box(body.size * 0.5f);
}

}  // namespace

bool readScenario(const std::string& path, Scenario* out, std::string* error) {
  FieldReader r(path, error);
  std::ifstream file(path, std::ios::binary);
  if (!file) return r.fail("", "cannot be opened");
  std::stringstream text;
  text << file.rdbuf();

  // The parser keeps the last of two equal keys; a scenario saying one thing twice is refused instead.
  std::vector<std::set<std::string>> keysPerObject;
  std::string duplicate;
  const json::parser_callback_t noteKeys = [&](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) keysPerObject.emplace_back();
    if (event == json::parse_event_t::object_end && !keysPerObject.empty()) keysPerObject.pop_back();
    if (event == json::parse_event_t::key && !keysPerObject.empty() && parsed.is_string() &&
        !keysPerObject.back().insert(parsed.get<std::string>()).second && duplicate.empty())
      duplicate = parsed.get<std::string>();
    return true;
  };
  json doc;
  try {
    doc = json::parse(text.str(), noteKeys);
  } catch (const json::exception& e) {
    return r.fail("", std::string("not a JSON document: ") + e.what());
  }
  if (!duplicate.empty()) return r.fail(duplicate, "given twice");

  Scenario scenario;
  try {
    if (!readDocument(r, doc, path, &scenario)) return false;
  } catch (const json::exception& e) {
    return r.fail("", e.what());
  }
  *out = std::move(scenario);
  return true;
}

std::vector<TraceRow> runScenario(const Scenario& s) {
  PhysicsWorld world;
  std::vector<RigidBody*> bodies;
  for (const ScenarioBody& b : s.bodies) {
    Pose pose;
    pose.position = b.position;
    pose.rotation = glm::quat(glm::radians(b.eulerDeg));
    RigidBody* body = nullptr;
    if (b.kind == ScenarioBody::Kind::sliding) {
      body = world.createSlidingBody(pose, collisionShape(b));
      if (b.hasVelocity) body->setLinearVelocity(b.velocity);
    } else {
      if (b.shape == ScenarioBody::Shape::hull) {
        // The hull creator takes no velocity; a dynamic hull is set going afterwards.
        body = world.cookConvexBody(pose, b.points);
        if (b.hasVelocity) body->setLinearVelocity(b.velocity);
      } else {
        body = world.createDynamicBody(pose, collisionShape(b), b.velocity);
      }
      if (b.kind == ScenarioBody::Kind::kinematic) body->setKinematic(true);
    }
    bodies.push_back(body);
  }

  PlayerControllerDesc desc;
  desc.position = s.start;
  createPlayerController(world, desc);
  // verticalVelocity (15) and lastCollisionFlags (none) keep the values the game starts with.
  world.moveSpeed = s.moveSpeed;

  std::vector<TraceRow> rows;
  for (int frame = 0; frame < s.frames; ++frame) {
    for (const ScenarioDrive& d : s.drive) {
      if (d.from > frame) continue;
      bodies[static_cast<size_t>(d.body)]->setLinearVelocity(d.velocity);
      bodies[static_cast<size_t>(d.body)]->setAngularVelocity(d.angular);
    }
    world.stepPhysics(s.dt);

    // Nothing is held before the first entry, as at the game's start.
    const ScenarioInput* held = nullptr;
    for (const ScenarioInput& in : s.inputs) {
      if (in.from <= frame && (!held || in.from > held->from)) held = &in;
    }
    const ScenarioInput none;
    if (!held) held = &none;
    moveAxes = glm::vec3(held->axes.x, 0.0f, held->axes.y);
    jumpHeld = held->jump;
    world.movePlayer(moveAxes, 0.0f, s.dt);

    TraceRow row;
    row.frame = frame;
    row.position = world.playerController->getPosition();
    row.flags = world.lastCollisionFlags;
    row.verticalVelocity = world.verticalVelocity;
    rows.push_back(row);
  }
  // The input globals belong to the game; leave them as nobody pressed anything.
  moveAxes = glm::vec3(0.0f);
  jumpHeld = false;
  return rows;
}

std::string formatTraceRow(const TraceRow& row) {
  const char* format = "%d %.10f %.10f %.10f %u %.7f\n";
  const double vv = row.verticalVelocity;
  const int length =
      std::snprintf(nullptr, 0, format, row.frame, row.position.x, row.position.y, row.position.z, row.flags, vv);
  if (length < 0) return std::string();
  std::string line(static_cast<size_t>(length) + 1, '\0');
  std::snprintf(&line[0], line.size(), format, row.frame, row.position.x, row.position.y, row.position.z, row.flags,
                vv);
  line.pop_back();
  return line;
}

bool readTrace(const std::string& path, std::vector<TraceRow>* out, std::string* error) {
  auto fail = [&](const std::string& problem) {
    if (error) *error = path + ": " + problem;
    return false;
  };
  std::ifstream file(path);
  if (!file) return fail("cannot be opened");
  std::vector<TraceRow> rows;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    std::istringstream fields(line);
    TraceRow row;
    std::string rest;
    if (!(fields >> row.frame >> row.position.x >> row.position.y >> row.position.z >> row.flags >>
          row.verticalVelocity) ||
        (fields >> rest))
      return fail("line " + std::to_string(number) + ": not \"frame x y z flags verticalVelocity\"");
    if (row.frame != static_cast<int>(rows.size()))
      return fail("line " + std::to_string(number) + ": frame " + std::to_string(row.frame) + " where frame " +
                  std::to_string(rows.size()) + " was due");
    rows.push_back(row);
  }
  // A folder opens like a file and then fails to read, as does a file the system cannot read.
  if (file.bad()) return fail("cannot be read");
  if (rows.empty()) return fail("holds no frames");
  *out = std::move(rows);
  return true;
}

bool TraceComparison::withinTolerance() const {
  return complete && comparedFrames > 0 && finalGap <= kTraceFinalTolerance && largestGap <= kTraceLargestTolerance;
}

TraceComparison compareTraces(const std::vector<TraceRow>& reference, const std::vector<TraceRow>& trace) {
  TraceComparison c;
  const size_t n = std::min(reference.size(), trace.size());
  c.comparedFrames = static_cast<int>(n);
  c.complete = trace.size() >= reference.size();
  if (n == 0) return c;
  int downAgree = 0;
  int sidesAgree = 0;
  for (size_t i = 0; i < n; ++i) {
    double gap = glm::distance(reference[i].position, trace[i].position);
    if (std::isnan(gap)) gap = std::numeric_limits<double>::infinity();
    if (c.largestGapFrame < 0 || gap > c.largestGap) {
      c.largestGap = gap;
      c.largestGapFrame = static_cast<int>(i);
    }
    c.finalGap = gap;
    downAgree += (reference[i].flags & kCollisionDown) == (trace[i].flags & kCollisionDown);
    sidesAgree += (reference[i].flags & kCollisionSides) == (trace[i].flags & kCollisionSides);
  }
  c.downFlagsAgree = static_cast<double>(downAgree) / static_cast<double>(n);
  c.sidesFlagsAgree = static_cast<double>(sidesAgree) / static_cast<double>(n);
  return c;
}
