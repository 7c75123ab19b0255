#include "benchclock.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

namespace {
pid_t xvfbPid = 0;

[[noreturn]] void XvfbFail(const char* what) {
  std::fprintf(stderr, "benchmark: %s\n", what);
  std::exit(1);
}
}  // namespace

void StopXvfb() {
  if (xvfbPid > 0) {
    kill(xvfbPid, SIGTERM);
    waitpid(xvfbPid, nullptr, 0);
    xvfbPid = 0;
  }
}

// Starts Xvfb on a free display number and returns ":N".
QString StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0) XvfbFail("pipe");
  xvfbPid = fork();
  if (xvfbPid < 0) XvfbFail("fork");
  if (xvfbPid == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
           "tcp", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::atexit(StopXvfb);
  signal(SIGINT, [](int) {  // the X server goes too
    if (xvfbPid > 0) kill(xvfbPid, SIGTERM);
    _exit(130);
  });
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 15000) > 0) {
    char c = 0;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) XvfbFail("Xvfb did not start (is the xvfb package installed?)");
  return ":" + QString::fromStdString(number);
}
