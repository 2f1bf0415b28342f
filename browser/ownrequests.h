#pragma once

#include <QtCore/QUrl>

class QWebEngineProfile;

// The reader's cookies belong to the pages the reader opens. A page the
// program fetches on its own (the next chapter, ahead of the reader) is
// fetched without them, and may set none: a site that charges a signed-in
// reader for a chapter when it is opened must not charge for one fetched
// ahead and never read.
namespace OwnRequests {

// Puts the cookie rule on the profile, and starts following its cookies.
void Install(QWebEngineProfile *profile);

// While an address is registered, a request for it from another page
// carries no cookies and stores none; the page itself, opened, has its own.
void Register(const QUrl &address);
void Unregister(const QUrl &address);

// The rule itself (called on the engine's network thread).
bool MayUseCookies(const QUrl &firstParty, const QUrl &requested);

// Whether the reader has cookies that a request for url would send: then a
// copy fetched without them may not be what the reader would be shown.
bool ReaderHasCookiesFor(const QUrl &url);

} // namespace OwnRequests
