#include "cli/decode_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "cli/answer_json.h"
#include "cli/arguments.h"
#include "cli/output_text.h"
#include "protocol/answer_pipeline.h"

namespace quorvel::cli {
namespace {

constexpr int kDecodeSlot = 1;

// Every answer decoded as from slot 1 and printed.
class StreamDecoder {
 public:
  void Feed(std::uint8_t byte) { pipeline_.FeedByte(kDecodeSlot, byte); }

 private:
  void Print(int slot, const DecodeOutcome& outcome) {
    std::printf("%s\n", AnswerJson(outcome, devices_, slot).c_str());
    std::fflush(stdout);
  }

  DeviceTable devices_;
  AnswerPipeline pipeline_{devices_, [this](int slot, const DecodeOutcome& outcome) { Print(slot, outcome); }};
};

std::optional<std::uint8_t> ParseHexByte(std::string token) {
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) token.erase(0, 2);
  if (token.empty() || token.size() > 2) return std::nullopt;
  unsigned value = 0;
  for (const char c : token) {
    value <<= 4;
    if (c >= '0' && c <= '9') {
      value |= static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value |= static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      value |= static_cast<unsigned>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
  }
  return static_cast<std::uint8_t>(value);
}

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Returns false after printing why the stream could not be read.
bool ReadStream(std::FILE* in, const std::string& name, bool hex, const std::function<void(std::uint8_t)>& feed) {
  std::string token;
  long long token_number = 0;
  auto flush_token = [&]() {
    if (token.empty()) return true;
    ++token_number;
    const auto byte = ParseHexByte(token);
    if (!byte) {
      std::fprintf(stderr, "quorvel-cli decode: %s: token %lld \"%s\" is not a hex byte\n", Printable(name).c_str(),
                   token_number, Printable(token).c_str());
      return false;
    }
    feed(*byte);
    token.clear();
    return true;
  };

  unsigned char buffer[4096];
  for (;;) {
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, in);
    for (std::size_t i = 0; i < n; ++i) {
      if (!hex) {
        feed(buffer[i]);
      } else if (IsSpace(buffer[i])) {
        if (!flush_token()) return false;
      } else {
        token.push_back(static_cast<char>(buffer[i]));
        if (token.size() > 16) return flush_token();
      }
    }
    if (n < sizeof buffer) {
      if (std::ferror(in)) {
        std::fprintf(stderr, "quorvel-cli decode: cannot read %s: %s\n", Printable(name).c_str(), std::strerror(errno));
        return false;
      }
      if (std::feof(in)) return flush_token();
    }
  }
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  ArgumentReader line("decode", args, DecodeUsage());
  if (line.HelpAsked()) return kExitDone;
  bool hex = false;
  std::optional<std::string> path;
  while (!line.Done()) {
    if (line.Flag("--hex")) {
      hex = true;
    } else if (!line.IsWord()) {
      line.Unknown();
    } else if (path) {
      line.Fail("more than one input file");
    } else {
      path = line.TakeWord();
    }
  }
  if (line.Failed()) return kExitUsage;

  std::FILE* in = stdin;
  std::string name = "standard input";
  if (path && *path != "-") {
    name = *path;
    in = std::fopen(path->c_str(), "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "quorvel-cli decode: cannot open %s: %s\n", Printable(name).c_str(), std::strerror(errno));
      return kExitFailed;
    }
  }
  StreamDecoder decoder;
  const bool ok = ReadStream(in, name, hex, [&](std::uint8_t byte) { decoder.Feed(byte); });
  if (in != stdin) std::fclose(in);
  return ok ? kExitDone : kExitFailed;
}

}  // namespace quorvel::cli
