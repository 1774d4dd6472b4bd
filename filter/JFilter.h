// The base of image filters for the host's post-production queue: the filter's parameters are a
// data tree kept in the filter's track-editor node (so the scene saves, loads and animates them),
// its settings dialog runs modelessly while the host's event dialog is hidden, and cancelling the
// dialog brings the parameters back as they were.
#pragma once

#include "JData.h"
#include "JPropList.h"
#include "vflt.h"

class JOneModelessBase;

// The host's image filter with run-time type identity, and nothing else.
class QUORAPI ImageFilterRTTI : public ImageFilter {};

// What a filter plug-in derives from. A client implements ShowControl (normally JPrepFilterDlg,
// then ShowControlProtected), the five operations at the end, GetCD and the host's description
// operations. ShowControlProtected answers 1 however the dialog ended, so a client keeps
// DoShowControl's answer itself to return it from ShowControl (samples/glow records IDOK in its
// dialog's Command). Not copyable, as the host's filter.
class QUORAPI JFilterBase : public ImageFilterRTTI, public JClassBase {
 public:
  JFilterBase();
  ~JFilterBase() override;

  // 1 while a preview renderer calls Render for a preview, else 0 (set by that renderer).
  int GetPreviewFlags() { return previewFlags; }
  void SetPreviewFlags(int f) { previewFlags = f; }
  // 1 while the library asks the host for a preview source image (around CreatePreview), else 0.
  int GetPreviewSource() { return previewSource; }
  void SetPreviewSource(int on) { previewSource = on; }
  // Properties a client may attach; the library does not use them.
  JExtTable& Extensions() { return extensions; }

  // The filter's data tree, kept as reference 0 of a TVDummyControl that is item 0 of the
  // filter's node. Made from CreateData when the filter has no node yet, and remade (dropping
  // every item of the node) when item 0 is missing, of another kind or holds a tree of another
  // class than GetDataCD's. Null only when no node can be made.
  JData* Data();
  // Makes d the data tree. Answers 0 when d already is the tree; otherwise the previous tree
  // when deleteOld is 0 (the caller owns it now and releases it with DeleteMe), or null when
  // deleteOld is non-zero (the previous tree is deleted unless something else references it).
  JData* SetData(JData* d, int deleteOld);
  // Runs DoShowControl on a copy-protected tree: when it answers 0 (cancelled) a copy of the tree
  // taken before replaces the edited one. Then posts IDOK to the host's event dialog recorded by
  // JPrepFilterDlg (when it is still a window). Answers 1.
  int ShowControlProtected(HWND parent);

  // ---- The host's operations ----
  // Reads a chunk stream (a saved data tree) from block; a tree read becomes the data tree. A
  // null or unreadable block changes nothing. Answers TRUE in every case.
  BOOL LoadConfigure(void* block) override;
  // The tree lives in the node: the configuration block is empty (size 0, nothing written).
  BOOL SaveConfigure(void* block) override;
  DWORD EvaluateConfigure() override;
  // Makes sure the data tree exists (Data).
  void FilterUpdate() override;
  // DoRender.
  BOOL Render(HWND hWnd) override;

  // ---- What a client implements ----
  // The class descriptor of the filter's data class. The module's LibClassDesc must offer it too:
  // the host makes the class by its id when it loads a scene, and JCreateRegistered makes nothing
  // for a class the host does not know (no tree is made, so a render that needs it fails).
  virtual JClassDescBase* GetDataCD() = 0;
  // A new data tree with default values (normally JCreateRegistered of GetDataCD's class).
  virtual JData* CreateData() = 0;
  // Runs the settings dialog on parent; non-zero when the user accepted.
  virtual int DoShowControl(HWND parent) = 0;
  // Fills the about dialog; answers what WM_INITDIALOG answers.
  virtual INT_PTR InitAbout(HWND dialog) = 0;
  // The filter's rendering of the current frame into Source().
  virtual BOOL DoRender(HWND hWnd) = 0;

 protected:
  JExtTable extensions;
  int previewFlags;
  int previewSource;
  int reserved[2];  // zero; not read by the library

 private:
  JData* FreshData(ITavrelNode* node);
};

// 1 when the dialog given to the last JPrepFilterDlg was the host's dialog for adding a new filter
// event (its title is "Add Image Filter Event"), else 0.
QUORAPI int JNewFilterEvent();
// Hides the host's filter-event dialog and its parent and guards the parent so that the host
// cannot show it again while a filter dialog is open (the filter dialog comes forward instead).
// Answers the host's main window, enabled and active: the parent for the filter dialog.
QUORAPI HWND JPrepFilterDlg(HWND eventDialog);
// Waits, while the host keeps processing messages, until *dialog becomes null (the modeless
// filter dialog clears it when it closes). Meanwhile the dialog cannot be sized or maximized and
// the host's File menu and its Edit menu's Hold and Fetch are greyed. Afterwards the host's
// windows are restored as JPrepFilterDlg found them. Answers 1 when the host's message processing
// reported the end of the application meanwhile, else 0. filter is not used.
QUORAPI int JDoFilterDlg(JOneModelessBase** dialog, JFilterBase* filter);
// The procedure of a filter's about dialog; the creation parameter is the JFilterBase*, whose
// InitAbout fills the dialog. OK ends it with 1, Cancel with 0.
QUORAPI INT_PTR CALLBACK JFilterAboutDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
