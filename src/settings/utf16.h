// UTF-16 file text to UTF-8 and back, for settings files saved in UTF-16 with a byte order mark.
#pragma once

#include <string>
#include <string_view>

namespace settings {

// Converts UTF-16 code units (`bytes`, without the order mark) to UTF-8 into `utf8`. Returns false
// when the bytes are no well-formed UTF-16 (a lone surrogate, an odd last byte); what cannot be
// converted then becomes U+FFFD (an odd last byte is dropped), so the text can still be read.
bool Utf16ToUtf8(std::string_view bytes, bool bigEndian, std::string& utf8);

// Converts UTF-8 to UTF-16 code units in the byte order asked for, without an order mark. A
// malformed UTF-8 sequence becomes U+FFFD.
std::string Utf8ToUtf16(std::string_view utf8, bool bigEndian);

}  // namespace settings
