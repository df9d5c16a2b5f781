// quorvel-cli: the dashboard's engine without a window.
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include <clocale>

#include "cli/arguments.h"
#include "cli/decode_command.h"
#include "cli/engine_commands.h"
#include "cli/output_text.h"
#include "cli/probe_command.h"
#include "cli/publish_command.h"

int main(int argc, char** argv) {
  using quorvel::cli::ToolUsage;
  if (argc < 2) {
    std::fputs(ToolUsage(), stderr);
    return quorvel::cli::kExitUsage;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--version") {
    std::printf("quorvel-cli %s\n", QUORVEL_VERSION);
    return quorvel::cli::kExitDone;
  }
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(ToolUsage(), stdout);
    return quorvel::cli::kExitDone;
  }
  if (command == "decode") return quorvel::cli::RunDecode(args);
  QCoreApplication app(argc, argv);
  // Texts and numbers never follow the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  if (command == "ports") return quorvel::cli::RunPorts(args);
  if (command == "watch") return quorvel::cli::RunWatch(args);
  if (command == "probe") return quorvel::cli::RunProbe(args);
  if (command == "info") return quorvel::cli::RunInfo(args);
  if (command == "log") return quorvel::cli::RunLog(args);
  if (command == "export-month") return quorvel::cli::RunExportMonth(args);
  if (command == "publish") return quorvel::cli::RunPublish(args);
  if (command == "serve") return quorvel::cli::RunServe(args);
  std::fprintf(stderr, "quorvel-cli: unknown command '%s'\n", quorvel::cli::Printable(command).c_str());
  std::fputs(ToolUsage(), stderr);
  return quorvel::cli::kExitUsage;
}
