#pragma once

#include <QtCore/QString>

// What the reader's text in the address box stands for. Plain rules on the
// text alone, so the view and the tests read it alike.
namespace AddressText {

// Whether the text as a whole is meant as an address: one without blanks
// that has a scheme ("rc:GoStart", "http://…"), is a path, or names a host
// ("www.qidian.com/1.html", "127.0.0.1:8080", "localhost"); or a web address
// with blanks in it ("http://x.com/书/a b.html"). Plain words are none.
bool IsAddress(const QString &text);

// The web addresses written in a text, in order, each once: "http://" or
// "https://" ones, and "www." ones given "http://". An address ends at a
// blank, at any character outside plain ASCII (the Chinese text and
// full-width punctuation around it), and loses the punctuation that closes
// the sentence or the brackets it stands in.
QStringList WebAddresses(const QString &text);

// What the text opens: the text itself when it is an address; else, for
// text shared from a chat or a forum ("《剑出青云》第8章 http://… 快来看"),
// the one web address it holds; else nothing (empty), as for plain words
// or a text with two addresses, which cannot say which one is meant.
QString AddressToOpen(const QString &text);

} // namespace AddressText
