// Opening a port: which device a name opens, exclusive hold, and the list of USB adapters.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "port/serial_port.h"
#include "tests/port/open_port.h"
#include "tests/support/pty.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using porttest::OpenPort;
using porttest::Serial;
namespace fs = std::filesystem;

// A fresh directory under /tmp with a short path (13 characters), removed at the end.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tvXXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Makes `dir` the working directory until the end of the scope.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& dir) : previous_(fs::current_path()) {
    fs::current_path(dir);
  }
  ~WorkingDirectory() { fs::current_path(previous_); }

 private:
  fs::path previous_;
};

// Runs `check` in a child process as the user nobody (65534) when we are root, since root
// passes TIOCEXCL; returns its exit status, or -1 when it did not exit normally.
int AsAnotherUser(const std::function<int()>& check) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(100);
    }
    _exit(check());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

TEST(PortOpen, ANameOpensTheDeviceItNamesAndNoOther) {
  fixtures::PtyPair pty;
  TempDir dir;
  WorkingDirectory inDir(dir.path());
  const std::string fifteen = dir.path() + "/x";  // kMaxPortNameLength characters
  ASSERT_EQ(fifteen.size(), port::kMaxPortNameLength);
  fs::create_symlink(pty.SlavePath(), "COM3");
  fs::create_symlink(pty.SlavePath(), fifteen);

  struct Row {
    const char* fault;
    std::string name;
    bool opens;
  };
  const Row rows[] = {
      {"a device path refused", pty.SlavePath(), true},
      {"an existing file named COM3 passed over for /dev/ttyS2", "COM3", true},
      {"a name of the longest length refused", fifteen, true},
      {"a longer name cut down to another device's name", fifteen + "y", false},
      {"a name cut at a NUL", pty.SlavePath() + "\0x"s, false},
      {"an empty name opened", "", false},
      {"a missing device opened", dir.path() + "/none", false},
      {"a file that is no terminal opened", "/dev/null", false},
  };
  for (const auto& row : rows) {
    OpenPort port(row.name);
    ASSERT_EQ(port.ok(), row.opens) << row.fault;
    if (row.opens) {
      const std::vector<std::uint8_t> mark = {0xA5};
      EXPECT_EQ(Serial().Write(port.handle(), mark), 1) << row.fault;
      EXPECT_EQ(pty.Collect(1, 2s), mark) << row.fault << ": opened some other device";
    }
  }
}

TEST(PortOpen, ComNamesMeanSerialDevices) {
  TempDir dir;
  WorkingDirectory inDir(dir.path());
  std::ofstream("COM3").put('\n');
  struct Row {
    const char* fault;
    std::string_view name;
    std::optional<std::string> path;
  };
  const Row rows[] = {
      {"COM1 is not the first serial device", "COM1", "/dev/ttyS0"},
      {"COM4 is not the fourth", "COM4", "/dev/ttyS3"},
      {"only one digit read", "COM10", "/dev/ttyS9"},
      {"letter case matters, unlike on Win32", "com2", "/dev/ttyS1"},
      {"a large number overflows", "COM999999999999", "/dev/ttyS999999999998"},
      {"an existing file of that name passed over", "COM3", "COM3"},
      {"COM0 wraps round below ttyS0", "COM0", "COM0"},
      {"a leading zero read as a number", "COM01", "COM01"},
      {"trailing text ignored", "COM1X", "COM1X"},
      {"a sign read as a number", "COM-1", "COM-1"},
      {"a bare COM taken for a number", "COM", "COM"},
      {"another name changed", "/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"an empty name resolved", "", std::nullopt},
      {"a 16-character name resolved", "ABCDEFGHIJKLMNOP", std::nullopt},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(port::DevicePath(row.name), row.path) << row.fault;
  }
}

TEST(PortOpen, APortIsHeldExclusivelyUntilClosed) {
  fixtures::PtyPair pty;
  const std::string slave = pty.SlavePath();
  ASSERT_EQ(chmod(slave.c_str(), 0666), 0);
  const auto refusedToOthers = [&] {
    const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    return fd < 0 && errno == EBUSY ? 0 : 1;
  };
  const auto opensForOthers = [&] {
    const port::Handle handle = Serial().Open(slave);
    Serial().Close(handle);
    return handle != port::kInvalidHandle ? 0 : 1;
  };

  const port::Handle held = Serial().Open(slave);
  ASSERT_NE(held, port::kInvalidHandle);
  EXPECT_EQ(AsAnotherUser(refusedToOthers), 0) << "TIOCEXCL not set";
  // Root passes TIOCEXCL, so it is the lock that keeps root out.
  EXPECT_EQ(Serial().Open(slave), port::kInvalidHandle) << "a second open by the same user";
  EXPECT_EQ(AsAnotherUser(refusedToOthers), 0) << "a refused open cleared the holder's TIOCEXCL";
  Serial().Close(held);
  EXPECT_EQ(AsAnotherUser(opensForOthers), 0) << "TIOCEXCL outlived the close";
}

TEST(PortDevices, UsbAdaptersListedByKindThenNumber) {
  TempDir dir;
  for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyUSB", "ttyUSB1a",
                           "ttyACM1.lock", "xttyUSB3", "ttyACM"}) {
    std::ofstream(dir.path() + "/" + name).put('\n');
  }
  const std::vector<std::string> expected = {dir.path() + "/ttyACM0", dir.path() + "/ttyUSB2",
                                             dir.path() + "/ttyUSB10"};
  EXPECT_EQ(port::UsbSerialDevices(dir.path()), expected);
  EXPECT_TRUE(port::UsbSerialDevices(dir.path() + "/missing").empty());
}

}  // namespace
