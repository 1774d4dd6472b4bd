// Dialog objects: the base of every dialog of the library, the base of dialogs that own view
// controls and show their data at a time of their own, the modeless bases tied to the host's time
// and exit, tab pages, and the editing dialog of one data type.
#pragma once

#include "JBinary.h"
#include "JClassDesc.h"
#include "JExport.h"
#include "JMemBlock.h"
#include "JPropList.h"
#include "JWinProc.h"
#include "vantor.h"

class JViewCtl;
class JDataBase;

// A dialog object; the dialog window's user data points at it. Not copyable: one object per window.
// Its four operations take the table's first slots and a derived dialog's operations follow them
// directly, so the destructor is not virtual here but protected (a dialog object ends through
// DeleteThis); a derived class declares its virtual destructor after its own operations.
class QUORAPI JDlgProc {
 public:
  JDlgProc();
  JDlgProc(const JDlgProc&) = delete;
  JDlgProc& operator=(const JDlgProc&) = delete;
  virtual INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void DeleteThis() = 0;
  virtual HINSTANCE GetInstanceHandle() = 0;  // the module holding the dialog template
  virtual int IdDlg() = 0;                    // the template's resource id
  HWND GetHwnd() { return hwnd; }

 protected:
  ~JDlgProc();
  HWND hwnd;  // null until the dialog is initialised
  friend struct JRegistryAccess;  // the routing attaches the handle
};

// A dialog that owns view controls, routes the dialog's messages to them and shows their data at
// its time; it has a renameable title, an icon and window properties. A derived class decides how
// its window is created and how Destroy() ends it. Every live object counts in the open-dialog
// counter (AdjustDialogCount: 1 minus the number of live dialogs). The whole handling of every
// message is guarded: an access fault in it is reported in a message box and closes the dialog.
// The message loops run inside the handling (the host's message pump, the rename box) are not:
// the messages they dispatch belong to other windows. Nor are faults inside the system's own
// modules, which handle them themselves (IsBadReadPtr answers TRUE as usual).
// Not copyable, as a dialog object. The dialog owns its controls: they are destroyed when it
// closes (a modeless dialog deleted without closing destroys them when it is deleted).
// The controls write every change into their data as it is made, each change one host undo step
// labelled ActionName(). IDOK and IDCANCEL both just close the dialog: Cancel keeps the changes
// unless the derived class's Command brings the old values back itself.
class QUORAPI JViewDlgBase : public JDlgProc {
 public:
  JViewDlgBase();

  // ---- What a plug-in calls ----
  // The first control, in list order, that owns dialog control id; null if none.
  JViewCtl* FindCtl(int id);
  // Routes a control's message: the owning control (unless frozen) gets UpdateData at GetTime().
  // 1 when a control owns id (frozen too), 0 when none does.
  int UpdateData(int id, UINT msg, UINT_PTR param);
  // The first control whose bypass control is id writes it into its data: 1; 0 if none.
  int UpdateBypassTree(int id);
  // The dialog's icon: 0 (the default) shows the library's icon 135, (HICON)-1 (any negative
  // value) no icon at all.
  void SetIcon(HICON icon);
  HICON GetIcon();
  // Puts the title-menu item into the window's system menu (or takes it out again when the id
  // is -1).
  void InitDlgTitleMenu();
  int NumControls() { return controls.Count(); }
  JViewCtl* GetControl(int i) { return i >= 0 && i < controls.Count() ? controls[i] : nullptr; }
  // Window properties; JProp_Wnd_NoCenter() non-zero keeps the window where its template puts it.
  JPropertyList& Properties() { return properties; }
  JExtTable& Extensions() { return extensions; }
  const char* GetDlgTitle() { return title.Data() ? title.Data() : ""; }  // "" when none
  JBinaryData* GetTitleData() { return titleData; }
  unsigned int GetTitleMenuId() { return titleMenuId; }  // 0xFFFFFFFF: no title-menu item

  // ---- The slots a derived class fills or overrides ----
  // The routing of the dialog's messages. WM_INITDIALOG: the icon and title, RegisterCB(1), PreInit,
  // every control's Init at GetTime() in list order, the centring, each control showing its data,
  // PostInit; PreInit or PostInit answering 0 sends IDCANCEL. WM_COMMAND: Command first (non-zero:
  // handled); then IDOK and IDCANCEL close the dialog, and any other id goes to the control whose
  // bypass control it is, else to the control that owns it (UpdateData). WM_CLOSE: RegisterCB(0),
  // every control destroyed, then Destroy().
  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Adds a control (null is ignored) and makes this dialog its parent.
  virtual void operator+=(JViewCtl* c);
  // Removes the first entry equal to c; the control keeps its parent.
  virtual void operator-=(JViewCtl* c);
  virtual int GetTime() = 0;  // the time at which the controls show their data
  virtual void SetTime(int t) = 0;
  virtual int GetTimeLock() = 0;  // non-zero while the dialog's time follows the host's
  virtual void SetTimeLock(int lock) = 0;
  virtual void SetPlayAnimation(int play) = 0;
  virtual int GetPlayAnimation() = 0;
  virtual const char* ActionName() = 0;  // the undo label of the dialog's changes
  virtual void Destroy() = 0;            // closes the window and deletes the object
  // Rebinds the dialog's controls to another data object; 1 when done.
  virtual int SwitchData(JDataBase* data, void* context) = 0;
  // Before the controls are initialised at WM_INITDIALOG; 0 cancels the dialog. Default: 1.
  virtual int PreInit();
  // Last at WM_INITDIALOG; 0 cancels the dialog. Default: centres the window on its parent
  // (unless JProp_Wnd_NoCenter()), 1.
  virtual int PostInit();
  // First look at every WM_COMMAND; non-zero means handled. Default: 0.
  virtual int Command(int id, unsigned int code);
  // Mouse moves and left-button presses and releases; the dialog-procedure result. Default: 0.
  virtual int Mouse(UINT msg, WPARAM wParam, LPARAM lParam);
  // Binds the title to a data object (null unbinds) and shows the title it holds.
  virtual void SetDlgTitle(JBinaryData* titleData);
  // Sets the title text (null: empty), shows it and writes it into the bound title data.
  virtual void SetDlgTitle(const char* title);
  // Sets the title-menu item: id (0xFFFFFFFF: none) and text (null: "Rename..."; not copied, so
  // it must outlive the dialog). Nothing happens when id is the one already set.
  virtual void DlgTitleMenu(unsigned int id, const char* text);
  // The rename dialog over the current title: 1 when the user accepted a new title, else 0.
  virtual int DlgTitleMessage();

 protected:
  // Registers (on non-zero) or unregisters the host callbacks the dialog needs while its window
  // is open. Default: nothing.
  virtual void RegisterCB(int on);

 public:
  // After every operation above, which keep their places in the table.
  virtual ~JViewDlgBase();

 protected:
  JExtTable extensions;     // per-dialog extensions; the icon among them
  Tab<JViewCtl*> controls;  // in the order they were added
  JPropertyList properties;
  JMemBlock title;          // zero-terminated; empty when there is no title
  JBinaryData* titleData;   // not owned; null by default
  unsigned int titleMenuId;
  const char* titleMenuText;

  friend struct JViewDlgAccess;  // the message routing in the library
};

// A dialog with a time of its own, which it can lock to the host's time; while its window is
// open it follows the host's time changes (when locked) and closes when the host exits.
class QUORAPI JViewModelessBase : public JViewDlgBase, public TimeChangeCallback, public ExitVANTORCallback {
 public:
  JViewModelessBase();  // the host's current time, unlocked
  ~JViewModelessBase() override;

  int GetTime() override;
  // The dialog's time becomes t. Unlocked: every control shows its data at t at once, the host's
  // time stays. Locked: the host's time moves to t (when it differs) and its change refreshes.
  void SetTime(int t) override;
  int GetTimeLock() override;
  void SetTimeLock(int lock) override;  // only the flag
  void SetPlayAnimation(int play) override;  // nothing
  int GetPlayAnimation() override;  // 0
  // The host's broadcast notifications: nothing to do.
  static void NotifyProc(void* param, NotifyInfo* info);

  // Host callbacks. A time change while locked: the dialog's time becomes t and every control
  // shows its data at t.
  void TimeChanged(TimeValue t) override;
  // The host exits: the dialog is cancelled (IDCANCEL). Answers 1, so the exit goes on.
  BOOL Exit(HWND hWnd) override;

 protected:
  // On: locked at the host's time, both callbacks registered. Off: the host's pending messages
  // are processed, unlocked, both callbacks unregistered.
  void RegisterCB(int on) override;

  int time;
  int timeLock;
};

// A modeless dialog window created with CreateDlg, registered with the host as a dialog window
// (so the host's message loop gives it keyboard navigation), and ended with Destroy.
class QUORAPI JOneModelessBase : public JViewModelessBase {
 public:
  // Creates dlg's window from its template (dlg->GetInstanceHandle(), dlg->IdDlg()) owned by
  // parent (null: the host's main window) and answers dlg; null, with dlg deleted, when the
  // window cannot be created or its initialisation cancelled it.
  static JOneModelessBase* CreateDlg(HWND parent, JOneModelessBase* dlg);
  // Destroys the controls still listed (none after the close sequence), unregisters and destroys
  // the window (without running the close sequence again), then deletes the object.
  void Destroy() override;
  // SwitchData(data, context); data must not be null (asserted, 0). Answers 1.
  int SwitchDlg(HWND owner, JDataBase* data, void* context);
};

// A page of a tab view: a child dialog that shows its controls at its parent dialog's time and
// takes its undo label from it; it still refreshes its controls when the host's time changes.
// The tab view sets the parent when the page is added; a page is used only after that.
class QUORAPI JViewChildBase : public JOneModelessBase {
 public:
  JViewChildBase();
  JViewDlgBase*& Parent() { return parentDlg; }
  int GetTime() override;             // the parent's time
  const char* ActionName() override;  // the parent's undo label

 protected:
  // Only the time-change callback: on, locked at the host's time; off, unlocked.
  void RegisterCB(int on) override;

  JViewDlgBase* parentDlg;
};

// Reports, through the host's assertion, a switch on a dialog type that cannot switch.
QUORAPI void JViewDlgSwitchUnsupported();

// What JViewDlg needs to know of the data type it edits; each type used with JViewDlg provides a
// specialisation with
//   static const char* ActionName();                           the undo label of its dialog
//   static void AddControls(JViewDlgBase& dlg, DataType* data); creates and adds its controls
template <class DataType>
struct JViewDlgTraits;

// The editing dialog of one data type, built from the library's dialog template DialogId. One
// instance is open at a time; whether the last one was closed with OK is kept class-wide.
template <class DataType, int DialogId>
class JViewDlg : public JOneModelessBase {
 public:
  explicit JViewDlg(DataType* data) : data(data) {
    instance = this;
    accepted = 0;
    JViewDlgTraits<DataType>::AddControls(*this, data);
  }
  ~JViewDlg() override {
    if (instance == this) instance = nullptr;
  }
  // The open instance (null when none), and whether the last one was closed with OK.
  static JViewDlg* Instance() { return instance; }
  static int Accepted() { return accepted; }

  DataType* Data() { return data; }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetLibInstance(); }
  int IdDlg() override { return DialogId; }
  const char* ActionName() override { return JViewDlgTraits<DataType>::ActionName(); }
  // IDOK sets the accepted flag; the dialog then closes as any other.
  int Command(int id, unsigned int code) override {
    if (id == IDOK) accepted = 1;
    return JOneModelessBase::Command(id, code);
  }
  // Switching is for types that support it (they override this): asserted, 1.
  int SwitchData(JDataBase*, void*) override {
    JViewDlgSwitchUnsupported();
    return 1;
  }

 protected:
  DataType* data;
  static inline JViewDlg* instance = nullptr;
  static inline int accepted = 0;
};
