#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

// The page a reader sees when an address cannot be opened. The engine's own
// error pages need scripts, which pure mode switches off, and speak English.
namespace ErrorPage {

inline const QString kTitle = QStringLiteral("无法打开此网页");

// Kinds of failure, as the engine reports them.
enum class Domain { Other, Connection, Certificate, Http, Dns, NotAnAddress };

// The reason in plain words for an engine error code (negative network codes).
QString Reason(Domain domain, int code);

// The document's head and body; the address is shown as text, never as markup.
// retryHelps false for text that is no address: trying it again cannot help,
// and the page says what would. With a search address, the page offers to
// search the words.
QString Inner(const QString &address, const QString &reason, bool retryHelps = true, const QUrl &search = {});
// The whole HTML document.
QString Html(const QString &address, const QString &reason, bool retryHelps = true, const QUrl &search = {});

} // namespace ErrorPage
