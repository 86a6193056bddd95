// Frame records as text. Every value is a fixed word, a number or hex digits, so the JSON needs
// no escaping.
#include "tools/record_format.h"

#include "text/convert.h"

namespace cli {

namespace {

const char* FrameWord(protocol::FrameVerdict verdict) {
  switch (verdict) {
    case protocol::FrameVerdict::Ok:
      return "ok";
    case protocol::FrameVerdict::Odd:
      return "odd";
    case protocol::FrameVerdict::Short:
      return "short";
    case protocol::FrameVerdict::Unterminated:
      return "unterminated";
  }
  return "?";
}

std::string Verdict(const std::optional<bool>& good) {
  return good ? (*good ? "ok" : "bad") : "";
}

std::string Id(const std::optional<std::uint16_t>& id) {
  return id ? text::FormatHex4(*id) : "";
}

std::string Payload(const protocol::FrameRecord& record) {
  std::string hex;
  for (auto b : record.payload) {
    hex += text::FormatHex2(b);
  }
  return hex;
}

std::string OrDash(const std::string& s) {
  return s.empty() ? "-" : s;
}
std::string QuotedOrNull(const std::string& s) {
  return s.empty() ? "null" : '"' + s + '"';
}

}  // namespace

std::string FormatRecord(const protocol::FrameRecord& r) {
  return std::string("frame=") + FrameWord(r.frame) + " bits=" + OrDash(Verdict(r.bitsGood)) +
         " crc=" + OrDash(Verdict(r.crcGood)) + " from=" + OrDash(Id(r.sender)) +
         " to=" + OrDash(Id(r.receiver)) + " bytes=" + std::to_string(r.bytes) +
         " payload=" + OrDash(Payload(r));
}

std::string FormatRecordJson(const protocol::FrameRecord& r) {
  return std::string("{\"frame\":\"") + FrameWord(r.frame) +
         "\",\"bits\":" + QuotedOrNull(Verdict(r.bitsGood)) +
         ",\"crc\":" + QuotedOrNull(Verdict(r.crcGood)) +
         ",\"from\":" + QuotedOrNull(Id(r.sender)) + ",\"to\":" + QuotedOrNull(Id(r.receiver)) +
         ",\"bytes\":" + std::to_string(r.bytes) + ",\"payload\":\"" + Payload(r) + "\"}";
}

}  // namespace cli
