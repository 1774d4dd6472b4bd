// The host's keyframe controllers for floats, points, colours and booleans.
#include "builtins.h"
#include "holdrecs.h"
#include "hostlock.h"
#include "vctrl.h"

#include <string.h>

#include <algorithm>
#include <vector>

namespace {

enum Kind { kFloat, kPoint3, kColor, kBool, kKinds };

struct KindInfo {
  const char* name;
  SClass_ID superClass;
  ULONG partB;
  int dims;
};
const KindInfo kInfo[kKinds] = {
    {"Float Keys", FLOAT_CONTROL_CLASS_ID, 1, 1},
    {"Point3 Keys", POINT3_CONTROL_CLASS_ID, 2, 3},
    {"Color Keys", POINT3_CONTROL_CLASS_ID, 3, 3},
    {"Boolean Keys", FLOAT_CONTROL_CLASS_ID, 4, 1},
};
const ULONG kControlPartA = 0x564B4559;  // "VKEY"

struct Value {
  float v[3] = {0, 0, 0};
  bool operator==(const Value& o) const { return memcmp(v, o.v, sizeof v) == 0; }
};

struct Key {
  TimeValue t;
  Value v;
};

// Everything a controller's value depends on; undo records keep copies of it.
struct State {
  std::vector<Key> keys;  // sorted by time, at most one per time
  Value constant;         // the value when there are no keys
  int interp = KEY_INTERP_SMOOTH;  // how values between keys are made
  bool operator==(const State& o) const {
    if (!(constant == o.constant) || interp != o.interp || keys.size() != o.keys.size()) return false;
    for (size_t i = 0; i < keys.size(); i++)
      if (keys[i].t != o.keys[i].t || !(keys[i].v == o.keys[i].v)) return false;
    return true;
  }
};

const USHORT kChunkHeader = 0x0100;
const USHORT kChunkKeys = 0x0200;

class KeyControl : public Control {
 public:
  explicit KeyControl(Kind k) : kind(k) {
    state.interp = k == kBool ? KEY_INTERP_LINEAR : KEY_INTERP_SMOOTH;
    InitializeSRWLock(&guard);
  }

  Class_ID ClassID() override { return Class_ID(kControlPartA, kInfo[kind].partB); }
  SClass_ID SuperClassID() override { return kInfo[kind].superClass; }
  void GetClassName(CStr& s) override { s = kInfo[kind].name; }

  void GetValue(TimeValue t, void* val, Interval& valid, GetSetMethod method) override {
    if (!val) return;
    Value v;
    {
      SharedLock read(guard);
      v = Evaluate(t, valid);
    }
    float* out = static_cast<float*>(val);
    for (int i = 0; i < Dims(); i++) out[i] = method == CTRL_RELATIVE ? out[i] + v.v[i] : v.v[i];
  }

  void SetValue(TimeValue t, void* val, int, GetSetMethod method) override {
    if (!val) return;
    Interval ignored = FOREVER;
    Value now = Evaluate(t, ignored);
    Value target = now;
    const float* in = static_cast<const float*>(val);
    for (int i = 0; i < Dims(); i++) target.v[i] = method == CTRL_RELATIVE ? now.v[i] + in[i] : in[i];
    if (kind == kBool) target.v[0] = target.v[0] != 0.0f ? 1.0f : 0.0f;

    State next = state;
    if (Animating()) {
      SetKey(next, t, target);
    } else if (next.keys.empty()) {
      next.constant = target;
    } else {
      for (Key& k : next.keys) {
        for (int i = 0; i < Dims(); i++) k.v.v[i] += target.v[i] - now.v[i];
        if (kind == kBool) k.v.v[0] = k.v.v[0] > 0.5f ? 1.0f : 0.0f;
      }
    }
    Change(next);
  }

  // A change of the state like any other: under the lock that readers on other threads take,
  // recorded for undo, told to dependents.
  int SetInterpolation(int i) {
    if (kind == kBool) return 0;
    State next = state;
    next.interp = i == KEY_INTERP_LINEAR ? KEY_INTERP_LINEAR : KEY_INTERP_SMOOTH;
    Change(next);
    return 1;
  }

  // ---- Keys ----
  int NumKeys() override {
    SharedLock read(guard);
    return (int)state.keys.size();
  }
  TimeValue GetKeyTime(int i) override {
    SharedLock read(guard);
    return i >= 0 && i < (int)state.keys.size() ? state.keys[i].t : 0;
  }
  int GetKeyIndex(TimeValue t) override {
    SharedLock read(guard);
    for (int i = 0; i < (int)state.keys.size(); i++)
      if (state.keys[i].t == t) return i;
    return -1;
  }
  BOOL GetNextKeyTime(TimeValue t, DWORD flags, TimeValue& nt) override {
    SharedLock read(guard);
    if (flags & NEXTKEY_LEFT) {
      for (int i = (int)state.keys.size(); i-- > 0;)
        if (state.keys[i].t < t) return nt = state.keys[i].t, TRUE;
      return FALSE;
    }
    for (const Key& k : state.keys)
      if (k.t > t) return nt = k.t, TRUE;
    return FALSE;
  }
  void CopyKeysFromTime(TimeValue src, TimeValue dst, DWORD) override {
    Interval ignored = FOREVER;
    State next = state;
    SetKey(next, dst, Evaluate(src, ignored));
    Change(next);
  }
  void DeleteKeyAtTime(TimeValue t) override {
    int i = GetKeyIndex(t);
    if (i < 0) return;
    State next = state;
    // The last key's value stays as the constant, so removing it does not change the value.
    if (next.keys.size() == 1) next.constant = next.keys[0].v;
    next.keys.erase(next.keys.begin() + i);
    Change(next);
  }
  BOOL IsKeyAtTime(TimeValue t, DWORD) override { return GetKeyIndex(t) >= 0; }
  BOOL IsAnimated() override { return NumKeys() > 0; }

  // ---- Cloning and saving ----
  RefTargetHandle Clone(RemapDir& remap) override {
    KeyControl* c = new KeyControl(kind);
    {
      // A preview thread clones while the interface thread may be changing the keys.
      SharedLock read(guard);
      c->state = state;
    }
    BaseClone(this, c, remap);
    return c;
  }

  IOResult Save(ISave* isave) override {
    // Saved from a copy taken under the lock, so that a change on another thread meanwhile
    // cannot mix two states in the file.
    State saved;
    {
      SharedLock read(guard);
      saved = state;
    }
    unsigned char head[20];
    PutU32(head, (uint32_t)Dims());
    PutU32(head + 4, (uint32_t)saved.interp);
    for (int i = 0; i < 3; i++) PutU32(head + 8 + 4 * i, Bits(saved.constant.v[i]));
    isave->BeginChunk(kChunkHeader);
    IOResult r = isave->Write(head, sizeof head, nullptr);
    isave->EndChunk();
    if (r != IO_OK) return r;
    std::vector<unsigned char> body(4 + 16 * saved.keys.size());
    PutU32(body.data(), (uint32_t)saved.keys.size());
    for (size_t k = 0; k < saved.keys.size(); k++) {
      unsigned char* p = body.data() + 4 + 16 * k;
      PutU32(p, (uint32_t)saved.keys[k].t);
      for (int i = 0; i < 3; i++) PutU32(p + 4 + 4 * i, Bits(saved.keys[k].v.v[i]));
    }
    isave->BeginChunk(kChunkKeys);
    r = isave->Write(body.data(), (ULONG)body.size(), nullptr);
    isave->EndChunk();
    return r;
  }

  IOResult Load(ILoad* iload) override {
    State loaded;
    loaded.interp = state.interp;
    IOResult r;
    while ((r = iload->OpenChunk()) == IO_OK) {
      ULONG len = iload->CurChunkLength();
      std::vector<unsigned char> data(len);
      ULONG got = 0;
      if (len && (iload->Read(data.data(), len, &got) != IO_OK || got != len)) return IO_ERROR;
      if (iload->CurChunkID() == kChunkHeader) {
        if (len != 20 || GetU32(data.data()) != (uint32_t)Dims()) return IO_ERROR;
        int i0 = (int)GetU32(data.data() + 4);
        if (kind != kBool) loaded.interp = i0 == KEY_INTERP_LINEAR ? KEY_INTERP_LINEAR : KEY_INTERP_SMOOTH;
        for (int i = 0; i < 3; i++) loaded.constant.v[i] = Float(GetU32(data.data() + 8 + 4 * i));
      } else if (iload->CurChunkID() == kChunkKeys) {
        if (len < 4) return IO_ERROR;
        uint32_t n = GetU32(data.data());
        if ((len - 4) / 16 < n || len != 4 + 16 * n) return IO_ERROR;
        for (uint32_t k = 0; k < n; k++) {
          const unsigned char* p = data.data() + 4 + 16 * k;
          Key key;
          key.t = (TimeValue)GetU32(p);
          for (int i = 0; i < 3; i++) key.v.v[i] = Float(GetU32(p + 4 + 4 * i));
          if (!loaded.keys.empty() && key.t <= loaded.keys.back().t) return IO_ERROR;
          loaded.keys.push_back(key);
        }
      }
      iload->CloseChunk();
    }
    if (r != IO_END) return IO_ERROR;
    ExclusiveLock write(guard);
    state = loaded;
    return IO_OK;
  }

  // Undo of value changes.
  class StateRestore : public RestoreObj {
   public:
    StateRestore(KeyControl* c, const State& before) : c(c), before(before) { TargetHolds::Keep(c); }
    ~StateRestore() override { TargetHolds::Release(c); }
    void Restore(int) override {
      if (!haveAfter) after = c->state, haveAfter = true;
      c->Apply(before);
    }
    void Redo() override {
      if (haveAfter) c->Apply(after);
    }
    const char* Description() override { return "Controller value"; }

   private:
    KeyControl* c;
    State before, after;
    bool haveAfter = false;
  };

 private:
  int Dims() const { return kInfo[kind].dims; }

  static uint32_t Bits(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
  }
  static float Float(uint32_t u) {
    float f;
    memcpy(&f, &u, 4);
    return f;
  }

  static void SetKey(State& s, TimeValue t, const Value& v) {
    auto it = std::lower_bound(s.keys.begin(), s.keys.end(), t, [](const Key& k, TimeValue tt) { return k.t < tt; });
    if (it != s.keys.end() && it->t == t)
      it->v = v;
    else
      s.keys.insert(it, Key{t, v});
  }

  void Change(const State& next) {
    if (next == state) return;
    if (theHold.Holding()) theHold.Put(new StateRestore(this, state));
    Apply(next);
  }

  void Apply(const State& s) {
    {
      ExclusiveLock write(guard);
      state = s;
    }
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  }

  Value Evaluate(TimeValue t, Interval& valid) const {
    const std::vector<Key>& k = state.keys;
    size_t n = k.size();
    if (n == 0) return state.constant;
    if (n == 1) return k[0].v;
    if (kind == kBool) return Step(t, valid);
    if (t <= k[0].t) {
      valid &= Interval(TIME_NegInfinity, k[0].t);
      return k[0].v;
    }
    if (t >= k[n - 1].t) {
      valid &= Interval(k[n - 1].t, TIME_PosInfinity);
      return k[n - 1].v;
    }
    valid &= Interval(t, t);
    size_t s = 0;
    while (k[s + 1].t <= t) s++;
    if (k[s].t == t) return k[s].v;
    double h = (double)k[s + 1].t - k[s].t;
    double u = ((double)t - k[s].t) / h;
    Value out;
    for (int i = 0; i < Dims(); i++) {
      double a = k[s].v.v[i], b = k[s + 1].v.v[i];
      if (state.interp == KEY_INTERP_LINEAR) {
        out.v[i] = (float)(a + (b - a) * u);
        continue;
      }
      // Hermite segment with Catmull-Rom slopes inside and flat ends.
      double ma = Slope(s, i), mb = Slope(s + 1, i);
      double u2 = u * u, u3 = u2 * u;
      out.v[i] = (float)((2 * u3 - 3 * u2 + 1) * a + (u3 - 2 * u2 + u) * h * ma + (-2 * u3 + 3 * u2) * b +
                         (u3 - u2) * h * mb);
    }
    return out;
  }

  double Slope(size_t i, int c) const {
    const std::vector<Key>& k = state.keys;
    if (i == 0 || i + 1 >= k.size()) return 0.0;
    return ((double)k[i + 1].v.v[c] - k[i - 1].v.v[c]) / ((double)k[i + 1].t - k[i - 1].t);
  }

  // Booleans hold each key's value up to the next key.
  Value Step(TimeValue t, Interval& valid) const {
    const std::vector<Key>& k = state.keys;
    size_t s = 0;
    while (s + 1 < k.size() && k[s + 1].t <= t) s++;
    TimeValue start = s == 0 ? TIME_NegInfinity : k[s].t;
    TimeValue end = s + 1 < k.size() ? k[s + 1].t - 1 : TIME_PosInfinity;
    valid &= Interval(start, end);
    return k[s].v;
  }

  Kind kind;
  State state;
  // Readers on other threads (a renderer evaluating while the interface thread edits) share the
  // state; a change replaces it exclusively.
  SRWLOCK guard;
};

class ControlDesc : public ClassDesc {
 public:
  explicit ControlDesc(Kind k) : kind(k) {}
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new KeyControl(kind)); }
  const char* ClassName() override { return kInfo[kind].name; }
  SClass_ID SuperClassID() override { return kInfo[kind].superClass; }
  Class_ID ClassID() override { return Class_ID(kControlPartA, kInfo[kind].partB); }
  const char* Category() override { return "Controllers"; }

 private:
  Kind kind;
};

ControlDesc floatDesc(kFloat), point3Desc(kPoint3), colorDesc(kColor), boolDesc(kBool);

struct Registration {
  Registration() {
    for (ClassDesc* cd : {(ClassDesc*)&floatDesc, (ClassDesc*)&point3Desc, (ClassDesc*)&colorDesc, (ClassDesc*)&boolDesc})
      RegisterBuiltinClass(cd);
  }
} registration;

}  // namespace

void Control::GetValue(TimeValue, void*, Interval&, GetSetMethod) {}
void Control::SetValue(TimeValue, void*, int, GetSetMethod) {}
SClass_ID StdControl::SuperClassID() { return CTRL_USERTYPE_CLASS_ID; }

Control* NewDefaultFloatController() { return new KeyControl(kFloat); }
Control* NewDefaultPoint3Controller() { return new KeyControl(kPoint3); }
Control* NewDefaultColorController() { return new KeyControl(kColor); }
Control* NewDefaultBoolController() { return new KeyControl(kBool); }

int SetControllerInterpolation(Control* c, int interp) {
  KeyControl* k = dynamic_cast<KeyControl*>(c);
  return k ? k->SetInterpolation(interp) : 0;
}
