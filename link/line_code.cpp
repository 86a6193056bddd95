// The line code is computed at compile time; these checks keep it honest in every build.
#include "link/line_code.h"

namespace protocol {

static_assert(EncodeHighNibble(0x8C) == 0x95 && EncodeLowNibble(0x8C) == 0xA5);
static_assert(IsBadCode(kStartMark) == 1 && IsBadCode(kEndMark) == 1);
static_assert(DecodeLowNibble(0x00) == 0xF && DecodeLowNibble(0xFF) == 0x0);

}  // namespace protocol
