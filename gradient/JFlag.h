// Gradient flags: one data node per flag (colour, position, interpolation, name, texture) and the
// node that holds the flags of one gradient; and the interface through which flag markers call
// their owner.
#pragma once

#include "JBinary.h"
#include "JData.h"
#include "JLeaf.h"

class JFlagCtl;
class JFlagCtlData;

// What a flag marker asks of the window that owns it. Null flag: the owner's active flag.
class QUORAPI JFlagCtlNotify {
 public:
  virtual int Delete(JFlagCtlData* flag) = 0;       // non-zero when the flag was deleted
  virtual JFlagCtl* Next(JFlagCtlData* flag) = 0;   // activates and answers the next marker
  virtual JFlagCtl* Prev(JFlagCtlData* flag) = 0;   // activates and answers the previous marker
  virtual void Active(JFlagCtlData* flag) = 0;      // the flag became the active one
  virtual int IsActive(JFlagCtlData* flag) = 0;
  virtual int MayDelete(JFlagCtlData* flag) = 0;    // non-zero when a flag may be deleted now
  virtual int GetIndex(JFlagCtlData* flag) = 0;     // the flag's index in the owner's set, or -1

 protected:
  ~JFlagCtlNotify() = default;
};

// One flag: children 0 colour, 1 position, 2 second position, 3 name, 4 interpolation index
// (0 Ease In, 1 Ease In Out, 2 Ease Out, 3 Linear, 4 Solid), 5 texture slot.
// The value getters may be called on a null flag (the result of a lookup) and then answer zeros.
class QUORAPI JFlagCtlData : public JDataNode {
 public:
  enum { kColor, kPosition, kPosition2, kName, kInterp, kSubtex };
  // Always builds the six children, whatever the loading flag says.
  explicit JFlagCtlData(int loading);
  JClassDescBase* GetCD() override;

  JColor3Data* GetColorData();
  JPercentData* GetPositionData();
  JBinaryData* GetNameData();
  JFloatData* GetInterpData();
  JSubtex* GetSubtexData();

  // Positions clamped to [0, 1].
  void GetPos(int t, float& pos, Interval& valid);
  void GetPos(int t, float& pos);
  void GetPos(int t, float& pos, float& pos2, Interval& valid);
  void GetPos(int t, float& pos, float& pos2);
  // Each component clamped to [0, 1].
  void GetColor(int t, Point3& c, Interval& valid);
  void GetColor(int t, Point3& c);
  // Negative values read as 0; no upper bound.
  void GetInterp(int t, float& v, Interval& valid);
  void GetInterp(int t, float& v);
  void GetSubtex(Texmap*& tex);
  void SetPos(int t, float& pos, float& pos2);
  void SetPos(int t, float& pos);  // the second position becomes 0
  void SetColor(int t, Point3& c);
  void SetInterp(int t, float& v);
  void SetSubtex(Texmap* tex);
  // The name lives in child 3; at most 23 characters are answered. Null for no name.
  void SetName(const char* name) override;
  const char* GetName() override;
  using JDataNode::GetName;

 private:
  char nameBuffer[24];
};

// The flags of one gradient, in order of creation, each under the child name "_".
class QUORAPI JFlagSetData : public JDataNode {
 public:
  // 0: two grey end flags, Flag #1 at 0 and Flag #2 at 1; otherwise empty.
  explicit JFlagSetData(int loading);
  JClassDescBase* GetCD() override;
};

QUORAPI JFlagCtlData* Create_JFlagCtlData();
QUORAPI JFlagSetData* Create_JFlagSetData();
