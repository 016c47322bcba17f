// tunvik-service: the stand-in for the VPN service, so that the client runs end to end on this
// machine. See --help and the README.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "service/api_server.h"
#include "service/connection_guard.h"
#include "service/data_folder.h"
#include "service/ledger.h"
#include "service/options.h"
#include "service/request_log.h"
#include "service/tls_identity.h"
#include "service/update_server.h"
#include "service/update_signing.h"
#include "service/web_server.h"

namespace {

using service::PrintLine;

int Fail(const std::string& message) {
  std::fprintf(stderr, "tunvik-service: %s\n", message.c_str());
  return 1;
}

// One of the three servers and the thread that runs its accept loop.
struct Listener {
  const char* what;
  const char* logName;  // the server's name in the request log
  httplib::Server* server;
  int port;
  std::thread thread;
};

bool Bind(Listener& listener, const std::string& host) {
  if (listener.port == 0) {
    listener.port = listener.server->bind_to_any_port(host);
    return listener.port > 0;
  }
  return listener.server->bind_to_port(host, listener.port);
}

// The address to print for a server listening on `host`.
std::string ReachableHost(const std::string& host) {
  if (host == "0.0.0.0" || host == "::" || host.empty()) return "127.0.0.1";
  if (host.find(':') != std::string::npos) return "[" + host + "]";
  return host;
}

// Signs the program file of the newest version when the data folder has one.
std::string SignNewestProgram(const service::SigningKey& key, const std::string& updatesPath,
                              const std::string& version) {
  const std::string path = updatesPath + "/" + service::ProgramFileName(version);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    return "no program file " + path + " to offer";
  }
  std::string error;
  if (!service::WriteSignatureFile(key, path, error)) return "not signed: " + error;
  return "signed " + path + " into " + path + ".sig";
}

// Every open connection holds a descriptor: take the hard limit (often 1024 soft, far more hard),
// so that a few hundred idle clients do not stop new ones from being accepted.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);  // best effort: the soft limit then stays as it was
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);  // a client that goes away mid-answer must not end the service
  RaiseDescriptorLimit();

  service::ServiceOptions options;
  std::string error;
  if (!service::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "tunvik-service: %s\nTry tunvik-service --help.\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(service::UsageText().c_str(), stdout);
    return 0;
  }
  if (options.dataDir.empty()) options.dataDir = service::DefaultDataDir();

  service::DataFolder folder(options.dataDir);
  service::ServiceData data;
  std::vector<std::string> created;
  if (!folder.Load(data, created, error)) return Fail(error);
  service::TlsIdentity identity;
  if (!service::LoadOrCreateTlsIdentity(folder.path(), options.host, identity, error)) {
    return Fail(error);
  }
  service::SigningKey signingKey;
  if (!service::LoadOrCreateSigningKey(folder.path(), signingKey, error)) return Fail(error);
  const std::string signing =
      SignNewestProgram(signingKey, folder.UpdatesPath(), data.notice.version);

  service::Ledger ledger(std::move(data), folder);
  httplib::SSLServer api(identity.certificatePath.c_str(), identity.keyPath.c_str());
  if (!api.is_valid()) return Fail("cannot load the API certificate " + identity.certificatePath);
  httplib::Server web;
  httplib::Server update;
  service::InstallApiRoutes(api, ledger);
  service::InstallWebRoutes(web, ledger);
  service::InstallUpdateRoutes(update, ledger, folder.UpdatesPath());

  Listener listeners[] = {{"API", "api", &api, options.apiPort, {}},
                          {"registration page", "web", &web, options.webPort, {}},
                          {"update server", "update", &update, options.updatePort, {}}};
  service::ConnectionLimits limits;
  limits.requestTime = std::chrono::seconds(options.requestSeconds);
  for (Listener& listener : listeners) {
    if (!Bind(listener, options.host)) {
      return Fail(std::string("cannot listen for the ") + listener.what + " on " + options.host +
                  ":" + std::to_string(listener.port));
    }
    service::GuardConnections(*listener.server, listener.port, listener.logName, limits);
  }

  // The signals are taken by sigwait below; the server threads inherit the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  for (Listener& listener : listeners) {
    listener.thread = std::thread([server = listener.server] { server->listen_after_bind(); });
  }
  // stop() only reaches a server whose accept loop runs, so the loops must be up before a signal
  // is taken.
  for (Listener& listener : listeners) {
    for (int i = 0; i < 5000 && !listener.server->is_running(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  const std::string host = ReachableHost(options.host);
  const std::string apiBase = "https://" + host + ":" + std::to_string(listeners[0].port) + "/api/";
  const std::string registerUrl = "http://" + host + ":" + std::to_string(listeners[1].port) + "/";
  const std::string updateBase = "http://" + host + ":" + std::to_string(listeners[2].port);
  PrintLine("tunvik-service: data folder " + folder.path());
  for (const std::string& name : created) PrintLine("  created " + name + " with demo content");
  if (identity.created) PrintLine("  created a new API certificate " + identity.certificatePath);
  if (signingKey.created) PrintLine("  created a new update signing key");
  PrintLine("  " + signing);
  PrintLine("API server          " + apiBase);
  PrintLine("registration page   " + registerUrl);
  PrintLine("update server       " + updateBase);
  PrintLine("API key pin         " + identity.pin);
  PrintLine("update signing key  " + signingKey.publicKey + " (Ed25519, base64)");
  PrintLine("Point the client at this service:");
  PrintLine("  export TUNVIK_API_BASE=" + apiBase);
  PrintLine("  export TUNVIK_API_PIN=" + identity.pin);
  PrintLine("  export TUNVIK_REGISTER_URL=" + registerUrl);
  PrintLine("  export TUNVIK_UPDATE_BASE=" + updateBase);
  PrintLine("  export TUNVIK_UPDATE_KEY=" + signingKey.publicKey);
  PrintLine("ready");

  int signal = 0;
  sigwait(&stopSignals, &signal);
  PrintLine("tunvik-service: stopping");
  for (Listener& listener : listeners) listener.server->stop();
  for (Listener& listener : listeners) {
    if (listener.thread.joinable()) listener.thread.join();
  }
  return 0;
}
