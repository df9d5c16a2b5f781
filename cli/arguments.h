// The one reader of the tool's command lines: "--name value", "--flag" and
// plain words, with --help for every verb.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/engine_session.h"

namespace quorvel::cli {

// What every verb exits with.
enum ExitCode : int {
  kExitDone = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitPartly = 3,
  kExitInterrupted = 130,  // Ctrl-C before a one-shot verb was done
};

class ArgumentReader {
 public:
  // `usage` is the verb's --help text.
  ArgumentReader(std::string command, const std::vector<std::string>& args, const char* usage);

  // -h or --help was given: the verb's help is printed; exit with 0.
  bool HelpAsked() const { return help_asked_; }
  bool Done() const { return at_ >= args_.size() || failed_; }
  const std::string& Current() const { return args_[at_]; }
  bool Is(const char* name) const { return !Done() && args_[at_] == name; }
  // Takes the current option when it is `name`.
  bool Flag(const char* name);
  // A word that is not an option ("-" is a word: standard input).
  bool IsWord() const { return !Done() && (args_[at_] == "-" || !args_[at_].starts_with("-")); }
  std::string TakeWord() { return args_[at_++]; }
  // The value after the current option; fails when there is none.
  std::optional<std::string> Value();
  // A whole number from min to max; "1.9", "nan" and "1e3" fail.
  std::optional<long long> Integer(long long min, long long max);
  std::optional<PortArgument> Port();
  // Fails with "unknown option ...".
  void Unknown();
  // Prints "quorvel-cli <command>: <message>" and a pointer to --help once,
  // and marks the reading failed.
  void Fail(const std::string& message);
  bool Failed() const { return failed_; }

 private:
  std::string command_;
  const std::vector<std::string>& args_;
  const char* usage_;
  std::size_t at_ = 0;
  bool failed_ = false;
  bool help_asked_ = false;
};

// The tool's overview and each verb's help.
const char* ToolUsage();
const char* DecodeUsage();
const char* PortsUsage();
const char* WatchUsage();
const char* ProbeUsage();
const char* InfoUsage();
const char* LogUsage();
const char* ExportMonthUsage();
const char* PublishUsage();
const char* ServeUsage();

}  // namespace quorvel::cli
