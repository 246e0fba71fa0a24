#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

// What a forked child printed on standard output and how it ended.
struct ChildRun {
  int status = -1;  // exit status; -1 when it did not exit
  std::string output;
};

// Runs fn in a child process, for paths that end the process or print where a capture
// cannot follow; the child exits with 0 when fn returns.
template <class Fn>
ChildRun InChild(Fn fn) {
  ChildRun run;
  int fds[2];
  if (pipe(fds) != 0) return run;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    fn();
    fflush(stdout);
    _exit(0);
  }
  close(fds[1]);
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) run.output.append(buf, (size_t)n);
  close(fds[0]);
  int status;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
