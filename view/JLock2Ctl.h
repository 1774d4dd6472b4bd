// A view that keeps two numeric parameters in a fixed relation while a lock check box is on.
#pragma once

#include "JViewCtl.h"

// Binds a (entry 0), b (entry 1) and the lock parameter (entry 2, may be null). Whenever one of
// a and b changes, the other follows so that the relation between a + gap and b holds again.
// Not copyable, as a view.
class QUORAPI JLock2Ctl : public JViewCtl {
 public:
  // Relations between a + gap and b.
  static const int kEqual = 0;    // b = a + gap
  static const int kAtLeast = 1;  // b >= a + gap
  static const int kAtMost = 2;   // b <= a + gap

  // a and b are required (asserted, null result). idLock: the lock check box, -1 for a relation
  // that always holds; lock: the parameter that stores the check box's state (0.0 or 1.0), or
  // null. mode: kEqual, kAtLeast or kAtMost (any other value never acts). The int and the
  // instance are kept and not used.
  static JLock2Ctl* Create(JData* a, JData* b, int idLock, JData* lock, int mode, float gap, int reserved,
                           HINSTANCE inst);
  // Rebinds b and lock, then a, and shows them at t.
  void Set(JData* a, int t, JData* b, JData* lock);
  using JViewCtl::Set;

  int Init(int t) override;  // 1
  void Destroy() override;
  void DeleteThis() override;
  int Own(int id) override;  // the lock check box
  int Valid(int t) override;  // 0
  // The lock box was clicked: its state goes into the lock parameter.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  // Shows the lock state (for a null change) and restores the relation when the box is on.
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JLock2Ctl() = default;
  int idLock = -1;             // the lock check box, -1: always locked
  int mode = kEqual;           // the relation
  float gap = 0.0f;            // b's distance from a
  ICustButton* button = nullptr;  // released at Destroy when set
  int reserved = 0;            // kept, not read
  HINSTANCE inst = nullptr;    // kept, not read
};
