// Parts of the interface object shared by the runtime's own files.
#pragma once

#include "vscene.h"

// Makes root the scene root; the former root is deleted.
void SetSceneRoot(INode* root);

// The select-by-name dialog over the nodes below root.
BOOL RunHitByNameDialog(HitByNameDlgCallback* cb, INode* root);

// The main window while it exists (null before it is made and after the application quits).
HWND ExistingMainWindow();

// The main window's menu bar, frames and accelerators.
HMENU CreateMainMenuBar();
void CreateMainFrames(HWND main);
void LayOutMainFrames(HWND main);     // after the main window changed size
bool HandleMainCommand(UINT id);      // true when the command was the main window's to carry out
// Greys the menu command that shows the Postline's queue window (while a filter's setup runs).
void EnablePostlineCommand(BOOL on);
bool TranslateHostAccelerator(HWND main, MSG* msg);  // false while the accelerators are disabled
