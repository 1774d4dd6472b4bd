// Texture maps, shading contexts, drag and drop of maps, and the track editor's nodes.
#pragma once

#include "vanim.h"
#include "vctrl.h"
#include "vgeom.h"

// A colour with alpha.
class AColor {
 public:
  float r, g, b, a;
  AColor() : r(0), g(0), b(0), a(1) {}
  AColor(float r, float g, float b, float a = 1.0f) : r(r), g(g), b(b), a(a) {}
  AColor(const Color& c, float a = 1.0f) : r(c.r), g(c.g), b(c.b), a(a) {}
  operator Color() const { return Color(r, g, b); }
};

// Where a texture is evaluated: a time and texture coordinates.
class HOSTAPI ShadeContext {
 public:
  ShadeContext();
  virtual ~ShadeContext();
  virtual TimeValue CurTime();      // default: the time given to the constructor's caller (0)
  virtual Point3 UVW(int channel);  // default: the uvw member for every channel
  TimeValue time;
  Point3 uvw;
};

// A texture map (super class 0xC10): a colour at every shading context, possibly built from
// sub-textures.
class HOSTAPI Texmap : public ReferenceTarget {
 public:
  SClass_ID SuperClassID() override;  // TEXMAP_CLASS_ID
  // Prepares the map for time t and narrows valid to the times it stays the same.
  virtual void Update(TimeValue t, Interval& valid);
  virtual AColor EvalColor(ShadeContext& sc) = 0;
  // The name shown for the map: its own name, or its class name when it has none.
  virtual CStr GetFullName();
  const char* GetName();
  void SetName(const char* name);
  virtual int NumSubTexmaps();                  // default: 0
  virtual Texmap* GetSubTexmap(int i);          // default: null
  virtual void SetSubTexmap(int i, Texmap* m);  // default: nothing
  virtual CStr GetSubTexmapSlotName(int i);     // default: ""
  // Opens the map's parameter editor: a modeless dialog owned by owner (null: the host's main
  // window) that edits this map until the user closes it, then destroys itself. Answers its
  // window, or null when the map has no editor (the default) or it could not be opened.
  virtual HWND CreateParamDlg(HWND owner);

 private:
  CStr name;
};

// Texture maps the host provides, registered in its class directory.
#define SOLIDMAP_CLASS_ID Class_ID(0x56544D50, 1)
#define CHECKERMAP_CLASS_ID Class_ID(0x56544D50, 2)
// A map of one colour everywhere.
HOSTAPI Texmap* NewSolidColorMap(const Color& c);
// A checker of two colours (each a sub-texture slot as well) with tiles squares along u and v.
HOSTAPI Texmap* NewCheckerMap(const Color& c1, const Color& c2, float tiles);

// Drag and drop of maps between slots of the material editor and of plug-in dialogs.
class HOSTAPI DADMgr {
 public:
  virtual ~DADMgr();
  virtual SClass_ID GetDragType(HWND hwnd, POINT p) = 0;
  virtual BOOL OkToDrop(ReferenceTarget* dropThis, HWND hfrom, HWND hto, POINT p, SClass_ID type,
                        BOOL isNew = FALSE) = 0;
  virtual ReferenceTarget* GetInstance(HWND hwnd, POINT p, SClass_ID type) = 0;
  virtual void Drop(ReferenceTarget* dropThis, HWND hwnd, POINT p, SClass_ID type) = 0;
  virtual int SlotOwner();              // default: 0
  virtual BOOL AutoTooltip();           // default: FALSE
  virtual BOOL CopyOnly(HWND, POINT);   // default: FALSE
  virtual BOOL LetMeHandleLocalDAD();   // default: FALSE
};

// A node of the track editor (the Tavrel): a list of named controller items.
class HOSTAPI ITavrelNode : public ReferenceTarget {
 public:
  ~ITavrelNode() override;
  // Adds c as an item named name, of class id cid, at position pos (-1 appends). 1, or 0 for a
  // null controller or a position out of range.
  int AddController(Control* c, const char* name, Class_ID cid, int pos = -1);
  // Removes item i (its controller goes when nothing else references it).
  void RemoveItem(int i);
  int NumItems();
  Control* GetController(int i);
  const char* GetName(int i);
  Class_ID GetClassID(int i);

  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle rtarg) override;
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

 private:
  struct Item {
    Control* c;
    CStr name;
    Class_ID cid;
  };
  Tab<Item*> items;
};
#define TAVREL_NODE_CLASS_ID Class_ID(0x56544E44, 1)
HOSTAPI ITavrelNode* CreateTavrelNode();
