// The parameter tree: the data base shared with views, the reference-target data object, and
// the interior node with named, addressable children.
#pragma once

#include "JClassDesc.h"
#include "JMemBlock.h"
#include "JPropList.h"
#include "vantor.h"

class JViewCtl;
class JDataNode;

// An object that knows its class descriptor.
class QUORAPI JClassBase {
 public:
  virtual JClassDescBase* GetCD() = 0;

 protected:
  ~JClassBase() = default;
};

// What views and dialogs see of a parameter object: its name, its bypass flags (kept in its
// property list so they are saved with it), the views that show it, and an optional resource
// describing its initial contents. Not copyable: views register with one object (data objects
// are copied with Clone).
class QUORAPI JDataBase : public JClassBase {
 public:
  JDataBase();
  JDataBase(const JDataBase&) = delete;
  JDataBase& operator=(const JDataBase&) = delete;

  // Passes a change to whatever depends on the object; here nothing does (answers REF_SUCCEED).
  virtual RefResult JNotifyDependents(Interval changeInt, PartID partID, RefMessage message, SClass_ID sclass,
                                      BOOL propagate, RefTargetHandle target);
  virtual void SetName(const char* name);  // copies name; null empties it
  virtual const char* GetName();           // null when the object has no name
  virtual void GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) = 0;
  virtual void SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) = 0;
  virtual BOOL IsAnimated() = 0;
  // Finds RCDATA resource id of inst, keeps a pointer to it and answers SetupResource().
  virtual int LoadResource(HINSTANCE inst, int id);
  // Interprets the resource; the base does nothing and answers 0.
  virtual int SetupResource();
  // Declared after the operations above so that they keep their places in the virtual table.
  virtual ~JDataBase();

  // Views register themselves to be told of changes; the object does not own them.
  void AddView(JViewCtl* view);
  void DelView(JViewCtl* view);  // removes the first entry equal to view
  int NumViews();
  JViewCtl* GetView(int i);
  // Moves every registered view from this object to other.
  void ReplaceViews2(JDataBase* other);

  // Bypass flags: 0 or 1; a set lock keeps its flag from changing.
  int GetBypassThis();
  int GetBypassThisMask();
  int GetBypassTree();
  int GetBypassTreeMask();
  void SetBypassThis(int on);
  // Also tells every registered view but except of the new state.
  void SetBypassTree(int on, JViewCtl* except);
  void SetBypassThisMask(int lock);
  void SetBypassTreeMask(int lock);

  HINSTANCE GetInstanceHandle();  // the module of the object's class descriptor
  JPropertyList& Properties() { return properties; }
  JExtTable& Extensions() { return extensions; }
  const void* Resource() { return resource; }
  void SetResource(const void* r) { resource = r; }

 protected:
  JExtTable extensions;
  JMemBlock name;
  Tab<JViewCtl*> views;
  JPropertyList properties;
  const void* resource;
};

// Sets the object's own bypass flag whatever its lock says; answers the previous flag.
QUORAPI int BypassView(JDataBase* data, int on);
// The same for the subtree bypass flag.
QUORAPI int BypassTree(JDataBase* data, int on);
// The bytes of RCDATA resource id of inst, or null.
QUORAPI const void* Load_RCDATA(HINSTANCE inst, int id);
// The process-wide dialog counter: adds delta and answers the new value (it starts at 1; each
// open library dialog lowers it by one).
QUORAPI int AdjustDialogCount(int delta);

// A host reference target with run-time type identity; answers the interface query for the
// library's two data interface ids with itself.
class QUORAPI ReferenceTargetRTTI : public ReferenceTarget {
 public:
  static const ULONG kDataInterfaceA = 0x66B073EA;
  static const ULONG kDataInterfaceB = 0x02F96F73;
  void* GetInterface(ULONG id) override;
};

// A post-load callback that a data object owns; DeleteThis destroys it.
class QUORAPI JData_PostLoad : public PostLoadCallback {
 public:
  virtual void DeleteThis();
};

// Creates a registered class through the host (so its descriptor's Create(0) runs) and answers
// it as T; null when the host creates nothing or an object of another class (which is deleted).
// The host knows a plug-in's class only when the module offers its descriptor through its own
// LibNumberClasses and LibClassDesc: a map's or filter's data class must be offered beside the
// map or filter, or this answers null (and the map has no parameters to edit).
template <class T, class Base = ReferenceTargetRTTI>
T* JCreateRegistered(SClass_ID superClassID, const Class_ID& classID) {
  void* made = CreateInstance(superClassID, classID);
  if (!made) return nullptr;
  Base* b = static_cast<Base*>(static_cast<Animatable*>(made));
  T* t = dynamic_cast<T*>(b);
  if (!t) b->DeleteMe();
  return t;
}

// The base of every parameter object: a host reference target that is also a JDataBase. Not
// copyable (it owns its post-load callback); Clone makes copies.
class QUORAPI JData : public ReferenceTargetRTTI, public JDataBase {
 public:
  JData();
  ~JData() override;
  JData(const JData&) = delete;
  JData& operator=(const JData&) = delete;

  // Called when a reference of this object reports a change; answering 0 stops the change from
  // going further. Null by default.
  int (*changeProc)(JData* self, ReferenceTarget* changed);

  const char* ClassName();
  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
  void GetClassName(CStr& s) override;
  RefResult JNotifyDependents(Interval changeInt, PartID partID, RefMessage message, SClass_ID sclass,
                              BOOL propagate, RefTargetHandle target) override;
  RefResult NotifyRefChanged(Interval changeInt, RefTargetHandle target, PartID& partID, RefMessage message) override;
  // Hidden from the host's tree: a bypass flag is set, or everything below is hidden.
  BOOL BypassTreeView() override;
  // subNum while no library dialog is open, otherwise -1.
  int SubNumToRefNum(int subNum) override;
  BOOL IsAnimated() override;
  void EnumAuxFiles(NameEnumCallback& nameEnum, DWORD flags) override;
  void FreeAllBitmaps() override;
  // Chunk 1 holds the property list.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;
  // The object's post-load callback (a previous one is destroyed); null clears it.
  void RegisterPostLoadCallback(JData_PostLoad* cb);
  JData_PostLoad* PostLoad() { return postLoad; }

 protected:
  JData_PostLoad* postLoad;
};

// An interior node: its children are its references, each slot with a name. Client plug-ins
// derive their parameter blocks from it and add children in their constructors.
class QUORAPI JDataNode : public JData {
 public:
  JDataNode();
  ~JDataNode() override;

  // A new object of this node's class, from its descriptor; null when that is not a node.
  JDataNode* NewThis(int loading);
  int IsValidId(int id);
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle target) override;
  // Appends a slot named name holding child. An empty or null name hides the child from the
  // host's tree for good. 0 for a null child (asserted; the slot stays empty).
  int Add(JData* child, const char* name);
  // The same with the name from string stringId of the node's module.
  int Add(JData* child, int stringId);
  // Drops slot i; later slots move down.
  void Del(int i);
  // Makes the node n slots long: extra slots are dropped, new ones are empty and named "". Load,
  // Clone and addressing set the count through it, so a derived node can keep state in step.
  virtual int SetNumRefs(int n);

  // The child in slot id. A missing child is completed from a default instance of this class:
  // its child is cloned, named and stored, so trees saved before a parameter existed get it
  // with its default value the first time it is addressed. Thread-safe.
  JData* operator()(int id);
  // The child at a path of slot ids ending with -1; every step but the last must be a node.
  JData* operator()(int* path);
  // The same with the ids as arguments: node(0, 2, -1).
  JData* operator()(int id, int id2, ...);
  // The name of slot id ("Unnamed" for an invalid id); a child's own name wins over the table's.
  const char* GetName(int id);
  using JDataBase::GetName;

  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  // A node has no value (asserted).
  void GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  void SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  IOResult Load(ILoad* iload) override;
  void DeleteThis() override;

 protected:
  void StoreCount();
  JSZTab names;
  Tab<JData*> children;
};
