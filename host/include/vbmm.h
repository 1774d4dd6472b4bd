// The host's bitmap library: pixel types, bitmap information records, bitmaps with their pixel
// storage and extra channels, and the bitmap manager that creates them.
#pragma once

#include "vbase.h"

class Interface;

// ---- Pixels ----------------------------------------------------------------------------------
// 8 bits per channel, no alpha: the pixel of 24-bit buffers (rows without gaps, 3 bytes a pixel).
struct BMM_Color_24 {
  BYTE r, g, b;  // 0..255
};

// 8 bits per channel with alpha.
struct BMM_Color_32 {
  BYTE r, g, b, a;  // 0..255
};

// 16 bits per channel with alpha: the host's working pixel. Colours with alpha are
// premultiplied (no channel above alpha).
struct BMM_Color_64 {
  WORD r, g, b, a;  // 0..65535
};

// ---- Bitmap information ----------------------------------------------------------------------
// Image types (BitmapInfo::Type).
#define BMM_NO_TYPE 0   // not set: a bitmap cannot be created
#define BMM_TRUE_32 6   // 8 bits per channel with alpha
#define BMM_TRUE_64 7   // 16 bits per channel with alpha

// Flags (BitmapInfo::Flags).
#define MAP_HAS_ALPHA (1u << 2)  // the alpha channel carries meaning

// Input settings (BitmapInfo custom flags): how an image is read.
#define BMM_CUSTOM_FILEGAMMA (1u << 1)  // use the image file's own gamma
#define BMM_CUSTOM_RESIZE (1u << 2)     // load at the custom width and height
#define BMM_CUSTOM_GAMMA (1u << 16)     // use the custom gamma instead of the system default

// Device names (BitmapInfo::Device).
#define BMM_DEVICE_FILE ""  // an image file: Name is its path

// Describes an image before it exists: its name or file, size, pixel aspect, type and flags, and
// the data that a file driver keeps with it. Plug-ins fill one in and hand it to the bitmap
// manager; every bitmap keeps a copy of the record it was made from.
class HOSTAPI BitmapInfo {
 public:
  BitmapInfo();
  BitmapInfo(const BitmapInfo& other);
  BitmapInfo& operator=(const BitmapInfo& other);
  ~BitmapInfo();

  // The image's name or file path, at most 259 characters (longer names are cut); "" by default.
  void SetName(const char* name);
  const char* Name() const { return name; }
  // The file-name part of Name: what follows its last '\', '/' or ':'.
  const char* Filename() const;
  // The device that reads or writes the image; BMM_DEVICE_FILE ("") by default.
  void SetDevice(const char* device);
  const char* Device() const { return device; }

  // Size in pixels, 1..65535 for a bitmap to be created; 0 by default.
  void SetWidth(WORD w) { width = w; }
  void SetHeight(WORD h) { height = h; }
  WORD Width() const { return width; }
  WORD Height() const { return height; }
  // Pixel aspect (pixel width over pixel height), greater than 0; 1.0 by default.
  void SetAspect(float a) { aspect = a; }
  float Aspect() const { return aspect; }
  // Flags (MAP_...): SetFlags adds the given bits, ResetFlags removes them; none by default.
  void SetFlags(DWORD f) { flags |= f; }
  void ResetFlags(DWORD f) { flags &= ~f; }
  DWORD Flags() const { return flags; }
  // Image type (BMM_...); BMM_NO_TYPE by default.
  void SetType(int t) { type = t; }
  int Type() const { return type; }

  // Driver data: a zeroed block of size bytes that replaces the previous one and is copied with
  // the record; null (and no block) when memory is short or size is 0.
  void* AllocPiData(DWORD size);
  void ResetPiData();  // frees the block
  void* GetPiData() const { return piData; }
  DWORD GetPiDataSize() const { return piSize; }

  // Input settings, edited by the manager's input dialogs. Custom flags (BMM_CUSTOM_...):
  // SetCustomFlag adds the given bits, ResetCustomFlag removes them; none by default.
  void SetCustomFlag(DWORD f) { customFlags |= f; }
  void ResetCustomFlag(DWORD f) { customFlags &= ~f; }
  DWORD GetCustomFlags() const { return customFlags; }
  // The gamma used with BMM_CUSTOM_GAMMA (0.2..5.0); 2.2 by default.
  void SetCustomGamma(float g) { customGamma = g; }
  float GetCustomGamma() const { return customGamma; }
  // The size loaded with BMM_CUSTOM_RESIZE (1..65535 each); 0 by default.
  void SetCustomWidth(WORD w) { customWidth = w; }
  void SetCustomHeight(WORD h) { customHeight = h; }
  WORD GetCustomWidth() const { return customWidth; }
  WORD GetCustomHeight() const { return customHeight; }
  // Copies every input setting above from other (name, size and the rest stay).
  void CopyInputSettings(const BitmapInfo& other);
  // The image file's own gamma, set by BitmapManager::GetImageInfo; 2.2 by default.
  void SetGamma(float g) { gamma = g; }
  float Gamma() const { return gamma; }

 private:
  char name[MAX_PATH];
  char device[MAX_PATH];
  WORD width, height;
  float aspect;
  DWORD flags;
  int type;
  void* piData;
  DWORD piSize;
  DWORD customFlags;
  float customGamma;
  WORD customWidth, customHeight;
  float gamma;
};

// ---- Extra channels --------------------------------------------------------------------------
// Per-pixel data that a renderer stores beside the colour, each addressed by one bit. A channel
// holds width x height elements, row-major, top row first; ChannelElementSize gives the bytes
// of one element.
#define BMM_CHAN_NONE 0x000
#define BMM_CHAN_Z 0x001               // float: depth of the nearest surface
#define BMM_CHAN_MTL_ID 0x002          // BYTE: material effects channel
#define BMM_CHAN_NODE_ID 0x004         // WORD: object channel
#define BMM_CHAN_UV 0x008              // two floats: texture coordinates
#define BMM_CHAN_NORMAL 0x010          // DWORD: surface normal packed in 32 bits
#define BMM_CHAN_REALPIX 0x020         // DWORD: colour with a shared exponent
#define BMM_CHAN_COVERAGE 0x040        // BYTE: pixel coverage of the nearest surface, 0..255
#define BMM_CHAN_BG 0x080              // BMM_Color_24: the colour behind the nearest surface
#define BMM_CHAN_NODE_RENDER_ID 0x100  // WORD: render order of the nearest object
#define BMM_CHAN_ALL 0x1FF

// Bytes per pixel of one channel bit; 0 for a value that is not exactly one known channel.
HOSTAPI int ChannelElementSize(ULONG channel);

// How the renderer made an image (camera, fields, time), 65 32-bit words. Bitmaps carry the
// record unchanged for the stages that follow rendering; its contents belong to the renderer.
struct RenderInfo {
  DWORD words[65];
};
static_assert(sizeof(RenderInfo) == 260, "the render information record is 260 bytes");

// ---- Bitmaps ---------------------------------------------------------------------------------
class Bitmap;

// Operations of BitmapStorage::CopyImage.
#define COPY_IMAGE_CROP 0    // pixel for pixel from the top left; uncovered pixels take the fill
#define COPY_IMAGE_RESIZE 1  // stretched to this size, each pixel from the nearest source pixel

// The pixels of one bitmap: width x height BMM_Color_64 pixels, the extra channels and the render
// information record. Owned by its bitmap; not locked, so one thread at a time uses a bitmap.
class HOSTAPI BitmapStorage {
 public:
  int Width() const { return width; }    // 1..65535
  int Height() const { return height; }  // 1..65535

  // Reads count pixels starting at (x, y) in row order, running on into the following rows (a
  // linear read). 1, or 0 with nothing read when the run leaves the image or count < 1.
  int GetLinearPixels(int x, int y, int count, BMM_Color_64* out) const;
  // Writes count pixels starting at (x, y); the run may continue into the following rows, and is
  // cut at the end of the image. 1, or 0 when (x, y) lies outside or count < 1.
  int PutPixels(int x, int y, int count, const BMM_Color_64* in);
  // Sets every pixel to (r, g, b, a), each 0..65535. Answers 1.
  int Fill(WORD r, WORD g, WORD b, WORD a);
  // Copies the image of from into this storage (COPY_IMAGE_...); channels and render information
  // are not copied. 1, or 0 for a null or empty source or an unknown operation.
  int CopyImage(Bitmap* from, int operation, BMM_Color_64 fill);

  // The channels present (BMM_CHAN_... bits).
  ULONG ChannelsPresent() const { return present; }
  // Creates the requested channels that are missing, zeroed (unknown bits are ignored), and
  // answers the set present afterwards: a channel that memory does not allow stays absent.
  ULONG CreateChannels(ULONG channels);
  // Frees the given channels.
  void DeleteChannels(ULONG channels);
  // One channel's elements (channel: exactly one bit), or null when it is not present.
  void* GetChannel(ULONG channel) const;

  // The render information record, or null when there is none (the default).
  RenderInfo* GetRenderInfo() const { return renderInfo; }
  // The record, made and zeroed when there is none; null when memory is short.
  RenderInfo* AllocRenderInfo();

 private:
  friend class Bitmap;
  friend class BitmapManager;
  BitmapStorage(int w, int h, BMM_Color_64* pixels);
  ~BitmapStorage();
  BitmapStorage(const BitmapStorage&) = delete;
  BitmapStorage& operator=(const BitmapStorage&) = delete;

  int width, height;
  BMM_Color_64* pixels;
  ULONG present;
  void* channels[9];
  RenderInfo* renderInfo;
};

// Where Bitmap::Display places its window on the screen's work area.
#define BMM_UL 1
#define BMM_LL 2
#define BMM_UR 3
#define BMM_LR 4
#define BMM_CENTER 5

// The window class of the host's image windows.
#define IMAGEWINDOWCLASS "VantorImageWindow"

// Ways to close an output (Bitmap::Close, CloseAll).
#define BMM_CLOSE_COMPLETE 1  // the file written stays
#define BMM_CLOSE_ABANDON 2   // the file written is removed

// An image in memory, made by the bitmap manager and destroyed with DeleteThis. Besides its
// storage it has outputs: files it writes its image to. The writer chooses the file format by
// the output name's extension and writes Windows bitmaps (.bmp) with 8 bits per channel.
class HOSTAPI Bitmap {
 public:
  int Width() const { return storage->Width(); }
  int Height() const { return storage->Height(); }
  float Aspect() const { return info.Aspect(); }
  DWORD Flags() const { return info.Flags(); }
  int Type() const { return info.Type(); }
  // The record the bitmap was made from.
  const BitmapInfo& Info() const { return info; }
  BitmapStorage* Storage() const { return storage; }

  // The storage's pixel access (see BitmapStorage).
  int GetLinearPixels(int x, int y, int count, BMM_Color_64* out) const {
    return storage->GetLinearPixels(x, y, count, out);
  }
  int PutPixels(int x, int y, int count, const BMM_Color_64* in) { return storage->PutPixels(x, y, count, in); }
  int Fill(WORD r, WORD g, WORD b, WORD a) { return storage->Fill(r, g, b, a); }

  // Outputs. OpenOutput adds an output for bi's name (1; 0 for an empty name or one already
  // open); Write writes the current image to the output named like bi, or to every open output
  // when bi is null (1 when every write succeeded; 0 for no such output or a failed write);
  // Close closes one output and CloseAll every output, with BMM_CLOSE_COMPLETE or
  // BMM_CLOSE_ABANDON. Close answers 0 for an output that is not open; CloseAll the number of
  // outputs closed.
  int OpenOutput(const BitmapInfo* bi);
  int Write(const BitmapInfo* bi);
  int Close(const BitmapInfo* bi, int flag = BMM_CLOSE_COMPLETE);
  int CloseAll(int flag = BMM_CLOSE_COMPLETE);
  int OutputCount() const;

  // Shows a copy of the image in a host image window (class IMAGEWINDOWCLASS) titled title (null:
  // the bitmap's file name, or "Image" when it has none), placed by position (BMM_UL ...
  // BMM_CENTER). The window belongs to the main window unless autonomous is set; with saveButton it
  // offers to save the image. window (may be null) receives the window; owner (null: as autonomous
  // says) is the window's owner. The bitmap may be deleted at once. 1, or 0 when no window is made.
  int Display(const char* title = nullptr, int position = BMM_CENTER, BOOL autonomous = FALSE,
              BOOL saveButton = TRUE, HWND* window = nullptr, HWND owner = nullptr);

  // Frees the bitmap. Open outputs are dropped as they are: files already written stay.
  void DeleteThis();

 private:
  friend class BitmapManager;
  struct Output;
  Bitmap(const BitmapInfo& bi, BitmapStorage* s);
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  int FindOutput(const char* name) const;
  int CloseOutput(int i, int flag);

  BitmapInfo info;
  BitmapStorage* storage;
  Output* outputs;  // array of outputCount
  int outputCount;
};

// ---- Image file handlers ---------------------------------------------------------------------
class ClassDesc;

// Capability bits of an image file handler (BMM_IOHandler::Capability).
#define BMMIO_READER (1u << 4)  // reads images
#define BMMIO_WRITER (1u << 5)  // writes images

// One image file format the host knows: its descriptions, file extensions (without dot),
// capability bits and the class descriptor of the plug-in that serves it.
class HOSTAPI BMM_IOHandler {
 public:
  const char* ShortDescription() const { return shortDesc; }
  const char* LongDescription() const { return longDesc; }
  int NumExtensions() const { return extCount; }
  // Extension i (0 .. NumExtensions() - 1); null out of range.
  const char* Extension(int i) const;
  DWORD Capability() const { return capability; }
  ClassDesc* GetCD() const { return cd; }

 private:
  friend class BMM_IOList;
  BMM_IOHandler() = default;
  const char* shortDesc;
  const char* longDesc;
  const char* const* exts;
  int extCount;
  DWORD capability;
  ClassDesc* cd;
};

// The manager's handlers as a counted linked list, loaded on first use.
class HOSTAPI BMM_IOList {
 public:
  BMM_IOList();
  ~BMM_IOList();
  BMM_IOList(const BMM_IOList&) = delete;
  BMM_IOList& operator=(const BMM_IOList&) = delete;
  BOOL ListIsLoaded() const { return loaded; }
  // Lists the host's handlers (once; a later call does nothing) and answers their count.
  int LoadDLLs();
  int Count() const { return count; }
  // Handler i, found by walking the list; an index past its end raises the list's assertion
  // (assert1, line 62 of "linklist") and answers null.
  BMM_IOHandler* operator[](int i) const;

 private:
  struct Node;
  Node* head;
  int count;
  BOOL loaded;
};

// Results of BitmapManager::GetImageInfo.
#define BMMRES_SUCCESS 0
#define BMMRES_FILENOTFOUND 1   // no such file
#define BMMRES_INVALIDFORMAT 2  // a file that no handler reads

// ---- The bitmap manager ----------------------------------------------------------------------
// Makes bitmaps and keeps count of those alive; safe to call from any thread. The dialogs belong
// to the user-interface thread.
class HOSTAPI BitmapManager {
 public:
  // A new bitmap of bi's width, height, aspect, flags and type, every pixel (0, 0, 0, 0), no
  // channels, no render information. Null for a null bi, a width or height of 0, an aspect not
  // above 0, the type BMM_NO_TYPE, or when memory is short.
  Bitmap* Create(const BitmapInfo* bi);
  // Reads the image file named by bi (any format the system's imaging component decodes) into a
  // new bitmap; bi receives its width and height (and a type and aspect when it had none). Null
  // when the file cannot be read; outside silent mode the failure is also shown in a message box.
  Bitmap* Load(BitmapInfo* bi);
  // Silent mode keeps loading failures from showing anything; answers the previous state.
  BOOL SetSilentMode(BOOL on);
  BOOL SilentMode();
  // Bitmaps made and not yet deleted, in the whole process.
  int Count();
  // The host's interface object (the one GetCOREInterface answers).
  Interface* Iface();

  // Reads the width, height, pixel aspect and own gamma of the image file named by bi into bi,
  // without its pixels: BMMRES_SUCCESS or the reason it failed; outside silent mode a failure is
  // also shown in a message box.
  int GetImageInfo(BitmapInfo* bi);
  // The image information dialog for bi's file (format, size, aspect, gamma), modal on owner:
  // 1 when shown, 0 when the information cannot be read (reported as GetImageInfo does).
  int ImageInfoDlg(HWND owner, BitmapInfo* bi);
  // The input options dialog (custom size) editing bi's input settings: 1 for OK, 0 for Cancel
  // (bi unchanged).
  int ImageInputOptions(BitmapInfo* bi, HWND owner);
  // The input device dialog: TRUE when a device was chosen (bi's device names it), FALSE when
  // cancelled (bi unchanged).
  BOOL SelectDeviceInput(BitmapInfo* bi, HWND owner);

  // The image paths: folders searched for images, in order, at most 64 of up to 259 characters.
  // AddMapDir appends one (1; 0 when empty, too long, already listed or the list is full);
  // GetMapDir answers null out of range.
  int AddMapDir(const char* dir);
  int GetMapDirCount();
  const char* GetMapDir(int i);

  // The image file handlers.
  BMM_IOList ioList;
};

// The renderer's field order for video output: 0 even field first (default), 1 odd field first.
HOSTAPI int GetRendFieldOrder();
HOSTAPI void SetRendFieldOrder(int order);

HOSTAPI extern BitmapManager* TheManager;

// ---- Display gamma ---------------------------------------------------------------------------
// The display's gamma: windows that show images send every 8-bit channel through dispTable while
// enable is set.
class HOSTAPI GammaMgr {
 public:
  GammaMgr();
  BOOL enable;          // FALSE by default
  float dispGamma;      // 2.2 by default
  BYTE dispTable[256];  // entry i = 255 * (i / 255)^(1 / dispGamma), rounded to nearest
  // Sets the display gamma (0.2..5.0) and recomputes the table; 0 (nothing changed) out of range.
  int SetDisplayGamma(float gamma);
};

HOSTAPI extern GammaMgr gammaMgr;
