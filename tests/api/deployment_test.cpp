// The deployment values: compiled defaults, the deployment file beside the program and the
// environment, in that order of strength.
#include "settings/deployment.h"

#include <gtest/gtest.h>

#include <fstream>

#include "settings/program_dir.h"
#include "test_support.h"

namespace api_test {
namespace {

class DeploymentTest : public ::testing::Test {
 protected:
  DeploymentTest() { settings::SetProgramDirectoryForTesting(folder_.path()); }
  ~DeploymentTest() override {
    settings::SetProgramDirectoryForTesting("");
    settings::ReloadDeployment();
  }

  void WriteFile(const std::string& contents) {
    std::ofstream(settings::DeploymentFilePath(), std::ios::binary) << contents;
  }

  TempFolder folder_;
};

TEST_F(DeploymentTest, StartsFromTheCompiledDefaults) {
  const settings::Deployment& values = settings::ReloadDeployment();
  EXPECT_EQ(values.apiBase, TUNVIK_TEST_DEFAULT_API_BASE);
  EXPECT_EQ(values.apiPin, TUNVIK_TEST_DEFAULT_API_PIN);
  EXPECT_EQ(values.registerUrl, TUNVIK_TEST_DEFAULT_REGISTER_URL);
  EXPECT_EQ(values.updateBase, TUNVIK_TEST_DEFAULT_UPDATE_BASE);
  EXPECT_EQ(values.updateKey, TUNVIK_TEST_DEFAULT_UPDATE_KEY);
  EXPECT_EQ(values.dialer, TUNVIK_TEST_DEFAULT_DIALER);
  EXPECT_EQ(values.simScenario, "");
  EXPECT_EQ(settings::DeploymentFilePath(), folder_.path() + "/tunvik-deploy.ini");
}

TEST_F(DeploymentTest, TheFileReplacesTheDefaultsAndTheEnvironmentTheFile) {
  WriteFile(
      "; deployment of the test\r\n"
      "[deployment]\r\n"
      "ApiBase=https://file.example:9000/api/\r\n"
      "ApiPin=sha256//file=\r\n"
      "RegisterUrl=\r\n"
      "Dialer=nm\r\n"
      "[Other]\r\n"
      "UpdateBase=http://not.this.section\r\n");
  const settings::Deployment& fromFile = settings::ReloadDeployment();
  EXPECT_EQ(fromFile.apiBase, "https://file.example:9000/api/");
  EXPECT_EQ(fromFile.apiPin, "sha256//file=");
  EXPECT_EQ(fromFile.registerUrl, "");  // present and empty: replaced
  EXPECT_EQ(fromFile.updateBase, TUNVIK_TEST_DEFAULT_UPDATE_BASE);
  EXPECT_EQ(fromFile.dialer, "nm");

  ScopedEnv base("TUNVIK_API_BASE", "https://env.example:9000/api/");
  ScopedEnv pin("TUNVIK_API_PIN", "");
  ScopedEnv update("TUNVIK_UPDATE_BASE", "http://127.0.0.1:18098");
  ScopedEnv key("TUNVIK_UPDATE_KEY", "a2V5");
  ScopedEnv dialer("TUNVIK_DIALER", "sim");
  ScopedEnv sim("TUNVIK_SIM", "drop-after-3");
  ScopedEnv registerUrl("TUNVIK_REGISTER_URL", "http://127.0.0.1:19080/");
  const settings::Deployment& fromEnv = settings::ReloadDeployment();
  EXPECT_EQ(fromEnv.apiBase, "https://env.example:9000/api/");
  EXPECT_EQ(fromEnv.apiPin, "");  // set and empty: pinning off
  EXPECT_EQ(fromEnv.registerUrl, "http://127.0.0.1:19080/");
  EXPECT_EQ(fromEnv.updateBase, "http://127.0.0.1:18098");
  EXPECT_EQ(fromEnv.updateKey, "a2V5");
  EXPECT_EQ(fromEnv.dialer, "sim");
  EXPECT_EQ(fromEnv.simScenario, "drop-after-3");

  // The values read before stay as they were for whoever holds them.
  EXPECT_EQ(fromFile.apiBase, "https://file.example:9000/api/");
  EXPECT_EQ(&settings::CurrentDeployment(), &fromEnv);
}

}  // namespace
}  // namespace api_test
