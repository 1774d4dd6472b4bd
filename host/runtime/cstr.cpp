// Host strings: the buffer always lives in the host runtime's heap.
#include "vutil.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {
char* Dup(const char* s, size_t n) {
  char* p = static_cast<char*>(malloc(n + 1));
  if (!p) return nullptr;
  if (n) memcpy(p, s, n);
  p[n] = 0;
  return p;
}
}  // namespace

CStr::CStr() : buf(nullptr) {}
CStr::CStr(const char* s) : buf(s && *s ? Dup(s, strlen(s)) : nullptr) {}
CStr::CStr(const CStr& o) : CStr(o.buf) {}
CStr::~CStr() { free(buf); }

CStr& CStr::operator=(const char* s) {
  if (s == buf) return *this;
  char* n = s && *s ? Dup(s, strlen(s)) : nullptr;
  free(buf);
  buf = n;
  return *this;
}

CStr& CStr::operator=(const CStr& o) { return *this = o.buf; }

CStr& CStr::operator+=(const char* s) {
  if (!s || !*s) return *this;
  size_t a = buf ? strlen(buf) : 0, b = strlen(s);
  char* n = static_cast<char*>(malloc(a + b + 1));
  if (!n) return *this;
  if (a) memcpy(n, buf, a);
  memcpy(n + a, s, b + 1);
  free(buf);
  buf = n;
  return *this;
}

CStr CStr::operator+(const char* s) const {
  CStr r(*this);
  r += s;
  return r;
}

bool CStr::operator==(const char* s) const { return strcmp(data(), s ? s : "") == 0; }
const char* CStr::data() const { return buf ? buf : ""; }
int CStr::Length() const { return buf ? (int)strlen(buf) : 0; }

void CStr::Resize(int n) {
  if (n <= 0) {
    free(buf);
    buf = nullptr;
    return;
  }
  int old = Length();
  char* p = static_cast<char*>(realloc(buf, (size_t)n + 1));
  if (!p) return;
  if (n > old) memset(p + old, ' ', (size_t)(n - old));
  p[n] = 0;
  buf = p;
}

int CStr::printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  if (n < 0) return Length();
  char* p = static_cast<char*>(malloc((size_t)n + 1));
  if (!p) return Length();
  va_start(ap, fmt);
  vsnprintf(p, (size_t)n + 1, fmt, ap);
  va_end(ap);
  free(buf);
  buf = p;
  return n;
}
