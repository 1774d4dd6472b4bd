// The Postline: the host's post-production queue. An ordered list of filter events runs over an
// input (an image file or the host's render of its test scene), frame by frame, and the result is
// written through the bitmap manager. The queue belongs to the scene: its events, their filters'
// configuration blocks and nodes are saved in scene files and come back with them.
#pragma once

#include "vflt.h"

// Paints the queue's input for a frame into bm (of the output's size); non-zero on success.
typedef int (*PostlineInputProc)(Bitmap* bm, int frame, void* user);

// Told of each frame of a run as it starts (frame, its index from 0, the count of frames).
// Answering 0 stops the run.
typedef int (*PostlineFrameProc)(int frame, int index, int count, void* user);

class IPostline {
 public:
  // ---- Output and input ----
  // The output image: width and height 1..65535, pixel aspect above 0; 0 for values out of range.
  // 640 x 480, aspect 1.0 by default.
  virtual int SetOutput(int width, int height, float aspect) = 0;
  virtual ImageFilterInfo Output() = 0;
  // The input: an image file, resized to the output (null or "": the host's test scene).
  virtual void SetInputFile(const char* path) = 0;
  virtual const char* InputFile() = 0;
  // A painter of the input that overrides the file and the test scene (null: none); not saved.
  virtual void SetInputProc(PostlineInputProc proc, void* user) = 0;

  // ---- Events ----
  virtual int NumEvents() = 0;
  // Adds filter (made by the class classID's descriptor; the queue owns it from now on) as an
  // event at index at (-1: at the end); gives it the output information and a node. The index, or
  // -1 (the filter deleted) for a null filter or an index out of range.
  virtual int AddEvent(ImageFilter* filter, const Class_ID& classID, int at = -1) = 0;
  // Makes a filter of the registered image-filter class and adds it; -1 when there is no such class.
  virtual int AddEvent(const Class_ID& classID, int at = -1) = 0;
  // The event's filter; null for an index out of range or a filter whose class was not available
  // when the scene loaded (the event keeps its saved data).
  virtual ImageFilter* GetFilter(int i) = 0;
  virtual Class_ID GetClassID(int i) = 0;
  // The event's index for a filter, or -1.
  virtual int FindEvent(ImageFilter* filter) = 0;
  // The name shown for the event: its label, else the filter's description.
  virtual const char* EventName(int i) = 0;
  virtual void SetEventLabel(int i, const char* label) = 0;
  // A disabled event is skipped by runs and previews.
  virtual BOOL EventEnabled(int i) = 0;
  virtual void SetEventEnabled(int i, BOOL on) = 0;
  // The image file whose grey level masks the event (empty: none). A filter that honours masks
  // (IMGFLT_MASK) gets it, fitted to the output's size, as its mask bitmap while it renders.
  virtual const char* EventMask(int i) = 0;
  virtual void SetEventMask(int i, const char* path) = 0;
  // Replaces event i's filter by filter (deleting the old one); 0 for a bad index or null filter.
  virtual int ReplaceFilter(int i, ImageFilter* filter, const Class_ID& classID) = 0;
  virtual int DeleteEvent(int i) = 0;
  // Moves event from to index to; 0 when either is out of range.
  virtual int MoveEvent(int from, int to) = 0;

  // ---- Rendering ----
  // Renders frame of the input through the enabled events 0..last (last -1: all) into a new bitmap
  // of the output's size (*out; the caller deletes it). hWnd receives FLTWM_PROGRESS and
  // FLTWM_QUERYABORT. 1; 0 with a reason in error when an event fails, the input cannot be made,
  // or the window asked to stop.
  virtual int RenderFrame(int frame, int last, Bitmap** out, HWND hWnd, char* error, int errorSize) = 0;
  // Renders frames first..last through the whole queue and writes each to path; with more than one
  // frame the frame number (4 digits) goes before the extension. Each file is written under a
  // temporary name and renamed when complete; on failure every file of the run is removed. 1, or 0
  // with a reason in error.
  virtual int Run(const char* path, int first, int last, PostlineFrameProc tell, void* user, char* error,
                  int errorSize) = 0;

  // ---- Windows ----
  // The queue window (owned by the main window): shown, or made and shown; answers it.
  virtual HWND ShowQueueWindow() = 0;
  virtual HWND QueueWindow() = 0;  // null when not made
  // The modal "Add Image Filter Event" dialog over owner: the index of the event added, or -1.
  virtual int DoAddEventDialog(HWND owner) = 0;
  // The modal edit dialog of event i: 1 when accepted.
  virtual int DoEditEventDialog(HWND owner, int i) = 0;

 protected:
  ~IPostline() = default;
};

// The scene's Postline (made with the scene; a scene loaded from a file brings its own).
HOSTAPI IPostline* GetPostline();

// Renders the host's test scene for frame into bm (a sky, a checker floor and a ball that rolls
// across with the frames), with the depth and coverage channels when bm has them. 1, or 0 for a null
// bitmap.
HOSTAPI int RenderTestScene(Bitmap* bm, int frame);
