// The host's image-filter library: the base class of the filters that run in the Postline, the
// host's post-production queue, and the record that tells a filter what it renders.
#pragma once

#include "vbmm.h"
#include "vtex.h"

// Super class of image filters. A filter class's descriptor answers it, and its Create returns
// the new filter as an ImageFilter* (not as an Animatable*).
#define FLT_CLASS_ID 0x00000850

// What a filter can do (ImageFilter::Capability).
#define IMGFLT_FILTER 0x1      // changes the image that reaches it
#define IMGFLT_MASK 0x2        // honours a mask bitmap
#define IMGFLT_CONTROL 0x4     // has a setup dialog (ShowControl)
#define IMGFLT_COMPOSITOR 0x8  // takes a second input: the foreground bitmap

// What CreatePreview renders from the queue's input.
#define FLT_PREVIEW_SOURCE 1  // the image that reaches the filter: the events before it
#define FLT_PREVIEW_UPTO 2    // through the events up to and including the filter
#define FLT_PREVIEW_QUEUE 3   // through the whole queue

// Messages that a long computation sends to the window it was given (Render, CreatePreview).
// FLTWM_PROGRESS: wParam units done, lParam units in total. FLTWM_QUERYABORT: lParam points to an
// int that the window sets to non-zero (the host reads -1) to ask the computation to stop.
#define FLTWM_PROGRESS (WM_USER + 32)
#define FLTWM_QUERYABORT (WM_USER + 33)

// The image a filter works on: the output of the queue and the frame being made. The host fills
// it before every Render; a filter may write frame when it renders a preview itself.
struct ImageFilterInfo {
  int width;       // output width in pixels, 1..65535; 640 by default
  int height;      // output height in pixels, 1..65535; 480 by default
  float aspect;    // pixel aspect (pixel width over pixel height), above 0; 1.0 by default
  int frame;       // the frame being rendered; 0 by default
  int firstFrame;  // the frames of the run, first..last; 0..0 by default
  int lastFrame;
};

// Base of every image filter. The host makes a filter through its class descriptor, gives it its
// bitmaps and image information, and calls Render once a frame; the filter changes the source
// bitmap in place. Parameters a filter keeps in its node (Node) are saved, loaded and animated with
// the scene; its configuration block (EvaluateConfigure, SaveConfigure, LoadConfigure) is saved
// beside the event in the scene, and in settings files. Destroyed with delete by the host.
class HOSTAPI ImageFilter {
 public:
  ImageFilter();
  virtual ~ImageFilter();

  // Texts shown for the filter; the description is its name in the queue and in dialogs.
  virtual const char* Description() = 0;
  virtual const char* AuthorName() = 0;
  virtual const char* CopyrightMessage() = 0;
  virtual UINT Version() = 0;
  // IMGFLT_... flags.
  virtual DWORD Capability() = 0;
  // Shows who made the filter; default: a message box with the three texts.
  virtual void ShowAbout(HWND hWnd);
  // Runs the filter's setup dialog over the host's event dialog hWnd; TRUE when the user accepted.
  // Default: FALSE (no setup).
  virtual BOOL ShowControl(HWND hWnd);
  // The configuration block: EvaluateConfigure gives its size in bytes (default 0: none),
  // SaveConfigure writes that many bytes to ptr, LoadConfigure reads them back (ptr is null when
  // there is no block). Both answer TRUE on success; defaults: TRUE.
  virtual BOOL LoadConfigure(void* ptr);
  virtual BOOL SaveConfigure(void* ptr);
  virtual DWORD EvaluateConfigure();
  // Called when the filter is added to a queue or its node changes; default: nothing.
  virtual void FilterUpdate();
  // Renders the current frame (FilterInfo()->frame) into Source(); hWnd receives FLTWM_PROGRESS
  // and FLTWM_QUERYABORT (it may be null). FALSE stops the run.
  virtual BOOL Render(HWND hWnd) = 0;
  // Renders the queue's input at time t through the events that type names (FLT_PREVIEW_...) at
  // width x height with the pixel aspect, and answers the image in *out (the caller deletes it with
  // DeleteThis). When second is given, a compositor's foreground comes back there too (or null).
  // hWnd receives FLTWM_PROGRESS and FLTWM_QUERYABORT. A filter that is not in the scene's queue
  // counts as the queue's last event. FALSE (and *out null) on failure or when aborted.
  virtual BOOL CreatePreview(HWND hWnd, Bitmap** out, TimeValue t, int width, int height, float aspect,
                             Bitmap** second = nullptr, DWORD type = FLT_PREVIEW_UPTO);
  // The extra channels (BMM_CHAN_...) the filter reads from its source; default BMM_CHAN_NONE.
  virtual ULONG ChannelsRequired();

  // The window of the filter's setup dialog while it is open (the filter records it); else null.
  HWND DlgHandle() const;
  void SetDlgHandle(HWND hWnd);
  // The bitmaps of the frame: the source (changed in place), the foreground (a compositor's second
  // input) and the mask; each may be null. The filter does not own them.
  Bitmap* Source() const;
  void SetSource(Bitmap* bm);
  Bitmap* Foreground() const;
  void SetForeground(Bitmap* bm);
  Bitmap* Mask() const;
  void SetMask(Bitmap* bm);
  // The filter's image information (never null); SetFilterInfo copies info into it.
  ImageFilterInfo* FilterInfo() const;
  void SetFilterInfo(const ImageFilterInfo* info);
  // The filter's node in the track editor, or null. CreateNode gives the filter a new empty node
  // (releasing the one it had) and answers it; null when memory is short.
  ITavrelNode* Node() const;
  ITavrelNode* CreateNode();
  // Gives the filter node (null: none); the host does this for a filter loaded with a scene.
  void SetNode(ITavrelNode* node);

 private:
  ImageFilter(const ImageFilter&) = delete;
  ImageFilter& operator=(const ImageFilter&) = delete;
  struct State;
  State* state;
};

// ---- Settings files ------------------------------------------------------------------------------
// A filter's configuration block in a file of the host: a header naming the filter's class, the
// block's size and checksum, then the block.
// Writes filter's block to path: 1, or 0 when it cannot be written.
HOSTAPI int SaveFilterSettings(ImageFilter* filter, const Class_ID& classID, const char* path);
// Reads a settings file into filter (LoadConfigure). A file without the host's header is given to
// the filter as it stands (a filter may know its own settings format). 1, or 0 with a reason in
// error (of errorSize bytes, may be null) for a missing, empty or damaged file, a file of another
// class, or a block the filter refuses.
HOSTAPI int LoadFilterSettings(ImageFilter* filter, const Class_ID& classID, const char* path, char* error,
                               int errorSize);
