// Basic types shared by every part of the Vantor host SDK.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <stdint.h>

// Host runtime exports; plug-ins import them from VantorHost.dll.
#ifdef VANTORHOST_BUILD
#define HOSTAPI __declspec(dllexport)
#else
#define HOSTAPI __declspec(dllimport)
#endif

// Version encoding answered by a plug-in's LibVersion: release in bits 16-31, API number in
// bits 8-15, SDK revision in bits 0-7. A module is accepted when its API number matches.
#define VANTOR_RELEASE 5000
#define VANTOR_API_NUM 11
#define VANTOR_SDK_REV 0
#define VANTOR_VERSION_LIB ((VANTOR_RELEASE << 16) | (VANTOR_API_NUM << 8) | VANTOR_SDK_REV)

// Super class ids.
typedef ULONG SClass_ID;
#define REF_TARGET_CLASS_ID 0x00000200
#define TEXMAP_CLASS_ID 0x00000C10
#define CTRL_USERTYPE_CLASS_ID 0x00009008
#define FLOAT_CONTROL_CLASS_ID 0x00009003
#define POINT3_CONTROL_CLASS_ID 0x00009005
#define BOOL_CONTROL_CLASS_ID 0x00009010

// A class id: two unsigned 32-bit parts, compared as a pair.
class Class_ID {
 public:
  constexpr Class_ID() : a(0xFFFFFFFFu), b(0xFFFFFFFFu) {}
  constexpr Class_ID(ULONG aa, ULONG bb) : a(aa), b(bb) {}
  ULONG PartA() const { return a; }
  ULONG PartB() const { return b; }
  void SetPartA(ULONG aa) { a = aa; }
  void SetPartB(ULONG bb) { b = bb; }
  bool operator==(const Class_ID& o) const { return a == o.a && b == o.b; }
  bool operator!=(const Class_ID& o) const { return !(*this == o); }
  bool operator<(const Class_ID& o) const { return a < o.a || (a == o.a && b < o.b); }

 private:
  ULONG a, b;
};

// Results of save and load operations.
typedef int IOResult;
#define IO_OK 0
#define IO_END 1
#define IO_ERROR 2

// Results of reference notifications.
typedef int RefResult;
#define REF_FAIL 0
#define REF_SUCCEED 1
#define REF_DONTCARE 2
#define REF_STOP 3
#define REF_INVALID 4

// Time in ticks: signed 32-bit.
typedef int TimeValue;
#define TIME_NegInfinity ((TimeValue)0x80000000)
#define TIME_PosInfinity ((TimeValue)0x7FFFFFFF)

// A closed range of time. The empty interval (NEVER) has start and end at negative infinity.
class Interval {
 public:
  Interval(TimeValue s, TimeValue e) : start(s), end(e) {}
  Interval() : start(TIME_NegInfinity), end(TIME_NegInfinity) {}
  void Set(TimeValue s, TimeValue e) { start = s; end = e; }
  void SetInfinite() { start = TIME_NegInfinity; end = TIME_PosInfinity; }
  void SetEmpty() { start = end = TIME_NegInfinity; }
  void SetInstant(TimeValue t) { start = end = t; }
  void SetStart(TimeValue s) { start = s; }
  void SetEnd(TimeValue e) { end = e; }
  TimeValue Start() const { return start; }
  TimeValue End() const { return end; }
  bool Empty() const { return start == TIME_NegInfinity && end == TIME_NegInfinity; }
  bool InInterval(TimeValue t) const { return !Empty() && t >= start && t <= end; }
  bool operator==(const Interval& o) const { return start == o.start && end == o.end; }
  bool operator!=(const Interval& o) const { return !(*this == o); }
  // Intersection; becomes empty when the two do not overlap.
  Interval operator&(const Interval& o) const {
    if (Empty() || o.Empty()) return Interval();
    TimeValue s = start > o.start ? start : o.start;
    TimeValue e = end < o.end ? end : o.end;
    return s > e ? Interval() : Interval(s, e);
  }
  Interval& operator&=(const Interval& o) { return *this = *this & o; }

 private:
  TimeValue start, end;
};

#define FOREVER Interval(TIME_NegInfinity, TIME_PosInfinity)
#define NEVER Interval(TIME_NegInfinity, TIME_NegInfinity)

// GetProcAddress with the function type of the export.
template <class F>
F GetProcAddressAs(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
