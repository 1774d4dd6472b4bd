// Keyframe controllers: values, interpolation, validity, key operations, saving.
#include "MemStream.h"
#include "things.h"

#include <gtest/gtest.h>

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
  void Set(TimeValue t, float v, GetSetMethod m = CTRL_ABSOLUTE) { c()->SetValue(t, &v, 1, m); }
  Thing* thing;
};

const int F = 160;  // ticks per frame

}  // namespace

TEST(Controller, WithoutKeysTakesTheValueAtEveryTime) {
  Owner o(NewDefaultFloatController());
  o.Set(500, 4.0f);
  Interval valid;
  EXPECT_EQ(o.At(-100000, &valid), 4.0f);
  EXPECT_TRUE(valid == FOREVER);
  EXPECT_EQ(o.At(99999), 4.0f);
  EXPECT_EQ(o.c()->NumKeys(), 0);
}

TEST(Controller, AnimateModeCreatesKeysAndInterpolatesLinearly) {
  Owner o(NewDefaultFloatController());
  SetControllerInterpolation(o.c(), KEY_INTERP_LINEAR);
  AnimateOn();
  o.Set(0, 0.0f);
  o.Set(10 * F, 10.0f);
  o.Set(10 * F, 20.0f);  // sets the existing key
  AnimateOff();
  EXPECT_EQ(o.c()->NumKeys(), 2);
  EXPECT_FLOAT_EQ(o.At(5 * F), 10.0f);
  EXPECT_FLOAT_EQ(o.At(2 * F), 4.0f);
}

TEST(Controller, ValidityIsOpenOutsideTheKeysAndAnInstantBetween) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(100, 1.0f);
  o.Set(200, 3.0f);
  AnimateOff();
  Interval v;
  EXPECT_EQ(o.At(50, &v), 1.0f);
  EXPECT_TRUE(v == Interval(TIME_NegInfinity, 100));
  EXPECT_EQ(o.At(300, &v), 3.0f);
  EXPECT_TRUE(v == Interval(200, TIME_PosInfinity));
  o.At(150, &v);
  EXPECT_TRUE(v == Interval(150, 150));
  // The interval passed in is narrowed, never widened.
  float x;
  Interval narrow(120, 130);
  o.c()->GetValue(50, &x, narrow);
  EXPECT_TRUE(narrow.Empty());
}

TEST(Controller, SmoothInterpolationEasesThroughFlatEnds) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(0, 0.0f);
  o.Set(100, 10.0f);
  AnimateOff();
  EXPECT_FLOAT_EQ(o.At(50), 5.0f);
  EXPECT_LT(o.At(10), 1.0f) << "starts slower than a straight line";
  EXPECT_GT(o.At(90), 9.0f);
  float prev = -1;
  for (TimeValue t = 0; t <= 100; t += 5) {
    float v = o.At(t);
    EXPECT_GE(v, prev);
    prev = v;
  }
}

TEST(Controller, SettingWithKeysButNotAnimatingShiftsEveryKey) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(0, 1.0f);
  o.Set(100, 5.0f);
  AnimateOff();
  o.Set(100, 7.0f);
  EXPECT_EQ(o.c()->NumKeys(), 2);
  EXPECT_EQ(o.At(0), 3.0f);
  EXPECT_EQ(o.At(100), 7.0f);
  o.Set(0, 1.0f, CTRL_RELATIVE);
  EXPECT_EQ(o.At(0), 4.0f);
  EXPECT_EQ(o.At(100), 8.0f);
}

TEST(Controller, RelativeGetAddsToTheGivenValue) {
  Owner o(NewDefaultFloatController());
  o.Set(0, 2.5f);
  float v = 1.0f;
  Interval valid = FOREVER;
  o.c()->GetValue(0, &v, valid, CTRL_RELATIVE);
  EXPECT_EQ(v, 3.5f);
}

TEST(Controller, PointAndColourControllersCarryThreeComponents) {
  for (Control* c : {NewDefaultPoint3Controller(), NewDefaultColorController()}) {
    Owner o(c);
    SetControllerInterpolation(c, KEY_INTERP_LINEAR);
    AnimateOn();
    Point3 a(0, 1, 2), b(10, 11, 12);
    c->SetValue(0, &a);
    c->SetValue(100, &b);
    AnimateOff();
    Point3 p;
    Interval valid = FOREVER;
    c->GetValue(50, &p, valid);
    EXPECT_TRUE(p == Point3(5, 6, 7));
  }
}

TEST(Controller, BooleansStepFromKeyToKey) {
  Owner o(NewDefaultBoolController());
  AnimateOn();
  o.Set(0, 1.0f);
  o.Set(100, 0.0f);
  o.Set(200, 5.0f);  // any non-zero value is on
  AnimateOff();
  Interval v;
  EXPECT_EQ(o.At(-50, &v), 1.0f);
  EXPECT_TRUE(v == Interval(TIME_NegInfinity, 99));
  EXPECT_EQ(o.At(99), 1.0f);
  EXPECT_EQ(o.At(100, &v), 0.0f);
  EXPECT_TRUE(v == Interval(100, 199));
  EXPECT_EQ(o.At(1000, &v), 1.0f);
  EXPECT_TRUE(v == Interval(200, TIME_PosInfinity));
  EXPECT_EQ(SetControllerInterpolation(o.c(), KEY_INTERP_SMOOTH), 0);
}

TEST(Controller, KeyOperations) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(300, 3.0f);
  o.Set(100, 1.0f);
  o.Set(200, 2.0f);
  AnimateOff();
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
}

TEST(Controller, DeletingTheLastKeyKeepsItsValue) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(100, 6.0f);
  AnimateOff();
  o.c()->DeleteKeyAtTime(100);
  EXPECT_EQ(o.c()->NumKeys(), 0);
  EXPECT_EQ(o.At(0), 6.0f);
}

TEST(Controller, ChangesNotifyDependentsOnlyWhenTheValueChanges) {
  Owner o(NewDefaultFloatController());
  o.Set(0, 1.0f);
  size_t heard = o.thing->heard.size();
  ASSERT_GE(heard, 1u);
  EXPECT_EQ(o.thing->heard.back().first, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(o.thing->heard.back().second, o.c());
  o.Set(0, 1.0f);
  EXPECT_EQ(o.thing->heard.size(), heard);
}

TEST(Controller, CloneCopiesKeysIndependently) {
  Owner o(NewDefaultFloatController());
  AnimateOn();
  o.Set(0, 1.0f);
  o.Set(100, 2.0f);
  AnimateOff();
  Owner copy(static_cast<Control*>(o.c()->Clone(NoRemap())));
  EXPECT_EQ(copy.c()->NumKeys(), 2);
  EXPECT_EQ(copy.At(100), 2.0f);
  o.Set(100, 9.0f);
  EXPECT_EQ(copy.At(100), 2.0f);
  EXPECT_TRUE(copy.c()->ClassID() == o.c()->ClassID());
}

TEST(Controller, SaveAndLoadRoundTrip) {
  Owner o(NewDefaultPoint3Controller());
  AnimateOn();
  Point3 a(1, 2, 3), b(-4, 5.5f, 6);
  o.c()->SetValue(-320, &a);
  o.c()->SetValue(480, &b);
  AnimateOff();
  quortest::MemSave s;
  s.BeginChunk(9);
  ASSERT_EQ(o.c()->Save(&s), IO_OK);
  s.EndChunk();

  Owner loaded(static_cast<Control*>(static_cast<Animatable*>(CreateInstance(o.c()->SuperClassID(), o.c()->ClassID()))));
  ASSERT_NE(loaded.c(), nullptr);
  quortest::MemLoad l(s.Bytes());
  ASSERT_EQ(l.OpenChunk(), IO_OK);
  ASSERT_EQ(loaded.c()->Load(&l), IO_OK);
  ASSERT_EQ(loaded.c()->NumKeys(), 2);
  for (TimeValue t : {-1000, -320, 0, 100, 480, 2000}) {
    Point3 p, q;
    Interval v1 = FOREVER, v2 = FOREVER;
    o.c()->GetValue(t, &p, v1);
    loaded.c()->GetValue(t, &q, v2);
    EXPECT_TRUE(p == q) << t;
    EXPECT_TRUE(v1 == v2) << t;
  }
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
  EXPECT_FLOAT_EQ(stdAngleDim->Convert(3.14159265f), 180.0f);
  EXPECT_FLOAT_EQ(stdAngleDim->UnConvert(90.0f), 1.5707963f);
  EXPECT_FLOAT_EQ(stdColor255Dim->Convert(0.5f), 127.5f);
  EXPECT_FLOAT_EQ(stdColor255Dim->UnConvert(255.0f), 1.0f);
  EXPECT_FLOAT_EQ(stdPercentDim->Convert(0.25f), 25.0f);
  EXPECT_FLOAT_EQ(stdPercentDim->UnConvert(50.0f), 0.5f);
  EXPECT_EQ(defaultDim->Convert(7.5f), 7.5f);
  EXPECT_EQ(stdWorldDim->UnConvert(7.5f), 7.5f);
}

TEST(Easing, BiasAndSplineMapTheUnitIntervalOntoItself) {
  float knots[6] = {0, 0, 0.4f, 0.6f, 1, 1};
  for (float b : {0.35f, 0.65f}) {
    EXPECT_FLOAT_EQ(bias(b, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(bias(b, 1.0f), 1.0f);
  }
  EXPECT_FLOAT_EQ(spline(0.0f, 6, knots), 0.0f);
  EXPECT_FLOAT_EQ(spline(1.0f, 6, knots), 1.0f);
  float pb1 = -1, pb2 = -1, ps = -1;
  for (int i = 0; i <= 100; i++) {
    float u = i / 100.0f;
    float b1 = bias(0.35f, u), b2 = bias(0.65f, u), s = spline(u, 6, knots);
    EXPECT_GE(b1, pb1);
    EXPECT_GE(b2, pb2);
    EXPECT_GE(s, ps);
    EXPECT_TRUE(b1 >= 0 && b1 <= 1 && s >= 0 && s <= 1);
    pb1 = b1, pb2 = b2, ps = s;
  }
  EXPECT_LT(bias(0.35f, 0.5f), 0.5f) << "ease in starts slowly";
  EXPECT_GT(bias(0.65f, 0.5f), 0.5f) << "ease out ends slowly";
  EXPECT_LT(spline(0.1f, 6, knots), 0.1f) << "S-shaped: slow start";
  EXPECT_GT(spline(0.9f, 6, knots), 0.9f) << "S-shaped: slow end";
  EXPECT_NEAR(spline(0.5f, 6, knots), 0.5f, 1e-6);
}

TEST(Time, TicksAndRange) {
  EXPECT_EQ(GetTicksPerFrame(), 160);
  TimeValue s = GetAnimStart(), e = GetAnimEnd();
  EXPECT_LT(s, e);
  SetAnimRange(320, 0);
  EXPECT_EQ(GetAnimStart(), 0);
  EXPECT_EQ(GetAnimEnd(), 320);
  SetAnimRange(s, e);
  AnimateOn();
  EXPECT_TRUE(Animating());
  AnimateOff();
  EXPECT_FALSE(Animating());
}
