// tolvaner-cli decode: a raw byte stream read through the program's receiver.
#include <cstdio>
#include <memory>

#include "link/decoder.h"
#include "link/parameters.h"
#include "tools/commands.h"
#include "tools/hex_args.h"
#include "tools/record_format.h"

namespace cli {

namespace {

struct DecodeOptions {
  std::string netid = "0000";
  bool json = false;
  std::string file;
};

void Print(protocol::StreamDecoder& decoder, bool json) {
  for (const auto& record : decoder.TakeRecords()) {
    const auto line = json ? FormatRecordJson(record) : FormatRecord(record);
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

void RunDecode(const DecodeOptions& o) {
  const std::uint16_t netid = IdentifierArg("--netid", o.netid);
  std::FILE* in = stdin;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(nullptr, std::fclose);
  if (!o.file.empty() && o.file != "-") {
    owned.reset(std::fopen(o.file.c_str(), "rb"));
    if (!owned) {
      throw UsageError("cannot read '" + o.file + "'");
    }
    in = owned.get();
  }
  protocol::StreamDecoder decoder(protocol::CrcSeedOf(netid));
  std::uint8_t buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    decoder.Feed(std::span(buffer, n));
    Print(decoder, o.json);
  }
  if (std::ferror(in) != 0) {
    throw UsageError("error reading '" + (o.file.empty() ? std::string("-") : o.file) + "'");
  }
  decoder.Finish();
  Print(decoder, o.json);
}

}  // namespace

void AddDecode(CLI::App& app) {
  auto options = std::make_shared<DecodeOptions>();
  auto* cmd = app.add_subcommand("decode", "Read a raw byte stream and print each frame");
  cmd->add_option("--netid", options->netid, "network identifier, hex (default 0000)");
  cmd->add_flag("--json", options->json, "one JSON object per frame");
  cmd->add_option("file", options->file, "the stream to read (default: standard input)");
  cmd->callback([options] { RunDecode(*options); });
}

}  // namespace cli
