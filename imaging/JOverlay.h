// Compositing a premultiplied 64-bit image over another at a fractional position, split by rows
// over one worker thread per processor.
#pragma once

#include "JExport.h"
#include "vantor.h"

// Places src (sw x sh pixels) with its top-left corner at (x, y) in dst (dw x dh pixels) and
// composites it with the "over" operator, resampling src bilinearly for the sub-pixel offset.
// Both images are row-major BMM_Color_64 arrays, top row first, without gaps between rows.
// A placement outside -sw <= x <= dw, -sh <= y <= dh draws nothing.
//
// The calling thread waits for the workers and, every 500 ms while they run, sends the window
// progress (when not null) JWM_QUERYABORT and then JWM_PROGRESS (JMessages.h). The progress
// values are scaled by 1024 and map the rows done onto [progressFrom, progressTo] out of
// progressTo (0 stands for dh), so that a caller can place this overlay in a larger progress
// bar. An answer of -1 to JWM_QUERYABORT stops the workers after the rows they are writing.
// dst and src must not be touched by other threads until Overlay returns. Answers 1.
QUORAPI int Overlay(BMM_Color_64* dst, int dw, int dh, BMM_Color_64* src, int sw, int sh, float x, float y,
                    HWND progress, float progressFrom, float progressTo);
