#include "app/process_objects.h"

// Declaration order is construction order; destruction runs the other way round.
PhysicsWorld physicsWorld;
Level level;
