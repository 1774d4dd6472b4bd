// Copying reference makers to memory blocks and settings files and back, and swapping one
// reference target for another everywhere it is referenced.
#pragma once

#include "JMemBlock.h"
#include "JSave.h"

// A block holding rm and everything it references; the caller releases it with DeleteThis.
// Null on any error.
QUORAPI JMemBlock* SaveRefMaker(ReferenceMaker* rm);
// The saved root of a block as a new object with no dependents; null when loading failed.
QUORAPI ReferenceMaker* LoadRefMaker(JMemBlock* block);
// The same on bare bytes: the stream's own root header says how far they reach.
QUORAPI ReferenceMaker* LoadRefMaker(char* data);
// Writes the block of rm to a file (created or truncated first): 1, or 0 when the file cannot be
// opened or nothing could be saved (the file is then left empty).
QUORAPI int SaveRefMaker(ReferenceMaker* rm, const char* path);
// Loads a file written by SaveRefMaker; null for a missing, empty or unreadable file.
QUORAPI ReferenceMaker* LoadRefMakerFromFile(const char* path);
// The same two with the library's file dialog first; path (room for 260 characters, holding the
// initial name) receives the chosen name, or a buffer of the function's own is used when null.
QUORAPI int SaveRefMaker(ReferenceMaker* rm, HWND owner, const char* title, char* path, const char* filter,
                         const char* defExt);
QUORAPI ReferenceMaker* LoadRefMaker(HWND owner, const char* title, char* path, const char* filter,
                                     const char* defExt);

// Every reference to oldTarget becomes newTarget (deleteOld: oldTarget goes with its last
// dependent). Answers the number of references replaced (0 when newTarget is oldTarget).
QUORAPI int JReplaceReference(ReferenceTarget* oldTarget, ReferenceTarget* newTarget, int deleteOld);
// The same inside a load: when oldTarget is the loader's root, the root becomes newTarget, and
// with deleteOld oldTarget is deleted once the loader has restored the references of its objects
// (which may still name oldTarget); a load that fails deletes it with the rest.
QUORAPI int JReplaceReference(ILoad* iload, ReferenceTarget* oldTarget, ReferenceTarget* newTarget, int deleteOld);
