// quorvel-cli: the dashboard's engine without a window.
#include <cstdio>
#include <string>
#include <vector>

#include <QCoreApplication>

#include <clocale>

#include "cli/decode_command.h"
#include "cli/engine_commands.h"
#include "cli/probe_command.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: quorvel-cli <command> [options]\n"
               "commands:\n"
               "  decode [--hex] [FILE]   decode a captured byte stream of meter answers\n"
               "  ports                   list the ports offered as meter slots\n"
               "  watch --port COMn[=PATH]... [--seconds S]\n"
               "                          poll meters once a second and print every answer\n"
               "  probe --port COMn[=PATH] [--write] [--reset-timers]\n"
               "                          send every request once and print each answer\n"
               "  info --port COMn[=PATH] [--history] [--timers]\n"
               "                          read a meter's settings (and history, timers)\n"
               "  log --port COMn[=PATH]... --out DIR [--interval N] [--seconds S]\n"
               "                          save readings to spreadsheet files in DIR\n"
               "  export-month --port COMn[=PATH] --month M --out DIR\n"
               "                          save one month of a meter's history to DIR\n"
               "Ports are COM1..COM18; PATH is the device (/dev/ttyUSB0, a simulator link).\n"
               "Run 'quorvel-cli <command> --help' for a command's options,\n"
               "'quorvel-cli --version' for the version.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--version") {
    std::printf("quorvel-cli %s\n", QUORVEL_VERSION);
    return 0;
  }
  if (command == "decode") return quorvel::cli::RunDecode(args);
  for (const std::string& arg : args) {
    if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return 0;
    }
  }
  QCoreApplication app(argc, argv);
  // Texts and numbers never follow the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  if (command == "ports") return quorvel::cli::RunPorts(args);
  if (command == "watch") return quorvel::cli::RunWatch(args);
  if (command == "probe") return quorvel::cli::RunProbe(args);
  if (command == "info") return quorvel::cli::RunInfo(args);
  if (command == "log") return quorvel::cli::RunLog(args);
  if (command == "export-month") return quorvel::cli::RunExportMonth(args);
  if (command == "-h" || command == "--help" || command == "help") {
    PrintUsage(stdout);
    return 0;
  }
  std::fprintf(stderr, "quorvel-cli: unknown command '%s'\n", command.c_str());
  PrintUsage(stderr);
  return 2;
}
