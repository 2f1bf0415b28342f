#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
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

// Which encoding 8-bit text from outside is in, where nothing says so.
namespace TextGuess {

// Valid UTF-8 with at least one character of three or four bytes (every
// Chinese character is one). GBK text is valid UTF-8 surprisingly often ("小说"
// is D0 A1 CB B5, "С˵" in UTF-8), but almost always as two-byte sequences
// only, which in UTF-8 would be Latin, Greek or Cyrillic letters: such bytes
// are GBK.
bool IsUtf8Text(QByteArrayView bytes);

// How many bytes at the end begin a UTF-8 character that stops before it is
// whole (0 to 3): what a file cut short in the middle of a character ends in.
qsizetype CutUtf8Tail(QByteArrayView bytes);

} // namespace TextGuess
