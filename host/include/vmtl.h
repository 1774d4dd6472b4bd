// The material editor's side of a texture map's parameter panel: what a map (or a control in its
// panel) tells the editor about its changes.
#pragma once

#include "vbase.h"

// Handed to a texture map when the material editor opens the map's panel; valid while the panel
// is open. The material editor answers two messages sent to its window by the panel:
// MTLEDIT_PICK_SUBTEX (wParam the sub-texture number, lParam the Texmap*) lets the user pick a map
// for that sub-texture of the map; once a map is assigned the editor sends MTLEDIT_SUBTEX_CHANGED
// back to the panel's window so that it refreshes what it shows of its sub-textures.
class IMtlParams {
 public:
  // The map or material being edited changed: the editor renders its sample slot again.
  virtual void MtlChanged() = 0;

 protected:
  ~IMtlParams() = default;
};

#define MTLEDIT_PICK_SUBTEX 0x4402
#define MTLEDIT_SUBTEX_CHANGED 0x4500
