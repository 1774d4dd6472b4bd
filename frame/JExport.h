// Export and import of the library's classes and functions.
#pragma once

#ifdef QUORLIB_BUILD
#define QUORAPI __declspec(dllexport)
#else
#define QUORAPI __declspec(dllimport)
#endif

// The plain entry points a host looks up by name.
#define QUORENTRY extern "C" QUORAPI
