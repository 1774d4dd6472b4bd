// View controls: bind one dialog control, window or callback to data objects of the parameter
// tree and keep the two in step. User actions come in through UpdateData and are written to the
// data; data changes come back through UpdateView.
#pragma once

#include "JData.h"
#include "JExport.h"
#include "JPropList.h"
#include "vantor.h"

#include <commctrl.h>

class JViewDlgBase;
class JDataLeafBase;
class ICustButton;

// The base of every view. A new view is frozen: it ignores notifications until its dialog has
// initialised it. Not copyable: it is registered with its data objects and owns its bypass images.
class QUORAPI JViewCtl {
 public:
  JViewCtl();
  JViewCtl(const JViewCtl&) = delete;
  JViewCtl& operator=(const JViewCtl&) = delete;

  // ---- What dialogs call, in this order of slots ----
  // The dialog window exists: create or attach the control's window parts. Default: 1.
  virtual int Init(int t);
  // Unregisters from every bound data object, then DeleteThis().
  virtual void Destroy();
  virtual void DeleteThis() = 0;
  // Rebinds the first data object and shows it at t.
  virtual void Set(JDataBase* data, int t);
  // Non-zero when dialog control id belongs to this view. Default: 0.
  virtual int Own(int id);
  // Non-zero when the control already shows the data's value at t. Default: 0.
  virtual int Valid(int t);
  // A user action from the dialog (see the dialog's routing for the arguments).
  virtual void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) = 0;
  // Writes the bypass control's state into the first data object.
  virtual void UpdateBypassTreeData();
  // The data changed: shows it at the parent dialog's time (ignored without a parent).
  virtual void UpdateView(ReferenceTarget* changed);
  // Shows the data's value at t.
  virtual void UpdateView(int t, ReferenceTarget* changed) = 0;
  // Shows a subtree bypass flag in the bypass control (checked: not bypassed).
  virtual void UpdateBypassTreeView(int bypass);
  virtual void Activate(int on);  // default: nothing
  // Sets up the bypass control.
  virtual void InitBypassCtl();
  // After the operations above, which keep their places in the table; a derived class's own
  // operations follow it.
  virtual ~JViewCtl();

  // ---- Parent and data ----
  JViewDlgBase* Parent() { return parent; }
  void SetParent(JViewDlgBase* p) { parent = p; }
  HWND hwndParent();
  int GetDataCount() { return data.Count(); }
  JDataBase* GetData(int i);  // null when i is out of range
  JDataBase* Data() { return GetData(0); }
  // Appends d (null too) and registers with it.
  void AddData(JDataBase* d);
  // Replaces entry i (when it exists), moving the registration.
  void SetData(JDataBase* d, int i);
  // Every entry equal to from becomes to (registered once per entry; from keeps its list).
  void ReplaceData(JDataBase* from, JDataBase* to);
  // Every entry equal to d becomes null; a data object that goes away calls this.
  void ClearData(JDataBase* d);
  // Moves the registration from oldData to newData; answers newData.
  JDataBase* Replace(JDataBase* oldData, JDataBase* newData);
  // First binding: entry 0 becomes d (appended when there is none), registered; keeps idBypass.
  void Setup(JDataBase* d, int idBypass);

  int SetFreeze(int on);  // answers the previous state
  int IsFreezed() { return freeze; }
  int IdBypass() { return idBypass; }
  // Enables or disables the bypass control; answers whether it was enabled (0 without one).
  int EnableBypassCtl(int enable);
  // Shows the first data object's subtree bypass flag.
  void UpdateBypassTreeView();
  JExtTable& Extensions() { return extensions; }

 protected:
  bool HasBypassCtl() { return idBypass != -1 && idBypass != 0; }
  HWND BypassWindow();
  void ReleaseBypassButton();

  JExtTable extensions;
  JViewDlgBase* parent;
  Tab<JDataBase*> data;
  int idBypass;
  int freeze;
  ICustButton* bypassButton;
  HIMAGELIST bypassImages;
};

// A view of one leaf parameter, read and written at a time.
class QUORAPI JViewLeaf : public JViewCtl {
 public:
  JDataLeafBase* Data();
  ParamDimension* Dim();
  void GetValue(int t, void* value);
  // Writes with the view frozen, so the change does not come back into it.
  void SetValue(int t, void* value);

 protected:
  // Writes a value the user set in the control (a float, or what the leaf's SetValue takes).
  // Without a bypass control the write never makes a key: animate mode is switched off around it
  // while the host is animating. With one, the write keys as the host's animate mode says.
  // Nothing without a bound leaf.
  void WriteBack(int t, void* value);
  void WriteBack(int t, float value);
};

// A view without a control: data changes go to a callback.
class QUORAPI JViewFunc : public JViewLeaf {
 public:
  typedef void (*Callback)(JViewFunc* view, void* user, int t, ReferenceTarget* changed);
  // A view bound to data (which must not be null: asserted, null result).
  static JViewFunc* Create(JData* data, Callback callback, void* user);
  void Set(JData* data, int t, Callback callback, void* user);
  using JViewCtl::Set;
  void DeleteThis() override;
  int Init(int t) override;
  int Own(int id) override;
  int Valid(int t) override;
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;

 protected:
  JViewFunc() = default;
  Callback callback = nullptr;
  void* user = nullptr;
};
