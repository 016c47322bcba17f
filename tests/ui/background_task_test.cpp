// Background tasks with a pumping wait: the worker's control access and message boxes complete,
// clicks and timers are handled during the wait, and nested waits return in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "test_dialog.h"
#include "ui/application.h"
#include "ui/background_task.h"
#include "ui/testing.h"

namespace {

using namespace uitest;
namespace t = ui::testing;
using namespace std::chrono_literals;

class BackgroundTask : public ::testing::Test {
 protected:
  void SetUp() override { t::EnsureApplication(); }
  t::ScriptedMessageBoxes boxes;
};

TEST_F(BackgroundTask, WorkerControlAccessAndMessageBoxCompleteDuringTheWait) {
  TestDialog dialog;
  ui::TaskKind kind;
  std::string readBack;
  int answer = 0;
  bool workerOffUiThread = false;
  boxes.QueueAnswer(ui::IDYES);
  t::RunModal(dialog, [&] {
    EXPECT_TRUE(ui::RunBackgroundTask(kind, [&] {
      workerOffUiThread = !ui::IsUiThread();
      dialog.SetDlgItemText(IDC_EDIT, "from worker");
      readBack = dialog.GetDlgItemText(IDC_EDIT);
      dialog.UpdateData(true);
      answer = dialog.MessageBox("question", "", ui::MB_YESNO);
    }));
    // The handler continues only after the worker has ended, and sees its results.
    EXPECT_EQ(dialog.GetDlgItemText(IDC_EDIT), "from worker");
  });
  EXPECT_TRUE(workerOffUiThread);
  EXPECT_EQ(readBack, "from worker");
  EXPECT_EQ(dialog.editText, "from worker");
  EXPECT_EQ(answer, ui::IDYES);
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(BackgroundTask, ClicksAndTimersAreHandledWhileTheHandlerWaits) {
  struct Ticking : TestDialog {
    std::atomic<int> ticks{0};
    void OnTimer(int) override { ++ticks; }
  } dialog;
  ui::TaskKind kind;
  std::atomic<bool> clicked{false};
  dialog.OnClicked(IDC_BUTTON, [&] { clicked = true; });
  t::RunModal(dialog, [&] {
    dialog.SetTimer(1, 5);
    ui::RunBackgroundTask(kind, [&] {
      // The click is queued from here and must be dispatched by the waiting thread.
      ui::Post([&] { t::Click(dialog, IDC_BUTTON); });
      for (int i = 0; i < 2000 && (!clicked || dialog.ticks < 3); ++i) {
        std::this_thread::sleep_for(5ms);
      }
    });
  });
  EXPECT_TRUE(clicked);
  EXPECT_GE(dialog.ticks.load(), 3);
}

TEST_F(BackgroundTask, NestedWaitsReturnInOrder) {
  TestDialog dialog;
  ui::TaskKind outerKind, innerKind;
  std::vector<std::string> order;
  std::atomic<bool> outerBodyDone{false};
  dialog.OnClicked(IDC_BUTTON, [&] {
    // Runs nested in the outer wait; its own wait outlasts the outer worker.
    ui::RunBackgroundTask(innerKind, [&] {
      while (!outerBodyDone) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(50ms);
    });
    order.push_back("inner returned");
  });
  t::RunModal(dialog, [&] {
    ui::RunBackgroundTask(outerKind, [&] {
      ui::Post([&] { t::Click(dialog, IDC_BUTTON); });
      while (!innerKind.Running()) std::this_thread::sleep_for(1ms);
      outerBodyDone = true;
    });
    order.push_back("outer returned");
  });
  EXPECT_EQ(order, (std::vector<std::string>{"inner returned", "outer returned"}));
}

TEST_F(BackgroundTask, SecondTaskOfTheSameKindIsRefusedWhileOneRuns) {
  TestDialog dialog;
  ui::TaskKind kind, other;
  bool secondStarted = true, otherStarted = false;
  t::RunModal(dialog, [&] {
    ui::RunBackgroundTask(kind, [&] {
      ui::Invoke([&] {
        secondStarted = ui::RunBackgroundTask(kind, [] {});
        otherStarted = ui::RunBackgroundTask(other, [] {});
      });
    });
  });
  EXPECT_FALSE(secondStarted);
  EXPECT_TRUE(otherStarted);
  EXPECT_FALSE(kind.Running());
}

TEST_F(BackgroundTask, WorkerStartsItsOwnTaskAndWaitsForIt) {
  TestDialog dialog;
  ui::TaskKind outer, inner;
  std::vector<int> steps;
  t::RunModal(dialog, [&] {
    ui::RunBackgroundTask(outer, [&] {
      steps.push_back(1);
      ui::RunBackgroundTask(inner, [&] {
        dialog.SetDlgItemText(IDC_LABEL, "inner");  // the user-interface thread still pumps
        steps.push_back(2);
      });
      steps.push_back(3);
    });
  });
  EXPECT_EQ(steps, (std::vector<int>{1, 2, 3}));
}

}  // namespace
