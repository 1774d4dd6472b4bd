// Image file selection: the extended open-file dialog and its gamma and fields-and-aspect dialogs.
#include "JSelectFile.h"
