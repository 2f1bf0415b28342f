#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

enum class TChapterDirection { Previous, Next };

// A chapter page's links to its neighbours, as found in the document shown.
struct TChapterLinks {
    QUrl page;     // the document they were found in (empty: no answer)
    QUrl next;     // empty when the page has none
    QUrl previous;
    // The page is read sideways: ← and → scroll it, and never turn. Not so
    // for a page only the zoom makes wider than the view: at its edge the
    // arrows turn.
    bool scrollsSideways = false;
    QString document; // stands for the document object itself, not its address
    // The page set out for another address since the last ← or → reached
    // it: its own script took the key.
    bool leftWithTheKey = false;
    // What tells the book's contents page: where the page's own contents
    // link leads (empty when it has none), and how many pages of its own
    // directory it links to.
    QUrl contents;
    int linksIntoBook = 0;

    const QUrl &toward(TChapterDirection d) const { return d == TChapterDirection::Next ? next : previous; }
};

// How chapter links are recognised. The words and names are data, kept in one
// table; the finding itself runs in the page (its DOM, in the application
// world, so it works with the page's scripts off).
namespace ChapterLinks {

struct TWords {
    // What the link says, with arrows and spaces around it ignored, letter
    // case too: "下一章", "Next Chapter →", "« Prev".
    QStringList next, previous;
    // Links that are never taken, whatever else names them: other works.
    QStringList never;
    // Ids and classes of next/previous buttons, compared without case,
    // "-" and "_": nextChapterButton, next_chapter, btn-next.
    QStringList nextNames, previousNames;
    // A chapter sent in pages turns page by page before it turns to the
    // next chapter: these words, when they lead into the page's own folder,
    // win over those above.
    QStringList nextPage, previousPage;
    // The link to the book's table of contents, never taken either.
    QStringList contents;
};
const TWords &Words();

// The application-world script; it answers [next, previous, sideways, page,
// document, left with the key, contents, links into the book].
// Tried in order: <link rel=next|prev> and <a rel=next|prev>; anchors whose
// text is a page word, then a chapter word; ids and classes naming
// next/previous buttons.
const QString &FindScript();

// Put into every document of the view as it is created: notes the arrows
// reaching the page, and the page setting out for another address.
const QString &WatchScript();

// The script's answer, checked: only web addresses, never the page itself
// (fragments aside), never a command of ours.
TChapterLinks FromAnswer(const QVariant &answer);

// Opens url from the document the links were found in, as its own link would
// (the page is the referrer, the navigation a link's); answers false when
// another document is shown by then, even one at the same address.
QString OpenScript(const QUrl &url, const QString &document);

// Whether the page the links were found in is its book's contents page: the
// page the book's chapters name as their contents (chaptersContents, empty
// when not known), or, when it has no chapter to turn to, the book's own
// address or a page that lists many pages of its directory. A page that did
// not answer is none.
bool IsContentsPage(const TChapterLinks &found, const QUrl &chaptersContents);
// How many links into its directory make a page with no chapter links a list
// of the book's chapters.
constexpr int kContentsLinks = 20;

// Whether a link stays on the page's site: the same scheme and host (the
// engine keeps what a page fetches apart by both).
bool SameSite(const QUrl &page, const QUrl &link);
// Whether two addresses belong to one book, as the history counts books.
bool SameBook(const QUrl &a, const QUrl &b);

} // namespace ChapterLinks
