#pragma once
// The player's capsule controller; see player_controller.cpp.
class PlayerController {
 public:
  virtual ~PlayerController() = default;
};
