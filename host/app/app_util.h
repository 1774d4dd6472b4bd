// Helpers the verbs of vantor.exe share: the program's folder, error reports, and loading a
// plug-in module and finding one of its classes with the reason when that fails.
#pragma once

#include "vantor.h"

#include <string>
#include <vector>

// The folder of vantor.exe.
std::string ExeFolder();
// Prints "vantor: " and the formatted message (at most two string arguments) to stderr; answers 1.
int Fail(const char* fmt, const char* a = "", const char* b = "");
// The system's text for an error code, with the code.
std::string WindowsError(DWORD code);
// Loads a plug-in module through the host, reporting the system's reason when it does not load
// and saying so when it is not a plug-in module of this host; null then.
HMODULE LoadModuleReporting(const char* path);
// The class of module named name (its class name, or "0xA,0xB") of super class superClass; null,
// with *error set, when there is none or it is of another super class (kind names the wanted one
// in the message, e.g. "an image filter").
ClassDesc* FindModuleClass(HMODULE module, const char* name, SClass_ID superClass, const char* kind,
                           std::string* error);
// A whole decimal number in 0..max at the start of s, *end set just after it; -1 (*end unchanged)
// when s does not start with one.
long ParseWholeNumber(const char* s, const char** end, long max);
// "WxH" (or "WXH"), each side 0..1000000: true with *w and *h set; false for anything else.
bool ParseSize(const char* s, int* w, int* h);
// Takes a command-line argument that is no known option as the next of the two positional
// arguments MODULE and CLASS (*positional counts them). 0; Fail's 1 for an unknown option or a
// third positional argument.
int TakeModuleAndClass(const char* arg, int* positional, const char** module, const char** cls);
// The plug-in modules of a folder (by their extensions), with their paths.
std::vector<std::string> PluginFiles(const std::string& folder);
// Loads every plug-in module of a folder quietly, as the host does at start-up; answers how many
// loaded.
int LoadPlugins(const std::string& folder);
// The library module beside vantor.exe (Quorlib.dlz), loaded as a plug-in module as the host's
// start-up loads it: plug-ins built on the library make its classes (parameter leaves, gradients)
// through the host's class directory, which knows them only then. Null when it is not there.
HMODULE LoadLibraryPlugin();
// Host assertions go to stderr as one line each ("vantor: assertion failed in FILE at line N")
// and the program goes on: a verb that runs without windows has no one to close a message box.
void ReportAssertionsOnStderr();
