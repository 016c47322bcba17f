// CCircleProgress: the busy indicator of the update dialog. A ring of 20 short grey spokes of
// graded transparency whose pattern steps round by one spoke on each tick of timer 1, which its
// owner starts and stops. Each frame is composed off-screen and reaches the window in one copy.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/dialog.h"

class CCircleProgress {
 public:
  // The control id of the spinner's window.
  static constexpr int kControlId = 0xFFFF;
  // The timer whose ticks turn the pattern.
  static constexpr int kTurnTimer = 1;
  // The ground of every frame (red 202, green 225, blue 243), as ARGB.
  static constexpr std::uint32_t kFillColour = 0xFFCAE1F3;
  // The opaque pen beneath every spoke: the ground with red and blue exchanged (243, 225, 202).
  static constexpr std::uint32_t kBaseColour = 0xFFF3E1CA;

  struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
  };
  // The two ends of a spoke, in the window's pixels.
  struct Spoke {
    Point inner, outer;
    bool operator==(const Spoke&) const = default;
  };

  CCircleProgress();
  ~CCircleProgress();
  CCircleProgress(const CCircleProgress&) = delete;
  CCircleProgress& operator=(const CCircleProgress&) = delete;

  // Takes `rect` (pixels in the parent's client area) as the bounds, sets the pen width, the
  // centre and 20 spokes, builds the colour table and creates the window as a hidden child of
  // `parent` at `rect`, replacing a window made earlier. Returns false, creating nothing, when
  // the parent has no window.
  bool CreateSpinner(ui::Dialog& parent, const ui::Rect& rect);

  // Sets the radii 20 and 50 and makes the window 106 x 106 pixels at the bounds' top-left
  // corner, centred at (53, 53); redraws it.
  void ApplyDefaultGeometry();

  // Showing and hiding is the owner's; the window is created hidden.
  void ShowWindow(bool show);
  bool IsWindowVisible() const;
  bool HasWindow() const;

  // Timers of the spinner's own window: OnTimer(id) runs every `milliseconds` on the
  // user-interface thread until killed or until the window goes.
  void SetTimer(int id, int milliseconds);
  void KillTimer(int id);
  bool IsTimerRunning(int id) const;
  // Timer 1 steps the pattern round by one spoke and redraws without erasing; other ids change
  // nothing.
  void OnTimer(int id);

  // What a frame is made of, for the owner and for tests.
  int SpokeCount() const { return spokeCount_; }
  int PenWidth() const { return penWidth_; }
  int Phase() const { return phase_; }
  ui::Rect Bounds() const { return bounds_; }
  // The colour table, ARGB: entry i is grey 128 with alpha 12 x (i + 1) for 20 spokes.
  const std::vector<std::uint32_t>& Colours() const { return colours_; }
  // The ends of spoke k, 1 to SpokeCount(); spoke k lies at k x 18 degrees, clockwise from the
  // positive x axis.
  Spoke SpokeEnds(int k) const;
  // The colour that spoke k, 1 to SpokeCount(), gets in the current phase.
  std::uint32_t SpokeColour(int k) const;
  // Composes the current frame and returns its pixels row by row as ARGB values, width x height
  // of the bounds; empty for empty bounds.
  std::vector<std::uint32_t> RenderFrame() const;

 private:
  struct Impl;

  void BuildColours();

  int penWidth_ = 4;
  int centreX_ = 0, centreY_ = 0;
  int spokeCount_ = 20;
  int innerRadius_ = 0, outerRadius_ = 0;
  ui::Rect bounds_;
  int phase_ = 0;
  std::vector<std::uint32_t> colours_;
  std::unique_ptr<Impl> impl_;
};
