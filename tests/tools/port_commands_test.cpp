// send and listen on real pseudo-terminals: what send writes, and what listen prints.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "tests/support/cli_process.h"
#include "tests/support/frames.h"
#include "tests/support/pty.h"

namespace {

using namespace std::chrono_literals;
using fixtures::Bytes;
using fixtures::CliProcess;
using fixtures::PtyPair;

const std::string kWorkedLine = "frame=ok bits=ok crc=ok from=0001 to=0002 bytes=22 payload=0102";

// A fresh pseudo-terminal runs at 38400 baud; listen sets its own 9600. Bytes that reach a slave
// still in its first, cooked settings would be mangled.
void WaitUntilSetUp(const PtyPair& pty) {
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (pty.Settings().ospeed != 9600) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the port was never set up";
    std::this_thread::sleep_for(2ms);
  }
}

// Bytes injected into a raw slave wait unchanged until listen opens it and reads them, so a test
// need not race listen's silence time-out to get them in.
void MakeRaw(PtyPair& pty) {
  auto flags = pty.Settings();
  flags.iflag = 0;
  flags.oflag &= ~static_cast<std::uint32_t>(OPOST);
  flags.lflag = 0;
  pty.SetFlags(flags);
}

std::vector<std::string> Args(std::initializer_list<std::string> first,
                              const std::vector<std::string>& rest) {
  std::vector<std::string> all(first);
  all.insert(all.end(), rest.begin(), rest.end());
  return all;
}

TEST(SendListen, FramesCrossALinkedPairOfPorts) {
  PtyPair sendSide;
  PtyPair listenSide;
  CliProcess listen(
      {"listen", "--port", listenSide.SlavePath(), "--count", "2", "--timeout", "5000"});
  WaitUntilSetUp(listenSide);
  struct Row {
    std::vector<std::string> args;
    Bytes frame;
    std::string line;
  };
  const Row rows[] = {
      {{"--preamble-length", "1", "01", "02"}, fixtures::kWorkedFrame, kWorkedLine},
      {{"--from", "10", "--to", "30", "--via", "11", "--via", "22", "AB", "0C"},
       fixtures::Frame(0x0030, 0x0010, {0xAB, 0x0C}, 0xFFFF, {0x11, 0x22}),
       "frame=ok bits=ok crc=ok from=0010 to=0030 bytes=30 payload=AB0C"},
  };
  for (const auto& row : rows) {
    CliProcess send(Args({"send", "--port", sendSide.SlavePath(), "--baud", "19200", "--parity",
                          "ODD", "--stop-bits", "2"},
                         row.args));
    ASSERT_EQ(send.Wait(5s), 0) << send.Errors();
    EXPECT_EQ(sendSide.Collect(row.frame.size() + 1, 200ms), row.frame);
    listenSide.Inject(row.frame);
    EXPECT_EQ(listen.ReadLine(2s), row.line);
  }
  EXPECT_EQ(listen.Wait(2s), 0) << listen.Errors();
  const auto settings = sendSide.Settings();
  EXPECT_EQ(settings.ospeed, 19200u);
  EXPECT_NE(settings.cflag & CSTOPB, 0u);
  EXPECT_NE(settings.cflag & PARODD, 0u);
  EXPECT_EQ(settings.cflag & CSIZE, static_cast<std::uint32_t>(CS8));
}

TEST(Listen, PrintsWhatDecodePrintsForTheSameBytes) {
  Bytes stream = fixtures::Hex("00 11 4B");
  for (const auto& part :
       {fixtures::kWorkedFrame, fixtures::Hex("FF 00"), fixtures::Frame(2, 1, {0xAA}, 0xEDCB),
        fixtures::Hex("2B 55 56 59 4B"), fixtures::Hex("2B 55")}) {
    stream.insert(stream.end(), part.begin(), part.end());
  }
  const auto file =
      std::filesystem::temp_directory_path() / ("listen-" + std::to_string(::getpid()) + ".bin");
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(stream.data()), static_cast<long>(stream.size()));
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--json"}}) {
    CliProcess decode(Args({"decode", file.string()}, format));
    ASSERT_EQ(decode.Wait(5s), 0);
    const auto expected = decode.RestOfOutput();
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 4) << expected;

    PtyPair pty;
    MakeRaw(pty);
    pty.Inject(stream);
    CliProcess listen(Args({"listen", "--port", pty.SlavePath(), "--timeout", "300"}, format));
    EXPECT_EQ(listen.Wait(3s), 0) << listen.Errors();
    EXPECT_EQ(listen.RestOfOutput(), expected);
  }
  std::filesystem::remove(file);
}

TEST(Listen, DropsAFrameThatOutlivesTheFrameTimeOut) {
  PtyPair pty;
  CliProcess listen(
      {"listen", "--port", pty.SlavePath(), "--frame-timeout", "100", "--count", "2"});
  WaitUntilSetUp(pty);
  const auto started = std::chrono::steady_clock::now();
  pty.Inject(fixtures::Hex("2B 55 56"));
  EXPECT_EQ(listen.ReadLine(2s), "frame=unterminated bits=- crc=- from=- to=- bytes=4 payload=-");
  EXPECT_GE(std::chrono::steady_clock::now() - started, 100ms);
  // Dropped, not still open: the next frame is read from its own start mark.
  pty.Inject(fixtures::kWorkedFrame);
  EXPECT_EQ(listen.ReadLine(2s), kWorkedLine);
  EXPECT_EQ(listen.Wait(2s), 0);
}

TEST(Listen, EndsAsAskedAndSaysWhy) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    Bytes waiting;  // on the line before listen opens the port
    std::function<void(PtyPair&, CliProcess&)> act;
    int status;
    std::string out;
    std::string error;  // a part of the one line on standard error
  };
  const auto nothing = [](PtyPair&, CliProcess&) {};
  const Row rows[] = {
      {"too few frames before the silence",
       {"--count", "2", "--timeout", "200"},
       fixtures::kWorkedFrame,
       nothing,
       3,
       kWorkedLine + "\n",
       "1 of 2 frames came before 200 ms of silence"},
      {"silence, a frame still open",
       {"--timeout", "200"},
       fixtures::Hex("2B 55 56"),
       nothing,
       0,
       "frame=unterminated bits=- crc=- from=- to=- bytes=4 payload=-\n",
       ""},
      {"stop signal before the count",
       {"--count", "1"},
       {},
       [](PtyPair&, CliProcess& c) { c.Signal(SIGTERM); },
       3,
       "",
       "0 of 1 frames came before the stop signal"},
      {"stop signal without a count",
       {},
       {},
       [](PtyPair&, CliProcess& c) { c.Signal(SIGINT); },
       0,
       "",
       ""},
      {"port gone", {}, {}, [](PtyPair& p, CliProcess&) { p.Unplug(); }, 1, "", "went away"},
  };
  for (const auto& row : rows) {
    PtyPair pty;
    MakeRaw(pty);
    if (!row.waiting.empty()) {
      pty.Inject(row.waiting);
    }
    CliProcess listen(Args({"listen", "--port", pty.SlavePath()}, row.args));
    WaitUntilSetUp(pty);  // its stop signals are in place before the port is set up
    row.act(pty, listen);
    EXPECT_EQ(listen.Wait(3s), row.status) << row.name;
    EXPECT_EQ(listen.RestOfOutput(), row.out) << row.name;
    const auto errors = listen.Errors();
    EXPECT_NE(errors.find(row.error), std::string::npos) << row.name << ": " << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), row.error.empty() ? 0 : 1)
        << row.name << ": " << errors;
  }
}

TEST(PortCommands, PortFailuresNameThePortAndExitWithOne) {
  PtyPair deaf;  // its far end never reads
  std::vector<std::string> big(30000, "FF");
  struct Row {
    std::vector<std::string> args;
    std::string named;
  };
  const Row rows[] = {
      {{"send", "--port", "/nonexistent/tty", "01"}, "'/nonexistent/tty'"},
      {{"listen", "--port", "/dev/null"}, "'/dev/null'"},
      {{"listen", "--port", ""}, "''"},
      {Args({"send", "--port", deaf.SlavePath(), "--baud", "115200"}, big),
       "'" + deaf.SlavePath() + "' took "},
  };
  for (const auto& row : rows) {
    CliProcess child(row.args);
    EXPECT_EQ(child.Wait(5s), 1) << row.named;
    const auto errors = child.Errors();
    EXPECT_NE(errors.find(row.named), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  }
}

}  // namespace
