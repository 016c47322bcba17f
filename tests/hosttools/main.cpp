// Test entry. With "--end-own-name NAME" the program instead forks a child and ends every
// process named NAME (itself included), so a test can watch a caller survive its own close list.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "hosttools/close_programs.h"

namespace {

int EndOwnName(const char* name) {
  pid_t child = ::fork();
  if (child == 0) {
    for (;;) ::pause();
  }
  if (child < 0) return 2;
  int ended = hosttools::EndProcessTrees(name);
  int status = 0;
  ::waitpid(child, &status, 0);
  bool childKilled = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  std::printf("ended %d\n", ended);
  return childKilled ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--end-own-name") == 0) return EndOwnName(argv[2]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
