// The progress spinner: its colour ramp, its geometry, the turn of its pattern on timer 1 and the
// frames it paints.
#include <QImage>

#include <cmath>
#include <cstdint>
#include <vector>

#include "controls/circle_progress.h"
#include "ui/dialog.h"
#include "ui/testing.h"
#include "update_support.h"

namespace update_test {
namespace {

namespace t = ui::testing;

const ui::DialogTemplate kHostTemplate{900, "host", 175, 95, 0, {}};

constexpr ui::Rect kCreateRect{70, 5, 160, 160};

int Alpha(std::uint32_t argb) {
  return static_cast<int>(argb >> 24);
}

// One channel of grey 128 with `alpha` drawn over `ground`.
int Over(int ground, int alpha) {
  return static_cast<int>(std::lround((128 * alpha + ground * (255 - alpha)) / 255.0));
}

class Spinner : public ::testing::Test {
 protected:
  void SetUp() override { t::EnsureApplication(); }

  // Runs `body` with a spinner made as the update dialog makes it, inside an open host window.
  void WithSpinner(const std::function<void(ui::Dialog&, CCircleProgress&)>& body) {
    ui::Dialog host(kHostTemplate);
    CCircleProgress spinner;
    t::RunModal(host, [&] {
      ASSERT_TRUE(spinner.CreateSpinner(host, kCreateRect));
      spinner.ApplyDefaultGeometry();
      body(host, spinner);
    });
  }

  static std::uint32_t Pixel(const std::vector<std::uint32_t>& frame, int x, int y) {
    return frame[static_cast<std::size_t>(y) * 106 + static_cast<std::size_t>(x)];
  }
  static void ExpectGreyOverBase(std::uint32_t pixel, int alpha) {
    const int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    EXPECT_NEAR(red, Over(243, alpha), 2);
    EXPECT_NEAR(green, Over(225, alpha), 2);
    EXPECT_NEAR(blue, Over(202, alpha), 2);
  }
};

TEST_F(Spinner, ColourRampIsGreyWithTwentyStepsOfAlpha) {
  ui::Dialog host(kHostTemplate);
  CCircleProgress spinner;
  t::RunModal(host, [&] {
    ASSERT_TRUE(spinner.CreateSpinner(host, kCreateRect));
    EXPECT_EQ(spinner.Bounds(), kCreateRect);
    EXPECT_TRUE(spinner.HasWindow());
    EXPECT_FALSE(spinner.IsWindowVisible()) << "created hidden";
    ASSERT_EQ(spinner.Colours().size(), 20u);
    for (std::size_t i = 0; i < 20; ++i) {
      EXPECT_EQ(spinner.Colours()[i], (static_cast<std::uint32_t>(12 * (i + 1)) << 24) | 0x808080u)
          << "entry " << i;
    }
  });
  EXPECT_FALSE(spinner.HasWindow()) << "the window goes with its parent's";
}

TEST_F(Spinner, DefaultGeometryPutsTheSpokeEndsWhereTheyBelong) {
  WithSpinner([](ui::Dialog&, CCircleProgress& spinner) {
    EXPECT_EQ(spinner.Bounds(), (ui::Rect{70, 5, 176, 111}));
    struct Case {
      int spoke;
      CCircleProgress::Spoke ends;
    };
    const Case cases[] = {
        {20, {{73, 53}, {103, 53}}},  // 360 degrees
        {5, {{53, 73}, {53, 103}}},   // 90
        {10, {{33, 53}, {3, 53}}},    // 180
        {15, {{53, 33}, {53, 3}}},    // 270
        {1, {{72, 59}, {100, 68}}},   // 18
    };
    for (const Case& c : cases) {
      const CCircleProgress::Spoke ends = spinner.SpokeEnds(c.spoke);
      EXPECT_EQ(ends, c.ends) << "spoke " << c.spoke << ": (" << ends.inner.x << ", "
                              << ends.inner.y << ") to (" << ends.outer.x << ", " << ends.outer.y
                              << ")";
    }
  });
}

TEST_F(Spinner, TickStepsThePatternRoundByOneSpoke) {
  WithSpinner([](ui::Dialog&, CCircleProgress& spinner) {
    std::vector<std::uint32_t> frame = spinner.RenderFrame();
    ASSERT_EQ(frame.size(), 106u * 106u);
    EXPECT_EQ(Pixel(frame, 1, 1), CCircleProgress::kFillColour);
    EXPECT_EQ(Alpha(spinner.SpokeColour(1)), 12);
    EXPECT_EQ(Alpha(spinner.SpokeColour(20)), 240);
    ExpectGreyOverBase(Pixel(frame, 86, 63), 12);   // middle of spoke 1
    ExpectGreyOverBase(Pixel(frame, 88, 53), 240);  // middle of spoke 20

    spinner.OnTimer(CCircleProgress::kTurnTimer);
    EXPECT_EQ(spinner.Phase(), 1);
    frame = spinner.RenderFrame();
    EXPECT_EQ(Alpha(spinner.SpokeColour(1)), 24);
    EXPECT_EQ(Alpha(spinner.SpokeColour(20)), 12);
    ExpectGreyOverBase(Pixel(frame, 86, 63), 24);
    ExpectGreyOverBase(Pixel(frame, 88, 53), 12);
  });
}

TEST_F(Spinner, TwentyTicksBringBackTheFirstPictureAndOtherTimersChangeNothing) {
  WithSpinner([](ui::Dialog&, CCircleProgress& spinner) {
    const std::vector<std::uint32_t> first = spinner.RenderFrame();
    for (int id : {0, 2, 8, 0xFFFF}) spinner.OnTimer(id);
    EXPECT_EQ(spinner.Phase(), 0);
    EXPECT_EQ(spinner.RenderFrame(), first);
    for (int tick = 1; tick < 20; ++tick) {
      spinner.OnTimer(CCircleProgress::kTurnTimer);
      EXPECT_NE(spinner.RenderFrame(), first) << "after " << tick << " ticks";
    }
    spinner.OnTimer(CCircleProgress::kTurnTimer);
    EXPECT_EQ(spinner.Phase(), 0);
    EXPECT_EQ(spinner.RenderFrame(), first);
  });
}

TEST_F(Spinner, ShownSpinnerPaintsItsFrameAndTurnsOnItsTimer) {
  TempDir dir;
  WithSpinner([&](ui::Dialog& host, CCircleProgress& spinner) {
    spinner.OnTimer(CCircleProgress::kTurnTimer);
    spinner.ShowWindow(true);
    EXPECT_TRUE(spinner.IsWindowVisible());
    ASSERT_TRUE(t::SaveScreenshot(host, dir / "host.png"));
    const QImage shot =
        QImage(QString::fromStdString(dir / "host.png")).convertToFormat(QImage::Format_RGB32);
    const std::vector<std::uint32_t> frame = spinner.RenderFrame();
    int differing = 0;
    for (int y = 0; y < 106; ++y) {
      for (int x = 0; x < 106; ++x) {
        if (shot.pixel(70 + x, 5 + y) != Pixel(frame, x, y)) ++differing;
      }
    }
    EXPECT_EQ(differing, 0) << "the window shows the composed frame at (70, 5)";

    spinner.SetTimer(CCircleProgress::kTurnTimer, 200);
    EXPECT_TRUE(spinner.IsTimerRunning(CCircleProgress::kTurnTimer));
    EXPECT_TRUE(t::WaitUntil([&] { return spinner.Phase() != 1; }));
    spinner.KillTimer(CCircleProgress::kTurnTimer);
    EXPECT_FALSE(spinner.IsTimerRunning(CCircleProgress::kTurnTimer));
  });
}

}  // namespace
}  // namespace update_test
