// A tile texture map for the Vantor host, written against the Quorlib SDK: rows of tiles in a
// stack, running or custom bond, with mortar joints, bevelled edges and a random colour variation
// per tile. The parameters live in a data tree that the host saves and animates with the scene;
// the parameter dialog binds them to the library's buttons, value controls and small controls on
// three tab pages, and "Bake" evaluates the map into an image file under a progress dialog.
#include "Quorlib.h"
#include "TilesCore.h"
#include "tiles_res.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

HINSTANCE module;

const Class_ID kTilesMapID(0x54494C45, 0x4D415020);
const Class_ID kTilesDataID(0x54494C45, 0x44415441);

// Bake sizes offered by the drop-down list, in its order.
const char kBakeSizeItems[] = "64 x 64\n256 x 256\n1024 x 1024\n2048 x 2048";
const int kBakeSides[] = {64, 256, 1024, 2048};
const int kBakeSizeCount = sizeof kBakeSides / sizeof kBakeSides[0];
// The antialiasing button stores checked + 2 x the fly-off choice; choice k samples a grid of
// (k + 2) x (k + 2) points per pixel, an unchecked button one point.
const int kGridOfFirstChoice = 2;
const int kAntialiasChoices = 3;
const char kDefaultBakeFile[] = "tiles.bmp";

// ---- Parameters --------------------------------------------------------------------------------

class TilesData : public JDataNode {
 public:
  enum {
    kAcross, kDown, kTileColor, kVariation, kJointU, kJointV, kJointLock, kMortarColor, kOffset,
    kBond, kBevel, kBakeSize, kAntialias, kPage, kBakeFile, kObjects
  };
  explicit TilesData(int loading);
  JClassDescBase* GetCD() override;

  JData* Child(int id) { return (*this)(id); }
  JDataLeafBase* Leaf(int id) { return dynamic_cast<JDataLeafBase*>((*this)(id)); }
  float Value(int id, int t) {
    JDataLeafBase* leaf = Leaf(id);
    return leaf ? leaf->GetFValue(t) : 0.0f;
  }
  Point3 Triple(int id, int t) {
    Point3 p(0, 0, 0);
    if (JDataLeafBase* leaf = Leaf(id)) leaf->GetValue(t, p);
    return p;
  }
  // The pattern at t.
  void Pattern(int t, tiles::Pattern& p);
  // The bake's side in pixels, samples per pixel along each axis, and file (as typed).
  int BakeSide(int t);
  int BakeGrid(int t);
  std::string BakeFile();
};

JClassDesc<TilesData, ReferenceTargetRTTI> dataDesc(0, "TilesData", REF_TARGET_CLASS_ID, kTilesDataID, "Samples");

template <class Leaf>
Leaf* WithValue(Leaf* leaf, float v) {
  if (leaf) leaf->SetValue(0, v);
  return leaf;
}

template <class Leaf>
Leaf* WithTriple(Leaf* leaf, float x, float y, float z) {
  Point3 p(x, y, z);
  if (leaf) leaf->SetValue(0, p);
  return leaf;
}

JBinaryData* WithText(const char* text) {
  JBinaryData* data = Create_JBinaryData();
  JMemBlock block(text, JMemBlock::kText);
  Interval forever = FOREVER;
  if (data) data->SetValue(&block, 0, forever, CTRL_ABSOLUTE);
  return data;
}

TilesData::TilesData(int loading) {
  if (loading) return;
  const tiles::Pattern p;  // the pattern's defaults are the parameters' defaults
  const float kDefaultVariation = 12, kDefaultStagger = 1.0f / 3, kDefaultBakeSize = 3;  // 2048 x 2048
  const float kDefaultAntialias = 1 + 2 * 1;  // checked, 3 x 3
  Add(WithValue(Create_JFloatData(), (float)p.across), "Tiles Across");
  Add(WithValue(Create_JFloatData(), (float)p.down), "Rows Down");
  Add(WithTriple(Create_JColor3Data(), p.tile.r, p.tile.g, p.tile.b), "Tile Colour");
  Add(WithTriple(Create_JFloat3Data(), kDefaultVariation, kDefaultVariation, kDefaultVariation), "Variation");
  Add(WithValue(Create_JPercentData(), p.mortarU), "Joint Width");
  Add(WithValue(Create_JPercentData(), p.mortarV), "Joint Height");
  Add(WithValue(Create_JBoolData(), 1.0f), "Same Joints");
  Add(WithTriple(Create_JColor3Data(), p.mortar.r, p.mortar.g, p.mortar.b), "Mortar Colour");
  Add(WithTriple(Create_JFloat3Data(), 0, 0, kDefaultStagger), "Offset");
  Add(WithValue(Create_JFloatData(), (float)p.bond), "Bond");
  Add(WithValue(Create_JBoolData(), p.bevel ? 1.0f : 0.0f), "Bevel");
  Add(WithValue(Create_JFloatData(), kDefaultBakeSize), "Bake Size");
  Add(WithValue(Create_JFloatData(), kDefaultAntialias), "Antialiasing");
  Add(Create_JFloatData(), "");  // the tab page shown: not a parameter of the map, hidden
  Add(WithText(kDefaultBakeFile), "Bake File");
  Add(Create_JBinaryData(), "Applied To");
}

JClassDescBase* TilesData::GetCD() { return &dataDesc; }

void TilesData::Pattern(int t, tiles::Pattern& p) {
  p.across = (int)Value(kAcross, t);
  p.down = (int)Value(kDown, t);
  p.tile = Color(Triple(kTileColor, t));
  p.variation = Triple(kVariation, t);
  p.mortarU = Value(kJointU, t);
  p.mortarV = Value(kJointV, t);
  p.mortar = Color(Triple(kMortarColor, t));
  p.offset = Triple(kOffset, t);
  int bond = (int)Value(kBond, t);
  p.bond = bond <= 0 ? tiles::Bond::kStack : bond == 1 ? tiles::Bond::kRunning : tiles::Bond::kCustom;
  p.bevel = Value(kBevel, t) >= 1.0f;
}

int TilesData::BakeSide(int t) {
  int i = (int)Value(kBakeSize, t);
  return kBakeSides[i < 0 ? 0 : i >= kBakeSizeCount ? kBakeSizeCount - 1 : i];
}

int TilesData::BakeGrid(int t) {
  int v = (int)Value(kAntialias, t);
  if (v < 0 || v % 2 == 0) return 1;
  int choice = v / 2;
  return kGridOfFirstChoice + (choice < kAntialiasChoices ? choice : kAntialiasChoices - 1);
}

std::string TilesData::BakeFile() {
  JMemBlock block;
  Interval valid = FOREVER;
  if (JData* file = Child(kBakeFile)) file->GetValue(&block, 0, valid, CTRL_ABSOLUTE);
  return block.Data() ? std::string(block.Data()) : std::string();
}

// ---- The map -----------------------------------------------------------------------------------

class TilesDlg;

class TilesMap : public Texmap {
 public:
  explicit TilesMap(int loading) {
    if (!loading) MakeRefByID(FOREVER, 0, JCreateRegistered<TilesData>(REF_TARGET_CLASS_ID, kTilesDataID));
  }
  Class_ID ClassID() override { return kTilesMapID; }
  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int i) override { return i == 0 ? data : nullptr; }
  void SetReference(int i, RefTargetHandle r) override {
    if (i == 0) data = dynamic_cast<TilesData*>(r);
  }
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return i == 0 ? data : nullptr; }
  CStr SubAnimName(int i) override { return CStr(i == 0 ? "Parameters" : ""); }
  RefTargetHandle Clone(RemapDir& remap) override {
    TilesMap* m = new TilesMap(1);
    m->SetName(GetName());
    if (data) m->ReplaceReference(0, remap.CloneRef(data), TRUE);
    BaseClone(this, m, remap);
    return m;
  }

  // The pattern is read once per time; EvalColor uses the one of the last Update (made at the
  // shading context's time when there was none).
  void Update(TimeValue t, Interval& valid) override {
    if (!data) return;
    data->Pattern(t, pattern);
    hasPattern = true;
    if (data->IsAnimated()) valid &= Interval(t, t);
  }
  AColor EvalColor(ShadeContext& sc) override {
    if (!hasPattern) {
      Interval valid = FOREVER;
      Update(sc.CurTime(), valid);
    }
    Point3 uvw = sc.UVW(1);
    return AColor(tiles::Evaluate(pattern, uvw.x, uvw.y));
  }
  HWND CreateParamDlg(HWND owner) override;

  // Evaluates the map at t into the bake file, row by row under a progress dialog, with owner's
  // window disabled meanwhile. The file is written only when every row is done: a cancelled bake leaves no
  // file (and an existing one as it was).
  enum class BakeResult { kWritten, kCancelled, kNoFile, kNoMemory, kWriteFailed };
  BakeResult Bake(HWND owner, int t);

  TilesData* data = nullptr;
  TilesDlg* dialog = nullptr;  // the open parameter dialog; it clears this when it closes

 private:
  tiles::Pattern pattern;
  bool hasPattern = false;
};

JClassDesc<TilesMap, Texmap> mapDesc(1, "Tiles", TEXMAP_CLASS_ID, kTilesMapID, "Samples");

// A relative bake file is put into the host's image folder, made when it is missing.
std::string ResolveBakePath(const std::string& file) {
  bool absolute = file.size() > 1 && (file[1] == ':' || file[0] == '\\' || file[0] == '/');
  if (absolute) return file;
  const char* dir = GetCOREInterface()->GetDir(APP_IMAGE_DIR);
  if (!dir || !*dir) return file;
  CreateDirectoryA(dir, nullptr);  // fails harmlessly when it exists
  return std::string(dir) + "\\" + file;
}

WORD ToWord(float c) {
  const float kMax = 65535.0f;
  return (WORD)(c <= 0 ? 0 : c >= 1 ? kMax : c * kMax + 0.5f);
}

TilesMap::BakeResult TilesMap::Bake(HWND owner, int t) {
  if (!data) return BakeResult::kNoFile;
  std::string path = data->BakeFile();
  if (path.empty()) return BakeResult::kNoFile;
  path = ResolveBakePath(path);
  const int side = data->BakeSide(t), grid = data->BakeGrid(t);
  BitmapInfo bi;
  bi.SetName(path.c_str());
  bi.SetWidth((WORD)side);
  bi.SetHeight((WORD)side);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  if (!bm) return BakeResult::kNoMemory;

  Interval valid = FOREVER;
  Update(t, valid);
  // The progress dialog has no owner (under Xvfb, Wine leaves a window owned by a visible window
  // undrawn); the editor is disabled by hand instead, as an owner would be.
  HWND editor = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  bool disabled = editor && IsWindowEnabled(editor);
  if (disabled) EnableWindow(editor, FALSE);
  JProgressDlg progress;
  progress.Create(nullptr);
  char status[300];
  size_t slash = path.find_last_of("\\/");
  const char* name = path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
  snprintf(status, sizeof status, "Baking %s, %d x %d (%d x %d samples)", name, side, side, grid, grid);
  progress.SetStatus(status);
  std::vector<BMM_Color_64> row(side);
  ShadeContext sc;
  sc.time = t;
  const float weight = 1.0f / (float)(grid * grid);
  bool cancelled = false;
  for (int y = 0; y < side && !cancelled; y++) {
    for (int x = 0; x < side; x++) {
      float sum[3] = {0, 0, 0};
      for (int j = 0; j < grid; j++)
        for (int i = 0; i < grid; i++) {
          // Row 0 is the top of the image, where v is 1.
          sc.uvw = Point3((x + (i + 0.5f) / grid) / side, 1.0f - (y + (j + 0.5f) / grid) / side, 0.0f);
          AColor c = EvalColor(sc);
          sum[0] += c.r, sum[1] += c.g, sum[2] += c.b;
        }
      row[x] = {ToWord(sum[0] * weight), ToWord(sum[1] * weight), ToWord(sum[2] * weight), 65535};
    }
    bm->PutPixels(0, y, side, row.data());
    progress.SetPos(y + 1, 0, side);
    cancelled = progress.CheckCancelButton() != 0;
  }
  BakeResult result = BakeResult::kCancelled;
  if (!cancelled) {
    progress.SetStatus("Writing the file...");
    bool written = bm->OpenOutput(&bi) && bm->Write(&bi);
    bm->Close(&bi, written ? BMM_CLOSE_COMPLETE : BMM_CLOSE_ABANDON);
    result = written ? BakeResult::kWritten : BakeResult::kWriteFailed;
  }
  progress.Destroy();
  if (disabled) EnableWindow(editor, TRUE);
  bm->DeleteThis();
  return result;
}

// ---- The parameter dialog ----------------------------------------------------------------------

// A tab page: its controls are made by the dialog and bound to the map's data tree.
class TilesPage : public JViewChildBase {
 public:
  explicit TilesPage(int idDlg) : idDlg(idDlg) {}
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return module; }
  int IdDlg() override { return idDlg; }
  int SwitchData(JDataBase*, void*) override { return 0; }

 private:
  int idDlg;
};

int kBondIds[] = {IDC_BOND_STACK, IDC_BOND_RUNNING, IDC_BOND_CUSTOM, -1};

class TilesDlg : public JOneModelessBase {
 public:
  TilesDlg(TilesMap* map, TilesData* d) : map(map) {
    *this += JRadioButton::Create(d->Child(TilesData::kBond), IDC_BOND_SHOW, kBondIds, nullptr);
    *this += JCheckButton::Create(d->Child(TilesData::kBevel), IDC_BEVEL_SHOW, IDC_BEVEL, nullptr, nullptr, nullptr,
                                  nullptr);
    *this += JDropDownListBox::Create(d->Child(TilesData::kBakeSize), -1, IDC_BAKE_SIZE, kBakeSizeItems, nullptr,
                                      nullptr, nullptr, nullptr);
    JCustButton* antialias = JCustButton::Create(d->Child(TilesData::kAntialias), -1, IDC_ANTIALIAS, SetUpAntialias,
                                                 nullptr, nullptr, nullptr);
    const int kGridImages = 4, kDisabledImage = 3;
    if (antialias) antialias->SetImage(module, IDB_ANTIALIAS, kGridImages, 0, 0, kDisabledImage, kDisabledImage);
    *this += antialias;
    JButton* bake = JButton::Create(nullptr, IDC_BAKE, OnBake, this);
    const int kBakeImages = 4;
    if (bake) bake->SetImage(module, IDB_BAKE, kBakeImages, 0, 1, 2, 3);
    *this += bake;

    // The tab view joins the dialog before its pages join it.
    JTabView* tabs = JTabView::Create(d->Child(TilesData::kPage), IDC_TABS, 0);
    *this += tabs;
    if (!tabs) return;
    tabs->Add(TilesPageOf(d), "Tiles");
    tabs->Add(MortarPageOf(d), "Mortar");
    tabs->Add(OutputPageOf(d), "Output");
  }
  ~TilesDlg() override { map->dialog = nullptr; }

  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return module; }
  int IdDlg() override { return IDD_TILES; }
  const char* ActionName() override { return "Tiles Parameters"; }
  int SwitchData(JDataBase*, void*) override { return 0; }

 private:
  static TilesPage* TilesPageOf(TilesData* d) {
    const int kMaxTiles = 100, kMaxPercent = 100;
    TilesPage* page = new TilesPage(IDD_TILES_PAGE_TILES);
    *page += JIntSpinner::Create(d->Child(TilesData::kAcross), -1, IDC_ACROSS_SPIN, IDC_ACROSS_EDIT, 1, kMaxTiles);
    *page += JIntSpinner::Create(d->Child(TilesData::kDown), -1, IDC_DOWN_SPIN, IDC_DOWN_EDIT, 1, kMaxTiles);
    *page += JColorSwatch::Create(d->Child(TilesData::kTileColor), -1, IDC_TILE_COLOR);
    *page += JIntSpinner3::Create(d->Child(TilesData::kVariation), -1, IDC_VARIATION_SPIN, IDC_VARIATION_EDIT,
                                  IDC_VARIATION_SPIN + 2, IDC_VARIATION_EDIT + 2, IDC_VARIATION_SPIN + 4,
                                  IDC_VARIATION_EDIT + 4, 0, kMaxPercent);
    const int kBondPictures = 3;
    *page += JImageListView::Create(d->Child(TilesData::kBond), -1, IDC_BOND_PICTURE, module, IDB_BONDS,
                                    kBondPictures, nullptr);
    return page;
  }

  static TilesPage* MortarPageOf(TilesData* d) {
    const float kMaxJoint = 50, kJointStep = 0.1f, kMaxOffset = 100, kOffsetStep = 0.01f;
    TilesPage* page = new TilesPage(IDD_TILES_PAGE_MORTAR);
    JData* jointU = d->Child(TilesData::kJointU);
    JData* jointV = d->Child(TilesData::kJointV);
    *page += JFloatSpinner::Create(jointU, -1, IDC_JOINT_U_SPIN, IDC_JOINT_U_EDIT, 0, kMaxJoint, kJointStep);
    *page += JFloatSpinner::Create(jointV, -1, IDC_JOINT_V_SPIN, IDC_JOINT_V_EDIT, 0, kMaxJoint, kJointStep);
    *page += JLock2Ctl::Create(jointU, jointV, IDC_JOINT_LOCK, d->Child(TilesData::kJointLock), JLock2Ctl::kEqual, 0, 0,
                               module);
    *page += JColorSwatch::Create(d->Child(TilesData::kMortarColor), -1, IDC_MORTAR_COLOR);
    *page += JFloatSpinner3::Create(d->Child(TilesData::kOffset), -1, IDC_OFFSET_SPIN, IDC_OFFSET_EDIT,
                                    IDC_OFFSET_SPIN + 2, IDC_OFFSET_EDIT + 2, IDC_OFFSET_SPIN + 4, IDC_OFFSET_EDIT + 4,
                                    -kMaxOffset, kMaxOffset, kOffsetStep);
    *page += JResetButton::Create(d->Child(TilesData::kOffset), IDC_OFFSET_RESET, OffsetReset, page);
    return page;
  }

  static TilesPage* OutputPageOf(TilesData* d) {
    TilesPage* page = new TilesPage(IDD_TILES_PAGE_OUTPUT);
    *page += JEditView::Create(d->Child(TilesData::kBakeFile), IDC_BAKE_FILE);
    *page += JHitByNameButton::Create(d->Child(TilesData::kObjects), IDC_PICK_OBJECTS, JHitByNameButton::kMultiple,
                                      nullptr, IDC_OBJECTS_TEXT, nullptr);
    return page;
  }

  // The fly-off choices exist once the host button does: at the button's Init.
  static void SetUpAntialias(JCustButton* b, void*, int, int, unsigned int msg, UINT_PTR) {
    const unsigned int kInit = WM_INITDIALOG;
    if (msg != kInit) return;
    const int kDisabledImage = 3, kOpenAfterMs = 0;
    FlyOffData grids[kAntialiasChoices] = {
        {0, 0, kDisabledImage, kDisabledImage}, {1, 1, kDisabledImage, kDisabledImage}, {2, 2, kDisabledImage, kDisabledImage}};
    b->SetFlyOff(kAntialiasChoices, grids, kOpenAfterMs, 0, FLY_DOWN);
    b->SetTooltip("Antialiasing of the bake: 2 x 2, 3 x 3 or 4 x 4 samples per pixel");
  }

  // The offset's reset made a fresh offset leaf in the data tree: the spinners follow it.
  static void OffsetReset(JData* fresh, void* user) {
    TilesPage* page = static_cast<TilesPage*>(user);
    if (JViewCtl* spinners = page->FindCtl(IDC_OFFSET_SPIN)) spinners->Set(fresh, page->GetTime());
  }

  static void OnBake(JButton*, void* user, int t, int, unsigned int msg, UINT_PTR code) {
    if (msg != WM_COMMAND || code != BN_CLICKED) return;
    TilesDlg* dlg = static_cast<TilesDlg*>(user);
    TilesMap::BakeResult r = dlg->map->Bake(dlg->GetHwnd(), t);
    const char* problem = r == TilesMap::BakeResult::kNoFile        ? "Type the name of the bake file on the Output page."
                          : r == TilesMap::BakeResult::kNoMemory    ? "There is not enough memory for an image of this size."
                          : r == TilesMap::BakeResult::kWriteFailed ? "The bake file could not be written."
                                                                    : nullptr;
    if (problem) MessageBoxA(dlg->GetHwnd(), problem, "Tiles", MB_OK | MB_ICONEXCLAMATION);
  }

  TilesMap* map;
};

HWND TilesMap::CreateParamDlg(HWND owner) {
  if (dialog) {
    SetForegroundWindow(dialog->GetHwnd());
    return dialog->GetHwnd();
  }
  if (!data) return nullptr;
  // The host's controls in this module's dialog templates (once per module; later calls return).
  InitCustomControls(module);
  dialog = static_cast<TilesDlg*>(JOneModelessBase::CreateDlg(owner, new TilesDlg(this, data)));
  if (!dialog) return nullptr;
  ShowWindow(dialog->GetHwnd(), SW_SHOW);
  return dialog->GetHwnd();
}

// The library this plug-in was written against, or a later one.
bool LibraryFits() { return QuorlibVersion() >= 69; }

ClassDesc* const classes[] = {&mapDesc, &dataDesc};
const int kClassCount = sizeof classes / sizeof classes[0];

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) const char* LibDescription() { return "Tiles texture map (Quorlib sample)"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return LibraryFits() ? kClassCount : 0; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) {
  return LibraryFits() && i >= 0 && i < kClassCount ? classes[i] : nullptr;
}
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
