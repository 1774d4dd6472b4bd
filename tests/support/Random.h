// A small deterministic generator (xorshift), so that every run of a test sees the same data.
#pragma once

#include <stdint.h>

namespace quortest {

class Random {
 public:
  explicit Random(uint32_t seed) : s(seed ? seed : 1) {}
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int Below(int n) { return (int)(Next() % (uint32_t)n); }
  // Evenly over [0, 1).
  float Uniform() { return (float)(Next() >> 8) / 16777216.0f; }

 private:
  uint32_t s;
};

}  // namespace quortest
