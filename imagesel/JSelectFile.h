// Picking an image file for a host BitmapInfo: the system's open-file dialog extended with the
// library's buttons to view the selected image, show its information, choose an input device and
// set the input gamma, and, for the extended record JBitmapInfo, to choose the alpha channel
// source, the host's input options and the field and aspect options. The file filter lists every
// image format the host can read.
#pragma once

#include "JExport.h"
#include "vantor.h"

// A host BitmapInfo with the choices of the extended dialog.
class QUORAPI JBitmapInfo : public BitmapInfo {
 public:
  JBitmapInfo() = default;

  int alphaChoice = 0;     // twice the index chosen on the alpha-channel fly-off button
  int aspectOverride = 0;  // 1: pixelAspect replaces the file's pixel aspect
  float pixelAspect = 1.0f;
  int fields = -1;         // -1 none, 0 even field first, 1 odd field first
  int deinterlace = 0;     // 1: deinterlace
};

// Shows the open-file dialog for bi's image, with title as its caption, owned by owner. 1 when a
// file was chosen (bi's name becomes its full path, its device empty) or a device was chosen (bi's
// name becomes empty); 0 when cancelled, bi unchanged. The input settings edited in the dialog
// (gamma and the host's input options) are copied back into bi only on success. The last argument
// is not used. One dialog at a time, on the user-interface thread.
QUORAPI int JSelectFileInputEx(BitmapInfo* bi, HWND owner, char* title, int unused);
// The same for the extended record: the alpha, field and aspect choices travel as well.
QUORAPI int JSelectFileInputEx(JBitmapInfo* bi, HWND owner, char* title, int unused);
