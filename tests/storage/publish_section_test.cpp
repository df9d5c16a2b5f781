#include "storage/publish_section.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "storage/settings_file.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

PublishSettings FromText(const std::string& text, std::vector<std::string>* problems = nullptr) {
  return LoadPublishSettings(IniFile::Parse(text), problems);
}

TEST(PublishSection, AFileWithoutTheSectionGivesTheDefaults) {
  std::vector<std::string> problems;
  const PublishSettings s = FromText("[Comm]\nBaudrate=9600\n", &problems);
  EXPECT_FALSE(s.Enabled);
  EXPECT_EQ(s.Host, "localhost");
  EXPECT_EQ(s.BrokerPort(), 1883);
  EXPECT_EQ(s.Prefix, "quorvel");
  EXPECT_TRUE(s.Discovery);
  EXPECT_EQ(s.DiscoveryPrefix, "homeassistant");
  EXPECT_FALSE(s.Tls());
  EXPECT_TRUE(problems.empty());
}

TEST(PublishSection, ReadsEveryKeyWithoutRegardToCase) {
  const PublishSettings s = FromText(
      "[publish]\nenabled=Yes\nHOST=broker.lan\nPort=8884\nPrefix=house/meters\nDiscovery=off\n"
      "DiscoveryPrefix=ha\nClientId=lab-pc\nUser=meters\nPasswordFile=/etc/quorvel/mqtt-password\n"
      "CAFile=/etc/quorvel/ca.crt\nCertFile=client.crt\nKeyFile=client.key\n");
  EXPECT_TRUE(s.Enabled);
  EXPECT_EQ(s.Host, "broker.lan");
  EXPECT_EQ(s.BrokerPort(), 8884);
  EXPECT_EQ(s.Prefix, "house/meters");
  EXPECT_FALSE(s.Discovery);
  EXPECT_EQ(s.DiscoveryPrefix, "ha");
  EXPECT_EQ(s.ClientId, "lab-pc");
  EXPECT_EQ(s.User, "meters");
  EXPECT_EQ(s.PasswordFile, "/etc/quorvel/mqtt-password");
  EXPECT_EQ(s.CaFile, "/etc/quorvel/ca.crt");
  EXPECT_EQ(s.CertFile, "client.crt");
  EXPECT_EQ(s.KeyFile, "client.key");
  EXPECT_TRUE(s.Tls());
}

TEST(PublishSection, TlsWithoutAPortTakesTheTlsPort) {
  EXPECT_EQ(FromText("[Publish]\nCAFile=ca.crt\n").BrokerPort(), 8883);
  EXPECT_EQ(FromText("[Publish]\nCAFile=ca.crt\nPort=1883\n").BrokerPort(), 1883);
}

struct BadValue {
  const char* line;
  const char* problem;  // part of the sentence told
};

class PublishSectionValues : public ::testing::TestWithParam<BadValue> {};

TEST_P(PublishSectionValues, AValueThatCannotBeUsedKeepsTheDefaultAndIsTold) {
  std::vector<std::string> problems;
  const PublishSettings s = FromText(std::string("[Publish]\n") + GetParam().line + "\n", &problems);
  const PublishSettings defaults;
  EXPECT_EQ(s.Enabled, defaults.Enabled);
  EXPECT_EQ(s.BrokerPort(), defaults.BrokerPort());
  EXPECT_EQ(s.Host, defaults.Host);
  EXPECT_EQ(s.Prefix, defaults.Prefix);
  ASSERT_EQ(problems.size(), 1U);
  EXPECT_NE(problems[0].find(GetParam().problem), std::string::npos) << problems[0];
}

INSTANTIATE_TEST_SUITE_P(
    Keys, PublishSectionValues,
    ::testing::Values(BadValue{"Enabled=maybe", "Enabled=maybe cannot be used: it takes true or false"},
                      BadValue{"Port=0", "Port=0 cannot be used: it takes a port number from 1 to 65535"},
                      BadValue{"Port=70000", "from 1 to 65535"}, BadValue{"Port=18 83", "from 1 to 65535"},
                      BadValue{"Port=1883x", "from 1 to 65535"}, BadValue{"Host=", "Host= cannot be used: it is empty"},
                      BadValue{"Prefix=", "\"quorvel\" is used"},
                      BadValue{"Password=secret", "a password is never read from the settings file"}));

TEST(PublishSection, APasswordInTheFileIsNeitherUsedNorRepeated) {
  std::vector<std::string> problems;
  FromText("[Publish]\nPassword=hunter2\n", &problems);
  ASSERT_EQ(problems.size(), 1U);
  EXPECT_EQ(problems[0].find("hunter2"), std::string::npos);
}

TEST(PublishSection, SavingKeepsEveryOtherLineAndReadsBackTheSame) {
  testing::TempDir dir;
  const auto path = dir / "Power Meter.ini";
  const std::string before =
      "; my meters\r\n[Comm]\r\nBaudrate=9600\r\n\r\n[Ports]\r\nCOM3=/dev/ttyUSB7\r\n\r\n[Later]\r\nKey=kept\r\n";
  std::ofstream(path, std::ios::binary) << before;

  PublishSettings s;
  s.Enabled = true;
  s.Host = "192.168.1.20";
  s.Port = 1884;
  s.ClientId = "shed";
  s.User = "meters";
  s.PasswordFile = "/home/me/.config/quorvel/mqtt-password";
  s.CaFile = "ca.crt";
  ASSERT_TRUE(SavePublishSection(path, s).ok());

  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(text.str().substr(0, before.size()), before);  // appended after what was there, line ends kept
  EXPECT_NE(text.str().find("[Publish]\r\nEnabled=true\r\n"), std::string::npos);
  const IniFile ini = IniFile::Load(path).file;
  const PublishSettings back = LoadPublishSettings(ini);
  EXPECT_TRUE(back.Enabled);
  EXPECT_EQ(back.Host, s.Host);
  EXPECT_EQ(back.Port, 1884);
  EXPECT_EQ(back.ClientId, "shed");
  EXPECT_EQ(back.User, "meters");
  EXPECT_EQ(back.PasswordFile, s.PasswordFile);
  EXPECT_EQ(back.CaFile, "ca.crt");
  EXPECT_EQ(ini.Get("Later", "Key"), "kept");
  EXPECT_EQ(LoadPortAssignments(ini).at(3), "/dev/ttyUSB7");

  // The dashboard's own save keeps the section as the older readers keep any
  // section they do not know.
  SettingsFile file(path);
  Settings settings = file.Load().settings;
  ASSERT_TRUE(file.Save(settings).ok());
  EXPECT_TRUE(LoadPublishSettings(IniFile::Load(path).file).Enabled);
}

}  // namespace
}  // namespace quorvel
