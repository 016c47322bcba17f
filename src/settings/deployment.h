// The deployment values: where the service's API, registration page and update server live, the
// API server's key pin, the update signing key and the dialer backend.
//
// Each value starts as the default compiled into the program, is replaced by the optional
// deployment file (section "Deployment" of tunvik-deploy.ini: beside a portable program,
// in /etc/tunvik/ for an installed one; see program_dir.h) and then by the
// TUNVIK_* environment variables. A key present in the file, or a variable that is set, replaces
// the value even when it is empty (an empty TUNVIK_API_PIN switches pinning off).
#pragma once

#include <string>

namespace settings {

struct Deployment {
  std::string apiBase;      // base address to which an endpoint's name is appended
  std::string apiPin;       // API server public-key pin, "sha256//" + base64; empty: system CAs
  std::string registerUrl;  // the registration web page
  std::string updateBase;   // scheme, host and port of the update server
  std::string updateKey;    // base64 of the 32 bytes of the update signing public key
  std::string dialer;       // "nm", "sim" or empty (the program decides)
  std::string simScenario;  // scenario of the simulated dialer
};

// Returns the values, read on the first call. The reference stays valid for the whole run, also
// across ReloadDeployment. Never fails: unreadable sources are skipped.
const Deployment& CurrentDeployment();

// Reads the values again from the compiled defaults, the deployment file and the environment, and
// makes them the current ones. For tests; callers holding an older reference keep seeing the old
// values.
const Deployment& ReloadDeployment();

// Returns the path of the optional deployment file: DeploymentDirectory() + "/tunvik-deploy.ini".
std::string DeploymentFilePath();

}  // namespace settings
