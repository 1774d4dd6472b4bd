// The scene: named nodes under a root, scene files, and the select-by-name dialog.
#pragma once

#include "vanim.h"
#include "vcore.h"
#include "vselids.h"

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

// What the select-by-name dialog (Interface::DoHitByNameDialog) asks of its caller. The dialog
// lists the scene's nodes in tree order (a parent before its children) and the user picks one
// (singleSelect) or several; the defaults list every node and select nothing beforehand.
class HitByNameDlgCallback {
 public:
  virtual const char* dialogTitle() { return "Select by Name"; }  // the caption
  virtual const char* buttonText() { return "Select"; }            // the confirming button
  virtual BOOL singleSelect() { return FALSE; }
  // With useFilter, only the nodes whose filter answers non-zero are listed.
  virtual BOOL useFilter() { return FALSE; }
  virtual int filter(INode* node) { return TRUE; }
  // With useProc, a confirmed dialog hands the chosen nodes, in list order, to proc.
  virtual BOOL useProc() { return FALSE; }
  virtual void proc(INodeTab& nodeTab) {}
  // With doCustomHilite, the nodes whose doHilite answers non-zero start selected (in a
  // single-node dialog, the first of them).
  virtual BOOL doCustomHilite() { return FALSE; }
  virtual BOOL doHilite(INode* node) { return FALSE; }
  virtual BOOL showHiddenAndFrozen() { return FALSE; }  // the scene has neither: not asked

 protected:
  ~HitByNameDlgCallback() = default;
};

