// Starting the tool with pipes on its output, and reading them with deadlines.
#include "tests/support/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

extern char** environ;

namespace fixtures {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

CliProcess::CliProcess(const std::vector<std::string>& args) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    Fail("pipe");
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  // The stop signals as a fresh process has them, whatever the test runner ignores.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    sigaddset(&defaults, s);
  }
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> argv{TOLVANER_CLI};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (auto& a : argv) {
    raw.push_back(a.data());
  }
  raw.push_back(nullptr);
  const int spawned = posix_spawn(&pid_, TOLVANER_CLI, &actions, &attributes, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  ::close(out[1]);
  ::close(err[1]);
  out_ = out[0];
  err_ = err[0];
  if (spawned != 0) {
    errno = spawned;
    Fail("posix_spawn");
  }
}

CliProcess::~CliProcess() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  CloseOutput();
  if (err_ >= 0) {
    ::close(err_);
  }
}

void CliProcess::Pump(std::chrono::milliseconds within, bool untilLine) {
  const auto deadline = Clock::now() + within;
  while (!(untilLine && outBuffer_.find('\n') != std::string::npos) && (out_ >= 0 || err_ >= 0)) {
    pollfd fds[2] = {{.fd = out_, .events = POLLIN, .revents = 0},
                     {.fd = err_, .events = POLLIN, .revents = 0}};
    if (::poll(fds, 2, MillisecondsLeft(deadline)) <= 0) {
      return;
    }
    int* const ends[2] = {&out_, &err_};
    std::string* const buffers[2] = {&outBuffer_, &errBuffer_};
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) {
        continue;
      }
      char chunk[4096];
      const ssize_t n = ::read(*ends[i], chunk, sizeof chunk);
      if (n > 0) {
        buffers[i]->append(chunk, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(*ends[i]);  // end of file: the child closed it or ended
        *ends[i] = -1;
      }
    }
  }
}

std::optional<std::string> CliProcess::ReadLine(std::chrono::milliseconds within) {
  Pump(within, true);
  const auto end = outBuffer_.find('\n');
  if (end == std::string::npos) {
    return std::nullopt;
  }
  std::string line = outBuffer_.substr(0, end);
  outBuffer_.erase(0, end + 1);
  return line;
}

void CliProcess::CloseOutput() {
  if (out_ >= 0) {
    ::close(out_);
    out_ = -1;
  }
}

void CliProcess::Signal(int signal) const {
  ::kill(pid_, signal);
}

std::optional<int> CliProcess::Wait(std::chrono::milliseconds within) {
  const auto deadline = Clock::now() + within;
  while (!status_) {
    int raw = 0;
    const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
      break;
    }
    if (MillisecondsLeft(deadline) == 0) {
      break;
    }
    // Reading meanwhile keeps a chatty child from blocking on a full pipe.
    Pump(std::chrono::milliseconds(5), false);
  }
  return status_;
}

std::string CliProcess::RestOfOutput() {
  Pump(std::chrono::milliseconds(100), false);
  return std::exchange(outBuffer_, {});
}

std::string CliProcess::Errors() {
  Pump(std::chrono::milliseconds(100), false);
  return errBuffer_;
}

}  // namespace fixtures
