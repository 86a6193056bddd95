// How the tools print a received frame: one line of words, or one JSON object.
#pragma once

#include <string>

#include "link/decoder.h"

namespace cli {

// frame=ok bits=ok crc=ok from=0001 to=0002 bytes=22 payload=0102 ("-" where not judged)
std::string FormatRecord(const protocol::FrameRecord& record);
// {"frame":"ok","bits":"ok","crc":"ok","from":"0001","to":"0002","bytes":22,"payload":"0102"}
std::string FormatRecordJson(const protocol::FrameRecord& record);

}  // namespace cli
