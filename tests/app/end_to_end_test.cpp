// Two programs joined by a line: packets typed into one and sent with "Передать" arrive at the
// other exactly, through both programs' real ports on pseudo-terminals.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <optional>
#include <random>
#include <string>

#include "tests/app/program.h"
#include "text/convert.h"

namespace {

using fixtures::Program;
using fixtures::PtyPair;
using namespace std::chrono_literals;

using fixtures::Station;

// The line between the two: the test carries every byte one program wrote to the other, which
// then takes them in with one poll.
void Carry(Station& from, Station& to) {
  auto& writes = from.p.serial.writes;
  const std::size_t total = std::accumulate(writes.begin(), writes.end(), std::size_t{0});
  writes.clear();
  const auto bytes = from.far.Collect(total, 5s);
  ASSERT_EQ(bytes.size(), total);
  to.p.Arrive(to.far, bytes);
  to.p.Poll();
}

struct Packet {
  std::uint16_t network = 0, to = 0, from = 0;
  std::array<std::optional<std::uint16_t>, 5> route;  // retransmitters 1 .. 5
  int preamble = 0;
  std::vector<std::uint8_t> payload;
};

class Generator {
 public:
  Packet Next() {
    Packet p;
    p.network = Id();
    p.to = Id();
    p.from = Id();
    for (auto& hop : p.route) {
      if (Chance()) {
        hop = Id();
      }
    }
    p.preamble = Int(0, 80);
    p.payload.resize(static_cast<std::size_t>(Int(0, 300)));
    for (auto& b : p.payload) {
      b = static_cast<std::uint8_t>(Int(0, 255));
    }
    return p;
  }

  // An identifier the way a user may type it: unpadded, in either case.
  std::string Typed(std::uint16_t id) { return Format(Chance() ? "%x" : "%X", id); }
  // A payload byte as a user may type it: with or without its leading zero, in either case.
  std::string TypedByte(std::uint8_t b) {
    switch (Int(0, 2)) {
      case 0:
        return Format("%02X", b);
      case 1:
        return Format("%02x", b);
      default:
        return Format("%x", b);
    }
  }

 private:
  int Int(int least, int most) { return std::uniform_int_distribution(least, most)(random_); }
  bool Chance() { return Int(0, 1) == 1; }
  std::uint16_t Id() { return static_cast<std::uint16_t>(Int(0, 0xFFFF)); }
  static std::string Format(const char* format, unsigned value) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
  }

  std::mt19937 random_{20240611};
};

// Types the packet's parameters and payload into the sender's fields and clicks "Передать".
void Send(Generator& g, Station& s, const Packet& packet) {
  s.f.Edit2.UserType(g.Typed(packet.network));
  s.f.Edit3.UserType(g.Typed(packet.from));
  s.f.Edit4.UserType(g.Typed(packet.to));
  ui::Edit* routeFields[] = {&s.f.Edit7, &s.f.Edit8, &s.f.Edit9, &s.f.Edit10, &s.f.Edit11};
  for (std::size_t i = 0; i < 5; ++i) {
    routeFields[i]->UserType(packet.route[i] ? g.Typed(*packet.route[i]) : "");
  }
  s.f.Edit5.UserType(std::to_string(packet.preamble));
  std::string lines;
  for (std::uint8_t b : packet.payload) {
    lines += g.TypedByte(b) + "\n";
  }
  s.f.Memo1.UserType(lines);
  s.f.Button1.UserClick();
}

// Sets the receiver's network identifier, empties its receive side and lets its lamps go grey,
// so that what it shows next comes from the next packet alone.
void Ready(Station& s, std::uint16_t network) {
  s.f.Edit2.UserType(text::FormatHex4(network));
  s.f.Button2.UserClick();
  s.p.backend.Advance(300);
  ASSERT_EQ(s.f.Shape1.BrushColor(), kLampGrey);
}

std::string PayloadLines(const std::vector<std::uint8_t>& payload) {
  std::string out;
  for (std::uint8_t b : payload) {
    out += text::FormatHex2(b) + "\n";
  }
  return out;
}

std::string Lamps(const TForm1& f) {
  auto name = [](ui::Color c) {
    return c == kLampGreen ? "green" : c == kLampRed ? "red" : c == kLampGrey ? "grey" : "?";
  };
  return std::string(name(f.Shape1.BrushColor())) + " " + name(f.Shape2.BrushColor()) + " " +
         name(f.Shape3.BrushColor());
}

TEST(EndToEnd, RandomPacketsArriveExactly) {
  Station sender;
  Station receiver;
  Generator g;
  for (int n = 0; n < 300; ++n) {
    const Packet packet = g.Next();
    SCOPED_TRACE("packet " + std::to_string(n) + ": " + std::to_string(packet.payload.size()) +
                 " bytes, preamble " + std::to_string(packet.preamble));
    ASSERT_NO_FATAL_FAILURE(Ready(receiver, packet.network));
    Send(g, sender, packet);
    ASSERT_NO_FATAL_FAILURE(Carry(sender, receiver));

    ASSERT_EQ(receiver.f.Memo2.Lines().Text(), PayloadLines(packet.payload));
    ASSERT_EQ(receiver.f.Edit12.Text(), text::FormatHex4(packet.from));
    ASSERT_EQ(receiver.f.Edit13.Text(), text::FormatHex4(packet.to));
    ASSERT_EQ(Lamps(receiver.f), "green green green");
  }
  EXPECT_TRUE(sender.p.backend.boxes.empty() && receiver.p.backend.boxes.empty());
}

TEST(EndToEnd, ADifferentNetworkIdentifierDeliversNothing) {
  Station sender;
  Station receiver;
  Generator g;
  for (int n = 0; n < 20; ++n) {
    const Packet packet = g.Next();
    SCOPED_TRACE("packet " + std::to_string(n));
    const auto other = static_cast<std::uint16_t>(packet.network ^ (1 + n));
    ASSERT_NO_FATAL_FAILURE(Ready(receiver, other));
    Send(g, sender, packet);
    ASSERT_NO_FATAL_FAILURE(Carry(sender, receiver));

    ASSERT_EQ(receiver.f.Memo2.Lines().Text(), "");
    ASSERT_EQ(receiver.f.Edit6.Text(), "0");
    ASSERT_EQ(receiver.f.Edit12.Text() + receiver.f.Edit13.Text(), "");
    ASSERT_EQ(Lamps(receiver.f), "green green red");
  }
  // The same line with the same identifier on both sides delivers again.
  const Packet packet = g.Next();
  Ready(receiver, packet.network);
  Send(g, sender, packet);
  Carry(sender, receiver);
  EXPECT_EQ(receiver.f.Memo2.Lines().Text(), PayloadLines(packet.payload));
  EXPECT_EQ(Lamps(receiver.f), "green green green");
}

}  // namespace
