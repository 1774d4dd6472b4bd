// A leaf view for the binding tests: it records the times and changes it is shown and the bypass
// states its data tells it, and writes kWritten when its control changes, as a control would.
#pragma once

#include "Quorlib.h"

#include <utility>
#include <vector>

class RecordingView : public JViewLeaf {
 public:
  static constexpr float kWritten = 42.0f;
  static RecordingView* Create(JDataBase* d, int idBypass = -1) {
    RecordingView* v = new RecordingView;
    v->Setup(d, idBypass);
    return v;
  }
  void DeleteThis() override { delete this; }
  void UpdateData(int t, int, unsigned int, UINT_PTR) override {
    float v = kWritten;
    SetValue(t, &v);
  }
  void UpdateView(int t, ReferenceTarget* changed) override { shown.push_back({t, changed}); }
  using JViewLeaf::UpdateView;
  void UpdateBypassTreeView(int bypass) override {
    told.push_back(bypass);
    JViewLeaf::UpdateBypassTreeView(bypass);
  }
  using JViewLeaf::UpdateBypassTreeView;
  std::vector<std::pair<int, ReferenceTarget*>> shown;
  std::vector<int> told;
};
