// vantor.exe: the host application. It loads plug-in modules through their entry points and does
// real work with them from the command line.
#include "vantor.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char* const kPluginExtensions[] = {".dlz", ".dlu", ".dlt", ".dlo", ".flt"};

bool HasPluginExtension(const char* name) {
  const char* dot = strrchr(name, '.');
  if (!dot) return false;
  for (const char* ext : kPluginExtensions)
    if (_stricmp(dot, ext) == 0) return true;
  return false;
}

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

// The module's own file version, from its version resource ("" when it has none).
std::string FileVersion(const char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (!size) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return "";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info) return "";
  char text[64];
  snprintf(text, sizeof text, "%lu.%lu.%lu", (unsigned long)HIWORD(info->dwFileVersionMS),
           (unsigned long)LOWORD(info->dwFileVersionMS), (unsigned long)HIWORD(info->dwFileVersionLS));
  return text;
}

std::vector<std::string> PluginFiles(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && HasPluginExtension(fd.cFileName))
      files.push_back(folder + "\\" + fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}

const char* BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// classes [folder]: loads every plug-in module of the folder and lists its classes.
int ListClasses(int argc, char** argv) {
  std::string folder = argc > 0 ? argv[0] : ExeFolder();
  std::vector<std::string> files = PluginFiles(folder);
  if (files.empty()) {
    fprintf(stderr, "vantor: no plug-in modules in %s\n", folder.c_str());
    return 1;
  }
  int modules = 0, classes = 0;
  for (const std::string& file : files) {
    HMODULE m = LoadPluginModule(file.c_str());
    if (!m) {
      fprintf(stderr, "vantor: %s is not a plug-in module of this host\n", BaseName(file));
      continue;
    }
    modules++;
    auto describe = GetProcAddressAs<LibDescriptionProc>(m, "LibDescription");
    auto version = GetProcAddressAs<LibVersionProc>(m, "LibVersion");
    std::string fileVersion = FileVersion(file.c_str());
    printf("%s: \"%s\", LibVersion 0x%08lX%s%s\n", BaseName(file), describe(), (unsigned long)version(),
           fileVersion.empty() ? "" : ", file version ", fileVersion.c_str());
    PluginClassInfo info;
    for (int i = 0; GetPluginClass(i, &info); i++) {
      if (info.module != m) continue;
      classes++;
      Class_ID id = info.cd->ClassID();
      printf("  %-14s %2d  %-16s super 0x%08lX  class (0x%08lX, 0x%08lX)\n", BaseName(file), info.index,
             info.cd->ClassName(), (unsigned long)info.cd->SuperClassID(), (unsigned long)id.PartA(),
             (unsigned long)id.PartB());
    }
  }
  printf("%d module(s), %d class(es)\n", modules, classes);
  return modules ? 0 : 1;
}

// Loads every plug-in module of a folder quietly; answers how many loaded.
int LoadPlugins(const std::string& folder) {
  int n = 0;
  for (const std::string& file : PluginFiles(folder)) n += LoadPluginModule(file.c_str()) != nullptr;
  return n;
}

void PrintObject(Animatable* a, const std::string& label, int depth) {
  CStr cls;
  a->GetClassName(cls);
  printf("%*s%s: %s", depth * 2, "", label.c_str(), cls.isNull() ? "(unnamed class)" : cls.data());
  if (a->NumKeys() > 0) printf(", %d key(s)", a->NumKeys());
  if (Control* c = dynamic_cast<Control*>(a)) {
    float v[3] = {0, 0, 0};
    Interval valid = FOREVER;
    c->GetValue(GetCOREInterface()->GetTime(), v, valid);
    printf(", value %g", v[0]);
  }
  printf("\n");
  if (depth > 12) return;
  for (int i = 0; i < a->NumSubs(); i++)
    if (Animatable* sub = a->SubAnim(i)) {
      CStr name = a->SubAnimName(i);
      PrintObject(sub, name.isNull() ? "#" + std::to_string(i) : std::string(name.data()), depth + 1);
    }
}

void PrintNode(INode* n, int depth) {
  printf("%*snode \"%s\"\n", depth * 2, "", n->GetName());
  if (ReferenceTarget* obj = n->GetObjectRef()) PrintObject(obj, "object", depth + 1);
  for (int i = 0; i < n->NumberOfChildren(); i++)
    if (INode* c = n->GetChildNode(i)) PrintNode(c, depth + 1);
}

// scene-demo file: builds a small animated scene with the host's own classes and saves it.
int SceneDemo(int argc, char** argv) {
  if (argc < 1) return 2;
  INode* camera = CreateSceneNode("Camera");
  INode* target = CreateSceneNode("Target", camera);
  Control* position = NewDefaultPoint3Controller();
  AnimateOn();
  Point3 p0(0, 0, 100), p1(50, 20, 80);
  position->SetValue(0, &p0);
  position->SetValue(100 * GetTicksPerFrame(), &p1);
  AnimateOff();
  camera->SetObjectRef(position);
  target->SetObjectRef(NewCheckerMap(Color(0.1f, 0.1f, 0.1f), Color(0.9f, 0.8f, 0.2f), 8));
  if (!SaveScene(argv[0])) {
    fprintf(stderr, "vantor: cannot write %s\n", argv[0]);
    return 1;
  }
  printf("saved %s\n", argv[0]);
  return 0;
}

// scene-show file [folder]: loads the plug-ins of the folder, then the scene, and prints it.
int SceneShow(int argc, char** argv) {
  if (argc < 1) return 2;
  LoadPlugins(argc > 1 ? argv[1] : ExeFolder());
  if (!LoadScene(argv[0])) {
    fprintf(stderr, "vantor: %s is not a scene this host can load\n", argv[0]);
    return 1;
  }
  printf("scene %s (%ld reference targets)\n", argv[0], GetLiveRefTargetCount());
  INode* root = GetCOREInterface()->GetRootNode();
  for (int i = 0; i < root->NumberOfChildren(); i++)
    if (INode* c = root->GetChildNode(i)) PrintNode(c, 1);
  return 0;
}

// select-demo: a small scene and the select-by-name dialog over it; prints what was chosen.
int SelectDemo(int, char**) {
  INode* lights = CreateSceneNode("Lights");
  CreateSceneNode("Key Light", lights);
  CreateSceneNode("Fill Light", lights);
  CreateSceneNode("Camera");
  CreateSceneNode("Ground");
  struct Chooser : HitByNameDlgCallback {
    const char* dialogTitle() override { return "Select Objects"; }
    BOOL useProc() override { return TRUE; }
    BOOL doCustomHilite() override { return TRUE; }
    BOOL doHilite(INode* n) override { return strcmp(n->GetName(), "Camera") == 0; }
    void proc(INodeTab& nodes) override {
      for (int i = 0; i < nodes.Count(); i++) printf("chosen: %s\n", nodes[i]->GetName());
    }
  } chooser;
  if (!GetCOREInterface()->DoHitByNameDialog(&chooser)) printf("cancelled\n");
  return 0;
}

struct Verb {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

const Verb kVerbs[] = {
    {"classes", "classes [folder]          load the plug-in modules of a folder and list their classes", ListClasses},
    {"scene-demo", "scene-demo file           build a small animated scene and save it", SceneDemo},
    {"scene-show", "scene-show file [folder]  load the plug-ins of a folder, then a scene, and print it", SceneShow},
    {"select-demo", "select-demo               a small scene and the select-by-name dialog over it", SelectDemo},
};

int Usage() {
  fprintf(stderr, "usage: vantor <verb> [arguments]\n");
  for (const Verb& v : kVerbs) fprintf(stderr, "  %s\n", v.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Verb& v : kVerbs)
    if (strcmp(argv[1], v.name) == 0) return v.run(argc - 2, argv + 2);
  fprintf(stderr, "vantor: unknown verb '%s'\n", argv[1]);
  return Usage();
}
