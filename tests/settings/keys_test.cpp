// Finding the settings keys in a line: the key table, and lines where keys meet or nearly do.
#include "settings/keys.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace settings {
void PrintTo(const Match& match, std::ostream* out) {
  *out << KeyText(match.key) << "|" << match.value;
}
}  // namespace settings

namespace {

using settings::Key;
using settings::Match;
using settings::MatchKeys;

TEST(SettingsKeys, EachKeyTextMatchesItsKeyAlone) {
  struct Row {
    Key key;
    std::string_view text;
  };
  // The file's vocabulary: a key read under another name, or a key whose text also matched a
  // second key, would misapply a saved line.
  const Row rows[] = {
      {Key::Port, "PORT="},
      {Key::Baud, "BAUD="},
      {Key::Parity, "PARITY="},
      {Key::StopBits, "STOPBITS="},
      {Key::DtrOn, "DTR=ON"},
      {Key::DtrOff, "DTR=OFF"},
      {Key::RtsOn, "RTS=ON"},
      {Key::RtsOff, "RTS=OFF"},
      {Key::RxClearYes, "RXCLEAR=YES"},
      {Key::RxClearNo, "RXCLEAR=NO"},
      {Key::RxBadYes, "RXBAD=YES"},
      {Key::RxBadNo, "RXBAD=NO"},
      {Key::RxToFileYes, "RXTOFILE=YES"},
      {Key::RxToFileNo, "RXTOFILE=NO"},
      {Key::AboutYes, "ABOUT=YES"},
      {Key::AboutNo, "ABOUT=NO"},
      {Key::NetId, "NETID="},
      {Key::TxFromId, "TXFROMID="},
      {Key::TxToId, "TXTOID="},
      {Key::PreambleLength, "PREAMBLEN="},
      {Key::PreambleCode, "PREAMBCODE="},
      {Key::Timeout, "TIMEOUT="},
  };
  ASSERT_EQ(std::size(rows), static_cast<std::size_t>(settings::kKeyCount));
  for (const auto& row : rows) {
    EXPECT_EQ(settings::KeyText(row.key), row.text);
    const std::vector<Match> expected = {{row.key, "v"}};
    EXPECT_EQ(MatchKeys(std::string(row.text) + "v"), expected) << row.text;
  }
}

TEST(SettingsKeys, FindsEveryKeyAnywhereInTableOrder) {
  struct Row {
    const char* fault;
    std::string_view line;
    std::vector<Match> matches;
  };
  const Row rows[] = {
      {"a key only at the line start", "XPORT=COM1", {{Key::Port, "COM1"}}},
      {"a case-blind search", "port=COM1", {}},
      {"a case-blind search", "Baud=9600", {}},
      {"a value trimmed", "PORT= COM3 ", {{Key::Port, " COM3 "}}},
      {"a trailing blank dropped before the conversion",
       "TIMEOUT=1000 ",
       {{Key::Timeout, "1000 "}}},
      {"an empty value skipped", "NETID=", {{Key::NetId, ""}}},
      {"a later occurrence used", "PORT=COM1 PORT=COM2", {{Key::Port, "COM1 PORT=COM2"}}},
      {"a search that stops after the first key",
       "PORT=BAUD=9600",
       {{Key::Port, "BAUD=9600"}, {Key::Baud, "9600"}}},
      {"matches in line order",
       "TIMEOUT=1000 PORT=COM2",
       {{Key::Port, "COM2"}, {Key::Timeout, "1000 PORT=COM2"}}},
      // Keys that share letters where they meet: both match.
      {"a shared N lost", "DTR=ONETID=12", {{Key::DtrOn, "ETID=12"}, {Key::NetId, "12"}}},
      {"a shared N lost", "RTS=ONETID=12", {{Key::RtsOn, "ETID=12"}, {Key::NetId, "12"}}},
      {"a shared S lost",
       "RXCLEAR=YESTOPBITS=2",
       {{Key::StopBits, "2"}, {Key::RxClearYes, "TOPBITS=2"}}},
      {"a shared S lost",
       "ABOUT=YESTOPBITS=2",
       {{Key::StopBits, "2"}, {Key::AboutYes, "TOPBITS=2"}}},
      // Keys that look alike but do not contain one another.
      {"DTR=O taken for DTR=ON", "DTR=OFF", {{Key::DtrOff, ""}}},
      {"ID= taken for NETID= or TXTOID=", "TXFROMID=0001", {{Key::TxFromId, "0001"}}},
      {"TOID= taken for TXFROMID=", "TXTOID=0002", {{Key::TxToId, "0002"}}},
      {"PREAMB taken for the other preamble key", "PREAMBLEN=3", {{Key::PreambleLength, "3"}}},
      {"PREAMB taken for the other preamble key", "PREAMBCODE=B24D", {{Key::PreambleCode, "B24D"}}},
      {"OUT= taken for TIMEOUT=", "ABOUT=NO", {{Key::AboutNo, ""}}},
      {"a flag key matched only whole", "RXBAD=Y", {}},
      {"a line with no key", "", {}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MatchKeys(row.line), row.matches) << row.fault << ": " << row.line;
  }
}

}  // namespace
