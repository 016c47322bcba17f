// The address labels of the process list and the scratch file that keeps them for one run.
//
// The scratch file XOL-VPN.ini holds one key per labelled process in section XOL: the process id
// in decimal, valued with its label "*.*.<a>.<b>" (a and b from 0 to 255).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hosttools {

inline constexpr std::string_view kScratchFileName = "XOL-VPN.ini";
inline constexpr std::string_view kScratchSection = "XOL";
// The most bytes a label read from the scratch file returns.
inline constexpr std::size_t kLabelLimit = 49;

// Returns the path of the scratch file: in $XDG_RUNTIME_DIR when it is set to an absolute path,
// otherwise in the folder "tunvik-<uid>" of the temporary directory, which is created (mode 0700)
// when missing. A shared temporary directory is never used directly, so no other user can plant
// the file or a link in its place. Returns an empty text when that private folder cannot be made
// or is not the user's own; reads then give nothing and writes fail.
std::string ScratchFilePath();

// Returns the generator seed of a new label: the calling thread's id plus the monotonic clock in
// microseconds, a 64-bit number folded to the 32 bits of srand by xor-ing its two halves.
unsigned LabelSeed();

// Seeds the C library's generator with `seed`, draws four numbers rand() % 256 and returns
// "*.*." followed by the third and the fourth joined by ".". The generator is the process's
// one; its callers all run on the user-interface thread.
std::string MakeProcessLabel(unsigned seed);

// Makes a new label for the process `pid` (decimal text) from LabelSeed(), stores it under that
// key in the scratch file at `scratchPath` and returns it. A write that fails loses the label
// without a message.
std::string AssignProcessLabel(const std::string& pid, const std::string& scratchPath);

}  // namespace hosttools
