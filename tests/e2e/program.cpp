#include "e2e/program.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

WorkDir::WorkDir() {
  char pattern[] = "/tmp/schmiede-e2e-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  std::string build = std::string(SCHMIEDE_SOURCE_DIR) + "/Build";
  if (symlink(build.c_str(), (path_ + "/Build").c_str()) != 0) throw std::runtime_error("symlink failed");
}

WorkDir::~WorkDir() { [[maybe_unused]] int rc = system(("rm -rf '" + path_ + "'").c_str()); }

void WorkDir::Write(const std::string& relative, const std::string& bytes) const {
  std::ofstream(File(relative), std::ios::binary) << bytes;
}

std::string WorkDir::Read(const std::string& relative) const { return ReadFile(File(relative)); }

bool WorkDir::Exists(const std::string& relative) const {
  struct stat st;
  return stat(File(relative).c_str(), &st) == 0;
}

void WorkDir::CopyBuild() const {
  if (unlink(File("Build").c_str()) != 0) throw std::runtime_error("unlink failed");
  std::string cmd = "cp -r '" + std::string(SCHMIEDE_SOURCE_DIR) + "/Build' '" + File("Build") + "'";
  if (system(cmd.c_str()) != 0) throw std::runtime_error("copy of Build/ failed");
}

std::vector<std::string> TableFields(const std::string& line) {
  std::vector<std::string> out;
  for (size_t i = 0; i < line.size();) {
    while (i < line.size() && strchr(" \t\r", line[i])) ++i;
    if (i >= line.size()) break;
    bool quoted = line[i] == '"';
    size_t end = quoted ? line.find('"', i + 1) : line.find_first_of(" \t\r", i);
    if (end == std::string::npos) end = line.size();
    out.push_back(line.substr(i + quoted, end - i - quoted));
    i = end + quoted;
  }
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::stringstream s(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(s, l);) lines.push_back(l);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::stringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.insert(e->d_name);
    closedir(d);
  }
  return names;
}

std::string Le32(uint32_t v) { return {char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff), char(v >> 24)}; }

namespace {

#ifdef SCHMIEDE_TIME_SCALE
constexpr int kTimeScale = SCHMIEDE_TIME_SCALE;
#else
constexpr int kTimeScale = 1;
#endif

// Runs the program; `input` null means standard input is /dev/null. Each chunk is written
// once its delay (counted from the previous chunk) has passed, while the output keeps being
// drained; standard input is closed after the last chunk, or, with `react`, once it said so.
ProgramRun Execute(const std::vector<std::string>& wrapper, const WorkDir& dir, const std::vector<std::string>& args,
                   const std::vector<TimedInput>* input, int timeoutSeconds, const Reaction* react = nullptr) {
  ProgramRun run;
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(127);
    dup2(out[1], 1);
    dup2(out[1], 2);
    dup2(input ? in[0] : open("/dev/null", O_RDONLY), 0);
    for (int fd : {out[0], out[1], in[0], in[1]}) close(fd);
    std::vector<std::string> words = wrapper;
    words.push_back(SCHMIEDE_EXE);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(in[0]);
  signal(SIGPIPE, SIG_IGN);
  using Clock = std::chrono::steady_clock;
  auto msUntil = [](Clock::time_point t) {
    return (int)std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
  };
  auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds * kTimeScale);
  // Non-blocking, so that a program busy writing output never leaves both sides waiting.
  int inFd = in[1];
  fcntl(inFd, F_SETFL, O_NONBLOCK);
  auto closeInput = [&] {
    if (inFd >= 0) close(inFd);
    inFd = -1;
  };
  size_t chunk = 0, offset = 0, judged = 0;
  bool reacting = react != nullptr, done = false;
  auto due = Clock::now();
  auto nextChunk = [&] {
    if (!input || chunk >= input->size()) {
      if (!reacting) closeInput();
      due = Clock::time_point::max();
    } else {
      due = Clock::now() + std::chrono::milliseconds((*input)[chunk].delayMs * kTimeScale);
    }
  };
  nextChunk();
  char buf[65536];
  for (;;) {
    int left = msUntil(deadline);
    if (left <= 0) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    bool writing = inFd >= 0 && input && chunk < input->size() && msUntil(due) <= 0;
    int wait = inFd >= 0 && !writing && due != Clock::time_point::max() ? std::min(left, std::max(0, msUntil(due)))
                                                                        : std::min(left, 1000);
    pollfd p[2] = {{out[0], POLLIN, 0}, {writing ? inFd : -1, POLLOUT, 0}};
    if (poll(p, 2, wait) <= 0) continue;
    if (p[1].revents) {
      const std::string& text = (*input)[chunk].text;
      ssize_t w = offset < text.size() ? write(inFd, text.data() + offset, text.size() - offset) : 0;
      if (w < 0 && errno != EAGAIN) {
        closeInput();
      } else if (w >= 0 && (offset += (size_t)w) >= text.size()) {
        ++chunk;
        offset = 0;
        nextChunk();
      }
    }
    if (p[0].revents) {
      ssize_t got = read(out[0], buf, sizeof buf);
      if (got <= 0) break;
      run.output.append(buf, (size_t)got);
      // Only complete lines are judged, and each only once.
      size_t end = run.output.rfind('\n');
      if (reacting && !done && end != std::string::npos && end + 1 > judged) {
        judged = end + 1;
        std::string send = (*react)(run.output.substr(0, judged), &done);
        fcntl(inFd, F_SETFL, 0);  // a short answer: written whole
        if (!send.empty() && write(inFd, send.data(), send.size()) < 0) break;
        fcntl(inFd, F_SETFL, O_NONBLOCK);
        if (done) closeInput();
      }
    }
  }
  closeInput();
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  return run;
}

}  // namespace

ProgramRun RunProgram(const WorkDir& dir, const std::vector<std::string>& args, const char* stdinText,
                      int timeoutSeconds) {
  return RunProgramUnder({}, dir, args, stdinText, timeoutSeconds);
}

ProgramRun RunProgramUnder(const std::vector<std::string>& wrapper, const WorkDir& dir,
                           const std::vector<std::string>& args, const char* stdinText, int timeoutSeconds) {
  std::vector<TimedInput> input{{0, stdinText ? stdinText : ""}};
  return Execute(wrapper, dir, args, stdinText ? &input : nullptr, timeoutSeconds);
}

ProgramRun RunProgramTimed(const WorkDir& dir, const std::vector<std::string>& args,
                           const std::vector<TimedInput>& input, int timeoutSeconds) {
  return Execute({}, dir, args, &input, timeoutSeconds);
}

ProgramRun RunProgramReacting(const WorkDir& dir, const std::vector<std::string>& args, const std::string& start,
                              const Reaction& react, int timeoutSeconds) {
  std::vector<TimedInput> input{{0, start}};
  return Execute({}, dir, args, &input, timeoutSeconds, &react);
}

::testing::AssertionResult EndedWith(const ProgramRun& run, int exitCode) {
  if (run.timedOut) return ::testing::AssertionFailure() << "timed out; output:\n" << run.output;
  if (run.exitCode != exitCode)
    return ::testing::AssertionFailure() << "exit code " << run.exitCode << ", expected " << exitCode << "; output:\n"
                                         << run.output;
  if (run.output.find("Memmory Leak Found") != std::string::npos)
    return ::testing::AssertionFailure() << "leak report; output:\n" << run.output;
  return ::testing::AssertionSuccess();
}
