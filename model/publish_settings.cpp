#include "model/publish_settings.h"

namespace quorvel {

std::optional<std::string> TopicPrefixProblem(std::string_view prefix) {
  if (prefix.empty()) return "it is empty";
  if (prefix.front() == '/' || prefix.back() == '/') return "it starts or ends with '/'";
  if (prefix.front() == '$') return "it starts with '$', which brokers keep for themselves";
  if (prefix.find("//") != std::string_view::npos) return "it has an empty level ('//')";
  for (const char c : prefix) {
    if (c == '+' || c == '#') return std::string("it contains '") + c + "', a wildcard";
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "it contains a control character";
  }
  if (prefix.size() > 1024) return "it is longer than 1024 characters";
  return std::nullopt;
}

}  // namespace quorvel
