#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

// The 8-bit texts of the history file. GB18030 reads every GBK file the old
// Windows program wrote on Chinese systems, and can store any character.
namespace HistoryText {

// At most maxUnits UTF-16 code units of text, encoded and cut to at most
// maxBytes bytes at a character boundary (never inside a multi-byte character).
QByteArray encode(const QString &text, int maxUnits = 255, int maxBytes = 255);
// Bytes that are not valid GB18030 become U+FFFD; nothing is lost silently
// beyond them.
QString decode(const char *bytes, int length);
// The same text as decode, written to out (room for length units); answers
// the number of units written.
int decodeTo(char16_t *out, const char *bytes, int length);

} // namespace HistoryText
