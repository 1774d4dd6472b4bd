// What every layer of the library shares and plug-ins never see (not installed): the lock guard,
// the little-endian byte helpers, clamping, the ids of the registered classes and the names of
// the gradient's interpolation types. Message, part and notification numbers come from the host
// SDK's names (REFMSG_CHANGE, PART_ALL, NOTIFY_ALL, ...), never as bare numbers.
#pragma once

#include "JMemBlock.h"
#include "vantor.h"

#include <stdint.h>
#include <string.h>

// ---- Locks -----------------------------------------------------------------------------------

// A critical section owned by an object of static lifetime (the module's own locks). Objects that
// keep a CRITICAL_SECTION member initialise and delete it themselves.
class JCriticalSection {
 public:
  JCriticalSection() { InitializeCriticalSection(&cs); }
  ~JCriticalSection() { DeleteCriticalSection(&cs); }
  JCriticalSection(const JCriticalSection&) = delete;
  JCriticalSection& operator=(const JCriticalSection&) = delete;
  CRITICAL_SECTION& Native() { return cs; }

 private:
  CRITICAL_SECTION cs;
};

// Holds a critical section from construction to the end of the scope: the library's only way of
// taking a lock, so that every return path releases it. Where a lock covers part of a function,
// that part is a block of its own.
class JLock {
 public:
  explicit JLock(CRITICAL_SECTION& c) : cs(c) { EnterCriticalSection(&cs); }
  explicit JLock(JCriticalSection& c) : JLock(c.Native()) {}
  ~JLock() { LeaveCriticalSection(&cs); }
  JLock(const JLock&) = delete;
  JLock& operator=(const JLock&) = delete;

 private:
  CRITICAL_SECTION& cs;
};

namespace jlib {

// ---- Little-endian bytes ---------------------------------------------------------------------
// Chunk headers, property records and resources store their numbers least significant byte
// first, whatever the machine. The byte-wise forms compile to single loads and stores on x86.

inline uint16_t ReadLE16(const void* at) {
  const unsigned char* p = static_cast<const unsigned char*>(at);
  return (uint16_t)(p[0] | (p[1] << 8));
}

inline uint32_t ReadLE32(const void* at) {
  const unsigned char* p = static_cast<const unsigned char*>(at);
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void WriteLE16(void* at, uint16_t v) {
  unsigned char* p = static_cast<unsigned char*>(at);
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
}

inline void WriteLE32(void* at, uint32_t v) {
  unsigned char* p = static_cast<unsigned char*>(at);
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
  p[2] = (unsigned char)(v >> 16);
  p[3] = (unsigned char)(v >> 24);
}

// ---- Values ----------------------------------------------------------------------------------

// v limited to [0, 1]; NaN passes through unchanged.
inline float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// The gradient's interpolation types, numbered as the colour cache and the gradient's override
// child number them (0 in the override: each flag's own). A flag stores its type as an index
// one lower (Ease In is 0); any other number behaves as Linear.
enum class Interp : int32_t { EaseIn = 1, EaseInOut = 2, EaseOut = 3, Linear = 4, Solid = 5 };

// The value a flag's interpolation leaf holds for type t.
constexpr float FlagInterpIndex(Interp t) { return (float)((int32_t)t - 1); }

// ---- Text read from data ----------------------------------------------------------------------

// Bytes read from data (a binary leaf loaded from a file, a block a plug-in set) need not end the
// way text does. This makes the block end with nuls NULs (one for a text, two for a name list),
// adding what is missing or, when memory is short, overwriting its last bytes, so that string
// functions stop inside it. An empty block stays empty.
inline void EndWithNuls(JMemBlock& b, unsigned int nuls) {
  const unsigned int n = b.Size();
  unsigned int have = 0;
  while (have < nuls && have < n && b.Data()[n - 1 - have] == '\0') have++;
  if (n == 0 || have == nuls) return;
  const unsigned int missing = nuls - have;
  if (b.Alloc(n + missing))
    memset(b.Data() + n, 0, missing);
  else
    memset(b.Data() + (n > nuls ? n - nuls : 0), 0, n < nuls ? n : nuls);
}

// ---- Registered classes ----------------------------------------------------------------------

// The library's registered classes by registry index: the order in which their descriptors are
// constructed, and so the order the host sees them in.
enum ClassIndex : int {
  kFloatDataClass,
  kWorldDataClass,
  kAngleDataClass,
  kColorDataClass,
  kPercentDataClass,
  kBoolDataClass,
  kFloat3DataClass,
  kWorld3DataClass,
  kColor3DataClass,
  kPercent3DataClass,
  kBinaryDataClass,
  kSubtexClass,
  kFlagCtlDataClass,
  kFlagSetDataClass,
  kGradCtlDataClass,
  kDummyControlClass,
  kClassCount
};

// A registered class's id, and the id that files of earlier versions carry for it.
struct ClassIDs {
  Class_ID current;
  Class_ID earlier;
};

// The one table of the registered classes' ids, in registry order. Each descriptor registers
// with its class's current id; loading maps an earlier id to the current one.
constexpr ClassIDs kClassIDs[kClassCount] = {
    {Class_ID(0x55756B07, 0x16AD0D15), Class_ID(0x3ABB35CE, 0x0C7F1760)},  // JFloatData
    {Class_ID(0x36193D67, 0x43815853), Class_ID(0x2A460FE5, 0x1D9039A7)},  // JWorldData
    {Class_ID(0x549C7750, 0x2FDB75B8), Class_ID(0x2E351FDF, 0x63FF6635)},  // JAngleData
    {Class_ID(0x36CB2D8D, 0x40B60A9F), Class_ID(0x38D13B57, 0x4E562514)},  // JColorData
    {Class_ID(0x611F0BCA, 0x78D42A43), Class_ID(0x2BEA12AE, 0x58992EE4)},  // JPercentData
    {Class_ID(0x5D656B80, 0x76F60770), Class_ID(0x3D501416, 0x35C02CC1)},  // JBoolData
    {Class_ID(0x54A03885, 0x45395460), Class_ID(0x42EF0F0B, 0x0B5C5AAC)},  // JFloat3Data
    {Class_ID(0x7265232F, 0x215B736B), Class_ID(0x34407059, 0x6C287CDC)},  // JWorld3Data
    {Class_ID(0x41BE1C7A, 0x6ED25117), Class_ID(0x79753A7E, 0x04AC01B2)},  // JColor3Data
    {Class_ID(0x27A11519, 0x625449AB), Class_ID(0x15F966CE, 0x33716E52)},  // JPercent3Data
    {Class_ID(0x2DC57967, 0x7A8D75AB), Class_ID(0x6B472B3C, 0x4CBE53C7)},  // JBinaryData
    {Class_ID(0x6AE30B7D, 0x37903626), Class_ID(0x20D32002, 0x4BA32724)},  // JSubtex
    {Class_ID(0x181D5EE1, 0x69B06262), Class_ID(0x42B106BA, 0x1C82676F)},  // JFlagCtlData
    {Class_ID(0x15CA4601, 0x62E43DD1), Class_ID(0x66FC775B, 0x12D049EA)},  // JFlagSetData
    {Class_ID(0x26450C71, 0x6C00010D), Class_ID(0x56C1005B, 0x77FE7E6D)},  // JGradCtlData
    {Class_ID(0x2A100BDF, 0x7ACF24D9), Class_ID(0x45BB5BC6, 0x08D40E48)},  // TVDummyControl
};

constexpr Class_ID ClassIDOf(ClassIndex i) { return kClassIDs[i].current; }

}  // namespace jlib
