// The undo hold and the host's undo history.
#include "vhold.h"

#include "interface.h"

#include <atomic>
#include <string>
#include <vector>

namespace {
const size_t kMaxSteps = 100;
}

RestoreObj::~RestoreObj() {}
const char* RestoreObj::Description() { return ""; }

struct Hold::Impl {
  struct Step {
    std::string name;
    std::vector<RestoreObj*> records;
  };
  std::vector<RestoreObj*> open;  // records of the open holds, oldest first
  std::vector<size_t> marks;      // where each nested hold's records start
  int suspended = 0;
  bool restoring = false;         // restoring records must not record again
  // The thread that began the outermost open hold (0 when none is open). Only that thread
  // records: a preview worker that makes or drops references while the interface thread holds
  // must neither touch the records nor have its objects undone by a cancel.
  std::atomic<DWORD> thread{0};
  std::vector<Step> undo, redo;

  static void Drop(Step& s) {
    for (RestoreObj* r : s.records) delete r;
    s.records.clear();
  }
  static const char* NameFromNewest(const std::vector<Step>& steps, int i) {
    if (i < 0 || (size_t)i >= steps.size()) return "";
    return steps[steps.size() - 1 - i].name.c_str();
  }
  bool Mine() const { return thread.load(std::memory_order_acquire) == GetCurrentThreadId(); }
  // The outermost hold closed: its suspension ends with it, and any thread may begin the next.
  void Release() {
    suspended = 0;
    thread.store(0, std::memory_order_release);
  }
  void DropAll(std::vector<Step>& steps) {
    for (Step& s : steps) Drop(s);
    steps.clear();
  }
};

Hold::Hold() : impl(new Impl) {}

Hold::~Hold() {
  // The process is ending: the records may mention objects of unloaded modules; they are left.
  delete impl;
}

void Hold::Begin() {
  DWORD me = GetCurrentThreadId();
  if (impl->thread.load(std::memory_order_acquire) != me) {
    // Claimed in one step, so that of two threads beginning at once only one records.
    DWORD none = 0;
    if (!impl->thread.compare_exchange_strong(none, me, std::memory_order_acq_rel, std::memory_order_acquire))
      return;  // another thread's hold is open
  }
  impl->marks.push_back(impl->open.size());
}

BOOL Hold::Holding() {
  if (impl->thread.load(std::memory_order_acquire) != GetCurrentThreadId()) return FALSE;
  return !impl->marks.empty() && impl->suspended == 0 && !impl->restoring;
}

void Hold::Put(RestoreObj* rec) {
  if (!rec) return;
  if (Holding())
    impl->open.push_back(rec);
  else
    delete rec;
}

void Hold::Accept(const char* name) {
  if (!impl->Mine() || impl->marks.empty()) return;
  impl->marks.pop_back();
  if (impl->marks.empty()) impl->Release();
  if (!impl->marks.empty() || impl->open.empty()) return;
  impl->DropAll(impl->redo);
  impl->undo.push_back(Impl::Step{name ? name : "", impl->open});
  impl->open.clear();
  if (impl->undo.size() > kMaxSteps) {
    Impl::Drop(impl->undo.front());
    impl->undo.erase(impl->undo.begin());
  }
  UndoHistoryChanged();
}

void Hold::Cancel() {
  if (!impl->Mine() || impl->marks.empty()) return;
  size_t start = impl->marks.back();
  impl->marks.pop_back();
  impl->restoring = true;
  for (size_t i = impl->open.size(); i-- > start;) {
    impl->open[i]->Restore(FALSE);
    delete impl->open[i];
  }
  impl->restoring = false;
  impl->open.resize(start);
  if (impl->marks.empty()) impl->Release();
}

// Only the thread whose hold is open stops and resumes its recording: a worker's calls leave the
// interface thread's hold recording.
void Hold::Suspend() {
  if (impl->Mine()) impl->suspended++;
}
void Hold::Resume() {
  if (impl->Mine() && impl->suspended > 0) impl->suspended--;
}

BOOL Hold::Undo() {
  if (!impl->marks.empty() || impl->undo.empty()) return FALSE;
  Impl::Step step = impl->undo.back();
  impl->undo.pop_back();
  impl->restoring = true;
  for (size_t i = step.records.size(); i-- > 0;) step.records[i]->Restore(TRUE);
  impl->restoring = false;
  impl->redo.push_back(step);
  SetSaveRequiredFlag(TRUE);
  UndoHistoryChanged();
  return TRUE;
}

BOOL Hold::Redo() {
  if (!impl->marks.empty() || impl->redo.empty()) return FALSE;
  Impl::Step step = impl->redo.back();
  impl->redo.pop_back();
  impl->restoring = true;
  for (RestoreObj* r : step.records) r->Redo();
  impl->restoring = false;
  impl->undo.push_back(step);
  SetSaveRequiredFlag(TRUE);
  UndoHistoryChanged();
  return TRUE;
}

int Hold::NumUndo() { return (int)impl->undo.size(); }
int Hold::NumRedo() { return (int)impl->redo.size(); }
const char* Hold::UndoName(int i) { return Impl::NameFromNewest(impl->undo, i); }
const char* Hold::RedoName(int i) { return Impl::NameFromNewest(impl->redo, i); }

void Hold::ClearHistory() {
  impl->DropAll(impl->undo);
  impl->DropAll(impl->redo);
  UndoHistoryChanged();
}

Hold theHold;
