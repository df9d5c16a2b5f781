// The Publish tab's rules without a widget: what each field takes, what a
// save stores, which fields are marked and why, and where a file chooser
// opens. Files are real files in a folder of the test's own.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "pages/publish_rules.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

class PublishRules : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(dir.File("ca.crt")) << "-----BEGIN CERTIFICATE-----\n";
    std::ofstream(dir.File("client.crt")) << "cert\n";
    std::ofstream(dir.File("client.key")) << "key\n";
    std::ofstream(dir.File("password")) << "secret\n";
    std::filesystem::create_directory(dir / "certs");
  }
  // Fields a save takes as they are: publishing on, a broker, TLS with a
  // client certificate, a user with a password file.
  PublishFields Good() const {
    PublishFields f;
    f.enabled = true;
    f.host = "broker.home";
    f.port = "8883";
    f.prefix = "house/meters";
    f.discovery = true;
    f.discovery_prefix = "homeassistant";
    f.client_id = "quorvel-kitchen";
    f.user = "meters";
    f.password_file = dir.File("password");
    f.ca_file = dir.File("ca.crt");
    f.cert_file = dir.File("client.crt");
    f.key_file = dir.File("client.key");
    return f;
  }

  testing::TempDir dir;
};

TEST_F(PublishRules, GoodFieldsAreStoredAsTyped) {
  const PublishCheck check = CheckPublishFields(Good());
  ASSERT_TRUE(check.settings) << (check.reasons.empty() ? "" : check.reasons.front());
  EXPECT_TRUE(check.reasons.empty());
  const PublishSettings& s = *check.settings;
  EXPECT_TRUE(s.Enabled);
  EXPECT_EQ(s.Host, "broker.home");
  EXPECT_EQ(s.Port, 8883);
  EXPECT_EQ(s.Prefix, "house/meters");
  EXPECT_EQ(s.ClientId, "quorvel-kitchen");
  EXPECT_EQ(s.KeyFile, dir.File("client.key"));
  // And the fields filled from what was stored give it back.
  const PublishCheck again = CheckPublishFields(FieldsFromPublishSettings(s));
  ASSERT_TRUE(again.settings);
  EXPECT_EQ(FieldsFromPublishSettings(*again.settings).host, "broker.home");
  EXPECT_EQ(FieldsFromPublishSettings(*again.settings).port, "8883");
}

// One field changed from good ones: refused (the field marked, the reason
// naming it) or taken with the value stored.
TEST_F(PublishRules, EachFieldBreaksItsRuleAlone) {
  using Edit = std::function<void(PublishFields&)>;
  const auto folder = dir.File("certs");
  const auto missing = dir.File("gone.crt");
  const struct {
    const char* what;
    Edit edit;
    std::optional<PublishField> refused;  // nothing: stored
    const char* reason;                   // words of the reason, or of the stored value
  } cases[] = {
      {"port 1", [](PublishFields& f) { f.port = "1"; }, std::nullopt, ""},
      {"port 65535", [](PublishFields& f) { f.port = "65535"; }, std::nullopt, ""},
      {"port empty: the usual one", [](PublishFields& f) { f.port = ""; }, std::nullopt, ""},
      {"port 0", [](PublishFields& f) { f.port = "0"; }, PublishField::kPort, "Port: a port number from 1 to 65535"},
      {"port 65536", [](PublishFields& f) { f.port = "65536"; }, PublishField::kPort, "1 to 65535"},
      {"port with a letter", [](PublishFields& f) { f.port = "18a3"; }, PublishField::kPort, "1 to 65535"},
      {"port of full-width digits", [](PublishFields& f) { f.port = "\uFF11\uFF18\uFF18\uFF13"; }, PublishField::kPort,
       "1 to 65535"},
      {"port with a blank", [](PublishFields& f) { f.port = " 1883"; }, PublishField::kPort, "1 to 65535"},
      {"host empty", [](PublishFields& f) { f.host = ""; }, PublishField::kHost, "Broker: name the broker's host"},
      {"host of blanks", [](PublishFields& f) { f.host = "   "; }, PublishField::kHost, "name the broker's host"},
      {"host with a blank inside", [](PublishFields& f) { f.host = "my broker"; }, PublishField::kHost, "no blanks"},
      {"host with its port", [](PublishFields& f) { f.host = "broker.home:1883"; }, PublishField::kHost,
       "put the port in the Port field"},
      {"host with a line break", [](PublishFields& f) { f.host = "broker\nEnabled=false"; }, PublishField::kHost,
       "control character"},
      {"host an IPv6 address", [](PublishFields& f) { f.host = "fd00::1"; }, std::nullopt, ""},
      {"host blanks around", [](PublishFields& f) { f.host = " broker.home "; }, std::nullopt, ""},
      {"prefix with +", [](PublishFields& f) { f.prefix = "house/+/meters"; }, PublishField::kPrefix,
       "Topic prefix: it contains '+', a wildcard"},
      {"prefix with #", [](PublishFields& f) { f.prefix = "house/#"; }, PublishField::kPrefix, "'#', a wildcard"},
      {"prefix with an empty level", [](PublishFields& f) { f.prefix = "house//meters"; }, PublishField::kPrefix,
       "empty level"},
      {"prefix ending in /", [](PublishFields& f) { f.prefix = "house/"; }, PublishField::kPrefix, "'/'"},
      {"prefix starting with $", [](PublishFields& f) { f.prefix = "$SYS"; }, PublishField::kPrefix, "'$'"},
      {"prefix empty", [](PublishFields& f) { f.prefix = ""; }, PublishField::kPrefix, "it is empty"},
      {"discovery prefix with #", [](PublishFields& f) { f.discovery_prefix = "ha/#"; }, PublishField::kDiscoveryPrefix,
       "Discovery prefix: it contains '#'"},
      {"discovery prefix empty while off",
       [](PublishFields& f) {
         f.discovery = false;
         f.discovery_prefix = "";
       },
       std::nullopt, ""},
      {"discovery prefix with + while off",
       [](PublishFields& f) {
         f.discovery = false;
         f.discovery_prefix = "a/+";
       },
       PublishField::kDiscoveryPrefix, "wildcard"},
      {"client id of 128 bytes", [](PublishFields& f) { f.client_id = std::string(128, 'x'); }, std::nullopt, ""},
      {"client id of 129 bytes", [](PublishFields& f) { f.client_id = std::string(129, 'x'); }, PublishField::kClientId,
       "Client id: at most 128 bytes"},
      {"client id with a tab", [](PublishFields& f) { f.client_id = "a\tb"; }, PublishField::kClientId,
       "control character"},
      {"client id with a line separator", [](PublishFields& f) { f.client_id = "a\u2028b"; }, PublishField::kClientId,
       "control character"},
      {"password file without user", [](PublishFields& f) { f.user = ""; }, PublishField::kUser,
       "User: a password file needs its user"},
      {"no password file, no user",
       [](PublishFields& f) {
         f.user = "";
         f.password_file = "";
       },
       std::nullopt, ""},
      {"password file missing", [&](PublishFields& f) { f.password_file = missing; }, PublishField::kPasswordFile,
       "Password file: there is no file"},
      {"password file a folder", [&](PublishFields& f) { f.password_file = folder; }, PublishField::kPasswordFile,
       "a folder, not a file"},
      {"CA file missing", [&](PublishFields& f) { f.ca_file = missing; }, PublishField::kCaFile,
       "CA file: there is no file"},
      {"CA file a folder", [&](PublishFields& f) { f.ca_file = folder; }, PublishField::kCaFile, "a folder"},
      {"CA file under a file", [&](PublishFields& f) { f.ca_file = dir.File("ca.crt") + "/x"; }, PublishField::kCaFile,
       "CA file:"},
      {"certificate without key", [](PublishFields& f) { f.key_file = ""; }, PublishField::kKeyFile,
       "Client key: a client certificate needs its key"},
      {"key without certificate", [](PublishFields& f) { f.cert_file = ""; }, PublishField::kCertFile,
       "Client certificate: a client key needs its certificate"},
      {"key missing", [&](PublishFields& f) { f.key_file = missing; }, PublishField::kKeyFile, "there is no file"},
      {"no TLS at all", [](PublishFields& f) { f.ca_file = f.cert_file = f.key_file = ""; }, std::nullopt, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PublishFields fields = Good();
    c.edit(fields);
    const PublishCheck check = CheckPublishFields(fields);
    if (!c.refused) {
      EXPECT_TRUE(check.settings.has_value()) << (check.reasons.empty() ? "" : check.reasons.front());
      EXPECT_EQ(check.refused, (std::array<bool, kPublishFieldCount>{}));
      continue;
    }
    EXPECT_FALSE(check.settings.has_value());
    for (std::size_t i = 0; i < kPublishFieldCount; ++i) {
      EXPECT_EQ(check.refused[i], i == static_cast<std::size_t>(*c.refused)) << "field " << i;
    }
    ASSERT_EQ(check.reasons.size(), 1U);
    EXPECT_NE(check.reasons.front().find(c.reason), std::string::npos) << check.reasons.front();
  }
}

// Off, the empty names take their defaults; on, they are needed. Every
// refusal is named, in the tab's reading order.
TEST_F(PublishRules, EmptyNamesTakeTheirDefaultsOnlyWhilePublishingIsOff) {
  PublishFields fields;
  fields.enabled = false;
  fields.host = fields.prefix = fields.discovery_prefix = "";
  PublishCheck off = CheckPublishFields(fields);
  ASSERT_TRUE(off.settings);
  EXPECT_EQ(off.settings->Host, "localhost");
  EXPECT_EQ(off.settings->Prefix, "quorvel");
  EXPECT_EQ(off.settings->DiscoveryPrefix, "homeassistant");
  EXPECT_EQ(off.settings->Port, 0);

  fields.enabled = true;
  fields.port = "99999";
  const PublishCheck on = CheckPublishFields(fields);
  EXPECT_FALSE(on.settings);
  ASSERT_EQ(on.reasons.size(), 4U);
  EXPECT_EQ(on.reasons[0].rfind("Broker:", 0), 0U);
  EXPECT_EQ(on.reasons[1].rfind("Port:", 0), 0U);
  EXPECT_EQ(on.reasons[2].rfind("Topic prefix:", 0), 0U);
  EXPECT_EQ(on.reasons[3].rfind("Discovery prefix:", 0), 0U);
}

TEST_F(PublishRules, ThePortFieldTakesUpToFiveDigitsWhileEdited) {
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {{"", true},     {"1", true},   {"65535", true}, {"99999", true},  {"123456", false},
               {"18a", false}, {"-1", false}, {" 1", false},   {"\uFF11", false}};
  for (const auto& c : cases) EXPECT_EQ(PortTextAccepted(c.text), c.accepted) << c.text;
}

TEST_F(PublishRules, AFileChooserOpensInTheFilesFolderOrTheWorkingFolder) {
  const std::filesystem::path work = dir.path();
  const struct {
    std::string field;
    std::filesystem::path start;
  } cases[] = {
      {"", work},
      {dir.File("ca.crt"), dir.path()},
      {dir.File("certs/new.pem"), dir.path() / "certs"},  // a file not there yet, in a folder that is
      {dir.File("certs"), dir.path() / "certs"},
      {dir.File("gone/ca.crt"), work},
      {"certs/ca.crt", dir.path() / "certs"},  // relative to the working folder
      {"ca.crt", work},
  };
  for (const auto& c : cases) EXPECT_EQ(FileChooserStart(c.field, work), c.start) << c.field;
}

}  // namespace
}  // namespace quorvel
