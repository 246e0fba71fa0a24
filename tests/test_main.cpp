// Main of every test binary. No test may read the developer's terminal: a fatal error
// path waits for a key on standard input, and a death-test child would hang there until
// the test's time-out. Standard input is /dev/null before the first test (and in every
// re-executed death-test child); a test that wants input supplies its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  int fd = open("/dev/null", O_RDONLY);
  if (fd < 0 || (fd != 0 && dup2(fd, 0) != 0)) {
    perror("test main: cannot put /dev/null on standard input");
    return 2;
  }
  if (fd != 0) close(fd);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
