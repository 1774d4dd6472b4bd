// The undo hold: changes made while it is open record how to restore them; accepting it makes
// one named undo step.
#pragma once

#include "vbase.h"

// One recorded change.
class HOSTAPI RestoreObj {
 public:
  virtual ~RestoreObj();
  // Puts back the state before the change (isUndo: an undo by the user, not a cancelled hold).
  virtual void Restore(int isUndo) = 0;
  // Puts back the state after the change.
  virtual void Redo() = 0;
  virtual const char* Description();
};

class HOSTAPI Hold {
 public:
  Hold();
  ~Hold();
  // Opens a hold; holds nest, and only the outermost Accept makes an undo step.
  void Begin();
  BOOL Holding();
  // Records a change while holding (the hold owns rec); otherwise rec is deleted.
  void Put(RestoreObj* rec);
  // Closes the innermost hold. At the outermost level the records become one undo step named
  // name (nothing is made when nothing was recorded).
  void Accept(const char* name);
  // Closes the innermost hold, restoring and dropping what it recorded.
  void Cancel();
  // Stops and resumes recording without closing the hold.
  void Suspend();
  void Resume();

  // The host's undo history, at most 100 steps. Undo restores the newest step's records newest
  // first, Redo puts them back oldest first; each restored object tells its dependents
  // (REFMSG_CHANGE), so every view shows the restored values. Both answer FALSE, doing nothing,
  // when there is no step or while a hold is open.
  BOOL Undo();
  BOOL Redo();
  int NumUndo();
  int NumRedo();
  // Step names from the newest (i = 0, the step Undo or Redo takes next); "" out of range.
  const char* UndoName(int i = 0);
  const char* RedoName(int i = 0);
  void ClearHistory();

 private:
  struct Impl;
  Impl* impl;
};

HOSTAPI extern Hold theHold;
