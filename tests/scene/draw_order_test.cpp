#include "scene/draw_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

WorldBox cube(const glm::vec3& centre, float half) { return {centre - glm::vec3(half), centre + glm::vec3(half)}; }

bool near(const WorldBox& a, const WorldBox& b, float margin) {
  for (int axis = 0; axis < 3; ++axis)
    if (a.min[axis] > b.max[axis] + margin || b.min[axis] > a.max[axis] + margin) return false;
  return true;
}

}  // namespace

TEST(NearToFarOrder, SortsApartBoxesByDistanceAndKeepsTheGivenOrderOfBoxesThatCouldTie) {
  const struct {
    const char* what;
    std::vector<WorldBox> boxes;
    std::vector<int> expected;
  } cases[] = {
      {"apart, far to near", {cube({0, 0, 30}, 1), cube({0, 0, 20}, 1), cube({0, 0, 10}, 1)}, {2, 1, 0}},
      {"apart, equal distances keep their order",
       {cube({0, 0, 10}, 1), cube({10, 0, 0}, 1), cube({0, 0, 5}, 1)},
       {2, 0, 1}},
      // Touching (a box on a platform): the far one stays first, and the near one waits for it.
      {"touching", {cube({0, 0, 30}, 1), cube({0, 0, 10}, 1), cube({0, 0, 28}, 1)}, {1, 0, 2}},
      // 0.05 apart is within the margin: as good as touching.
      {"within the margin", {cube({0, 0, 30}, 1), cube({0, 0, 27.95f}, 1)}, {0, 1}},
      {"just past the margin", {cube({0, 0, 30}, 1), cube({0, 0, 27.8f}, 1)}, {1, 0}},
      // The eye inside a box: its distance is 0.
      {"eye inside", {cube({0, 0, 60}, 1), cube({0, 0, 0}, 20)}, {1, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(nearToFarOrder(c.boxes, glm::vec3(0.0f)), c.expected) << c.what;
}

// Random courses: every box drawn once, no two boxes that could tie swapped, and among boxes free
// to go the nearest goes first.
TEST(NearToFarOrder, RandomBoxesAreAPermutationThatNeverSwapsNeighbours) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> position(-40.0f, 40.0f), size(0.2f, 6.0f);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<WorldBox> boxes;
    for (int i = 0; i < 60; ++i) {
      const glm::vec3 centre(position(random), position(random) / 4.0f, position(random));
      const glm::vec3 half(size(random), size(random) / 2.0f, size(random));
      boxes.push_back({centre - half, centre + half});
    }
    const glm::vec3 eye(position(random), 5.0f, position(random));
    const std::vector<int> order = nearToFarOrder(boxes, eye);
    std::vector<int> place(boxes.size(), -1);
    for (size_t k = 0; k < order.size(); ++k) place.at(static_cast<size_t>(order[k])) = static_cast<int>(k);
    ASSERT_EQ(order.size(), boxes.size());
    ASSERT_EQ(std::count(place.begin(), place.end(), -1), 0) << "every box drawn once";
    int moved = 0;
    for (size_t i = 0; i < boxes.size(); ++i)
      for (size_t j = 0; j < i; ++j) {
        if (near(boxes[i], boxes[j], kTieMargin)) {
          EXPECT_LT(place[j], place[i]) << "trial " << trial;
        }
        moved += place[j] > place[i];
      }
    EXPECT_GT(moved, 0) << "trial " << trial << ": nothing reordered";
  }
}
