// Inside the library: the file dialogs' split of a path into an initial folder and a file name,
// shared with the image file selection.
#pragma once

namespace jfiledlg {

// Splits path into folder and name (each room for 260 characters): after the last backslash (or,
// failing that, colon) comes the name when it holds a dot, and the text before it (up to and
// including a colon) is the folder; without a dot there the whole path is the folder; without
// either separator the whole path is the name and the folder is empty.
void SplitPath(const char* path, char* folder, char* name);

}  // namespace jfiledlg
