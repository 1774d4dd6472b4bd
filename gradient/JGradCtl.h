// The gradient window: the editor a plug-in places in its dialog. It shows the gradient as an
// image view, one flag marker per flag in a row just below it, a context menu (reset, gradient
// files, copy and paste, the bitmap modes, the composite choice) and, elsewhere in the dialog, an
// optional one-line label with the active flag's values. Clicking the gradient adds a flag; the
// markers move the flags and call back through JFlagCtlNotify.
#pragma once

#include "JFlag.h"
#include "JFlagCtl.h"
#include "JGrad.h"
#include "JViewWnd.h"

class JGradCtl;

// Style bits of the gradient window (the markers get the window's style; their own bits are
// described with JFlagCtl).
constexpr unsigned long JGRADCTL_MONO = 0x100;  // draw and label in grey (luminosity)

// The label: a dialog item of the class "JUniversalWindow" that shows the active flag's colour
// and position (or the bitmap of a bitmap mode, and the composite choice) on one line, right-aligned.
class QUORAPI JGradCtlLabel : public JWinProc {
 public:
  JGradCtlLabel();
  ~JGradCtlLabel() override;

  // Stores the owning window and the label's dialog item.
  void Setup(JGradCtl* owner, int ctrlId);
  // Attaches the dialog item of the owner's dialog: 1 without an owner, 0 when the item is missing.
  int Init();
  // Repaints the label now (when it has an owner and a live window).
  void UpdateView();
  int GetFontHeight() { return fontHeight; }
  int SetFontHeight(int h);  // answers the old height
  // The text the label shows now, at the owner's dialog time; empty without an owner.
  void GetText(char* text, int size);

  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 protected:
  void OnPaint(HDC dc);

  JGradCtl* owner;
  int ctrlId;
  int fontHeight;  // 8, or 12 on a system whose ANSI code page is 932
};

// The gradient window. Create binds it to a gradient (a JGradCtlData) that lives in the tree as a
// child of node, or is node itself; the dialog then adds it (+=) and initialises it with the other
// controls. The window deletes flags, replaces the gradient (Reset, Load, Paste) and keeps the
// parent's reference in step.
class QUORAPI JGradCtl : public JViewWnd, public JFlagCtlNotify {
 public:
  // Composite choices of the optional composite leaf.
  enum { kHighValue, kAverage, kLowValue, kAdditive, kSubtractive, kCompositeCount };

  // The gradient is node's child id, or node itself when id < 0. composite (null allowed) is a
  // leaf with the composite choice 0 to 4; its changes reach the window too. Null (asserted)
  // when memory is short. A gradient that Reset, Load or Paste puts in place of node's child is
  // stored in node's slot; one that replaces a gradient bound without a parent (id < 0) is held
  // by nothing, and the plug-in keeps (and finally deletes) Data().
  static JGradCtl* Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite);
  // The same, with the label in dialog item labelId.
  static JGradCtl* Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                          int labelId);
  // The same, with the material-editor context handed to the markers' properties dialog.
  static JGradCtl* Create(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                          int labelId, HWND dlg, Texmap* tex, IMtlParams* mtlParams);
  // The view's render function: the gradient's drawing (grey with JGRADCTL_MONO); user is the window.
  static int Render(BMM_Color_24* out, void* user, int time, int width, int height, float aspect, HWND window);

  JGradCtl();
  // Deletes the library-wide gradient clipboard: Paste is offered again only after a new Copy.
  ~JGradCtl() override;

  // The bound gradient, or null.
  JGradCtlData* Data();

  // ---- View control ----
  // Attaches the window, lays out the marker line, creates the markers, the menu and the label.
  int Init(int t) override;
  void DeleteThis() override;
  // Recomputes the image and refreshes the label; nothing before the window's first paint.
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewWnd::UpdateView;
  // Rebinds to another gradient (and composite leaf, when not null); nothing when it is the bound one.
  virtual void Set(JDataBase* gradient, int t, JFloatData* composite);
  void Set(JDataNode* node, int id, int t, JFloatData* composite);
  using JViewWnd::Set;

  // ---- Markers ----
  // One marker per flag, the end flags fixed; the first marker becomes the active one.
  void CreateAll();
  // Removes every marker; with viaNotify 1 the flags are deleted from the gradient too.
  void DeleteAll(int viaNotify);
  JFlagCtl* GetFlagCtl(int i);  // null when i is not below the flag count
  int GetLastActive();          // the active index
  int GetFlagCtlCount();        // the number of markers
  unsigned int GetNextFlagNumber();  // the largest N of the flags' "Flag #N" names (at least 1)

  // ---- The gradient ----
  void GetColor(Point3& c, float pos, int t);
  int GetMode();
  // Sets the gradient's mode; the end markers are enabled and the inner ones shown only in flag mode.
  void SetMode(int m);
  int GetInterpType();
  void SetInterpType(int v);
  // -1 without a composite leaf; else its value at time 0 truncated, clamped to 0 to 4.
  int GetCompositeValue();
  // Writes v at time 0 into the composite leaf (when there is one) and refreshes the label.
  void SetCompositeValue(int v);
  // Replaces the gradient with a new one set up from the default layout (the menu's Reset).
  void Reset();
  // Keeps RCDATA resource id of h as the default layout and hands it to the gradient. Answers
  // the resource's address as an int (DefaultLayout() has the whole pointer), 0 when not found.
  int LoadResource(HINSTANCE h, int id);
  const void* DefaultLayout() { return defaultLayout; }
  // Rebuilds the gradient's flags from the default layout: non-zero on success.
  int SetupResource();
  void UpdateLabels();  // repaints the label
  int GetFontHeight();
  int SetFontHeight(int h);  // answers the old height
  unsigned long GetStyle() { return style; }
  HMENU GetMenu() { return menu; }  // the context menu, null before Init
  // Whether the library-wide gradient clipboard holds a gradient (what Paste offers).
  static int ClipboardFull();

  // ---- What the markers call ----
  int Delete(JFlagCtlData* flag) override;
  JFlagCtl* Next(JFlagCtlData* flag) override;
  JFlagCtl* Prev(JFlagCtlData* flag) override;
  void Active(JFlagCtlData* flag) override;
  int IsActive(JFlagCtlData* flag) override;
  int MayDelete(JFlagCtlData* flag) override;
  int GetIndex(JFlagCtlData* flag) override;

 protected:
  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  unsigned long style;
  int markerWidth, markerHeight;
  RECT dragRect;  // the line of the marker tips, in the dialog's client coordinates (top == bottom)
  unsigned int nextFlagNumber;
  Tab<JFlagCtl*> markers;  // entry i is the marker of flag i
  int activeIndex;
  HMENU menu;
  JDataNode* parentNode;
  int childIndex;  // below 0: parentNode is the gradient itself
  JFloatData* composite;
  char filePath[260];
  JGradCtlLabel label;
  HWND dlgWnd;
  Texmap* tex;
  IMtlParams* mtlParams;
  const void* defaultLayout;

 private:
  static JGradCtl* Make(JDataNode* node, int id, int idBypass, int ctrlId, int style, JFloatData* composite,
                        int line);
  JFlagCtl* AddMarker(JFlagCtlData* flag, unsigned long markerStyle, int t);
  void AddFlagAt(WPARAM keys, LPARAM at);
  void ShowMenu(LPARAM at);
  void Command(int id);
  void LoadBitmapCommand(int id);
  void ReplaceGradient(JGradCtlData* g);
  void Refresh();
  void ScanFlagNumbers();
  void RepaintMarker(int i);
};
