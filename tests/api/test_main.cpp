// Test main of the API tests: the machine's proxy and deployment variables must not reach the
// loopback servers of the tests.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  for (const char* name :
       {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
        "no_proxy", "NO_PROXY", "TUNVIK_API_BASE", "TUNVIK_API_PIN", "TUNVIK_REGISTER_URL",
        "TUNVIK_UPDATE_BASE", "TUNVIK_UPDATE_KEY", "TUNVIK_DIALER", "TUNVIK_SIM"}) {
    ::unsetenv(name);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
