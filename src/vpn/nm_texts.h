// The texts (GBK) with which the NetworkManager backend explains the error codes it reports,
// where the common remote-access texts would not say what to do.
#pragma once

#include <string>

namespace vpn {

// NetworkManager does not answer on the system bus: names the package to install.
std::string NmNotRunningText();

// The VPN plugin of `protocol` ("L2TP" or "PPTP") is not installed: names its package.
std::string NmPluginMissingText(const std::string& protocol, const std::string& package);

// NetworkManager has no network connection that could carry the VPN.
std::string NmNoNetworkText();

// NetworkManager's VPN plugin did not start in time.
std::string NmPluginNoStartText();

// NetworkManager did not answer a request in time.
std::string NmNoAnswerText();

// NetworkManager did not let this user change or activate the VPN profile.
std::string NmPermissionDeniedText();

// The backend's own text for a code that the common texts lack (5, 87, 631), else empty.
std::string NmCodeText(unsigned code);

}  // namespace vpn
