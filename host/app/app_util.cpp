// Helpers the verbs of vantor.exe share.
#include "app_util.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

int Fail(const char* fmt, const char* a, const char* b) {
  fprintf(stderr, "vantor: ");
  fprintf(stderr, fmt, a, b);
  fprintf(stderr, "\n");
  return 1;
}

std::string WindowsError(DWORD code) {
  char text[512] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                           sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' || text[n - 1] == '.')) text[--n] = 0;
  char out[600];
  snprintf(out, sizeof out, "%s (error %lu)", n ? text : "unknown error", (unsigned long)code);
  return out;
}

int TakeModuleAndClass(const char* arg, int* positional, const char** module, const char** cls) {
  if (arg[0] == '-' && arg[1] == '-') return Fail("unknown or incomplete option '%s'", arg);
  if (*positional == 0) {
    *module = arg;
  } else if (*positional == 1) {
    *cls = arg;
  } else {
    return Fail("unexpected argument '%s'", arg);
  }
  ++*positional;
  return 0;
}

HMODULE LoadModuleReporting(const char* path) {
  UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE probe = LoadLibraryA(path);
  DWORD code = GetLastError();
  SetErrorMode(mode);
  if (!probe) {
    Fail("cannot load module %s: %s", path, WindowsError(code).c_str());
    return nullptr;
  }
  HMODULE m = LoadPluginModule(path);
  FreeLibrary(probe);
  if (!m) Fail("%s is not a plug-in module of this host%s", path, "");
  return m;
}

ClassDesc* FindModuleClass(HMODULE module, const char* name, SClass_ID superClass, const char* kind,
                           std::string* error) {
  unsigned long a = 0, b = 0;
  int n = 0;
  bool byId = sscanf(name, "0x%lx,0x%lx%n", &a, &b, &n) == 2 && name[n] == 0;
  PluginClassInfo info;
  for (int i = 0; GetPluginClass(i, &info); i++) {
    if (info.module != module) continue;
    bool match = byId ? info.cd->ClassID() == Class_ID(a, b) : strcmp(info.cd->ClassName(), name) == 0;
    if (!match) continue;
    if (info.cd->SuperClassID() == superClass) return info.cd;
    char text[300];
    snprintf(text, sizeof text, "class %s is not %s (super class 0x%08lX)", name, kind,
             (unsigned long)info.cd->SuperClassID());
    *error = text;
    return nullptr;
  }
  *error = std::string("the module has no class ") + name;
  return nullptr;
}

namespace {

const char* const kPluginExtensions[] = {".dlz", ".dlu", ".dlt", ".dlo", ".flt"};

bool HasPluginExtension(const char* name) {
  const char* dot = strrchr(name, '.');
  if (!dot) return false;
  for (const char* ext : kPluginExtensions)
    if (_stricmp(dot, ext) == 0) return true;
  return false;
}

}  // namespace

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

int LoadPlugins(const std::string& folder) {
  int n = 0;
  for (const std::string& file : PluginFiles(folder)) n += LoadPluginModule(file.c_str()) != nullptr;
  return n;
}

HMODULE LoadLibraryPlugin() { return LoadPluginModule((ExeFolder() + "\\Quorlib.dlz").c_str()); }

namespace {

void PrintAssertion(int line, const char* file) {
  fprintf(stderr, "vantor: assertion failed in %s at line %d; the program goes on\n", file ? file : "(unknown)", line);
  fflush(stderr);
}

}  // namespace

void ReportAssertionsOnStderr() { SetAssert1Handler(PrintAssertion); }

long ParseWholeNumber(const char* s, const char** end, long max) {
  if (!s || *s < '0' || *s > '9') return -1;
  char* stop = nullptr;
  long v = strtol(s, &stop, 10);
  if (stop == s || v < 0 || v > max) return -1;
  *end = stop;
  return v;
}

bool ParseSize(const char* s, int* w, int* h) {
  const long kMax = 1000000;
  const char* p = nullptr;
  long a = ParseWholeNumber(s, &p, kMax);
  if (a < 0 || (*p != 'x' && *p != 'X')) return false;
  long b = ParseWholeNumber(p + 1, &p, kMax);
  if (b < 0 || *p) return false;
  *w = (int)a;
  *h = (int)b;
  return true;
}
