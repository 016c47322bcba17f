# Deployment values compiled into the client. Each may be overridden in the optional deployment
# file beside the program and by the TUNVIK_* environment variables (see the README).
set(TUNVIK_DEFAULT_API_BASE "https://127.0.0.1:9000/api/" CACHE STRING "API base address")
set(TUNVIK_DEFAULT_API_PIN "" CACHE STRING "API server public-key pin (sha256//...)")
set(TUNVIK_DEFAULT_REGISTER_URL "http://127.0.0.1:9080/" CACHE STRING "Registration web page")
set(TUNVIK_DEFAULT_UPDATE_BASE "http://127.0.0.1:8098" CACHE STRING "Update server")
set(TUNVIK_DEFAULT_UPDATE_KEY "" CACHE STRING "Update signing key (base64 Ed25519 public key)")
set(TUNVIK_DEFAULT_DIALER "" CACHE STRING "Dialer backend: nm, sim or empty for automatic")
