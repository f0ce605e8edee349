#pragma once

// A point or direction in world space, in yards; z is the height.
struct Vector3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};
