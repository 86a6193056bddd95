// The shared file fixtures: temporary directories, whole-file access and checks in a child.
#include "tests/support/files.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fixtures {

namespace fs = std::filesystem;

namespace {

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return bytes;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

testing::AssertionResult DropRoot() {
  if (::geteuid() != 0) {
    return testing::AssertionSuccess();
  }
  // Groups first: root's supplementary groups would still grant access after setuid.
  if (::setgroups(0, nullptr) != 0 || ::setgid(kUnprivilegedId) != 0 ||
      ::setuid(kUnprivilegedId) != 0) {
    return testing::AssertionFailure() << "cannot drop root: " << std::strerror(errno);
  }
  return testing::AssertionSuccess();
}

// Failures recorded so far by the running test, so that a child can tell whether the checks it
// made with EXPECT_* failed (the framework prints them as they happen).
int FailedParts() {
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  if (test == nullptr) {
    return 0;
  }
  int failed = 0;
  for (int i = 0; i < test->result()->total_part_count(); ++i) {
    failed += test->result()->GetTestPartResult(i).failed() ? 1 : 0;
  }
  return failed;
}

testing::AssertionResult RunBody(const ChildBody& body, ChildOptions options) {
  if (options.dropRoot) {
    if (auto dropped = DropRoot(); !dropped) {
      return dropped;
    }
  }
  if (options.maxFileSize) {
    // Without this the limit kills the child instead of failing the write.
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit = {*options.maxFileSize, *options.maxFileSize};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      return testing::AssertionFailure() << "cannot limit file sizes: " << std::strerror(errno);
    }
  }
  const int failedBefore = FailedParts();
  try {
    testing::AssertionResult verdict = body();
    if (verdict && FailedParts() > failedBefore) {
      return testing::AssertionFailure() << "a check in the child failed (see above)";
    }
    return verdict;
  } catch (const std::exception& e) {
    return testing::AssertionFailure() << "the child threw: " << e.what();
  } catch (...) {
    return testing::AssertionFailure() << "the child threw";
  }
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "tolvaner-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (previous_) {
    fs::current_path(*previous_, ec);
  }
  // A test may have made folders read-only; give them back to their owner before removing.
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::remove_all(path_, ec);
}

void TempDir::Enter() {
  if (!previous_) {
    previous_ = fs::current_path();
  }
  fs::current_path(path_);
}

int OpenDescriptors(const fs::path& path) {
  std::error_code ec;
  const fs::path target = fs::weakly_canonical(path, ec);
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", ec)) {
    if (fs::read_symlink(entry.path(), ec) == target && !ec) {
      ++count;
    }
  }
  return count;
}

std::optional<std::string> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) {
    return std::nullopt;
  }
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    return std::nullopt;
  }
  return bytes;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    ADD_FAILURE() << "cannot write " << path;
  }
}

Child::Child(const ChildBody& body, ChildOptions options) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return;
  }
  // Output still buffered would otherwise be printed twice, once by each process.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const testing::AssertionResult verdict = RunBody(body, options);
    WriteAll(fds[1], verdict.message());
    std::fflush(nullptr);
    ::_exit(verdict ? 0 : 1);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    return;
  }
  pid_ = pid;
  verdictFd_ = fds[0];
}

Child::~Child() {
  if (pid_ >= 0) {
    (void)Wait();
  }
}

testing::AssertionResult Child::Wait() {
  if (pid_ < 0) {
    return testing::AssertionFailure() << "no child is running";
  }
  const std::string message = ReadAll(verdictFd_);
  ::close(verdictFd_);
  int status = 0;
  pid_t waited;
  do {
    waited = ::waitpid(pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  pid_ = -1;
  if (waited < 0) {
    return testing::AssertionFailure() << "waitpid: " << std::strerror(errno);
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    return testing::AssertionSuccess();
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
    return testing::AssertionFailure() << message;
  }
  if (WIFSIGNALED(status)) {
    return testing::AssertionFailure() << "the child was killed by signal " << WTERMSIG(status);
  }
  return testing::AssertionFailure() << "the child exited with status " << WEXITSTATUS(status);
}

testing::AssertionResult RunInChild(const ChildBody& body, ChildOptions options) {
  return Child(body, options).Wait();
}

testing::AssertionResult RunUnprivileged(const ChildBody& body) {
  return RunInChild(body, {.dropRoot = true});
}

std::string WithLineEnds(std::string_view lf, std::string_view lineEnd) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') {
      out += lineEnd;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace fixtures
