// The host's core library: class descriptors, save and load interfaces, the interface object,
// custom controls and the plug-in class directory.
#pragma once

#include "vbase.h"
#include "vcustctrl.h"
#include "vutil.h"

class ISave;
class ILoad;
class Interface;
class INode;

// ---- Class descriptors -----------------------------------------------------------------------
// What a plug-in tells the host about one of its classes. The first six slots must be given; the
// others keep these defaults unless a plug-in overrides them.
class HOSTAPI ClassDesc {
 public:
  virtual ~ClassDesc();
  virtual int IsPublic() = 0;
  // A new object; the pointer is to the object's Animatable (its reference-system face).
  virtual void* Create(BOOL loading = FALSE) = 0;
  virtual const char* ClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const char* Category() = 0;
  virtual BOOL OkToCreate(Interface* ip);             // default: TRUE
  virtual const char* InternalName();                 // default: ClassName()
  virtual DWORD Version();                            // default: 1
  virtual void ResetClassParams(BOOL fileReset);      // default: nothing
  virtual BOOL NeedsToSave();                         // default: FALSE
  virtual IOResult Save(ISave* isave);                // default: IO_OK
  virtual IOResult Load(ILoad* iload);                // default: IO_OK
};

// ---- Save and load ---------------------------------------------------------------------------
// The writer handed to an object's Save: nested chunks with 16-bit ids holding raw bytes.
class HOSTAPI ISave {
 public:
  virtual ~ISave();
  virtual int GetRefID(void* ptarg) = 0;
  virtual void BeginChunk(USHORT id) = 0;
  virtual void EndChunk() = 0;
  virtual int CurChunkDepth() = 0;
  virtual IOResult Write(const void* buf, ULONG nbytes, ULONG* nwrit) = 0;
  virtual IOResult WriteWString(const char* str) = 0;
  virtual IOResult WriteWString(const wchar_t* str) = 0;
  virtual IOResult WriteCString(const char* str) = 0;
  virtual IOResult WriteCString(const wchar_t* str) = 0;
  virtual int DoingWhat();          // default: 0, a scene-file save
  virtual DWORD SavingVersion();    // default: 0, the current version
};

// Run by a loader after every object of a load exists.
class HOSTAPI PostLoadCallback {
 public:
  virtual ~PostLoadCallback();
  virtual void proc(ILoad* iload) = 0;
  virtual int Priority();  // default: 5
};

// Chunk types as a loader reports them.
enum ChunkType { NEW_CHUNK = 0, CONTAINER_CHUNK = 1, DATA_CHUNK = 2 };

// The reader handed to an object's Load.
class HOSTAPI ILoad {
 public:
  virtual ~ILoad();
  virtual void* GetAddr(int imaker) = 0;
  virtual IOResult OpenChunk() = 0;
  virtual USHORT CurChunkID() = 0;
  virtual ChunkType CurChunkType() = 0;
  virtual ULONG CurChunkLength() = 0;
  virtual int CurChunkDepth() = 0;
  virtual IOResult CloseChunk() = 0;
  virtual USHORT PeekNextChunkID() = 0;
  virtual IOResult Read(void* buf, ULONG nbytes, ULONG* nread) = 0;
  virtual IOResult ReadWStringChunk(char** buf) = 0;
  virtual IOResult ReadWStringChunk(wchar_t** buf) = 0;
  virtual IOResult ReadCStringChunk(char** buf) = 0;
  virtual IOResult ReadCStringChunk(wchar_t** buf) = 0;
  virtual void RecordBackpatch(int imaker, void** patchThis, ULONG partID = 0) = 0;
  virtual void SetRootAddr(void* addr) = 0;
  virtual void* GetRootAddr() = 0;
  virtual void RegisterPostLoadCallback(PostLoadCallback* cb) = 0;
  virtual const char* GetDir(int which);  // default: the interface object's directory
  virtual INode* RootNode();              // default: the interface object's root node
  virtual void SetObsolete();             // default: nothing
  virtual int DoingWhat();                // default: 0
};

// ---- The interface object --------------------------------------------------------------------
// Directories answered by GetDir.
#define APP_PLUGCFG_DIR 0
#define APP_SCENE_DIR 1
#define APP_IMAGE_DIR 2
#define APP_TEMP_DIR 3
#define APP_NUM_DIRS 4

class HitByNameDlgCallback;

// Told of every change of the current time.
class TimeChangeCallback {
 public:
  virtual void TimeChanged(TimeValue t) = 0;

 protected:
  ~TimeChangeCallback() = default;
};

// Told when the host application quits; answering FALSE keeps it running.
class ExitVANTORCallback {
 public:
  virtual BOOL Exit(HWND hWnd) = 0;

 protected:
  ~ExitVANTORCallback() = default;
};

// What a broadcast notification of the host carries to its handlers: which event (intcode) and
// the event's argument (callParam, null for most).
struct NotifyInfo {
  int intcode;
  void* callParam;
};

// The host application as plug-ins see it.
class Interface {
 public:
  // Current time; SetTime tells every time-change callback when the time changes.
  virtual TimeValue GetTime() = 0;
  virtual void SetTime(TimeValue t, BOOL redraw = TRUE) = 0;
  // The application's top-level window, owner of dialogs that have no parent.
  virtual HWND GetMainHWnd() = 0;
  virtual const char* GetDir(int which) = 0;
  // The scene: a root node with named child nodes.
  virtual INode* GetRootNode() = 0;
  virtual INode* GetINodeByName(const char* name) = 0;
  // Modeless dialogs get their dialog messages from the host's message loop.
  virtual void RegisterDlgWnd(HWND hDlg) = 0;
  virtual int UnRegisterDlgWnd(HWND hDlg) = 0;
  virtual BOOL IsDlgWndRegistered(HWND hDlg) = 0;
  virtual void RegisterTimeChangeCallback(TimeChangeCallback* tc) = 0;
  virtual void UnRegisterTimeChangeCallback(TimeChangeCallback* tc) = 0;
  virtual void RegisterExitVANTORCallback(ExitVANTORCallback* cb) = 0;
  virtual void UnRegisterExitVANTORCallback(ExitVANTORCallback* cb) = 0;
  // Dispatches the pending messages of the calling thread; 0 once the application is quitting.
  virtual int ProcessMessages() = 0;
  // The select-by-name dialog over the scene's nodes; non-zero when the user confirmed.
  virtual BOOL DoHitByNameDialog(HitByNameDlgCallback* hbncb) = 0;
  // The status line: a stack of prompts, and a temporary prompt that expires after msec.
  virtual void PushPrompt(const char* s) = 0;
  virtual void PopPrompt() = 0;
  virtual void ReplacePrompt(const char* s) = 0;
  virtual void DisplayTempPrompt(const char* s, int msec = 1000) = 0;
  virtual void RemoveTempPrompt() = 0;
  virtual const char* GetPrompt() = 0;
  // The Edit menu's Undo and Redo: theHold.Undo() and theHold.Redo() (see vhold.h); FALSE when
  // there is nothing to undo or redo, or while a hold is open.
  virtual BOOL Undo() = 0;
  virtual BOOL Redo() = 0;
  // Finishes what the user is in the middle of, so that it lands before a window goes: a custom
  // edit that has the keyboard focus and holds typed text not yet taken commits it, as leaving
  // the edit does (its spinner takes the number; its parent hears WM_CUSTEDIT_ENTER with high
  // word 0), and a spinner being pressed or dragged ends the gesture accepted
  // (CC_SPINNER_BUTTONUP with high word 1). Answers how many of the two it finished.
  virtual int CommitPendingEdits() = 0;

 protected:
  ~Interface() = default;
};

HOSTAPI Interface* GetCOREInterface();

// How many time-change and exit callbacks are registered with the interface, for leak checks.
HOSTAPI int GetTimeChangeCallbackCount();
HOSTAPI int GetExitCallbackCount();

// The scene needs saving (set by whoever changes it).
HOSTAPI void SetSaveRequiredFlag(BOOL require = TRUE);
HOSTAPI BOOL GetSaveRequiredFlag();
// The host's exit sequence: asks every exit callback (with the main window); when none objects,
// the registered dialogs are closed, the main window goes and the application is quitting.
// Answers TRUE when the application quits.
HOSTAPI BOOL HostExit();

// ---- Windows -----------------------------------------------------------------------------------
// Centres a window on another (on the screen's work area when parent is null or has no area),
// keeping it on the work area.
HOSTAPI void CenterWindow(HWND hwnd, HWND parent);

// Rollup windows (class ROLLUPWINDOWCLASS): a column of panels, each a child window, counted from
// the top of the window's child list. An open panel shows its contents.
#define ROLLUPWINDOWCLASS "RollupWindow"
class IRollup {
 public:
  virtual int GetNumPanels() = 0;
  virtual void SetPanelOpen(int index, BOOL isOpen, BOOL ignoreFlags = TRUE) = 0;
  virtual BOOL IsPanelOpen(int index) = 0;

 protected:
  ~IRollup() = default;
};
// The interface of a rollup window (null for any other window); give it back with ReleaseIRollup.
HOSTAPI IRollup* GetIRollup(HWND hwnd);
HOSTAPI void ReleaseIRollup(IRollup* rollup);  // null is ignored

// The colours of the host's user interface, by Windows system colour index (COLOR_BTNFACE, ...).
class IColorManager {
 public:
  virtual COLORREF GetColor(int id) = 0;
  virtual HBRUSH GetBrush(int id) = 0;  // owned by the manager

 protected:
  ~IColorManager() = default;
};
HOSTAPI IColorManager* GetColorManager();

// ---- Keyboard accelerators -----------------------------------------------------------------------
// The host's keyboard shortcuts act on keys typed anywhere in the application, so a dialog that
// takes typed text switches them off while it has the keyboard. The calls nest: each
// DisableAccelerators needs its EnableAccelerators before the shortcuts work again; an
// EnableAccelerators without a matching disable is ignored.
HOSTAPI void DisableAccelerators();
HOSTAPI void EnableAccelerators();
// How many DisableAccelerators are not yet matched (0: the shortcuts work).
HOSTAPI int GetAcceleratorsDisableCount();

// ---- User-interface frames -----------------------------------------------------------------------
// What a frame of the main window holds.
enum CUIFrameKind { CUI_FRAME_TOOLBAR = 1, CUI_FRAME_MENU = 2, CUI_FRAME_WINDOW = 3 };

// One frame of the main window: the menu bar, a tool bar, the prompt line.
class ICUIFrame {
 public:
  virtual const char* GetName() = 0;
  virtual int GetContentType() = 0;  // a CUIFrameKind
  // The frame's window; the menu bar's is the main window, whose menu (GetMenu) is the bar. Null
  // once the main window is gone.
  virtual HWND GetHwnd() = 0;

 protected:
  ~ICUIFrame() = default;
};

// The frames of the main window, in a fixed order. Frames belong to the manager.
class CUIFrameMgr {
 public:
  virtual int GetCount() = 0;
  virtual ICUIFrame* GetICUIFrame(int i) = 0;  // null when i is out of range
  virtual ICUIFrame* GetICUIFrame(const char* name) = 0;  // null when there is no such frame

 protected:
  ~CUIFrameMgr() = default;
};
// The frame manager of the main window (which it creates when there is none yet).
HOSTAPI CUIFrameMgr* GetCUIFrameMgr();

// ---- Plug-in modules and the class directory -------------------------------------------------
// The four entry points every plug-in module exports, undecorated.
typedef const char* (*LibDescriptionProc)();
typedef int (*LibNumberClassesProc)();
typedef ClassDesc* (*LibClassDescProc)(int i);
typedef ULONG (*LibVersionProc)();

// Loads a module, asks its entry points, checks its version and adds its classes to the class
// directory. Null, with nothing added, for a module that is not a plug-in of this host. A module
// registered before is answered as it is, without another hold on it.
HOSTAPI HMODULE LoadPluginModule(const char* path);
// The same for a module that is already loaded; returns the number of classes added (0 for a
// module registered before or one that is not a plug-in).
HOSTAPI int RegisterPluginModule(HMODULE module);
// Removes a module's classes from the directory (the module stays loaded).
HOSTAPI void UnregisterPluginModule(HMODULE module);

struct PluginClassInfo {
  HMODULE module;  // the module that provides the class
  int index;       // the index its LibClassDesc answers to
  ClassDesc* cd;
};
HOSTAPI int NumPluginClasses();
// Fills info for directory entry i; returns 0 when i is out of range.
HOSTAPI int GetPluginClass(int i, PluginClassInfo* info);
// The registered descriptor of a class, or null.
HOSTAPI ClassDesc* FindClassDesc(SClass_ID superClassID, const Class_ID& classID);
// Creates an object through its registered descriptor's Create(0); null for an unknown class.
HOSTAPI void* CreateInstance(SClass_ID superClassID, Class_ID classID);
