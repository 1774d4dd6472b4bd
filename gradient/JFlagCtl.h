// Flag markers: the small pentagon windows below a gradient, one per flag, that the user drags to
// move a flag, clicks to make it active, double-clicks to edit its colour and right-clicks for a
// menu; and the modeless " Flag Properties" dialog that edits the active flag.
#pragma once

#include "JFlag.h"
#include "JValueCtl.h"
#include "JViewCtl.h"
#include "JViewDlg.h"
#include "JWinProc.h"

class IColorSwatch;
class ICustButton;
class IMtlParams;
class Texmap;

// A marker is a view control of its dialog bound to one JFlagCtlData and a window of the class
// "JUniversalWindow". While dragged it writes the flag's positions from its place; when the
// positions change it moves itself (once per burst of changes). It calls its owner through the
// notify; a null notify is never called.
class QUORAPI JFlagCtl : public JViewCtl, public JWinProc {
 public:
  // Style bits; the others are carried and not used by the marker.
  enum : unsigned int {
    kStyleActivity = 0x1,        // activity colouring; deletion by dragging off an end
    kStyleFixed = 0x10000,       // cannot be dragged or deleted (the end flags)
    kStyleDisabled = 0x80000000  // mouse, keys and menu are ignored
  };
  // Commands of the marker's menu (WM_COMMAND ids).
  enum { kCmdProperties = 1000, kCmdDelete = 1001, kCmdCopy = 1004, kCmdPaste = 1005 };
  // Posted to the marker when its flag changed; the last one posted moves it.
  enum : unsigned int { kMsgUpdView = 0x5501 };

  // A marker of flag owning dialog control id (-1: none), width x height pixels, whose tip moves
  // within drag (the dialog's client coordinates). Null when the window class cannot be
  // registered. The long form also keeps the material-editor context of a texture map (dialog
  // window, map, material parameters) for the properties dialog and for pasting textures.
  static JFlagCtl* Create(JData* flag, int id, int style, int width, int height, RECT& drag, JFlagCtlNotify* notify);
  static JFlagCtl* Create(JData* flag, int id, int style, int width, int height, RECT& drag, JFlagCtlNotify* notify,
                          HWND dlg, Texmap* tex, IMtlParams* mtlParams);
  // The library's window class; the first successful call also loads the menu texts.
  static unsigned short Register();

  int GetStyle() { return (int)style; }
  // Replaces the style bits (the owner disables and enables markers); repaints the marker.
  void SetStyle(int newStyle);
  JFlagCtlData* Data();
  JFlagCtlNotify* Notify() { return notify; }
  int IsDeletePending() { return deletePending; }
  int Width() { return width; }
  int Height() { return height; }
  // The tip's offset inside the marker window.
  POINT Tip() { return tip; }

  // ---- The bound flag's values (zeros without a flag) ----
  void GetPos(int t, float& x);
  void GetPos(int t, float& x, float& y);
  void GetColor(int t, Point3& c);
  void GetInterp(int t, float& v);
  void GetSubtex(Texmap*& tex);
  // The colour at t as a Win32 colour, each channel truncated from channel x 255.
  COLORREF GetColor(int t);
  // Writes the Win32 colour (each channel / 255) at t and repaints the marker.
  void SetColor(int t, COLORREF c);

  // ---- What the dialog calls ----
  // Creates the window, its hidden swatch, its shape and menu, and places it. 0 on failure.
  int Init(int t) override;
  // Releases the swatch, destroys the window, closes an open properties dialog, unregisters and
  // deletes the marker.
  void Destroy() override;
  void DeleteThis() override;
  int Own(int id) override;  // the control id
  // Writes the positions of the tip's place within the drag rectangle at t.
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  // Posts kMsgUpdView: the marker moves when the message queue is served.
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

  // Takes the focus and switches an open properties dialog to this flag.
  void Activate();
  using JViewCtl::Activate;
  // Moves the marker to the flag's positions at the dialog's time and gives the hidden swatch
  // the flag's colour.
  void UpdView();
  // Lays out the open properties dialog for this marker's context and gradient.
  void UpdateJFlagDlgCtl();
  // With viaNotify and a notify, the owner deletes the flag first (a 0 answer keeps the
  // marker); then the marker leaves its dialog and is destroyed.
  void DestroyFlag(int viaNotify);
  void OnPaint(HDC hdc);

 protected:
  // The marker window's messages: mouse, keys, focus, the menu's commands, painting, the posted move.
  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  JFlagCtl(int id, unsigned int style, int width, int height, const RECT& drag, JFlagCtlNotify* notify, HWND dlg,
           Texmap* tex, IMtlParams* mtlParams);
  ~JFlagCtl() override;
  // Opens the properties dialog on this flag, or switches the open one to it, and hands it the
  // marker's context.
  void ShowProperties();
  // The first steps of a click: focus, the owner hears of it, the dialog or colour picker follows.
  void ClickActivate();
  void Command(int id);
  void Drag(int x, int y);
  // The tip's place in the dialog's client coordinates.
  POINT TipInDialog();
  int DialogTime();

  int idCtl;
  unsigned int style;
  int width, height;
  RECT drag;
  POINT tip;
  HMENU menu;
  JFlagCtlNotify* notify;
  int deletePending;
  int viewDone;
  IColorSwatch* swatch;
  HWND swatchWnd;
  HWND dlgWnd;
  Texmap* tex;
  IMtlParams* mtlParams;
};

// What the flag properties dialog edits.
template <>
struct QUORAPI JViewDlgTraits<JFlagCtlData> {
  static const char* ActionName();  // "Edit Flag Properties"
  static void AddControls(JViewDlgBase& dlg, JFlagCtlData* flag);
};

// The " Flag Properties" dialog (template 1017 of the library): colour, position, name,
// interpolation and texture of one flag, and a spinner that steps to the next or previous flag.
// One is open at a time; the markers open it and switch it to the active flag.
class QUORAPI JFlagCtlDlg : public JViewDlg<JFlagCtlData, 1017> {
 public:
  // Indices of the controls in the control list.
  enum { kCtlColor, kCtlPos, kCtlPos2, kCtlName, kCtlInterp, kCtlStep };

  // A dialog for flag, showing it at owner's time.
  JFlagCtlDlg(JFlagCtlData* flag, JViewDlgBase* owner);
  ~JFlagCtlDlg() override;

  // The open dialog, or null.
  static JFlagCtlDlg* Open();

  int PreInit() override;
  int PostInit() override;
  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Rebinds the controls to flag (a JFlagCtlData) at the owner's time; a non-null owner (a
  // JViewDlgBase*) replaces the kept one. 0 for other data or without any owner.
  int SwitchData(JDataBase* flag, void* owner) override;
  int GetTime() override;  // the owner's time when there is one

  // The context the markers hand over.
  void SetContext(JFlagCtlNotify* notify, HWND mtlWnd, Texmap* tex, IMtlParams* mtlParams);
  JFlagCtlData* Flag() { return flag; }
  JViewDlgBase* Owner() { return owner; }
  JFlagCtlNotify* Notify() { return notify; }
  HWND MtlWindow() { return mtlWnd; }
  // Shows the flag's texture's full name on the texture button, or "None".
  void UpdateTextureButton();

 protected:
  void Step(int dir);

  JViewDlgBase* owner;
  JFlagCtlNotify* notify;
  JFlagCtlData* flag;
  HWND mtlWnd;
  Texmap* tex;
  IMtlParams* mtlParams;
  ICustButton* texButton;
};
