// The material editor's side of a texture map's parameter panel: what a map (or a control in its
// panel) tells the editor about its changes, and the host's editor service behind it.
#pragma once

#include "vbase.h"
#include "vgeom.h"

class ClassDesc;
class Texmap;

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

// ---- The material editor ------------------------------------------------------------------------
//
// While a map's parameter panel is open, the material editor stands behind it as a window of its
// own (kept hidden: the panel is what the user sees). The editor holds a reference to the map it
// edits until its window is destroyed, which also destroys the panel (the panel is owned by it).
//
// How a panel finds its editor: Texmap::CreateParamDlg is given the editor's window as owner. That
// window is the one to post MTLEDIT_PICK_SUBTEX to, and GetMtlParams(owner) answers the editor's
// IMtlParams (null when the owner is not an editor, e.g. a panel opened with no editor behind it).
//
// MTLEDIT_PICK_SUBTEX (posted or sent to the editor's window): the editor opens its map browser, a
// modal dialog owned by the panel that lists "None", the host's maps and every public texture map
// class of the loaded plug-ins, with the sub-texture's current class selected. On OK it makes the
// chosen map (or takes none), assigns it with SetSubTexmap(wParam, map) on the Texmap in lParam as
// one undo step ("Assign Map"), calls its IMtlParams::MtlChanged, then sends
// MTLEDIT_SUBTEX_CHANGED (wParam 0, lParam 0) to the panel and to every window the panel owns (the
// panel's own dialogs, such as a gradient flag's properties), so that each refreshes. Cancel
// changes nothing. The message answers 1 when a map was assigned and 0 otherwise. Refused with 0
// and nothing opened: lParam null or neither the edited map nor one of its sub-textures (at any
// depth), wParam not a sub-texture number of that map, or a browser already open.

// Opens the material editor on map: answers the editor's (hidden) window, or null for a null map.
HOSTAPI HWND CreateMtlEditor(Texmap* map);
// Opens the edited map's parameter panel: map->CreateParamDlg(editor), which becomes the editor's
// panel. Null when editor is not an editor's window or the map has no panel.
HOSTAPI HWND OpenMtlEditorPanel(HWND editor);
// Makes panel (a window a program built for the map's controls itself) the editor's panel. FALSE
// when editor is not an editor's window.
HOSTAPI BOOL SetMtlEditorPanel(HWND editor, HWND panel);
// The editor's IMtlParams, or null when hwnd is not an editor's window.
HOSTAPI IMtlParams* GetMtlParams(HWND hwnd);
// The editor's sample slot: MtlChanged updates the map at time 0 and evaluates it at the middle
// of its texture space (u = v = 0.5). Fills colour with the last sample (when not null) and
// answers how many samples were rendered; -1 when hwnd is not an editor's window.
HOSTAPI int GetMtlEditorSample(HWND hwnd, Color* colour);

// The map browser on its own: a modal dialog owned by owner (may be null) with prompt above the
// list, the current class (null: "None") selected. Answers TRUE on OK and sets *chosen to the chosen
// class (null for "None"); FALSE on Cancel or a null chosen, which is left alone.
HOSTAPI BOOL BrowseTexmapClass(HWND owner, const char* prompt, ClassDesc* current, ClassDesc** chosen);
