#include "publish/broker_config.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel::publish {
namespace {

// A password file holds one line; anything this large is another file.
constexpr std::uintmax_t kMaxPasswordFileSize = 4096;

std::string Mode(unsigned mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", mode & 07777U);
  return text;
}

// Why a file the client must read cannot be, or an empty text.
std::string UnreadableFile(const char* key, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (in) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) return {};
    return std::string("[Publish] ") + key + "=" + path + ": a folder, not a file";
  }
  return std::string("[Publish] ") + key + "=" + path + ": " + std::strerror(errno);
}

}  // namespace

PasswordRead ReadPasswordFile(const std::filesystem::path& path) {
  PasswordRead read;
  const std::string name = path.string();
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    read.problem = "the password file " + name + " cannot be read: " + ec.message();
    return read;
  }
  if (size > kMaxPasswordFileSize) {
    read.problem = "the password file " + name + " is too large to hold a password";
    return read;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    read.problem = "the password file " + name + " cannot be read: " + std::strerror(errno);
    return read;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string content = text.str();
  const std::size_t end = content.find_first_of("\r\n");
  if (end != std::string::npos) content.resize(end);
  if (content.empty()) {
    read.problem = "the password file " + name + " is empty: write the password on its first line";
    return read;
  }
  if (content.find('\0') != std::string::npos) {
    read.problem = "the password file " + name + " holds a NUL byte: it is not a text file";
    return read;
  }
  read.password = std::move(content);
#if !defined(_WIN32)
  struct stat status {};
  if (stat(name.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0) {
    read.warning = "the password file " + name + " can be read by other users (mode " +
                   Mode(static_cast<unsigned>(status.st_mode)) + "); make it private: chmod 600 '" + name + "'";
  }
#endif
  return read;
}

std::string DefaultClientId() {
  std::string host;
#if defined(_WIN32)
  if (const char* name = std::getenv("COMPUTERNAME")) host = name;
#else
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) == 0) host = name;
#endif
  const std::size_t dot = host.find('.');
  if (dot != std::string::npos) host.resize(dot);
  return "quorvel-" + (host.empty() ? std::string("dashboard") : DiscoveryName(host));
}

bool ParseBrokerAddress(const std::string& text, std::string& host, int& port) {
  std::string port_text;
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      port_text = text.substr(close + 2);
      if (port_text.empty()) return false;
    }
  } else {
    const std::size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(':') != colon) {
      host = text;  // an IPv6 address without a port
    } else if (colon != std::string::npos) {
      host = text.substr(0, colon);
      port_text = text.substr(colon + 1);
      if (port_text.empty()) return false;
    } else {
      host = text;
    }
  }
  if (host.empty()) return false;
  if (!port_text.empty()) {
    int number = 0;
    const char* end = port_text.data() + port_text.size();
    const auto [stop, error] = std::from_chars(port_text.data(), end, number);
    if (error != std::errc{} || stop != end || number < 1 || number > 65535) return false;
    port = number;
  }
  return true;
}

PreparedBroker PrepareBroker(const PublishSettings& s) {
  PreparedBroker prepared;
  BrokerConfig& c = prepared.config;
  c.host = s.Host;
  c.port = s.BrokerPort();
  c.client_id = s.ClientId.empty() ? DefaultClientId() : s.ClientId;
  c.user = s.User;
  c.tls = s.Tls();
  c.ca_file = s.CaFile;
  c.cert_file = s.CertFile;
  c.key_file = s.KeyFile;
  prepared.scheme = TopicScheme{s.Prefix, s.DiscoveryPrefix, c.client_id};

  auto& problems = prepared.problems;
  if (c.host.empty()) problems.push_back("[Publish] Host is empty: name the broker's host");
  if (const auto why = TopicPrefixProblem(s.Prefix)) {
    problems.push_back("[Publish] Prefix=" + s.Prefix + " cannot be used: " + *why);
  }
  if (const auto why = TopicPrefixProblem(s.DiscoveryPrefix); why && s.Discovery) {
    problems.push_back("[Publish] DiscoveryPrefix=" + s.DiscoveryPrefix + " cannot be used: " + *why);
  }
  if (c.client_id.size() > 128) problems.push_back("[Publish] ClientId is longer than 128 characters");
  if (!s.CertFile.empty() && s.KeyFile.empty()) {
    problems.push_back("[Publish] CertFile is given without KeyFile: a client certificate needs its key");
  }
  if (s.CertFile.empty() && !s.KeyFile.empty()) {
    problems.push_back("[Publish] KeyFile is given without CertFile: a client key needs its certificate");
  }
  for (const auto& [key, path] : {std::pair{"CAFile", s.CaFile}, {"CertFile", s.CertFile}, {"KeyFile", s.KeyFile}}) {
    if (path.empty()) continue;
    if (std::string why = UnreadableFile(key, path); !why.empty()) problems.push_back(why);
  }
  if (!s.PasswordFile.empty()) {
    if (s.User.empty()) problems.push_back("[Publish] PasswordFile is given without User");
    PasswordRead read = ReadPasswordFile(s.PasswordFile);
    if (!read.problem.empty()) problems.push_back(read.problem);
    if (!read.warning.empty()) prepared.warnings.push_back(read.warning);
    c.password = std::move(read.password);
  }
  return prepared;
}

}  // namespace quorvel::publish
