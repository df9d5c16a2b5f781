// quorvel-cli: the dashboard's engine without a window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/decode_command.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: quorvel-cli <command> [options]\n"
               "commands:\n"
               "  decode [--hex] [FILE]   decode a captured byte stream of meter answers\n"
               "Run 'quorvel-cli <command> --help' for a command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return 2;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "decode") return quorvel::cli::RunDecode(args);
  if (command == "-h" || command == "--help" || command == "help") {
    PrintUsage(stdout);
    return 0;
  }
  std::fprintf(stderr, "quorvel-cli: unknown command '%s'\n", command.c_str());
  PrintUsage(stderr);
  return 2;
}
