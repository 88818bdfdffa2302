#include "serve/serve_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class ServeConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/korvel-serve-config-XXXXXX";
    dir_ = mkdtemp(name);
    token_ = dir_ + "/token";
    Write(token_, "0123456789abcdef0123\n");
    chmod(token_.c_str(), 0600);
  }
  void TearDown() override { fs::remove_all(dir_); }

  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
  }

  // The file with the [http] table led by the token, then body.
  std::string Config(const std::string& body, const std::string& http_extra = "") {
    const std::string path = dir_ + "/serve.toml";
    Write(path, "[http]\ntoken_file = \"" + token_ + "\"\n" + http_extra + body);
    return path;
  }

  std::string dir_, token_;
};

TEST_F(ServeConfigTest, ReadsAWholeFile) {
  const std::string path =
      Config("[state]\ndir = \"/srv/korvel\"\n"
             "[[unit]]\nname = \"window\"\nport = \"/dev/ttyUSB0\"\ntitle = \"Shop window\"\n"
             "[[unit]]\nname = \"till-2\"\nport = \"rfc2217://unit.local:3001\"\n",
             "listen = \"[::]:8443\"\ncors_origins = [\"https://till.example\"]\n");
  ServeConfig config;
  std::string error;
  ASSERT_TRUE(ReadServeConfig(path, &config, &error)) << error;
  EXPECT_EQ(config.http.host, "::");
  EXPECT_EQ(config.http.port, 8443);
  EXPECT_EQ(config.http.token, "0123456789abcdef0123");
  EXPECT_EQ(config.http.cors_origins, std::vector<std::string>{"https://till.example"});
  EXPECT_EQ(config.state_dir, "/srv/korvel");
  ASSERT_EQ(config.units.size(), 2u);
  EXPECT_EQ(config.units[0].title, "Shop window");
  EXPECT_EQ(config.units[0].port.device, "/dev/ttyUSB0");
  EXPECT_EQ(config.units[1].title, "till-2");  // the name stands in for a missing title
}

TEST_F(ServeConfigTest, DefaultsToLoopbackAndTheSystemsStateFolder) {
  ServeConfig config;
  std::string error;
  ASSERT_TRUE(ReadServeConfig(Config("[[unit]]\nname = \"a\"\nport = \"/dev/ttyS0\"\n"), &config,
                              &error))
      << error;
  EXPECT_EQ(config.http.host, "127.0.0.1");
  EXPECT_EQ(config.http.port, 8080);
  EXPECT_EQ(config.state_dir, "/var/lib/korvel");
}

// Each mistake is named by the file, its line and its key.
TEST_F(ServeConfigTest, MistakesNameTheLineAndTheKey) {
  const std::string unit = "[[unit]]\nname = \"a\"\nport = \"/dev/ttyS0\"\n";
  const struct {
    std::string body, http_extra, said;
  } cases[] = {
      {"[[unit]\n", "", ":3: "},
      {unit + "colour = \"red\"\n", "", ":6: unit.colour: unknown key"},
      {unit, "lisen = \"127.0.0.1:80\"\n", ":3: http.lisen: unknown key"},
      {unit, "listen = \"localhost\"\n", ":3: http.listen: 'localhost' is no HOST:PORT"},
      {unit, "listen = \"127.0.0.1:99999\"\n", ":3: http.listen:"},
      {"[[unit]]\nport = \"/dev/ttyS0\"\n", "", "unit.name: is needed"},
      {"[[unit]]\nname = \"Shop Window\"\nport = \"/dev/ttyS0\"\n", "",
       ":4: unit.name: 'Shop Window': a name is 1 to 32 of a-z, 0-9, _ and -"},
      {unit + "[[unit]]\nname = \"a\"\nport = \"/dev/ttyS1\"\n", "",
       ":7: unit.name: 'a' is given twice"},
      {unit + "[[unit]]\nname = \"b\"\nport = \"/dev/ttyS0\"\n", "",
       ":8: unit.port: '/dev/ttyS0' is unit 'a''s port too"},
      {"[[unit]]\nname = \"a\"\nport = \"rfc2217://host\"\n", "", ":5: unit.port: 'rfc2217://host' has no port number"},
      {"[[unit]]\nname = \"a\"\nport = 7\n", "", ":5: unit.port: must be a string"},
      {"", "", "unit: no [[unit]] is given"},
      {unit, "tls_cert = \"/etc/ssl/x.pem\"\n", "http.tls_key: HTTPS needs both"},
  };
  for (const auto& c : cases) {
    ServeConfig config;
    std::string error;
    const std::string path = Config(c.body, c.http_extra);
    EXPECT_FALSE(ReadServeConfig(path, &config, &error)) << c.body;
    EXPECT_EQ(error.rfind(path + ":", 0), 0u) << error;
    EXPECT_NE(error.find(c.said), std::string::npos) << "wanted '" << c.said << "' in: " << error;
  }
}

TEST_F(ServeConfigTest, TheTokenFileMustBeKeptFromOthers) {
  const std::string unit = "[[unit]]\nname = \"a\"\nport = \"/dev/ttyS0\"\n";
  ServeConfig config;
  std::string error;
  chmod(token_.c_str(), 0644);
  EXPECT_FALSE(ReadServeConfig(Config(unit), &config, &error));
  EXPECT_NE(error.find(":2: http.token_file: " + token_ + " can be read by others"),
            std::string::npos)
      << error;
  chmod(token_.c_str(), 0600);
  Write(token_, "short\n");
  EXPECT_FALSE(ReadServeConfig(Config(unit), &config, &error));
  EXPECT_NE(error.find("a token of 5 characters; use at least 16"), std::string::npos) << error;
  fs::remove(token_);
  EXPECT_FALSE(ReadServeConfig(Config(unit), &config, &error));
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  const std::string no_token = dir_ + "/bare.toml";
  Write(no_token, "[http]\nlisten = \"127.0.0.1:8080\"\n" + unit);
  EXPECT_FALSE(ReadServeConfig(no_token, &config, &error));
  EXPECT_NE(error.find("http.token_file: is needed"), std::string::npos) << error;
}

TEST(UnitNameTest, TakesWhatATopicAndAPathCanCarry) {
  for (const char* good : {"a", "window", "till_2", "hall-b", "0123456789abcdef0123456789abcdef"}) {
    EXPECT_TRUE(IsUnitName(good)) << good;
  }
  for (const char* bad : {"", "Window", "a b", "a/b", "a.b", "+", "#",
                          "0123456789abcdef0123456789abcdefg"}) {
    EXPECT_FALSE(IsUnitName(bad)) << bad;
  }
}

}  // namespace
