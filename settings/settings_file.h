// The settings file "tolvaner.par": its lines as the loader reads them, and the save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/line_end.h"

namespace settings {

inline constexpr std::string_view kFileName = "tolvaner.par";

// The platform's text-mode line end, which the saved file uses.
inline constexpr std::string_view kLineEnd = text::kPlatformLineEnd;

// The loader reads through a 250-byte buffer, so a longer line reaches it in pieces of this many
// characters, each handled as a line of its own.
inline constexpr std::size_t kMaxPiece = 249;

// What a save writes: the controls' texts exactly as they stand, the option boxes, and the frame
// time-out. Nothing is validated; the window fills every field from its controls.
struct Values {
  std::string port;            // ComboBox1
  std::string baud;            // ComboBox2
  std::string parity;          // ComboBox3
  std::string stopBits;        // ComboBox4
  bool dtr = false;            // CheckBox1
  bool rts = false;            // CheckBox2
  bool rxClear = false;        // CheckBox6
  bool rxBad = false;          // CheckBox5
  bool rxToFile = false;       // CheckBox3
  bool about = false;          // AboutEnabled
  std::string netId;           // Edit2
  std::string txFromId;        // Edit3
  std::string txToId;          // Edit4
  std::string preambleLength;  // Edit5
  std::string preambleCode;    // Edit14
  std::int32_t timeout = 0;    // Timer2's interval in milliseconds

  bool operator==(const Values&) const = default;
};

// Splits file contents into the lines the loader handles. A piece ends after a line feed or after
// kMaxPiece characters, whichever comes first; a CR LF pair counts as one line feed (so a CR LF
// file reads the same on every platform) and a lone CR is an ordinary character. Each piece is cut
// at its first NUL and loses its trailing LF and CR characters. The empty text after a final line
// feed is not a line; an empty line is.
std::vector<std::string> SplitLines(std::string_view contents);

// Reads the settings file in `dir` (empty: the current directory) and splits it as SplitLines
// does. No value when the file cannot be opened, a missing file included: the caller then keeps
// its defaults. A read error ends the lines where it occurred.
[[nodiscard]] std::optional<std::vector<std::string>> ReadLines(const std::filesystem::path& dir);

// The sixteen lines a save writes, in order, without line ends: "PORT=<port>" ... "TIMEOUT=<ms>".
std::vector<std::string> FormatLines(const Values& values);

// Replaces the settings file in `dir` (empty: the current directory) with FormatLines, each line
// ending in kLineEnd. The lines go to a new file beside it that is flushed to disk and then renamed
// over the old one, so the old file stays whole unless the save succeeds. Returns false when the
// file could not be replaced: the directory may not be written, the disk is full, the rename fails,
// or the old file is read-only. A failed save removes its new file.
[[nodiscard]] bool Save(const std::filesystem::path& dir, const Values& values);

}  // namespace settings
