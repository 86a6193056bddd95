// tolvaner-cli: the program's link core on the command line, for scripts and test benches.
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/commands.h"

namespace {

constexpr const char* kCommands = "encode, decode, send, listen or device";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Tolvaner link tools: build, read, send and receive Tolvaner frames.",
               "tolvaner-cli"};
  app.require_subcommand(1);
  cli::AddEncode(app);
  cli::AddDecode(app);
  cli::AddSend(app);
  cli::AddListen(app);
  cli::AddDevice(app);
  try {
    if (argc < 2) {
      throw cli::UsageError(std::string("a command is required: ") + kCommands + " (see --help)");
    }
    const std::string first = argv[1];
    const auto commands =
        app.get_subcommands([&first](const CLI::App* c) { return c->get_name() == first; });
    if (!first.starts_with('-') && commands.empty()) {
      throw cli::UsageError("unknown command '" + first + "': " + kCommands + " (see --help)");
    }
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "tolvaner-cli: " << e.what() << "\n";
    return cli::kUsageError;
  } catch (const cli::UsageError& e) {
    std::cerr << "tolvaner-cli: " << e.what() << "\n";
    return cli::kUsageError;
  } catch (const cli::RunError& e) {
    std::cerr << "tolvaner-cli: " << e.what() << "\n";
    return e.Status();
  }
  return 0;
}
