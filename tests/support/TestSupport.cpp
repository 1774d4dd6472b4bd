#include "TestSupport.h"

#include "vantor.h"

#include <process.h>
#include <tlhelp32.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>

namespace quortest {

// ---- Assertions ------------------------------------------------------------------------------

namespace {
Assert1Handler previousHandler = nullptr;
std::vector<AssertRecorder::Hit>* activeHits = nullptr;

void RecordAssertion(int line, const char* file) {
  if (activeHits) activeHits->push_back({line, file ? file : ""});
}
}  // namespace

AssertRecorder::AssertRecorder() {
  activeHits = &hits;
  previousHandler = SetAssert1Handler(RecordAssertion);
}

AssertRecorder::~AssertRecorder() {
  SetAssert1Handler(previousHandler);
  activeHits = nullptr;
}

bool AssertRecorder::Saw(const char* file, int line) const {
  for (const Hit& h : hits)
    if (h.line == line && h.file == file) return true;
  return false;
}

// ---- Files ---------------------------------------------------------------------------------------

std::string BinPath(const char* file) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string s(exe);
  return s.substr(0, s.find_last_of("\\/") + 1) + file;
}

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
}

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  unsigned char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  fclose(f);
  return bytes;
}

void WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// ---- Modal dialogs ---------------------------------------------------------------------------

int ThreadsInProcess() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 te = {};
  te.dwSize = sizeof te;
  int n = 0;
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
    if (te.th32OwnerProcessID == GetCurrentProcessId()) n++;
  CloseHandle(snap);
  return n;
}

std::string WindowText(HWND hwnd) {
  char buf[2048];
  int n = GetWindowTextA(hwnd, buf, sizeof buf);
  return std::string(buf, n > 0 ? n : 0);
}

HWND FindOwnWindow(const char* cls, const char* title) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, cls, title))) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId()) return w;
  }
  return nullptr;
}

std::vector<std::string> ListBoxItems(HWND list) {
  std::vector<std::string> items;
  int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; i++) {
    char text[256] = "";
    SendMessageA(list, LB_GETTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

void SelectListBoxItem(HWND list, const std::string& text) {
  LRESULT at = SendMessageA(list, LB_FINDSTRINGEXACT, (WPARAM)-1, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageA(list, LB_SETCURSEL, (WPARAM)at, 0);
}

namespace {

bool IsDialog(HWND hwnd) {
  char cls[64];
  return GetClassNameA(hwnd, cls, sizeof cls) && strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd);
}

struct DialogSearch {
  const std::function<bool(HWND)>* accept;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lp) {
  DialogSearch* s = reinterpret_cast<DialogSearch*>(lp);
  if (!IsDialog(hwnd) || !(*s->accept)(hwnd)) return TRUE;
  s->found = hwnd;
  return FALSE;
}

}  // namespace

HWND FindDialogOf(DWORD thread, const std::function<bool(HWND)>& accept) {
  DialogSearch s{&accept, nullptr};
  EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

ModalDriver::ModalDriver(int buttonId, DWORD timeoutMs)
    : guiThread(GetCurrentThreadId()), button(buttonId), timeout(timeoutMs) {
  FindDialogOf(guiThread, [this](HWND w) {
    existing.push_back(w);
    return false;
  });
  thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Run, this, 0, nullptr));
}

ModalDriver::~ModalDriver() { Wait(); }

void ModalDriver::Type(int controlId, const std::string& t) { typing.emplace_back(controlId, t); }

bool ModalDriver::Wait() {
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    thread = nullptr;
  }
  return pressed;
}

unsigned __stdcall ModalDriver::Run(void* self) {
  static_cast<ModalDriver*>(self)->Drive();
  return 0;
}

void ModalDriver::Drive() {
  // The typing list may still be filled by the test thread right after construction.
  Sleep(50);
  DWORD start = GetTickCount();
  HWND dlg = nullptr;
  while (!dlg && GetTickCount() - start < timeout) {
    dlg = FindDialogOf(guiThread, [this](HWND w) {
      return std::find(existing.begin(), existing.end(), w) == existing.end();
    });
    if (!dlg) Sleep(20);
  }
  if (!dlg) return;
  Sleep(50);  // let the dialog finish its initialisation
  caption = WindowText(dlg);
  HWND message = GetDlgItem(dlg, 0xFFFF);
  if (message) text = WindowText(message);
  if (before) before(dlg);
  for (auto& t : typing) {
    HWND edit = GetDlgItem(dlg, t.first);
    if (edit) SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t.second.c_str()));
  }
  HWND btn = GetDlgItem(dlg, button);
  if (btn) {
    SendMessageA(btn, BM_CLICK, 0, 0);
    pressed = true;
  }
  // A dialog that is still open after the press is cancelled, so that the test goes on.
  for (int i = 0; i < 100 && IsWindow(dlg); i++) Sleep(20);
  if (IsWindow(dlg)) {
    pressed = false;
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  }
}

// ---- Child processes -------------------------------------------------------------------------

namespace {
std::map<std::string, ChildFunc>& Children() {
  static std::map<std::string, ChildFunc> c;
  return c;
}
const char kChildFlag[] = "--quortest-child";
}  // namespace

ChildRegistrar::ChildRegistrar(const char* name, ChildFunc f) { Children()[name] = f; }

int RunChildIfAsked(int argc, char** argv, int* exitCode) {
  if (argc < 3 || strcmp(argv[1], kChildFlag) != 0) return -1;
  auto it = Children().find(argv[2]);
  *exitCode = it == Children().end() ? 0xDEAD : it->second();
  // The function came back: tell the parent, which cannot tell a crash from exit code 0 otherwise.
  if (argc >= 4)
    if (HANDLE returned = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3])) {
      SetEvent(returned);
      CloseHandle(returned);
    }
  return 0;
}

ProgramOutcome RunProgram(const char* exe, const std::string& args, DWORD timeoutMs) {
  std::string name = exe;
  std::string outFile = TempPath((name + "-stdout.txt").c_str());
  std::string errFile = TempPath((name + "-stderr.txt").c_str());
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE out = CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  HANDLE err = CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  std::string path = BinPath(exe);
  std::string cmd = "\"" + path + "\" " + args;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = nullptr;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi = {};
  ProgramOutcome o{0xDEAD, "", ""};
  if (CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
      GetExitCodeProcess(pi.hProcess, &o.code);
    else
      TerminateProcess(pi.hProcess, 0xDEAD);  // hung (a message box no one sees, say): not left behind
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  CloseHandle(out);
  CloseHandle(err);
  std::vector<unsigned char> outBytes = ReadAll(outFile), errBytes = ReadAll(errFile);
  o.out.assign(outBytes.begin(), outBytes.end());
  o.err.assign(errBytes.begin(), errBytes.end());
  DeleteFileA(outFile.c_str());
  DeleteFileA(errFile.c_str());
  return o;
}

DWORD RunChild(const char* name, DWORD timeoutMs) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  // Set by the child when its function returns (see RunChildIfAsked).
  static LONG children = 0;
  char eventName[64];
  snprintf(eventName, sizeof eventName, "quortest-child-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&children));
  HANDLE returned = CreateEventA(nullptr, TRUE, FALSE, eventName);
  std::string cmd = std::string("\"") + exe + "\" " + kChildFlag + " " + name + " " + eventName;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  if (!returned || !CreateProcessA(exe, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    if (returned) CloseHandle(returned);
    return 0xDEAD;
  }
  DWORD code = 0xDEAD;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 0xDEAD);
  // Wine reports some crashes (a stack overflow) as exit code 0: without the function's return,
  // 0 is no success.
  if (code == 0 && WaitForSingleObject(returned, 0) != WAIT_OBJECT_0) code = 0xDEAD;
  CloseHandle(returned);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

}  // namespace quortest
