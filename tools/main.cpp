// tolvaner-cli: the program's link core on the command line, for scripts and test benches.
#include <cstdio>
#include <iostream>
#include <string>

#include "tools/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Tolvaner link tools: build and read Tolvaner frames.", "tolvaner-cli"};
  app.require_subcommand(1);
  cli::AddEncode(app);
  cli::AddDecode(app);
  try {
    if (argc < 2) {
      throw cli::UsageError("a command is required: encode or decode (see --help)");
    }
    const std::string first = argv[1];
    const auto commands =
        app.get_subcommands([&first](const CLI::App* c) { return c->get_name() == first; });
    if (!first.starts_with('-') && commands.empty()) {
      throw cli::UsageError("unknown command '" + first + "': encode or decode (see --help)");
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
  }
  return 0;
}
