// A button that replaces its parameter object by a freshly made one of the same class.
#pragma once

#include "JButton.h"

// On a click, a new object of the bound object's class takes its place in every object that
// referenced it, starting from the same resource description; the old object is deleted. Not
// copyable, as a view.
class QUORAPI JResetButton : public JButton {
 public:
  // Told of the new object after the swap, before the old one is deleted.
  typedef void (*Reset)(JData* newData, void* user);

  // A reset button over button idButton bound to data; reset may be null.
  static JResetButton* Create(JData* data, int idButton, Reset reset, void* user);

 protected:
  JResetButton() = default;
  // The button's callback: a WM_COMMAND resets, every other event is ignored.
  static void OnButton(JButton* button, void* user, int t, int id, unsigned int msg, UINT_PTR param);
  void ResetData(int t);

  Reset reset = nullptr;
  void* resetUser = nullptr;
};
