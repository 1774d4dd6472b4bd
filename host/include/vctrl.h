// Controllers, parameter dimensions, animate mode, time and easing curves.
#pragma once

#include "vanim.h"
#include "vgeom.h"

// ---- Dimensions ------------------------------------------------------------------------------
// How a parameter's value is shown: Convert maps the stored value to the shown one, UnConvert
// back.
class ParamDimension {
 public:
  virtual float Convert(float value) = 0;
  virtual float UnConvert(float value) = 0;
  virtual const char* DimensionName() = 0;

 protected:
  ~ParamDimension() = default;
};

HOSTAPI extern ParamDimension* defaultDim;      // shown as stored
HOSTAPI extern ParamDimension* stdWorldDim;     // world units, shown as stored
HOSTAPI extern ParamDimension* stdAngleDim;     // radians shown as degrees
HOSTAPI extern ParamDimension* stdColor255Dim;  // 0..1 shown as 0..255
HOSTAPI extern ParamDimension* stdPercentDim;   // 0..1 shown as 0..100

// ---- Controllers -----------------------------------------------------------------------------
// An animation controller: answers a value at a time and narrows the validity interval to the
// times around it at which the value stays the same.
class HOSTAPI Control : public ReferenceTarget {
 public:
  // val points at a float, a Point3 or a Color, by kind of controller.
  virtual void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method = CTRL_ABSOLUTE);
  virtual void SetValue(TimeValue t, void* val, int commit = 1, GetSetMethod method = CTRL_ABSOLUTE);
};

// The base of controllers of plug-in types (super class 0x9008). Without overrides it has no
// value: GetValue leaves val and valid as they are, SetValue does nothing.
class HOSTAPI StdControl : public Control {
 public:
  SClass_ID SuperClassID() override;
};

// Interpolation of a keyframe controller between its keys.
#define KEY_INTERP_SMOOTH 0
#define KEY_INTERP_LINEAR 1

// Keyframe controllers. With animate mode on, SetValue sets or creates the key at t; with it off,
// a controller without keys takes the value at every time, and one with keys moves all keys by
// the change at t. Floats and three-component values interpolate between keys; booleans step.
HOSTAPI Control* NewDefaultFloatController();
HOSTAPI Control* NewDefaultPoint3Controller();
HOSTAPI Control* NewDefaultColorController();
HOSTAPI Control* NewDefaultBoolController();
// Sets the interpolation of a controller made by the host; 0 for other objects.
HOSTAPI int SetControllerInterpolation(Control* c, int interp);

// ---- Animate mode and time -------------------------------------------------------------------
HOSTAPI BOOL Animating();
HOSTAPI void AnimateOn();
HOSTAPI void AnimateOff();

HOSTAPI int GetTicksPerFrame();                // 160
HOSTAPI TimeValue GetAnimStart();
HOSTAPI TimeValue GetAnimEnd();
HOSTAPI void SetAnimRange(TimeValue start, TimeValue end);

// ---- Easing ----------------------------------------------------------------------------------
// Schlick's bias: 0 -> 0, 1 -> 1, rising; b < 0.5 starts slowly, b > 0.5 ends slowly.
HOSTAPI float bias(float b, float u);
// A smooth curve over u in [0, 1] shaped by nknots control values at equal spacing (a Bezier
// curve): it starts at the first knot and ends at the last, and the inner knots pull it towards
// them; it rises wherever the knots do. u outside [0, 1] is taken to the nearest end.
HOSTAPI float spline(float u, int nknots, float* knots);
