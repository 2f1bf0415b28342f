#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QUrl>

class QWebEngineProfile;

// Lekto's own documents (the start page, the help page, its error pages) are
// served from a private scheme, and command links have one of their own.
namespace OwnPages {

inline constexpr char kDocScheme[] = "lekto";
inline constexpr char kCommandScheme[] = "rc";

// Custom schemes must be known before the application object exists.
void RegisterSchemes();
// The one profile of every view, with the schemes' handlers installed.
QWebEngineProfile *Profile(bool offTheRecord);

// The view's latest own document; going back to an older one shows this one.
QUrl PutDocument(int viewId, quint64 serial, const QByteArray &html);
// An error page, kept under its own address so that going back shows it again.
QUrl PutErrorPage(int viewId, quint64 serial, const QByteArray &html);
void DropView(int viewId);
// The bytes an own-document address serves now; empty when it serves nothing.
QByteArray Served(const QUrl &url);

bool IsDocScheme(const QUrl &url);
// A start or help page (not an error page).
bool IsOwnDocument(const QUrl &url);
bool IsErrorPage(const QUrl &url);

} // namespace OwnPages
