// Shift_JIS (code page 932) <-> Unicode at the screen boundary. Lossless: any
// byte sequence decoded and encoded again gives the same bytes, except that
// CP932's duplicate codes come back in their canonical form. Bytes that are
// not valid CP932, and NUL, decode to U+F700 + byte, a private-use block that
// CP932 never produces, and encode back to the byte itself.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quenza {

QString DecodeSjis(std::string_view bytes);
// Characters CP932 cannot hold become "?".
std::string EncodeSjis(const QString& text);
// The same into `out`, reusing its room.
void EncodeSjis(const QString& text, std::string& out);

// The same for multi-line text: CR LF, lone CR and lone LF become '\n' when
// decoding; '\n' (and the editor's paragraph separator) becomes CR LF when
// encoding.
QString DecodeSjisText(std::string_view bytes);
std::string EncodeSjisText(const QString& text);

}  // namespace quenza
