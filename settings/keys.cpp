// The key table of the settings file and the substring search over it.
#include "settings/keys.h"

#include <array>

namespace settings {

namespace {

constexpr std::array<std::string_view, kKeyCount> kKeyTexts = {
    "PORT=",        "BAUD=",       "PARITY=",     "STOPBITS=",  "DTR=ON",    "DTR=OFF",
    "RTS=ON",       "RTS=OFF",     "RXCLEAR=YES", "RXCLEAR=NO", "RXBAD=YES", "RXBAD=NO",
    "RXTOFILE=YES", "RXTOFILE=NO", "ABOUT=YES",   "ABOUT=NO",   "NETID=",    "TXFROMID=",
    "TXTOID=",      "PREAMBLEN=",  "PREAMBCODE=", "TIMEOUT=",
};

}  // namespace

std::string_view KeyText(Key key) {
  return kKeyTexts[static_cast<std::size_t>(key)];
}

std::vector<Match> MatchKeys(std::string_view line) {
  std::vector<Match> matches;
  for (int i = 0; i < kKeyCount; ++i) {
    const std::string_view key = kKeyTexts[static_cast<std::size_t>(i)];
    const std::size_t at = line.find(key);
    if (at != std::string_view::npos) {
      matches.push_back({static_cast<Key>(i), std::string(line.substr(at + key.size()))});
    }
  }
  return matches;
}

}  // namespace settings
