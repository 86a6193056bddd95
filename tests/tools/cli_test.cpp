// tolvaner-cli run as a separate process, the way a test bench script runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/frames.h"

namespace {

struct Run {
  int status;
  std::string out;
};

// Runs the tool through the shell with its standard error joined to its output; `input` is
// piped to its standard input.
Run Cli(const std::string& args, const std::string& input = "") {
  const std::string command =
      "printf '%s' '" + input + "' | " + std::string(TOLVANER_CLI) + " " + args + " 2>&1";
  Run run{0, {}};
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    run.out.append(buffer, n);
  }
  const int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

std::string TempFile(const std::string& name, const fixtures::Bytes& bytes) {
  const auto path =
      std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".bin");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  return path.string();
}

TEST(CliEncode, PrintsTheWorkedFrame) {
  const auto run = Cli("encode --preamble-length 1 01 02");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "B2 4D 2B 6A 55 69 95 55 69 55 55 55 55 55 59 55 55 55 56 55 56 55 59 4B\n");
}

TEST(CliEncode, LinkOptionsShapeTheFrame) {
  // Retransmitters 1 and 3 in route order, a network identifier and stdin payload.
  const auto expected = fixtures::Frame(0x0030, 0x0010, {0xAB, 0x0C}, 0xEDCB, {0x11, 0x22}, 2);
  std::string hex;
  for (auto b : expected) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%s%02X", hex.empty() ? "" : " ", b);
    hex += buf;
  }
  const auto run =
      Cli("encode --netid 1234 --from 10 --to 30 --via 11 --via 22 --preamble-length 2 -", "ab c");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, hex + "\n");
  // Each --via takes one value: the bytes after it are the payload.
  EXPECT_EQ(Cli("encode --via 11 01 02").out, Cli("encode --via 11 -", "01 02").out);
  EXPECT_EQ(Cli("encode --raw --preamble-length 1 01 02 | od -An -tx1 | tr -d ' \\n'").out,
            "b24d2b6a55699555695555555555595555555655565559"
            "4b");
}

TEST(CliDecode, OneLinePerFrame) {
  const auto stream = [] {
    fixtures::Bytes s = fixtures::Hex("00 11 4B");
    auto add = [&s](const fixtures::Bytes& b) { s.insert(s.end(), b.begin(), b.end()); };
    add(fixtures::kWorkedFrame);
    add(fixtures::Hex("FF 00"));
    add(fixtures::Frame(2, 1, {0xAA}, 0xEDCB));
    add(fixtures::Hex("2B 55 56 59 4B 2B 55"));
    return s;
  }();
  const auto file = TempFile("decode", stream);
  EXPECT_EQ(Cli("decode " + file).out,
            "frame=ok bits=ok crc=ok from=0001 to=0002 bytes=22 payload=0102\n"
            "frame=ok bits=ok crc=bad from=0001 to=0002 bytes=20 payload=AA\n"
            "frame=odd bits=bad crc=- from=- to=- bytes=4 payload=-\n"
            "frame=unterminated bits=- crc=- from=- to=- bytes=0 payload=-\n");
  EXPECT_EQ(Cli("decode --json --netid 0 - < " + file).out,
            "{\"frame\":\"ok\",\"bits\":\"ok\",\"crc\":\"ok\",\"from\":\"0001\",\"to\":\"0002\","
            "\"bytes\":22,\"payload\":\"0102\"}\n"
            "{\"frame\":\"ok\",\"bits\":\"ok\",\"crc\":\"bad\",\"from\":\"0001\",\"to\":\"0002\","
            "\"bytes\":20,\"payload\":\"AA\"}\n"
            "{\"frame\":\"odd\",\"bits\":\"bad\",\"crc\":null,\"from\":null,\"to\":null,"
            "\"bytes\":4,\"payload\":\"\"}\n"
            "{\"frame\":\"unterminated\",\"bits\":null,\"crc\":null,\"from\":null,\"to\":null,"
            "\"bytes\":0,\"payload\":\"\"}\n");
  // With the sender's network identifier the second frame is good.
  EXPECT_NE(Cli("decode --netid 1234 " + file).out.find("crc=ok from=0001 to=0002 bytes=20"),
            std::string::npos);
  std::filesystem::remove(file);
}

TEST(Cli, BadArgumentsNameThemselvesAndExitWithTwo) {
  struct Row {
    std::string args;
    std::string named;
  };
  const Row rows[] = {
      {"encode 1G", "'1G'"},
      {"encode 123", "'123'"},
      {"encode --netid 12345", "--netid"},
      {"encode --to xyz", "--to"},
      {"encode --via 1 --via 2 --via 3 --via 4 --via 5 --via 6", "--via"},
      {"encode --preamble-length 129", "--preamble-length"},
      {"encode --preamble-length -1", "--preamble-length"},
      {"encode --preamble-code B24DX", "--preamble-code"},
      {"encode --bogus", "--bogus"},
      {"decode /nonexistent/stream", "/nonexistent/stream"},
      // Checked before the port is touched: "x" would not open.
      {"send 01", "--port"},
      {"send --port x --baud abc", "--baud"},
      {"send --port x --baud 0", "--baud"},
      {"send --port x --parity odd", "--parity"},
      {"send --port x --stop-bits 1.5", "--stop-bits"},
      {"send --port x --stop-bits 3", "--stop-bits"},
      {"send --port x --via 1 --via 2 --via 3 --via 4 --via 5 --via 6", "--via"},
      {"send --port x 1G", "'1G'"},
      {"listen --port x --netid G", "--netid"},
      {"listen --port x --count 0", "--count"},
      {"listen --port x --timeout soon", "--timeout"},
      {"listen --port x --frame-timeout -1", "--frame-timeout"},
      {"device --id 12345", "--id"},
      {"device --fault bogus", "--fault"},
      {"device --fault crc+", "--fault"},
      {"device --flood 0", "--flood"},
      {"device --flood 100 --fault crc", "--flood"},
      {"device --reply-delay -1", "--reply-delay"},
      {"device --preamble-length 129", "--preamble-length"},
      {"frobnicate", "frobnicate"},
      {"", "command"},
  };
  for (const auto& row : rows) {
    const auto run = Cli(row.args);
    EXPECT_EQ(run.status, 2) << row.args;
    EXPECT_NE(run.out.find(row.named), std::string::npos) << row.args << ": " << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << row.args << ": " << run.out;
  }
}

}  // namespace
