// The keys the settings loader recognises in a line of the settings file, and how they are found.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace settings {

// In the order the loader tests them; the window applies matches in this order too.
enum class Key {
  Port,
  Baud,
  Parity,
  StopBits,
  DtrOn,
  DtrOff,
  RtsOn,
  RtsOff,
  RxClearYes,
  RxClearNo,
  RxBadYes,
  RxBadNo,
  RxToFileYes,
  RxToFileNo,
  AboutYes,
  AboutNo,
  NetId,
  TxFromId,
  TxToId,
  PreambleLength,
  PreambleCode,
  Timeout,
};

inline constexpr int kKeyCount = static_cast<int>(Key::Timeout) + 1;

// The text searched for a key, for example "PORT=" or "DTR=ON".
std::string_view KeyText(Key key);

struct Match {
  Key key;
  std::string value;  // the rest of the line after the key's first occurrence

  bool operator==(const Match&) const = default;
};

// Every key found in one line, in key order. Each key is a plain case-sensitive search anywhere
// in the line, so leading text does not hide a key and one line may match several keys. A key
// that occurs twice matches once, at its first occurrence. Never fails; no key gives no matches.
std::vector<Match> MatchKeys(std::string_view line);

}  // namespace settings
