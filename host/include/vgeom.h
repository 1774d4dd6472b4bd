// Geometry and colour value types.
#pragma once

#include <math.h>

class Point3 {
 public:
  float x, y, z;
  Point3() : x(0), y(0), z(0) {}
  Point3(float x, float y, float z) : x(x), y(y), z(z) {}
  float& operator[](int i) { return (&x)[i]; }
  const float& operator[](int i) const { return (&x)[i]; }
  Point3 operator+(const Point3& p) const { return Point3(x + p.x, y + p.y, z + p.z); }
  Point3 operator-(const Point3& p) const { return Point3(x - p.x, y - p.y, z - p.z); }
  Point3 operator*(float f) const { return Point3(x * f, y * f, z * f); }
  Point3& operator+=(const Point3& p) { x += p.x; y += p.y; z += p.z; return *this; }
  Point3& operator-=(const Point3& p) { x -= p.x; y -= p.y; z -= p.z; return *this; }
  bool operator==(const Point3& p) const { return x == p.x && y == p.y && z == p.z; }
  bool operator!=(const Point3& p) const { return !(*this == p); }
  float Length() const { return sqrtf(x * x + y * y + z * z); }
};

// A colour with red, green and blue from 0 to 1.
class Color {
 public:
  float r, g, b;
  Color() : r(0), g(0), b(0) {}
  Color(float r, float g, float b) : r(r), g(g), b(b) {}
  explicit Color(const Point3& p) : r(p.x), g(p.y), b(p.z) {}
  operator Point3() const { return Point3(r, g, b); }
  bool operator==(const Color& c) const { return r == c.r && g == c.g && b == c.b; }
};
