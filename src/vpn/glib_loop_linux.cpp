#include "vpn/glib_loop_linux.h"

#include <glib.h>

#include <condition_variable>
#include <mutex>

#include "base/guarded.h"

namespace vpn {
namespace {

gboolean RunTask(gpointer data) {
  // No exception may cross GLib's C frames.
  base::RunGuarded("a NetworkManager call", *static_cast<std::function<void()>*>(data));
  return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer data) {
  delete static_cast<std::function<void()>*>(data);
}

}  // namespace

GLibLoopThread::GLibLoopThread()
    : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
  std::mutex mutex;
  std::condition_variable started;
  bool running = false;
  thread_ = std::thread([&] {
    g_main_context_push_thread_default(context_);
    {
      std::lock_guard lock(mutex);
      running = true;
    }
    started.notify_one();
    Main();
  });
  // Until the thread owns the context, g_main_context_invoke could run work on the caller.
  std::unique_lock lock(mutex);
  started.wait(lock, [&] { return running; });
}

GLibLoopThread::~GLibLoopThread() {
  Post([this] { g_main_loop_quit(loop_); });
  thread_.join();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

void GLibLoopThread::Main() {
  g_main_loop_run(loop_);
  // Sources the library attached (finished calls, idle callbacks) are dispatched once more, so
  // that none is left holding memory when the context goes away.
  while (g_main_context_iteration(context_, FALSE)) {
  }
  g_main_context_pop_thread_default(context_);
}

void GLibLoopThread::Post(std::function<void()> task) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, RunTask, new std::function<void()>(std::move(task)), DeleteTask);
  g_source_attach(source, context_);
  g_source_unref(source);
}

void GLibLoopThread::Run(const std::function<void()>& task) {
  if (OnLoopThread()) {
    task();
    return;
  }
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  Post([&] {
    // The caller is released however the task ends.
    base::RunGuarded("a NetworkManager call", task);
    std::lock_guard lock(mutex);
    finished = true;
    done.notify_one();
  });
  std::unique_lock lock(mutex);
  done.wait(lock, [&] { return finished; });
}

bool GLibLoopThread::OnLoopThread() const {
  return std::this_thread::get_id() == thread_.get_id();
}

}  // namespace vpn
