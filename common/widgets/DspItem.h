#pragma once
// One pane of the split window. The control owns 64 of these; the host hangs
// its per-pane object on Data and shows its state through the flags, and the
// renderer reads VideoHandle and DisplayRect to know where the video goes.
// Items are touched on the GUI thread only.
#include <QString>
#include <QWidget>
#include <array>

#include "SplitGeometry.h"

class TDspItem {
 public:
  static constexpr int kStateCount = 16;

  explicit TDspItem(int index);

  int Index() const { return FIndex; }

  QString Title;
  // Message drawn in the pane while state slot 1 is clear ("No Signal").
  QString Text;

  void* Data() const { return FData; }
  // Clearing the object clears every state flag with it; setting the same
  // object again changes nothing.
  void SetData(void* data);

  // Slots are 1..16; slot 1 also means that the pane shows video. Reads
  // outside the range are false, writes outside it are ignored.
  bool GetState(int slot) const;
  void SetState(int slot, bool value);

  // Control coordinates; all empty while the item is not on the current page.
  vz::TRect PaneRect;
  vz::TRect TitleRect;
  vz::TRect VideoRect;
  // Native id of the window the video is drawn into (the control, or its
  // full-screen window) and the rectangle inside that window.
  WId VideoHandle = 0;
  vz::TRect DisplayRect;

 private:
  int FIndex;
  void* FData = nullptr;
  std::array<bool, kStateCount> FStates{};
};
