// The dialer: turns an accepted login into a VPN connection and keeps it until it is told to
// stop or the connection goes away. One dial thread per connection writes the entry, dials it,
// watches it, hangs it up and deletes the entry; the backend's status callback reports each
// stage. The dialer talks to the window only through its status line and Connect button.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "vpn/dial_request.h"
#include "vpn/ras.h"

namespace vpn {

// What the dialer changes in the main window. Called from the dial thread and from the
// backend's callback thread.
class DialerView {
 public:
  virtual ~DialerView() = default;
  // Sets the text of the status line (GBK).
  virtual void SetStatus(std::string_view gbk) = 0;
  // Sets the Connect button's caption (GBK) and enables the button.
  virtual void SetConnectCaptionEnabled(std::string_view gbk) = 0;
  // Runs `fn` on the thread that owns the view and waits for it (at once by default). The
  // dialer starts a new dial and checks which dial is the newest inside it, so that a late write
  // of an older dial and the start of a newer one never cross.
  virtual void RunInView(const std::function<void()>& fn) { fn(); }
};

// Makes `view` the window the dialer writes to (null: none). Process-wide, as the status
// callback receives no context of its own.
void SetDialerView(DialerView* view);

// Formats like printf into at most 1023 bytes (a longer text is cut) and shows it in the status
// line. Callable from any thread.
void SetStatus(const char* gbkFormat, ...) __attribute__((format(printf, 1, 2)));

// The dial thread's procedure: returns 1 when a dial was started and later ended, 0 when none
// started. Runs on a thread of its own; `request` is its own copy. The status line, the Connect
// button and the entry belong to the newest dial thread: one that a newer dial has superseded
// hangs up its own connection and leaves everything else as the newer one has it.
int DialThread(DialRequest request);

// Starts DialThread with `request` on a new thread that nobody waits for. Returns false, and
// starts nothing, once the dialer is closed.
bool StartDialThread(const DialRequest& request);

// How many dial threads are running now.
int RunningDialThreads();

// Closes the dialer as the program leaves: no dial thread starts any more, and every running one
// is told to stop at once (its dial's wait and its stop event are signalled), hangs up, waits at
// most two seconds for the connection to go, and deletes the entry.
void CloseDialer();
// Waits up to `limit` for every dial thread to end; true when none runs any more.
bool WaitForDialThreads(std::chrono::milliseconds limit);
// Opens a closed dialer again, for the next test.
void ReopenDialerForTesting();

// Writes the entry and its stored dial parameters. Returns true when both were stored.
bool CreateDialEntry(const std::string& entryName, const std::string& phoneNumber,
                     const std::string& userName, const std::string& password,
                     const std::string& protocol);

// Fills the entry record the dialer writes: VPN, IP, CHAP or MS-CHAP v2 required, optional
// encryption, the default route through the tunnel, PPTP for protocol "1" and L2TP otherwise.
RasEntry MakeDialEntry(const std::string& entryName, const std::string& phoneNumber,
                       const std::string& protocol);

// The status text of a connection state (GBK), as OnDialStatus shows it.
std::string DialStateText(int state);

// The waits of the dial thread; tests may shorten them.
struct DialTimings {
  std::chrono::milliseconds finalState{10000};  // for the dial to reach a final state
  std::chrono::milliseconds stopPoll{5000};     // between two status queries while watching
  std::chrono::milliseconds hangUpPoll{50};     // between two status queries after hanging up
  std::chrono::milliseconds hangUpLimit{10000};
};
void SetDialTimingsForTesting(const DialTimings& timings);

}  // namespace vpn
