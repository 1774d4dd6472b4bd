// A module that is not a plug-in: it has no entry points.
extern "C" __declspec(dllexport) int SomethingElse() { return 1; }
