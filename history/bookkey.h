#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

// Which book a page address belongs to, and which page of it it is.
//
// A book is the directory of its pages: http://host/book/12/345.html is the
// page 345.html of host/book/12. Large sites serve every chapter of every
// book through one script, onebook.php?novelid=101&chapterid=4, and there the
// directory is the same for all their books: such an address belongs to the
// script together with the parameter that names the book
// (host/onebook.php?novelid=101), and its page is the script with its whole
// query, so that the two together still give the address.
namespace BookKey {

struct TSplit {
    QString book; // without the scheme
    QString page; // what follows the book's directory
    bool byQuery = false; // the book is named by a parameter of the query
};

// The book and the page of an address.
TSplit Split(const QString &url);
// The book and page by the directory alone: the part up to the last slash
// or backslash, and the part after it.
TSplit SplitByDirectory(const QString &url);

// The address, without scheme, of a book's page as Split gave them.
QString Address(const QString &book, const QString &page);

// Whether url is the book's own address rather than one of its pages: its
// directory itself, or its script naming the book and no chapter.
bool IsBookAddress(const QString &url);

// The names of the query parameters that name a book, most telling first,
// and those that name a chapter or a page of one, compared without case.
const QStringList &BookParameters();
const QStringList &ChapterParameters();

} // namespace BookKey
