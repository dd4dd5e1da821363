// Starting programs, apart from the rest of the process helpers because the browser build has
// no processes (PL_SpawnBrowser.cpp stands in there).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/PL_Process.h"

extern char** environ;

bool SpawnDetached(const std::vector<std::string>& words, std::string* error) {
  if (words.empty()) {
    if (error) *error = "empty command line";
    return false;
  }
  std::vector<char*> argv;
  for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (const int code = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)) {
    if (error) *error = std::strerror(code);
    return false;
  }
  // A waiting thread per child keeps other waitpid users (and SIGCHLD handling) untouched.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

TProgramRun RunProgram(const std::vector<std::string>& words, const std::string& outputFile,
                       uint32_t limitMs) {
  TProgramRun run;
  if (words.empty()) {
    run.Error = "empty command line";
    return run;
  }
  std::vector<char*> argv;
  for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int code = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (code) {
    run.Error = std::strerror(code);
    return run;
  }
  run.Started = true;
  // A process descriptor becomes readable when the child ends, so the wait sleeps in poll
  // instead of asking again and again. Without one (old kernels) the wait has no limit.
  const int handle = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (handle >= 0) {
    pollfd ended{handle, POLLIN, 0};
    int ready = 0;
    while ((ready = poll(&ended, 1, static_cast<int>(limitMs))) < 0 && errno == EINTR) {
    }
    close(handle);
    if (ready == 0) {
      kill(pid, SIGKILL);
      run.TimedOut = true;
    }
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!run.TimedOut && WIFEXITED(status)) run.ExitCode = WEXITSTATUS(status);
  return run;
}
