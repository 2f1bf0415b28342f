#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

// Scripts the views run in the application world: it is the page's DOM, but
// none of the page's own scripts see it, and it runs with the page's scripts
// switched off.
namespace Scripts {

// A string as a JavaScript literal.
QString jsString(const QString &s);

// A content policy that keeps <object>/<embed> content out.
extern const QString kNoObjectsPolicy;
// [address, title] of the document shown: document.title trims and folds
// white space, which is what a reader sees, but leaves nothing of a title
// made of spaces only, which is still a title.
extern const QString kDocumentState;
// [address, title, what webPageScript answers]: on our own documents the
// third is null, and so it is when the script fails.
QString documentState(const QString &webPageScript);
// The same, the rows of our own document's long lists set up first should
// that not have happened at DOMContentLoaded.
QString completionState(const QString &webPageScript);
// A long list's rows past the first `first` of their parent kept out of
// layout, their place held at rowHeight each (or the height rows turn out to
// have), until the reader comes near them.
// For own documents, at their creation.
QString rowsAsNeeded(const QString &rowSelector, int first, int rowHeight);
extern const QString kRowsSetup;
// Every row put in (before finding text, say).
extern const QString kShowAllRows;

// Replaces our own document shown by another one at url, in the history as
// well; answers false when the document shown is not ours.
QString replaceOwnDocument(const QUrl &url);
// Opens url from the document shown, as its own link would: with the
// document as referrer, and a form that posts to url submitted again with
// its data. Answers false when the document cannot do it (our own pages).
QString openFromDocument(const QUrl &url);
// Replaces the engine's error page by ours (head and body); answers its title.
QString showInside(const QString &headAndBody);
// The document's own zoom (1 for none), now and as soon as a new document
// has its root element.
QString documentZoom(double factor);
QString documentZoomWhenReady(double factor);
// Keeps a page that is wider than the view only because of the zoom (its
// banners and pictures, fixed-width columns) within the view's width: wide
// things are scaled down or clipped, text wraps. The zoom in force (1 for
// none) is kept in the document for the chapter keys; the fitting follows
// the document as it is built and resized.
QString fitToView(double zoom);
// Puts a style sheet into the document as soon as it has its root element.
QString addStyleSheet(const QString &css, const QString &id = QString());
// Scrolls to a remembered place.
QString scrollTo(double x, double y);

} // namespace Scripts
