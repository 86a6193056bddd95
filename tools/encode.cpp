// tolvaner-cli encode: the frame the program would send for the given link parameters.
#include <cstdio>
#include <iostream>
#include <memory>

#include "link/frame.h"
#include "text/convert.h"
#include "tools/commands.h"
#include "tools/hex_args.h"
#include "tools/link_options.h"

namespace cli {

namespace {

struct EncodeOptions {
  LinkOptions link;
  bool raw = false;
  std::vector<std::string> bytes;
};

void RunEncode(const EncodeOptions& o) {
  const Link link = ParseLink(o.link);
  const auto payload = PayloadArgs(o.bytes, std::cin);
  const auto frame = protocol::BuildFrame(link.preamble, BlockStreamOf(link, payload));

  if (o.raw) {
    std::fwrite(frame.data(), 1, frame.size(), stdout);
  } else {
    std::string line;
    for (std::size_t i = 0; i < frame.size(); ++i) {
      line += (i == 0 ? "" : " ") + text::FormatHex2(frame[i]);
    }
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

void AddEncode(CLI::App& app) {
  auto options = std::make_shared<EncodeOptions>();
  auto* cmd = app.add_subcommand("encode", "Print the frame the program would send");
  AddLinkOptions(*cmd, options->link);
  cmd->add_flag("--raw", options->raw, "write the frame's bytes instead of hex text");
  cmd->add_option("bytes", options->bytes, "payload bytes in hex; - reads them from stdin");
  cmd->callback([options] { RunEncode(*options); });
}

}  // namespace cli
