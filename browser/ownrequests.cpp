#include "ownrequests.h"

#include <QtCore/QDateTime>
#include <QtCore/QHash>
#include <QtCore/QMutex>
#include <QtNetwork/QNetworkCookie>
#include <QtWebEngineCore/QWebEngineCookieStore>
#include <QtWebEngineCore/QWebEngineProfile>

namespace OwnRequests {
namespace {

// Read on the network thread, written on this one.
QMutex gLock;
QHash<QUrl, int> gRegistered;

// The reader's cookies as the store reports them: the store has no way to
// ask it which cookies an address would get.
QList<QNetworkCookie> gCookies;

QUrl key(const QUrl &url)
{
    return url.adjusted(QUrl::RemoveFragment);
}

bool sameCookie(const QNetworkCookie &a, const QNetworkCookie &b)
{
    return a.name() == b.name() && a.domain() == b.domain() && a.path() == b.path();
}

bool domainMatches(const QString &host, const QString &cookieDomain)
{
    QString d = cookieDomain.toLower();
    if (d.startsWith(QLatin1Char('.')))
        d.remove(0, 1);
    const QString h = host.toLower();
    return !d.isEmpty() && (h == d || h.endsWith(QLatin1Char('.') + d));
}

bool pathMatches(const QString &path, const QString &cookiePath)
{
    if (cookiePath.isEmpty() || cookiePath == QLatin1String("/"))
        return true;
    const QString p = path.isEmpty() ? QStringLiteral("/") : path;
    if (!p.startsWith(cookiePath))
        return false;
    return p.size() == cookiePath.size() || cookiePath.endsWith(QLatin1Char('/')) || p.at(cookiePath.size()) == QLatin1Char('/');
}

} // namespace

void Install(QWebEngineProfile *profile)
{
    QWebEngineCookieStore *store = profile->cookieStore();
    store->setCookieFilter([](const QWebEngineCookieStore::FilterRequest &request) {
        return MayUseCookies(request.firstPartyUrl, request.origin);
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieAdded, store, [](const QNetworkCookie &c) {
        gCookies.removeIf([&](const QNetworkCookie &o) { return sameCookie(o, c); });
        gCookies.append(c);
    });
    QObject::connect(store, &QWebEngineCookieStore::cookieRemoved, store, [](const QNetworkCookie &c) {
        gCookies.removeIf([&](const QNetworkCookie &o) { return sameCookie(o, c); });
    });
    store->loadAllCookies();
}

void Register(const QUrl &address)
{
    QMutexLocker locked(&gLock);
    ++gRegistered[key(address)];
}

void Unregister(const QUrl &address)
{
    QMutexLocker locked(&gLock);
    const auto it = gRegistered.find(key(address));
    if (it != gRegistered.end() && --*it <= 0)
        gRegistered.erase(it);
}

bool MayUseCookies(const QUrl &firstParty, const QUrl &requested)
{
    const QUrl target = key(requested);
    {
        QMutexLocker locked(&gLock);
        if (!gRegistered.contains(target))
            return true;
    }
    // The engine names the page a request is made for: the address itself
    // when it is opened, the page that fetches it ahead otherwise.
    return key(firstParty) == target;
}

bool ReaderHasCookiesFor(const QUrl &url)
{
    const QString host = url.host();
    const QString path = url.path(QUrl::FullyEncoded);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QNetworkCookie &c : std::as_const(gCookies)) {
        if (!c.isSessionCookie() && c.expirationDate().isValid() && c.expirationDate() < now)
            continue;
        if (domainMatches(host, c.domain().isEmpty() ? host : c.domain()) && pathMatches(path, c.path()))
            return true;
    }
    return false;
}

} // namespace OwnRequests
