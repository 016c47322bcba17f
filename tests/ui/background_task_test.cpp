// Background tasks with a pumping wait: the worker's control access and message boxes complete,
// clicks and timers are handled during the wait, and nested waits return in order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
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

TEST_F(BackgroundTask, AStartWhileTheWorkerRunsIsKeptAndRunsWhenItEnds) {
  TestDialog dialog;
  ui::TaskKind kind, other;
  bool secondRanAtOnce = true, otherStarted = false;
  std::vector<std::string> ran;
  t::RunModal(dialog, [&] {
    ui::RunBackgroundTask(kind, [&] {
      ui::Invoke([&] {
        // Two starts while the worker runs: the newer one is kept, the older one replaced.
        ui::RunBackgroundTask(kind, [&] { ran.push_back("replaced"); });
        secondRanAtOnce = ui::RunBackgroundTask(kind, [&] { ran.push_back("kept"); });
        otherStarted = ui::RunBackgroundTask(other, [] {});
      });
      ran.push_back("first");
    });
    EXPECT_TRUE(t::WaitUntil([&] { return ran.size() == 2; }, 10000));
  });
  EXPECT_FALSE(secondRanAtOnce);
  EXPECT_TRUE(otherStarted);
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "kept"}));
  EXPECT_FALSE(kind.Running());
  EXPECT_FALSE(kind.StartKept());
}

TEST_F(BackgroundTask, AUseIsFreeOnceItsWorkerEndsEvenWhileItsWaitIsHeld) {
  // A handler nested in the wait (a dialog left open, say) outlasts the worker: a start of the
  // same use from inside that handler runs at once, and one kept just before the worker ended
  // runs too, without waiting for the held wait to unwind.
  TestDialog dialog;
  ui::TaskKind kind;
  std::atomic<bool> workerMayEnd{false};
  std::vector<std::string> ran;
  bool startedInsideHeldWait = false;
  dialog.OnClicked(IDC_BUTTON, [&] {
    ui::RunBackgroundTask(kind, [&] { ran.push_back("kept"); });  // the worker still runs
    workerMayEnd = true;
    EXPECT_TRUE(t::WaitUntil([&] { return !kind.Running() && ran.size() == 2; }, 10000));
    startedInsideHeldWait = ui::RunBackgroundTask(kind, [&] { ran.push_back("inside"); });
  });
  t::RunModal(dialog, [&] {
    ui::RunBackgroundTask(kind, [&] {
      ui::Post([&] { t::Click(dialog, IDC_BUTTON); });
      while (!workerMayEnd) std::this_thread::sleep_for(1ms);
      ran.push_back("first");
    });
  });
  EXPECT_TRUE(startedInsideHeldWait);
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "kept", "inside"}));
}

TEST_F(BackgroundTask, AnExceptionEndsOnlyItsTask) {
  TestDialog dialog;
  ui::TaskKind kind;
  bool ranAgain = false;
  t::RunModal(dialog, [&] {
    EXPECT_TRUE(ui::RunBackgroundTask(kind, [] { throw std::runtime_error("malformed"); }));
    EXPECT_FALSE(kind.Running());
    EXPECT_TRUE(ui::RunBackgroundTask(kind, [&] { ranAgain = true; }));
  });
  EXPECT_TRUE(ranAgain);
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
