#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QByteArrayView>
#include <QtCore/QString>
#include <QtCore/QStringList>

// A book's contents page, read without a browser: its chapters in order, and
// where the reader stands among them. Used to tell how many chapters are new.
namespace ContentsList {

struct TChapters {
    // Each chapter's address without scheme or fragment, in the order of
    // the full list, each once.
    QStringList links;
    QString newestTitle; // the last chapter's link text
};

// The page's text: the charset the answer's Content-Type names, else the
// one its <meta> declares, else UTF-8 where the bytes are, else GB18030
// (which reads GBK). GBK, GB18030, GB2312, Big5 and UTF-8 are known.
QString Decode(QByteArrayView body, const QByteArray &contentType);

// The chapters a contents page at pageUrl lists of the book whose history
// key is book (as BookKey::Split gives it): links into the book, by their
// text not a site command ("加入书签", "投推荐票", the contents link itself).
// Where a link is listed twice (a block of the newest chapters above the
// full list), its place is its last.
TChapters Parse(const QString &html, const QString &pageUrl, const QString &book);

// The chapter a page stands for, as the list names chapters: a later page
// of a chapter in pages (12_2.html, 12-2.html, 12.html?page=2) stands for
// the chapter (12.html). Without scheme or fragment.
QString ChapterOf(const QString &pageAddress);

// How many chapters follow the reader's place, -1 when the place is not in
// the list (no guess is made then).
int NewAfter(const TChapters &list, const QString &placeAddress);

// An address without its scheme and fragment, as the lists keep them.
QString Bare(const QString &address);

} // namespace ContentsList
