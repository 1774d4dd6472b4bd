// The interface object: the host application's state as plug-ins see it.
#include "vcore.h"

#include <string>

namespace {

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

class CoreInterface : public Interface {
 public:
  CoreInterface() {
    std::string base = ExeFolder();
    dirs[APP_PLUGCFG_DIR] = base + "\\plugcfg";
    dirs[APP_SCENE_DIR] = base + "\\scenes";
    dirs[APP_IMAGE_DIR] = base + "\\images";
    char tmp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, tmp);
    dirs[APP_TEMP_DIR] = n ? std::string(tmp, n) : base;
  }
  TimeValue GetTime() override { return time; }
  void SetTime(TimeValue t, BOOL) override { time = t; }
  HWND GetMainHWnd() override { return mainWnd; }
  const char* GetDir(int which) override {
    return which >= 0 && which < APP_NUM_DIRS ? dirs[which].c_str() : "";
  }
  INode* GetRootNode() override { return nullptr; }

 private:
  TimeValue time = 0;
  HWND mainWnd = nullptr;
  std::string dirs[APP_NUM_DIRS];
};

}  // namespace

Interface* GetCOREInterface() {
  static CoreInterface core;
  return &core;
}
