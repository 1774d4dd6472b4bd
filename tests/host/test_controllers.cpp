// Keyframe controllers: values, interpolation, validity, key operations, saving.
#include "MemStream.h"
#include "things.h"

#include <gtest/gtest.h>

#include <math.h>

#include <atomic>
#include <initializer_list>
#include <utility>

namespace {

// Holds a controller through a reference, as a parameter would, and hears its notifications.
struct Owner {
  explicit Owner(Control* c) : thing(new Thing(1)) { thing->MakeRefByID(FOREVER, 0, c); }
  ~Owner() {
    AnimateOff();
    thing->DeleteMe();
  }
  Control* c() { return static_cast<Control*>(thing->GetReference(0)); }
  float At(TimeValue t, Interval* validOut = nullptr) {
    float v = -99;
    Interval valid = FOREVER;
    c()->GetValue(t, &v, valid);
    if (validOut) *validOut = valid;
    return v;
  }
  // Expects value v at time t, valid over exactly the interval given.
  void Expect(TimeValue t, float v, Interval valid) {
    Interval got;
    EXPECT_EQ(At(t, &got), v) << t;
    EXPECT_TRUE(got == valid) << t << ": " << got.Start() << ".." << got.End();
  }
  void Set(TimeValue t, float v, GetSetMethod m = CTRL_ABSOLUTE) { c()->SetValue(t, &v, 1, m); }
  // Sets each (time, value) in animate mode, in the order given.
  void Keys(std::initializer_list<std::pair<TimeValue, float>> keys) {
    AnimateOn();
    for (const auto& k : keys) Set(k.first, k.second);
    AnimateOff();
  }
  Thing* thing;
};

const int F = 160;  // ticks per frame
// Ease In Out: a spline over these knots.
float easeKnots[6] = {0, 0, 0.4f, 0.6f, 1, 1};
float EaseInOut(float u) { return spline(u, 6, easeKnots); }

}  // namespace

TEST(Controller, WithoutKeysTakesTheValueAtEveryTimeAndNotifiesOnlyChanges) {
  Owner o(NewDefaultFloatController());
  o.Set(500, 4.0f);
  o.Expect(-100000, 4.0f, FOREVER);
  o.Expect(99999, 4.0f, FOREVER);
  EXPECT_EQ(o.c()->NumKeys(), 0);
  float v = 1.0f;
  Interval valid = FOREVER;
  o.c()->GetValue(0, &v, valid, CTRL_RELATIVE);
  EXPECT_EQ(v, 5.0f) << "a relative get adds to the value passed in";

  ASSERT_FALSE(o.thing->heard.empty());
  EXPECT_EQ(o.thing->heard.back().first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(o.thing->heard.back().second, o.c());
  size_t heard = o.thing->heard.size();
  o.Set(0, 4.0f);
  EXPECT_EQ(o.thing->heard.size(), heard) << "setting the same value tells nobody";
}

TEST(Controller, InterpolationChangesLikeTheKeysAndCanBeUndone) {
  Owner o(NewDefaultFloatController());
  o.Keys({{0, 0.0f}, {10 * F, 10.0f}, {100 * F, 11.0f}});
  float smooth = o.At(40 * F);
  size_t heard = o.thing->heard.size();
  theHold.Begin();
  EXPECT_EQ(SetControllerInterpolation(o.c(), KEY_INTERP_LINEAR), 1);
  EXPECT_FLOAT_EQ(o.At(40 * F), 10.0f + 30.0f / 90.0f);
  EXPECT_NE(o.At(40 * F), smooth);
  ASSERT_GT(o.thing->heard.size(), heard);
  EXPECT_EQ(o.thing->heard.back().first, (RefMessage)REFMSG_CHANGE);
  theHold.Cancel();
  EXPECT_EQ(o.At(40 * F), smooth) << "the cancelled hold restored the interpolation";
  heard = o.thing->heard.size();
  EXPECT_EQ(SetControllerInterpolation(o.c(), KEY_INTERP_SMOOTH), 1);
  EXPECT_EQ(o.thing->heard.size(), heard) << "no change, no notification";
}

TEST(Controller, AnimateModeSetsKeysAndOtherwiseEveryKeyShifts) {
  Owner o(NewDefaultFloatController());
  SetControllerInterpolation(o.c(), KEY_INTERP_LINEAR);
  o.Keys({{0, 0.0f}, {10 * F, 10.0f}, {10 * F, 20.0f}});  // the last sets the existing key
  EXPECT_EQ(o.c()->NumKeys(), 2);
  EXPECT_FLOAT_EQ(o.At(5 * F), 10.0f);
  EXPECT_FLOAT_EQ(o.At(2 * F), 4.0f);
  // Out of animate mode a set moves every key by the change at that time.
  o.Set(10 * F, 22.0f);
  EXPECT_EQ(o.c()->NumKeys(), 2);
  EXPECT_EQ(o.At(0), 2.0f);
  EXPECT_EQ(o.At(10 * F), 22.0f);
  o.Set(0, 1.0f, CTRL_RELATIVE);
  EXPECT_EQ(o.At(0), 3.0f);
  EXPECT_EQ(o.At(10 * F), 23.0f);
}

TEST(Controller, SmoothInterpolationEasesThroughFlatEndsAndIsValidAnInstantBetweenKeys) {
  Owner o(NewDefaultFloatController());
  o.Keys({{100, 0.0f}, {200, 10.0f}});
  o.Expect(50, 0.0f, Interval(TIME_NegInfinity, 100));
  o.Expect(300, 10.0f, Interval(200, TIME_PosInfinity));
  o.Expect(150, 5.0f, Interval(150, 150));
  EXPECT_LT(o.At(110), 1.0f) << "starts slower than a straight line";
  EXPECT_GT(o.At(190), 9.0f);
  for (TimeValue t = 105; t <= 200; t += 5) EXPECT_GE(o.At(t), o.At(t - 5)) << t;
  // The interval passed in is narrowed, never widened.
  float x;
  Interval narrow(120, 130);
  o.c()->GetValue(50, &x, narrow);
  EXPECT_TRUE(narrow.Empty());
}

TEST(Controller, BooleansStepFromKeyToKey) {
  Owner o(NewDefaultBoolController());
  o.Keys({{0, 1.0f}, {100, 0.0f}, {200, 5.0f}});  // any non-zero value is on
  o.Expect(-50, 1.0f, Interval(TIME_NegInfinity, 99));
  o.Expect(99, 1.0f, Interval(TIME_NegInfinity, 99));
  o.Expect(100, 0.0f, Interval(100, 199));
  o.Expect(1000, 1.0f, Interval(200, TIME_PosInfinity));
  EXPECT_EQ(SetControllerInterpolation(o.c(), KEY_INTERP_SMOOTH), 0);
}

TEST(Controller, KeyOperations) {
  Owner o(NewDefaultFloatController());
  o.Keys({{300, 3.0f}, {100, 1.0f}, {200, 2.0f}});
  Control* c = o.c();
  ASSERT_EQ(c->NumKeys(), 3);
  EXPECT_EQ(c->GetKeyTime(0), 100);
  EXPECT_EQ(c->GetKeyTime(2), 300);
  EXPECT_EQ(c->GetKeyTime(3), 0);
  EXPECT_EQ(c->GetKeyIndex(200), 1);
  EXPECT_EQ(c->GetKeyIndex(250), -1);
  TimeValue nt = 0;
  EXPECT_TRUE(c->GetNextKeyTime(100, NEXTKEY_RIGHT, nt));
  EXPECT_EQ(nt, 200);
  EXPECT_TRUE(c->GetNextKeyTime(250, NEXTKEY_LEFT, nt));
  EXPECT_EQ(nt, 200);
  EXPECT_FALSE(c->GetNextKeyTime(300, NEXTKEY_RIGHT, nt));
  EXPECT_TRUE(c->IsKeyAtTime(300, 0));
  EXPECT_FALSE(c->IsKeyAtTime(301, 0));
  c->CopyKeysFromTime(200, 400, 0);
  EXPECT_EQ(c->NumKeys(), 4);
  EXPECT_EQ(o.At(400), 2.0f);
  c->DeleteKeyAtTime(200);
  c->DeleteKeyAtTime(999);
  EXPECT_EQ(c->NumKeys(), 3);
  EXPECT_TRUE(c->IsAnimated());
  // Deleting the last key keeps its value.
  for (TimeValue t : {100, 400, 300}) c->DeleteKeyAtTime(t);
  EXPECT_EQ(c->NumKeys(), 0);
  EXPECT_EQ(o.At(0), 3.0f);
}

// What a spinner asks to draw its key brackets: whether there is a key exactly at the time it
// shows, for every kind of controller, and again after the key is undone and redone.
TEST(Controller, KeyIndexAnswersForEveryKindAndFollowsUndo) {
  theHold.ClearHistory();
  const float kValue[3] = {1.0f, 0.5f, 0.25f};
  for (Control* made : {NewDefaultFloatController(), NewDefaultPoint3Controller(), NewDefaultColorController(),
                        NewDefaultBoolController()}) {
    Owner o(made);
    CStr kind;
    o.c()->GetClassName(kind);
    SCOPED_TRACE(kind.data());
    float v[3] = {kValue[0], kValue[1], kValue[2]};
    AnimateOn();
    o.c()->SetValue(4 * F, v);
    theHold.Begin();
    o.c()->SetValue(2 * F, v);  // before the first key: the indices after it move up
    theHold.Accept("Set Key");
    AnimateOff();
    EXPECT_EQ(o.c()->GetKeyIndex(2 * F), 0);
    EXPECT_EQ(o.c()->GetKeyIndex(4 * F), 1);
    EXPECT_EQ(o.c()->GetKeyIndex(2 * F + 1), -1) << "only exactly at a key";
    EXPECT_TRUE(o.c()->IsKeyAtTime(2 * F, 0));
    ASSERT_TRUE(theHold.Undo());
    EXPECT_EQ(o.c()->GetKeyIndex(2 * F), -1);
    EXPECT_FALSE(o.c()->IsKeyAtTime(2 * F, 0));
    EXPECT_EQ(o.c()->GetKeyIndex(4 * F), 0);
    ASSERT_TRUE(theHold.Redo());
    EXPECT_EQ(o.c()->GetKeyIndex(4 * F), 1);
    theHold.ClearHistory();
  }
}

TEST(Controller, PointAndColourKeysInterpolateCloneAndRoundTrip) {
  for (Control* made : {NewDefaultPoint3Controller(), NewDefaultColorController()}) {
    Owner o(made);
    SCOPED_TRACE(made->ClassID().PartB());
    SetControllerInterpolation(made, KEY_INTERP_LINEAR);
    AnimateOn();
    Point3 a(0, 1, 2), b(10, 11, 12.5f);
    made->SetValue(-320, &a);
    made->SetValue(480, &b);
    AnimateOff();
    Point3 p;
    Interval valid = FOREVER;
    made->GetValue(80, &p, valid);
    EXPECT_TRUE(p == Point3(5, 6, 7.25f)) << "three components, linearly";

    quortest::MemSave s;
    s.BeginChunk(9);
    ASSERT_EQ(made->Save(&s), IO_OK);
    s.EndChunk();
    Animatable* blank = static_cast<Animatable*>(CreateInstance(made->SuperClassID(), made->ClassID()));
    Owner loaded(static_cast<Control*>(blank));
    ASSERT_NE(loaded.c(), nullptr);
    quortest::MemLoad l(s.Bytes());
    ASSERT_EQ(l.OpenChunk(), IO_OK);
    ASSERT_EQ(loaded.c()->Load(&l), IO_OK);
    Owner cloned(static_cast<Control*>(made->Clone(NoRemap())));
    for (Owner* copy : {&loaded, &cloned}) {
      ASSERT_EQ(copy->c()->NumKeys(), 2);
      EXPECT_TRUE(copy->c()->ClassID() == made->ClassID());
      for (TimeValue t : {-1000, -320, 0, 100, 480, 2000}) {
        Point3 q;
        Interval v1 = FOREVER, v2 = FOREVER;
        made->GetValue(t, &p, v1);
        copy->c()->GetValue(t, &q, v2);
        EXPECT_TRUE(p == q && v1 == v2) << (copy == &loaded ? "loaded at " : "cloned at ") << t;
      }
    }
    made->SetValue(480, &a);  // moves every key of the original
    cloned.c()->GetValue(480, &p, valid);
    EXPECT_TRUE(p == b) << "the clone keeps keys of its own";
  }
}

namespace {
// Clones and saves a controller on its own thread until it has made a number of copies, and
// counts the copies that mix two states: keys at every kStride-th frame that do not all have the
// value of the first.
struct CopyReader {
  static const int kKeys = 1000;
  static const int kStride = 50;
  static const int kCopies = 1000;
  Control* c;
  int mixed = 0;
  std::atomic<bool> done{false};

  static bool Whole(Control* copy) {
    float first = 0;
    for (int k = 0; k < kKeys; k += kStride) {
      float v = 0;
      Interval valid = FOREVER;
      copy->GetValue(k * F, &v, valid);
      if (k == 0) first = v;
      if (v != first) return false;
    }
    return true;
  }
  static DWORD WINAPI Run(void* p) {
    CopyReader* r = static_cast<CopyReader*>(p);
    for (int i = 0; i < kCopies; i++) {
      Control* clone = static_cast<Control*>(r->c->Clone(NoRemap()));
      r->mixed += !Whole(clone);
      clone->DeleteMe();
      quortest::MemSave s;
      s.BeginChunk(9);
      r->c->Save(&s);
      s.EndChunk();
      Control* loaded = NewDefaultFloatController();
      quortest::MemLoad l(s.Bytes());
      if (l.OpenChunk() != IO_OK || loaded->Load(&l) != IO_OK || !Whole(loaded)) r->mixed++;
      loaded->DeleteMe();
    }
    r->done.store(true, std::memory_order_release);
    return 0;
  }
};
}  // namespace

// A preview thread clones and saves a controller while the interface thread undoes and redoes a
// change of every key: each copy holds one state or the other, never a mix of both.
TEST(Controller, ClonesAndSavesOnAnotherThreadTakeWholeStates) {
  theHold.ClearHistory();
  {
    Owner o(NewDefaultFloatController());
    AnimateOn();
    for (int k = 0; k < CopyReader::kKeys; k++) o.Set(k * F, 1.0f);
    AnimateOff();
    theHold.Begin();
    o.Set(0, 2.0f);  // moves every key
    theHold.Accept("Move");
    CopyReader reader;
    reader.c = o.c();
    HANDLE h = CreateThread(nullptr, 0, CopyReader::Run, &reader, 0, nullptr);
    ASSERT_NE(h, nullptr);
    while (!reader.done.load(std::memory_order_acquire)) {
      theHold.Undo();
      theHold.Redo();
    }
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    EXPECT_EQ(reader.mixed, 0);
  }
  theHold.ClearHistory();
}

TEST(Controller, LoadRejectsKeysThatDoNotFitTheirChunk) {
  quortest::MemSave s;
  s.BeginChunk(9);
  s.BeginChunk(0x0200);
  unsigned char body[4 + 16] = {2, 0, 0, 0};  // claims two keys, holds one
  s.Write(body, sizeof body, nullptr);
  s.EndChunk();
  s.EndChunk();
  Owner o(NewDefaultFloatController());
  quortest::MemLoad l(s.Bytes());
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  EXPECT_EQ(o.c()->Load(&l), IO_ERROR);
  EXPECT_EQ(o.c()->NumKeys(), 0);
}

TEST(Dimensions, ConvertAndUnconvert) {
  const struct {
    ParamDimension* dim;
    float stored, shown;
  } cases[] = {{stdAngleDim, 1.5707963f, 90.0f}, {stdColor255Dim, 0.5f, 127.5f}, {stdPercentDim, 0.25f, 25.0f},
               {defaultDim, 7.5f, 7.5f},        {stdWorldDim, 7.5f, 7.5f}};
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(c.dim->Convert(c.stored), c.shown) << c.dim->DimensionName();
    EXPECT_FLOAT_EQ(c.dim->UnConvert(c.shown), c.stored) << c.dim->DimensionName();
  }
}

TEST(Easing, BiasMapsTheUnitIntervalOntoItselfRising) {
  for (float b : {0.35f, 0.65f}) {
    SCOPED_TRACE(b);
    EXPECT_FLOAT_EQ(bias(b, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(bias(b, 1.0f), 1.0f);
    for (int i = 1; i <= 100; i++) {
      float u = i / 100.0f, e = bias(b, u);
      EXPECT_TRUE(e >= bias(b, u - 0.01f) && e >= 0 && e <= 1) << u;
    }
  }
  EXPECT_LT(bias(0.35f, 0.5f), 0.5f) << "ease in starts slowly";
  EXPECT_GT(bias(0.65f, 0.5f), 0.5f) << "ease out ends slowly";
}

// Ease In Out is an S over the whole range: below the diagonal on the first half, above it on
// the second, symmetric about the middle, rising, and flat where it leaves and arrives.
TEST(Easing, EaseInOutIsAnSOverTheWholeRange) {
  const int kSteps = 2000;
  float last = 0.0f;
  int below = 0, above = 0, falls = 0, asymmetric = 0;
  for (int i = 1; i < kSteps; i++) {
    float u = (float)i / kSteps, e = EaseInOut(u);
    if (fabsf(e - (1.0f - EaseInOut(1.0f - u))) > 1e-6f) asymmetric++;
    if (e < last) falls++;
    last = e;
    if (u < 0.5f) below += e < u;
    if (u > 0.5f) above += e > u;
  }
  EXPECT_EQ(below, kSteps / 2 - 1);
  EXPECT_EQ(above, kSteps / 2 - 1);
  EXPECT_EQ(falls, 0);
  EXPECT_EQ(asymmetric, 0);
  EXPECT_FLOAT_EQ(EaseInOut(0.0f), 0.0f);
  EXPECT_FLOAT_EQ(EaseInOut(1.0f), 1.0f);
  EXPECT_NEAR(EaseInOut(0.5f), 0.5f, 1e-6);
  // Flat at the ends, steepest in the middle.
  const float h = 1e-3f;
  EXPECT_LT(EaseInOut(h) / h, 0.01f);
  EXPECT_LT((1.0f - EaseInOut(1.0f - h)) / h, 0.01f);
  EXPECT_GT((EaseInOut(0.5f + h) - EaseInOut(0.5f - h)) / (2 * h), 1.0f);
}

TEST(Time, AnimRangeIsOrderedAndRestorable) {
  TimeValue s = GetAnimStart(), e = GetAnimEnd();
  EXPECT_LT(s, e);
  SetAnimRange(320, 0);
  EXPECT_EQ(GetAnimStart(), 0);
  EXPECT_EQ(GetAnimEnd(), 320);
  SetAnimRange(s, e);
  EXPECT_EQ(GetAnimEnd(), e);
}
