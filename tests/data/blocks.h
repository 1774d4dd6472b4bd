// Parameter blocks of the tests' own, the way a client plug-in writes them.
#pragma once

#include "Quorlib.h"

#include <initializer_list>
#include <utility>

// A nested node with two leaves.
class SubBlock : public JDataNode {
 public:
  explicit SubBlock(int loading);
  JClassDescBase* GetCD() override;
};

// A block with a float "Gain" (default 1.5), a colour "Tint", a nested SubBlock "Sub", a hidden
// binary payload and a texture slot "Map". When extraChild is set its constructor adds a sixth
// child, an angle "Spin" with default 0.25: the same class in a later version.
class TestBlock : public JDataNode {
 public:
  enum { kGain, kTint, kSub, kPayload, kMap, kSpin };
  explicit TestBlock(int loading);
  JClassDescBase* GetCD() override;
  static bool extraChild;
  static int constructed;
};

extern const Class_ID kTestBlockID;
extern const Class_ID kSubBlockID;

// Leaves and nodes through the host, as a client creates them.
TestBlock* NewTestBlock();

// Sets keys {time, value} on a leaf with animation on, as a user sets them; answers the leaf.
JFloatData* SetKeys(JFloatData* f, std::initializer_list<std::pair<TimeValue, float>> keys);
