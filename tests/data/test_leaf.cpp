// Leaf parameters: the class registry, values, keys, controllers, cloning.
#include "Recorder.h"
#include "TestSupport.h"
#include "blocks.h"

#include <gtest/gtest.h>

#include <vector>

using quortest::Held;

TEST(LeafClasses, RegistryOrderIdsDimensionsAndControllers) {
  struct Row {
    const char* name;
    JDataLeafBase* (*make)();
    ULONG a, b;
    ParamDimension* dim = nullptr;
    SClass_ID controllerSuper = 0;
  };
  Row rows[] = {
      {"JFloatData", [] { return (JDataLeafBase*)Create_JFloatData(); }, 0x55756B07, 0x16AD0D15, defaultDim, 0x9003},
      {"JWorldData", [] { return (JDataLeafBase*)Create_JWorldData(); }, 0x36193D67, 0x43815853, stdWorldDim, 0x9003},
      {"JAngleData", [] { return (JDataLeafBase*)Create_JAngleData(); }, 0x549C7750, 0x2FDB75B8, stdAngleDim, 0x9003},
      {"JColorData", [] { return (JDataLeafBase*)Create_JColorData(); }, 0x36CB2D8D, 0x40B60A9F, stdColor255Dim, 0x9003},
      {"JPercentData", [] { return (JDataLeafBase*)Create_JPercentData(); }, 0x611F0BCA, 0x78D42A43, stdPercentDim, 0x9003},
      {"JBoolData", [] { return (JDataLeafBase*)Create_JBoolData(); }, 0x5D656B80, 0x76F60770, defaultDim, 0x9003},
      {"JFloat3Data", [] { return (JDataLeafBase*)Create_JFloat3Data(); }, 0x54A03885, 0x45395460, defaultDim, 0x9005},
      {"JWorld3Data", [] { return (JDataLeafBase*)Create_JWorld3Data(); }, 0x7265232F, 0x215B736B, stdWorldDim, 0x9005},
      {"JColor3Data", [] { return (JDataLeafBase*)Create_JColor3Data(); }, 0x41BE1C7A, 0x6ED25117, stdColor255Dim, 0x9005},
      {"JPercent3Data", [] { return (JDataLeafBase*)Create_JPercent3Data(); }, 0x27A11519, 0x625449AB, stdPercentDim, 0x9005},
      // The classes after the leaves, made elsewhere.
      {"JBinaryData", nullptr, 0x2DC57967, 0x7A8D75AB},  {"JSubtex", nullptr, 0x6AE30B7D, 0x37903626},
      {"JFlagCtlData", nullptr, 0x181D5EE1, 0x69B06262}, {"JFlagSetData", nullptr, 0x15CA4601, 0x62E43DD1},
      {"JGradCtlData", nullptr, 0x26450C71, 0x6C00010D}, {"TVDummyControl", nullptr, 0x2A100BDF, 0x7ACF24D9},
  };
  auto libClassDesc = GetProcAddressAs<LibClassDescProc>(GetLibInstance(), "LibClassDesc");
  auto libNumberClasses = GetProcAddressAs<LibNumberClassesProc>(GetLibInstance(), "LibNumberClasses");
  EXPECT_GE(libNumberClasses(), 16) << "the sixteen classes, then any test program's own";
  for (int i = 0; i < 16; i++) {
    const Row& r = rows[i];
    ClassDesc* cd = libClassDesc(i);
    ASSERT_NE(cd, nullptr);
    EXPECT_STREQ(cd->ClassName(), r.name);
    EXPECT_TRUE(cd->ClassID() == Class_ID(r.a, r.b)) << r.name;
    EXPECT_EQ(cd->IsPublic(), 0);
    if (!r.make) continue;
    EXPECT_EQ(cd->SuperClassID(), 0x200u);
    Held<JDataLeafBase> leaf(r.make());
    ASSERT_NE(leaf.d, nullptr) << r.name;
    EXPECT_EQ(leaf->GetCD(), cd);
    EXPECT_EQ(leaf->GetParamDimension(0), r.dim) << r.name;
    ASSERT_NE(leaf->GetController(), nullptr);
    EXPECT_EQ(leaf->GetController()->SuperClassID(), r.controllerSuper) << r.name;
  }
  EXPECT_EQ(libClassDesc(15)->SuperClassID(), 0x9008u);
}

TEST(Leaf, LoadingLeavesHaveNoControllerAndKeepTheirValue) {
  quortest::AssertRecorder rec;
  Held<JFloatData> proto(Create_JFloatData());
  JLoading(1);
  Held<JFloatData> leaf(static_cast<JFloatData*>(static_cast<ReferenceTargetRTTI*>(proto->GetCD()->Create(0))));
  EXPECT_EQ(JLoading(-1), 0) << "creating consumed the loading flag";
  EXPECT_EQ(leaf->GetController(), nullptr);
  // Every controller call is guarded.
  EXPECT_EQ(leaf->NumSubs(), 0);
  EXPECT_EQ(leaf->NumKeys(), 0);
  EXPECT_EQ(leaf->GetKeyIndex(0), -1);
  EXPECT_EQ(leaf->GetKeyTime(0), 0);
  TimeValue nt = 7;
  EXPECT_FALSE(leaf->GetNextKeyTime(0, NEXTKEY_RIGHT, nt));
  EXPECT_FALSE(leaf->IsKeyAtTime(0, 0));
  leaf->SetValue(0, -3.0f);
  EXPECT_EQ(leaf->GetFValue(100), -3.0f);
  float v, peak;
  leaf->GetValueMax(0, v, peak);
  EXPECT_EQ(v, -3.0f);
  EXPECT_EQ(peak, -3.0f) << "without a controller the peak is not made absolute";
  // Null value pointers assert.
  Interval valid = FOREVER;
  proto->GetValue(nullptr, 0, valid, CTRL_ABSOLUTE);
  proto->SetValue(nullptr, 0, valid, CTRL_ABSOLUTE);
  EXPECT_TRUE(rec.Saw("JDATA", 668));
  EXPECT_TRUE(rec.Saw("JDATA", 744));
}

TEST(Leaf, ValueFormsAndSetValueGoThroughTheController) {
  Held<JFloatData> f(Create_JFloatData());
  f->SetValue(0, 1.9f);
  EXPECT_EQ(f->GetIValue(12345), 1);
  f->SetValue(0, -1.7f);
  EXPECT_EQ(f->GetIValue(0), -1);
  float v, peak;
  f->GetValue(0, v);
  EXPECT_EQ(v, -1.7f);
  f->GetValueMax(0, v, peak);
  EXPECT_EQ(v, -1.7f);
  EXPECT_EQ(peak, 1.7f) << "with a controller the peak is absolute";

  Held<JColor3Data> c(Create_JColor3Data());
  Point3 p(0.25f, 0.5f, 0.75f), back;
  c->SetValue(0, p);
  c->GetValue(0, back);
  EXPECT_TRUE(back == p);
  EXPECT_EQ(c->GetFValue(0), 0.25f) << "the float form reads the first component";

  Held<JBoolData> b(Create_JBoolData());
  b->SetValue(0, 5.0f);
  EXPECT_EQ(b->GetFValue(0), 1.0f) << "a flag";

  // SetValue reads back what the controller holds.
  Held<JFloat3Data> leaf3(Create_JFloat3Data());
  AnimateOn();
  Point3 low(1, 1, 1), high(3, 3, 3);
  leaf3->SetValue(0, low);
  leaf3->SetValue(100, high);
  AnimateOff();
  Point3 mid(10, 10, 10);
  leaf3->SetValue(50, mid);  // not animating: every key moves by the change at 50
  EXPECT_TRUE(mid == Point3(10, 10, 10));
  Point3 at0;
  leaf3->GetValue(0, at0);
  EXPECT_TRUE(at0 == Point3(9, 9, 9));
}

namespace {
// A staircase: from time 0 on, stair k (stair ticks from k * stair) holds the value k + 1;
// before time 0 the value is kBefore. It reports each stair as the validity of its value (all of
// time when stair is 0, which makes the value constant) and records the times it is asked for.
// A narrowing staircase narrows the caller's interval, as controllers do; the other one replaces
// it by its own, so that the interval's end can move forward.
class Staircase : public Control {
 public:
  static constexpr TimeValue kBefore = -50;
  Staircase(TimeValue stair, bool narrows) : stair(stair), narrows(narrows) {}
  void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod) override {
    asked.push_back(t);
    Interval own = FOREVER;
    float v = 1.0f;
    if (stair && t < 0) {
      own = Interval(TIME_NegInfinity, -1);
      v = (float)kBefore;
    } else if (stair) {
      TimeValue k = t / stair;
      own = Interval(k * stair, k * stair + stair - 1);
      v = (float)(k + 1);
    }
    *static_cast<float*>(val) = v;
    if (narrows)
      valid &= own;
    else
      valid = own;
  }
  const TimeValue stair;
  const bool narrows;
  std::vector<TimeValue> asked;
};

// A leaf animated with the default controller through the given keys.
JFloatData* Keyed(std::initializer_list<std::pair<TimeValue, float>> keys) { return SetKeys(Create_JFloatData(), keys); }
}  // namespace

// The peak is what one validity interval, narrowed by every evaluation, lets the walk from time
// 0 see: the value at t, then one evaluation per stretch until the interval's end stops moving.
TEST(Leaf, ValueMaxWalksTheValidityFromTimeZero) {
  const int F = GetTicksPerFrame();
  float v, peak;
  // Between two keys the value holds for one tick only: the walk samples time 0 (the first key)
  // and ends, and the second key's 5 is never reached.
  Held<JFloatData> rising(Keyed({{0, 1.0f}, {100 * F, 5.0f}}));
  rising->GetValueMax(50 * F, v, peak);
  EXPECT_FLOAT_EQ(v, 3.0f) << "half way along a curve with flat ends";
  EXPECT_FLOAT_EQ(peak, 3.0f);

  // From the last key on the value holds for ever: time 0 is sampled, and its magnitude counts.
  Held<JFloatData> falling(Keyed({{0, -7.0f}, {100 * F, 2.0f}}));
  falling->GetValueMax(100 * F, v, peak);
  EXPECT_FLOAT_EQ(v, 2.0f);
  EXPECT_FLOAT_EQ(peak, 7.0f) << "a magnitude";

  // A key before time 0 is not reached: the walk starts at 0.
  Held<JFloatData> early(Keyed({{-100 * F, -9.0f}, {100 * F, 2.0f}}));
  early->GetValueMax(100 * F, v, peak);
  EXPECT_FLOAT_EQ(v, 2.0f);
  EXPECT_FLOAT_EQ(peak, 3.5f) << "the value at 0, half way from -9 to 2";
}

TEST(Leaf, ValueMaxSamplesOncePerStretchOfValidity) {
  const TimeValue kStair = 100;
  float v, peak;
  // At 0 the first stair is valid up to 99; the walk goes on at 100, where the narrowed interval
  // becomes empty; one tick after the start of time the end stays put and the walk ends there,
  // without counting that last evaluation (its magnitude, 50, would be the peak).
  Staircase* stairs = new Staircase(kStair, true);
  Held<JFloatData> leaf(Create_JFloatData());
  leaf->AssignController(stairs, 0);
  leaf->GetValueMax(0, v, peak);
  EXPECT_EQ(v, 1.0f);
  EXPECT_EQ(peak, 2.0f) << "stair 1; stair 2 and later are not reached";
  std::vector<TimeValue> walk = {0, 0, kStair, TIME_NegInfinity + 1};
  EXPECT_EQ(stairs->asked, walk);

  // A value that never narrows the interval: its end is the end of time, after which comes the
  // start of time; there the end stays put.
  Staircase* flat = new Staircase(0, true);
  leaf->AssignController(flat, 0);
  leaf->GetValueMax(-5, v, peak);
  EXPECT_EQ(peak, 1.0f);
  walk = {-5, 0, TIME_NegInfinity};
  EXPECT_EQ(flat->asked, walk);

  // A controller that replaces the interval instead of narrowing it moves the end forward; the
  // walk would follow it round the end of time for ever. It stops after the first step forward.
  Staircase* replacing = new Staircase(kStair, false);
  leaf->AssignController(replacing, 0);
  leaf->GetValueMax(0, v, peak);
  EXPECT_EQ(peak, 2.0f);
  walk = {0, 0, kStair};
  EXPECT_EQ(replacing->asked, walk);
}

// A data object's name: none at first, a copy once set, an empty text is a name, null takes it
// away; the name is its sub-anim's name whatever the index.
TEST(Leaf, NamesStructureAndBypass) {
  Held<JFloatData> f(Create_JFloatData());
  EXPECT_EQ(f->GetName(), nullptr);
  char text[] = "Gain";
  f->SetName(text);
  text[0] = 'r';
  EXPECT_STREQ(f->GetName(), "Gain") << "the name is a copy";
  EXPECT_EQ(f->GetReference(0), f->GetController());
  EXPECT_EQ(f->GetReference(1), nullptr);
  EXPECT_EQ(f->NumSubs(), 1);
  EXPECT_EQ(f->SubAnim(0), f->GetController());
  EXPECT_EQ(f->SubAnim(1), nullptr);
  EXPECT_STREQ(f->SubAnimName(3), "Gain");
  f->SetBypassTree(1, nullptr);
  EXPECT_EQ(f->NumSubs(), 0);
  EXPECT_EQ(f->SubAnim(0), nullptr);
  f->SetName("");
  ASSERT_NE(f->GetName(), nullptr);
  EXPECT_STREQ(f->GetName(), "");
  f->SetName(nullptr);
  EXPECT_EQ(f->GetName(), nullptr);
}

TEST(Leaf, KeyOperationsForwardToTheController) {
  Held<JFloatData> f(Keyed({{0, 1.0f}, {160, 2.0f}}));
  EXPECT_EQ(f->NumKeys(), 2);
  EXPECT_EQ(f->GetKeyTime(1), 160);
  EXPECT_EQ(f->GetKeyIndex(160), 1);
  TimeValue nt = 0;
  EXPECT_TRUE(f->GetNextKeyTime(0, NEXTKEY_RIGHT, nt));
  EXPECT_EQ(nt, 160);
  EXPECT_TRUE(f->IsKeyAtTime(0, 0));
  f->CopyKeysFromTime(160, 320, 0);
  EXPECT_EQ(f->GetFValue(320), 2.0f);
  f->DeleteKeyAtTime(0);
  EXPECT_EQ(f->NumKeys(), 2);
  EXPECT_TRUE(f->IsAnimated());
}

TEST(Leaf, AssignControllerReplacesAndNotifiesTwice) {
  Held<JFloatData> f(Create_JFloatData());
  Control* fresh = NewDefaultFloatController();
  float seven = 7.0f;
  fresh->SetValue(0, &seven);
  long live = GetLiveRefTargetCount();
  EXPECT_TRUE(f->AssignController(fresh, 0));
  EXPECT_EQ(f->GetController(), fresh);
  EXPECT_EQ(GetLiveRefTargetCount(), live - 1) << "the old controller went with its last reference";
  EXPECT_EQ(f->GetFValue(0), 7.0f);
  auto& heard = f.owner->heard;
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard[heard.size() - 2].message, 0xFAu);
  EXPECT_EQ(heard[heard.size() - 2].part, 0u);
  EXPECT_EQ(heard.back().message, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(heard.back().part, (PartID)0x800037FF);
}

TEST(Leaf, CloneSharesTheDimensionAndClonesTheController) {
  Held<JAngleData> a(Create_JAngleData());
  a->SetName("Spin");
  a->SetBypassThis(1);
  a->SetValue(0, 0.5f);
  Held<JAngleData> copy(static_cast<JAngleData*>(a.d->Clone(NoRemap())));
  ASSERT_NE(copy.d, nullptr);
  EXPECT_STREQ(copy->GetName(), "Spin");
  EXPECT_EQ(copy->GetBypassThis(), 1);
  EXPECT_EQ(copy->GetParamDimension(0), stdAngleDim);
  ASSERT_NE(copy->GetController(), nullptr);
  EXPECT_NE(copy->GetController(), a->GetController());
  EXPECT_EQ(copy->GetFValue(0), 0.5f);
  // No stored value: with the controller gone the copy answers what it was never given.
  copy->AssignController(nullptr, 0);
  a->AssignController(nullptr, 0);
  EXPECT_EQ(a->GetFValue(0), 0.5f) << "the original kept its stored value";
  EXPECT_EQ(copy->GetFValue(0), 0.0f);
}
