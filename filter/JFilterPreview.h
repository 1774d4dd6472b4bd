// Preview windows of a filter's settings dialog: image views whose render callback runs the
// filter. The main preview asks the host for a source image (rendered through the post-production
// queue and cached) or paints a default background, lets the filter render into it and shows the
// result letterboxed to the output's aspect. Secondary previews show pictures a client derives from
// the main preview's cached source. An update button re-renders the main preview from scratch.
#pragma once

#include "JButton.h"
#include "JFilter.h"
#include "JLeaf.h"
#include "JViewWnd.h"

// Paints a background into bitmap for filter at time; nonzero when it did, 0 to let the library
// paint its default one (JFillDefault).
typedef int (*JFilterBackFunc)(Bitmap* bitmap, JFilterBase* filter, int time);
// Turns bitmap, which holds the source image, into the secondary picture in place; its result
// becomes the view's result (0: the view keeps its previous image).
typedef int (*JFilterSecondaryRenderFunc)(Bitmap* bitmap, void* user, int time, int width, int height, float aspect,
                                          HWND window);

// The main preview of a filter. Data slots: 0 the bound data object, 1 an optional on/off switch
// (off: the view is black), 2 an optional switch that has the host render a source image through
// its queue (the Postline switch; off: the default background). The source image is cached and
// reused by every update until FullUpdate, SetResolution or the Postline switch going off drops
// it. Not copyable, as a view.
class QUORAPI JFilterPreviewWnd : public JViewWnd {
 public:
  // A preview of filter in dialog item ctrlId bound to data, with the two switches (each may be
  // null; a client that gives vpOnOff also gives onOff). Null when the window class cannot be
  // registered or memory is short (the latter reported by jassert).
  static JFilterPreviewWnd* Create(JFilterBase* filter, JDataBase* data, int ctrlId, JFloatData* onOff,
                                   JFloatData* vpOnOff);
  // Rebinds: the switches go to data slots 1 and 2 (null allowed), then the view shows data at t.
  void Set(JDataBase* data, int t, JFloatData* onOff, JFloatData* vpOnOff);
  using JViewCtl::Set;
  // The switches of slots 1 and 2; null when absent or not a JFloatData.
  JFloatData* GetOnOff();
  JFloatData* GetVPOnOff();
  // The background painted when there is no cached source; null (the default) paints
  // JFillDefault. SetDefaultBack answers the previous function.
  JFilterBackFunc SetDefaultBack(JFilterBackFunc f);
  JFilterBackFunc GetDefaultBack() { return defaultBack; }
  JFilterBase* GetFilter() { return filter; }

  // Drops the cached source and recomputes at t (the host is asked again).
  void FullUpdate(int t);
  // Registers a secondary view (not owned); secondaries are refreshed when the cache is filled
  // or dropped. The table only grows; views of closed dialogs are skipped.
  void AddSecondary(JViewWnd* w);
  // Recomputes every live, unfrozen secondary at t.
  void UpdateSecondaries(int t);
  // Aborts the updates of the live secondaries, then this view's own.
  void AbortUpdate();

  // ---- View control ----
  void Destroy() override;
  void DeleteThis() override;
  void UpdateView(int t, ReferenceTarget* changed) override;
  using JViewCtl::UpdateView;
  // The resolution changes the image size: the cache is dropped as well.
  void SetResolution(JDataBase* data, int resolution, int noFit) override;

  // The render callback; window is the JFilterPreviewWnd.
  static int JFilterPreviewFunc(BMM_Color_24* out, void* window, int t, int w, int h, float aspect, HWND wnd);

 protected:
  JFilterPreviewWnd();
  // Stops the worker, then drops the cache under the thread lock.
  ~JFilterPreviewWnd() override;
  // Fills the cache from the host at t in a picture of w x h pixels, under the thread lock; 0
  // when a cache bitmap cannot be made, -1 when reading the host's images faulted.
  int FillCache(Bitmap* source, Bitmap* second, int t, int w, int h, float aspect);

  JFilterBase* filter;      // not owned
  Bitmap* sourceCache;      // the last source image from the host, or null
  Bitmap* secondCache;      // the second input that came with it, or null
  int cacheTime;            // when the cache was filled; -1 when it is invalid
  Tab<JViewWnd*> secondaries;  // not owned
  JFilterBackFunc defaultBack;

  friend class JFilterSecondaryPreviewWnd;
};

// A further preview derived from a main preview's cached source by a client callback (or the
// source itself without one). Data slot 1 holds an optional on/off switch. Not copyable.
class QUORAPI JFilterSecondaryPreviewWnd : public JViewWnd {
 public:
  // A view of dialog item ctrlId bound to data, registered with main; f (may be null) makes the
  // picture, user is its data; onOff may be null. Null when the window class cannot be
  // registered or memory is short (the latter reported by jassert).
  static JFilterSecondaryPreviewWnd* Create(JFilterPreviewWnd* main, JDataBase* data, int ctrlId,
                                            JFilterSecondaryRenderFunc f, void* user, JFloatData* onOff);
  // Rebinds: the switch goes to data slot 1 (null allowed), then the view shows data at t.
  void Set(JDataBase* data, int t, JFloatData* onOff);
  using JViewCtl::Set;
  JFloatData* GetOnOff();  // null when absent or not a JFloatData
  JFilterBackFunc SetDefaultBack(JFilterBackFunc f);  // answers the previous function
  JFilterBackFunc GetDefaultBack() { return defaultBack; }
  JFilterPreviewWnd* GetMain() { return mainWnd; }

  void DeleteThis() override;

 protected:
  JFilterSecondaryPreviewWnd();
  ~JFilterSecondaryPreviewWnd() override;
  // The render callback; window is the JFilterSecondaryPreviewWnd.
  static int JFilterSecondaryPreviewFunc(BMM_Color_24* out, void* window, int t, int w, int h, float aspect,
                                         HWND wnd);

  JFilterPreviewWnd* mainWnd;  // not owned
  JFilterSecondaryRenderFunc func;
  void* user;
  JFilterBackFunc defaultBack;
};

// A host custom push button that re-renders a main preview from scratch (FullUpdate). It is
// greyed from the start in a dialog opened for a new filter event, which cannot be previewed yet.
// The client's callbacks run as a JCustButton's: the first before the update, the second after.
class QUORAPI JUpdateFPWButton : public JCustButton {
 public:
  // Null (asserted) when memory is short.
  static JUpdateFPWButton* Create(JFilterPreviewWnd* window, int ctrlId, Callback first, void* firstUser,
                                  Callback second, void* secondUser);

 protected:
  JUpdateFPWButton();
  static void FirstHandler(JCustButton* button, void* window, int t, int id, unsigned int msg, UINT_PTR param);
  static void SecondHandler(JCustButton* button, void* window, int t, int id, unsigned int msg, UINT_PTR param);

  Callback clientFirst;
  Callback clientSecond;
  void* clientFirstUser;
  void* clientSecondUser;
};
