// The scene: named nodes under a root, scene files, and the select-by-name dialog.
#pragma once

#include "vanim.h"
#include "vcore.h"

#define NODE_CLASS_ID 0x00000001

// A named node of the scene. Its references are its object (slot 0) and its children (slots
// 1 and on), so a scene file saves and restores the whole hierarchy.
class HOSTAPI INode : public ReferenceTarget {
 public:
  INode();
  const char* GetName();
  void SetName(const char* name);
  int NumberOfChildren();
  INode* GetChildNode(int i);
  INode* GetParentNode();
  // Makes child a child of this node (taking it from its former parent).
  void AttachChild(INode* child);
  ReferenceTarget* GetObjectRef();
  void SetObjectRef(ReferenceTarget* obj);

  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle rtarg) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 private:
  CStr name;
  ReferenceTarget* object = nullptr;
  Tab<INode*> children;
  INode* parent = nullptr;
};
typedef Tab<INode*> INodeTab;

// A new node named name under parent (null: the scene root).
HOSTAPI INode* CreateSceneNode(const char* name, INode* parent = nullptr);

// Saves the scene (the root node and everything it references) to a file: 1, or 0 when the
// file cannot be written.
HOSTAPI int SaveScene(const char* path);
// Replaces the scene by the one in a file: 1, or 0 (the scene unchanged, nothing created left
// behind) for a missing, truncated or corrupt file or a class that no plug-in provides.
HOSTAPI int LoadScene(const char* path);
// Empties the scene.
HOSTAPI void ResetScene();

// What the select-by-name dialog asks of its caller; the defaults list every node.
class HitByNameDlgCallback {
 public:
  virtual const char* dialogTitle() { return "Select by Name"; }
  virtual const char* buttonText() { return "Select"; }
  virtual BOOL singleSelect() { return FALSE; }
  virtual BOOL useFilter() { return FALSE; }
  virtual int filter(INode* node) { return TRUE; }
  virtual BOOL useProc() { return FALSE; }
  virtual void proc(INodeTab& nodeTab) {}
  virtual BOOL doCustomHilite() { return FALSE; }
  virtual BOOL doHilite(INode* node) { return FALSE; }
  virtual BOOL showHiddenAndFrozen() { return FALSE; }

 protected:
  ~HitByNameDlgCallback() = default;
};

// Control ids of the select-by-name dialog (for scripted use and tests).
#define HITBYNAME_LIST 1001
