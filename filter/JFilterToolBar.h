// The standard command strip of a filter dialog and the settings buttons: a toolbar at the top of
// the dialog (accept, cancel, reset, load, save, save as, make preview, setup and make preview),
// dialog buttons that save and load the filter's settings, and the holders of the file name,
// file filter, default extension and last folder that these controls share.
#pragma once

#include "JButton.h"
#include "JFilter.h"
#include "JMemBlock.h"
#include "JViewCtl.h"

// A file name (260 bytes, empty at first) with the file filter and default extension of its file
// dialogs. A holder with a parent delegates all three to the last holder of the parent chain, so
// controls given the same parent share one file name. Filter and extension are not owned.
class QUORAPI JPathHolder {
 public:
  JPathHolder(char* fileFilter, char* defExt);
  explicit JPathHolder(JPathHolder* parent);  // no filter or extension of its own

  char* PathName();    // the buffer the file dialogs use and update (260 bytes)
  char* FileFilter();  // a system filter list ("Name\0*.ext\0\0")
  char* DefExt();      // appended when the user types no extension

 protected:
  JPathHolder* Root();

  char pathName[MAX_PATH];
  char* fileFilter;
  char* defExt;
  JPathHolder* parent;
};

// A path holder that also remembers the last folder used (260 bytes, empty at first).
class QUORAPI JPathKeeper : public JPathHolder {
 public:
  JPathKeeper(char* fileFilter, char* defExt);
  explicit JPathKeeper(JPathHolder* parent);
  // Copies at most 259 bytes of path (never splitting a double-byte character); always terminated.
  void SetLastPath(const char* path);
  const char* GetLastPath() { return lastPath; }

 protected:
  char lastPath[MAX_PATH];
};

// The filter dialog's toolbar. Init grows the dialog by a band at the top and puts the toolbar
// there; the commands reset, load, save and preview the filter's settings (1 and 2 are left to the
// dialog, which closes). The commands 200 to 205 of a time toolbar (previous and next frame, play,
// stop, unlock and lock) are handled too, though the library makes no such toolbar. The preview
// settings live in the bound data object's properties (JProp_FltDlg_Preview...).
class QUORAPI JFilterToolBar : public JViewCtl, public JPathHolder {
 public:
  // Command ids of the toolbar.
  enum Command {
    kAccept = 1,
    kCancel = 2,
    kReset = 101,
    kLoad = 102,
    kSave = 103,
    kSaveAs = 104,
    kPreview = 105,
    kSetupPreview = 106,
    kPrevFrame = 200,
    kPlay = 201,
    kStop = 202,
    kNextFrame = 203,
    kUnlockTime = 204,
    kLockTime = 205,
  };
  enum Layout : int {
    kToolBarId = 107,  // the toolbar's control id
    kBandHeight = 26,  // what Init adds to the dialog's height, in pixels
  };

  // A toolbar for filter's dialog bound to data (its settings; bypass id -1). Null when memory
  // is short. option is kept for the client; the library does not read it.
  static JFilterToolBar* Create(JData* data, JFilterBase* filter, char* fileFilter, char* defExt);
  static JFilterToolBar* Create(JData* data, JFilterBase* filter, JPathHolder* parent);
  static JFilterToolBar* Create(JData* data, JFilterBase* filter, char* fileFilter, char* defExt, int option);
  static JFilterToolBar* Create(JData* data, JFilterBase* filter, JPathHolder* parent, int option);

  HWND GetToolBar() { return toolBar; }
  HWND GetTimeTB() { return timeToolBar; }  // null: the library makes none
  JFilterBase* GetFilter() { return filter; }
  int GetOption() { return option; }

  // ---- What the dialog calls ----
  int Init(int t) override;  // grows the dialog and makes the toolbar; 1
  // 1 for a command id of the toolbar (or of the time toolbar); 0 for ids below 1.
  int Own(int id) override;
  // Tooltip texts (WM_NOTIFY) and the commands (WM_COMMAND).
  void UpdateData(int t, int id, unsigned int msg, UINT_PTR param) override;
  void UpdateView(int t, ReferenceTarget* changed) override;  // notes that the data changed
  using JViewCtl::UpdateView;
  // Destroys the toolbar object; the scene is marked as changed when the data changed meanwhile.
  void DeleteThis() override;

 protected:
  JFilterToolBar(JFilterBase* filter, char* fileFilter, char* defExt, int option);
  JFilterToolBar(JFilterBase* filter, JPathHolder* parent, int option);
  ~JFilterToolBar() override;
  void Preview(int withSetup);
  void Exchange(JData* fresh);

  HWND toolBar;
  JFilterBase* filter;
  int updated;
  HWND timeToolBar;
  int option;
};

// The preview setup dialog (the library's dialog 103) over parent for the preview settings in
// data's properties. Answers IDOK ("Preview": settings stored, preview wanted), 6 ("Close":
// settings stored) or IDCANCEL (settings unchanged).
QUORAPI INT_PTR JFilterPreviewSetup(HWND parent, JDataBase* data);

// A dialog button that saves the data's settings to a file chosen in a file dialog. With a
// caption prefix the dialog's caption becomes "prefix - file name" after a save.
class QUORAPI JFilterSaveButton : public JButton, public JPathHolder {
 public:
  // title null: " Save Filter Settings". Null (asserted) when memory is short.
  static JFilterSaveButton* Create(JData* data, int idCtl, char* fileFilter, char* defExt, char* title);
  static JFilterSaveButton* Create(JData* data, int idCtl, JPathHolder* parent, char* title);
  static JFilterSaveButton* Create(const char* prefix, JData* data, int idCtl, char* fileFilter, char* defExt,
                                   char* title);
  static JFilterSaveButton* Create(const char* prefix, JData* data, int idCtl, JPathHolder* parent, char* title);
  // The file dialog's title and the caption prefix (null: none).
  void Titles(const char* title, const char* prefix);
  void DeleteThis() override;

 protected:
  JFilterSaveButton(char* fileFilter, char* defExt) : JPathHolder(fileFilter, defExt) {}
  explicit JFilterSaveButton(JPathHolder* parent) : JPathHolder(parent) {}
  static void Handler(JButton* button, void* user, int t, int id, unsigned int msg, UINT_PTR param);

  JMemBlock title;
  JMemBlock prefix;
};

// A dialog button that loads the filter's settings from a file chosen in a file dialog and makes
// them the filter's data. With a caption prefix the caption shows the file name after a load.
class QUORAPI JFilterLoadButton : public JButton, public JPathHolder {
 public:
  // title null: " Load Filter Settings". Null (asserted) when memory is short.
  static JFilterLoadButton* Create(JData* data, JFilterBase* filter, int idCtl, char* fileFilter, char* defExt,
                                   char* title);
  static JFilterLoadButton* Create(JData* data, JFilterBase* filter, int idCtl, JPathHolder* parent, char* title);
  static JFilterLoadButton* Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                   char* fileFilter, char* defExt, char* title);
  static JFilterLoadButton* Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                   JPathHolder* parent, char* title);
  // The file dialog's title and the caption prefix (null: none).
  void Titles(const char* title, const char* prefix);
  void DeleteThis() override;

 protected:
  JFilterLoadButton(char* fileFilter, char* defExt) : JPathHolder(fileFilter, defExt) {}
  explicit JFilterLoadButton(JPathHolder* parent) : JPathHolder(parent) {}
  static void Handler(JButton* button, void* filter, int t, int id, unsigned int msg, UINT_PTR param);

  JMemBlock title;
  JMemBlock prefix;
};

// The save button that remembers the folder of the last file, optionally in a data object whose
// value is the folder text (a JMemBlock, for instance a JBinaryData).
class QUORAPI JFilterSaveButton2 : public JButton, public JPathKeeper {
 public:
  // title null: " Save Filter Settings"; folder may be null. Null (asserted) when memory is short.
  static JFilterSaveButton2* Create(JData* data, int idCtl, char* fileFilter, char* defExt, char* title,
                                    JData* folder);
  static JFilterSaveButton2* Create(JData* data, int idCtl, JPathKeeper* parent, char* title, JData* folder);
  static JFilterSaveButton2* Create(const char* prefix, JData* data, int idCtl, char* fileFilter, char* defExt,
                                    char* title, JData* folder);
  static JFilterSaveButton2* Create(const char* prefix, JData* data, int idCtl, JPathKeeper* parent, char* title,
                                    JData* folder);
  // The path name becomes last folder + "\*." + default extension: the next file dialog opens
  // in the last folder.
  void SetupPath();
  // The file dialog's title and the caption prefix (null: none).
  void Titles(const char* title, const char* prefix);
  void DeleteThis() override;

 protected:
  JFilterSaveButton2(char* fileFilter, char* defExt) : JPathKeeper(fileFilter, defExt) {}
  explicit JFilterSaveButton2(JPathHolder* parent) : JPathKeeper(parent) {}
  static void Handler(JButton* button, void* folder, int t, int id, unsigned int msg, UINT_PTR param);

  JMemBlock title;
  JMemBlock prefix;
};

// The load button that remembers the folder of the last file, optionally in a data object.
class QUORAPI JFilterLoadButton2 : public JButton, public JPathKeeper {
 public:
  // title null: " Load Filter Settings"; folder may be null. Null (asserted) when memory is short.
  static JFilterLoadButton2* Create(JData* data, JFilterBase* filter, int idCtl, char* fileFilter, char* defExt,
                                    char* title, JData* folder);
  static JFilterLoadButton2* Create(JData* data, JFilterBase* filter, int idCtl, JPathKeeper* parent, char* title,
                                    JData* folder);
  static JFilterLoadButton2* Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                    char* fileFilter, char* defExt, char* title, JData* folder);
  static JFilterLoadButton2* Create(const char* prefix, JData* data, JFilterBase* filter, int idCtl,
                                    JPathKeeper* parent, char* title, JData* folder);
  JData* GetJPath() { return folder; }
  void SetJPath(JData* f) { folder = f; }
  // The file dialog's title and the caption prefix (null: none).
  void Titles(const char* title, const char* prefix);
  void DeleteThis() override;

 protected:
  JFilterLoadButton2(char* fileFilter, char* defExt) : JPathKeeper(fileFilter, defExt) {}
  explicit JFilterLoadButton2(JPathHolder* parent) : JPathKeeper(parent) {}
  static void Handler(JButton* button, void* filter, int t, int id, unsigned int msg, UINT_PTR param);

  JData* folder = nullptr;  // not owned; may be null
  JMemBlock title;
  JMemBlock prefix;
};
