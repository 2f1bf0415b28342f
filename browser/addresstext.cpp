#include "addresstext.h"

#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>
#include <QtCore/QUrl>

namespace AddressText {
namespace {

bool hasBlank(const QString &s)
{
    for (const QChar c : s)
        if (c.isSpace())
            return true;
    return false;
}

// A host a reader may type: a name with a dot (letters of any script,
// digits, "-"), an IP address, or localhost.
bool plausibleHost(const QString &host)
{
    if (host.isEmpty())
        return false;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || host.startsWith(QLatin1Char('[')))
        return true;
    if (!host.contains(QLatin1Char('.')))
        return false;
    for (const QChar c : host)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-'))
            return false;
    return true;
}

// Punctuation that closes the sentence, or quotes, rather than the address.
QString trimTail(QString address)
{
    for (;;) {
        if (address.isEmpty())
            return address;
        const QChar last = address.back();
        if (QStringLiteral(".,;:!?'*").contains(last)) {
            address.chop(1);
            continue;
        }
        // A closing bracket belongs to the address only with its opening one.
        static const QString closing = QStringLiteral(")]"), opening = QStringLiteral("([");
        const qsizetype kind = closing.indexOf(last);
        if (kind >= 0 && address.count(opening[kind]) < address.count(last)) {
            address.chop(1);
            continue;
        }
        return address;
    }
}

// A web address written in a text: the characters an address may hold
// unencoded; anything else ends it.
const QRegularExpression &addressPattern()
{
    static const QRegularExpression pattern(QStringLiteral("(?:https?://|www\\.)[A-Za-z0-9\\-._~:/?#\\[\\]@!$&'()*+,;=%]+"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern;
}

// Whether a web address is written after the start: the text around it is
// a message, not part of an address.
bool addressWithin(const QString &t)
{
    for (auto it = addressPattern().globalMatch(t); it.hasNext();)
        if (it.next().capturedStart() > 0)
            return true;
    return false;
}

} // namespace

bool IsAddress(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    // Whole and without blanks, a text that begins with a scheme is taken as
    // it is, whatever address it carries inside: "rc:Open_http://…" is a
    // command of the start page's, not a shared link.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.\\-]*:"));
    if (!hasBlank(t) && (scheme.match(t).hasMatch() || t.startsWith(QLatin1Char('/'))))
        return true;
    if (addressWithin(t))
        return false;
    static const QRegularExpression webScheme(QStringLiteral("^(?:https?|ftp|file)://"), QRegularExpression::CaseInsensitiveOption);
    if (hasBlank(t))
        return webScheme.match(t).hasMatch();
    const QUrl url = QUrl::fromUserInput(t);
    return url.isValid() && plausibleHost(url.host());
}

QStringList WebAddresses(const QString &text)
{
    QStringList out;
    QList<QUrl> seen;
    for (auto it = addressPattern().globalMatch(text); it.hasNext();) {
        QString address = trimTail(it.next().captured());
        if (address.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
            address.prepend(QStringLiteral("http://"));
        const QUrl url(address, QUrl::StrictMode);
        if (!url.isValid() || !plausibleHost(url.host()))
            continue;
        const QUrl same = url.adjusted(QUrl::StripTrailingSlash | QUrl::NormalizePathSegments);
        if (seen.contains(same))
            continue;
        seen << same;
        out << address;
    }
    return out;
}

QString AddressToOpen(const QString &text)
{
    if (IsAddress(text))
        return text;
    const QStringList found = WebAddresses(text);
    return found.size() == 1 ? found.first() : QString();
}

} // namespace AddressText
