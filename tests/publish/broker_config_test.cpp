// From the [Publish] settings to the client's configuration; the password
// file.
#include "publish/broker_config.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "tests/support/temp_dir.h"

namespace quorvel::publish {
namespace {

struct AddressCase {
  const char* text;
  bool valid;
  const char* host;
  int port;
};

TEST(BrokerAddress, HostAndOptionalPort) {
  for (const AddressCase& c :
       {AddressCase{"broker.lan", true, "broker.lan", 1883}, AddressCase{"127.0.0.1:18830", true, "127.0.0.1", 18830},
        AddressCase{"[::1]:8883", true, "::1", 8883}, AddressCase{"[::1]", true, "::1", 1883},
        AddressCase{"::1", true, "::1", 1883}, AddressCase{"host:", false, "", 0}, AddressCase{":1883", false, "", 0},
        AddressCase{"host:0", false, "", 0}, AddressCase{"host:65536", false, "", 0},
        AddressCase{"host:18x", false, "", 0}, AddressCase{"[::1", false, "", 0}, AddressCase{"", false, "", 0}}) {
    std::string host;
    int port = 1883;
    EXPECT_EQ(ParseBrokerAddress(c.text, host, port), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(host, c.host) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
  }
}

class PasswordFileTest : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& content, unsigned mode) {
    const auto path = dir / "mqtt-password";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    chmod(path.c_str(), mode);
    return path;
  }
  testing::TempDir dir;
};

TEST_F(PasswordFileTest, TheFirstLineIsThePassword) {
  for (const char* content : {"s3cret pass", "s3cret pass\n", "s3cret pass\r\n", "s3cret pass\nsecond line\n"}) {
    const PasswordRead read = ReadPasswordFile(Write(content, 0600));
    EXPECT_EQ(read.password, "s3cret pass");
    EXPECT_EQ(read.problem, "");
    EXPECT_EQ(read.warning, "");
  }
}

TEST_F(PasswordFileTest, AFileOthersCanReadIsWarnedOfWithoutThePassword) {
  for (const unsigned mode : {0644U, 0640U, 0604U}) {
    const auto path = Write("s3cret", mode);
    const PasswordRead read = ReadPasswordFile(path);
    EXPECT_EQ(read.password, "s3cret");
    EXPECT_NE(read.warning.find("can be read by other users"), std::string::npos) << read.warning;
    EXPECT_NE(read.warning.find("chmod 600"), std::string::npos);
    EXPECT_EQ(read.warning.find("s3cret"), std::string::npos);
  }
}

TEST_F(PasswordFileTest, AFileThatCannotServeIsAProblem) {
  EXPECT_NE(ReadPasswordFile(dir / "missing").problem.find("cannot be read"), std::string::npos);
  EXPECT_NE(ReadPasswordFile(Write("\nsecond", 0600)).problem.find("is empty"), std::string::npos);
  EXPECT_NE(ReadPasswordFile(Write(std::string(5000, 'x'), 0600)).problem.find("too large"), std::string::npos);
  EXPECT_NE(ReadPasswordFile(Write(std::string("a\0b", 3), 0600)).problem.find("NUL"), std::string::npos);
  if (geteuid() != 0) {  // root reads anything
    const auto path = Write("s3cret", 0000);
    const PasswordRead read = ReadPasswordFile(path);
    EXPECT_NE(read.problem.find("Permission denied"), std::string::npos) << read.problem;
    EXPECT_EQ(read.password, "");
  }
}

TEST_F(PasswordFileTest, PreparingTellsEveryMistakeAtOnce) {
  PublishSettings s;
  s.Prefix = "meters/#";
  s.CertFile = (dir / "client.crt").string();
  s.CaFile = (dir / "no-ca.crt").string();
  s.PasswordFile = Write("s3cret", 0644).string();
  const PreparedBroker prepared = PrepareBroker(s);
  std::string all;
  for (const std::string& problem : prepared.problems) all += problem + "\n";
  for (const char* words :
       {"Prefix=meters/# cannot be used: it contains '#'", "CertFile is given without KeyFile",
        "no-ca.crt: No such file", "client.crt: No such file", "PasswordFile is given without User"}) {
    EXPECT_NE(all.find(words), std::string::npos) << words << " in\n" << all;
  }
  ASSERT_EQ(prepared.warnings.size(), 1U);
  EXPECT_EQ(all.find("s3cret"), std::string::npos);
}

TEST_F(PasswordFileTest, PreparedSettingsForTheClient) {
  PublishSettings s;
  s.Host = "broker.lan";
  s.User = "meters";
  s.PasswordFile = Write("s3cret\n", 0600).string();
  const PreparedBroker prepared = PrepareBroker(s);
  EXPECT_TRUE(prepared.problems.empty());
  EXPECT_TRUE(prepared.warnings.empty());
  EXPECT_EQ(prepared.config.Address(), "broker.lan:1883");
  EXPECT_EQ(prepared.config.password, "s3cret");
  EXPECT_FALSE(prepared.config.tls);
  EXPECT_TRUE(prepared.config.client_id.starts_with("quorvel-")) << prepared.config.client_id;
  EXPECT_EQ(prepared.scheme.client_id, prepared.config.client_id);
  EXPECT_EQ(prepared.scheme.prefix, "quorvel");
}

}  // namespace
}  // namespace quorvel::publish
