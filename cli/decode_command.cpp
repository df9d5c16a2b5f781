#include "cli/decode_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "cli/answer_json.h"
#include "protocol/answer_pipeline.h"

namespace quorvel::cli {
namespace {

constexpr int kDecodeSlot = 1;

// Slot 1 is the selected device on a visible real-time page, the chart view
// is closed and nothing is being saved.
class StreamDecoder {
 public:
  void Feed(std::uint8_t byte) { pipeline_.FeedByte(kDecodeSlot, byte); }

 private:
  void Print(int slot, const DecodeOutcome& outcome) {
    std::printf("%s\n", AnswerJson(outcome, devices_, slot, display_.shutdown).c_str());
    std::fflush(stdout);
  }

  DeviceTable devices_;
  TerminalDisplay display_;
  FixedDecoderContext context_;
  AnswerPipeline pipeline_{devices_, display_, context_,
                           [this](int slot, const DecodeOutcome& outcome) { Print(slot, outcome); }};
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
      std::fprintf(stderr, "quorvel-cli decode: %s: token %lld \"%s\" is not a hex byte\n", name.c_str(),
                   token_number, token.c_str());
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
        std::fprintf(stderr, "quorvel-cli decode: cannot read %s: %s\n", name.c_str(), std::strerror(errno));
        return false;
      }
      if (std::feof(in)) return flush_token();
    }
  }
}

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: quorvel-cli decode [--hex] [FILE]\n"
               "  Decodes the meter answers in FILE (default: standard input) as if they\n"
               "  arrived on COM1, and prints one JSON object per complete answer.\n"
               "  --hex  the input is text: whitespace-separated hex bytes (55 03 81 ...)\n");
}

}  // namespace

int RunDecode(const std::vector<std::string>& args) {
  bool hex = false;
  std::optional<std::string> path;
  for (const std::string& arg : args) {
    if (arg == "--hex") {
      hex = true;
    } else if (arg == "-h" || arg == "--help") {
      PrintUsage(stdout);
      return 0;
    } else if (arg != "-" && arg.starts_with("-")) {
      std::fprintf(stderr, "quorvel-cli decode: unknown option %s\n", arg.c_str());
      PrintUsage(stderr);
      return 2;
    } else if (path) {
      std::fprintf(stderr, "quorvel-cli decode: more than one input file\n");
      return 2;
    } else {
      path = arg;
    }
  }

  std::FILE* in = stdin;
  std::string name = "standard input";
  if (path && *path != "-") {
    name = *path;
    in = std::fopen(path->c_str(), "rb");
    if (in == nullptr) {
      std::fprintf(stderr, "quorvel-cli decode: cannot open %s: %s\n", name.c_str(), std::strerror(errno));
      return 1;
    }
  }
  StreamDecoder decoder;
  const bool ok = ReadStream(in, name, hex, [&](std::uint8_t byte) { decoder.Feed(byte); });
  if (in != stdin) std::fclose(in);
  return ok ? 0 : 1;
}

}  // namespace quorvel::cli
