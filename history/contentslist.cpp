#include "contentslist.h"

#include "bookkey.h"
#include "textcodec.h"

#include <QtCore/QHash>
#include <QtCore/QRegularExpression>
#include <QtCore/QUrl>

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace ContentsList {

namespace {

// The charset named after "charset=" in text (a header, or the page's head).
QByteArray charsetIn(QByteArrayView text)
{
    const QByteArray lower = text.toByteArray().toLower();
    const qsizetype at = lower.indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype i = at + 8;
    while (i < lower.size() && (lower[i] == '"' || lower[i] == '\'' || lower[i] == ' '))
        ++i;
    qsizetype end = i;
    while (end < lower.size() && (QChar::isLetterOrNumber(uchar(lower[end])) || lower[end] == '-' || lower[end] == '_'))
        ++end;
    return lower.mid(i, end - i);
}

// The iconv name for a charset we read; empty for UTF-8 and for what we do not know.
QByteArray iconvName(const QByteArray &charset)
{
    // GB18030 is a superset of GBK and GB2312: what a site declares as either
    // is read right, and so is the odd character it sends beyond them.
    if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "x-gbk" || charset == "cp936")
        return "GB18030";
    if (charset == "big5" || charset == "big5-hkscs" || charset == "x-x-big5")
        return "BIG5-HKSCS";
    return {};
}

QString withIconv(QByteArrayView body, const char *from)
{
    const iconv_t cd = iconv_open("UTF-16LE", from);
    if (cd == iconv_t(-1))
        return QString::fromUtf8(body);
    QString out(body.size() + 1, Qt::Uninitialized);
    char *in = const_cast<char *>(body.data());
    size_t inLeft = size_t(body.size());
    char *outPtr = reinterpret_cast<char *>(out.data());
    size_t outLeft = size_t(out.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != size_t(-1))
            break;
        // No byte gives more than one unit, so the room cannot run out.
        if (errno == E2BIG)
            break;
        // A byte that begins no character of the charset: one replacement, and on.
        if (outLeft < 2)
            break;
        *reinterpret_cast<char16_t *>(outPtr) = u'\uFFFD';
        outPtr += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    iconv_close(cd);
    out.truncate((outPtr - reinterpret_cast<char *>(out.data())) / 2);
    return out;
}

// Entities a link's text carries on these pages.
QString plainText(QStringView html)
{
    QString text;
    text.reserve(html.size());
    bool inTag = false;
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (inTag) {
            inTag = c != u'>';
            continue;
        }
        if (c == u'<') {
            inTag = true;
            continue;
        }
        if (c == u'&') {
            // Looked for nearby only: a page of bare ampersands must not make
            // every one of them search the rest of the text.
            const qsizetype semi = html.left(std::min(html.size(), i + 10)).indexOf(u';', i);
            if (semi > i && semi - i <= 8) {
                const QStringView name = html.mid(i + 1, semi - i - 1);
                QChar put;
                if (name == u"amp")
                    put = u'&';
                else if (name == u"lt")
                    put = u'<';
                else if (name == u"gt")
                    put = u'>';
                else if (name == u"quot")
                    put = u'"';
                else if (name == u"nbsp")
                    put = u' ';
                else if (name.startsWith(u'#')) {
                    bool ok = false;
                    const uint code = name.startsWith(u"#x") || name.startsWith(u"#X") ? name.mid(2).toUInt(&ok, 16)
                                                                                      : name.mid(1).toUInt(&ok);
                    if (ok && code > 0 && code < 0x10000)
                        put = QChar(char16_t(code));
                }
                if (!put.isNull()) {
                    text += put;
                    i = semi;
                    continue;
                }
            }
        }
        text += c;
    }
    return text.simplified();
}

// The value of the href attribute in an <a> tag's attributes.
QStringView hrefIn(QStringView tag)
{
    for (qsizetype at = tag.indexOf(u"href", 0, Qt::CaseInsensitive); at >= 0;
         at = tag.indexOf(u"href", at + 4, Qt::CaseInsensitive)) {
        if (at > 0 && !tag[at - 1].isSpace())
            continue;
        qsizetype i = at + 4;
        while (i < tag.size() && tag[i].isSpace())
            ++i;
        if (i >= tag.size() || tag[i] != u'=')
            continue;
        ++i;
        while (i < tag.size() && tag[i].isSpace())
            ++i;
        if (i >= tag.size())
            return {};
        if (tag[i] == u'"' || tag[i] == u'\'') {
            const qsizetype end = tag.indexOf(tag[i], i + 1);
            return end < 0 ? QStringView() : tag.mid(i + 1, end - i - 1);
        }
        qsizetype end = i;
        while (end < tag.size() && !tag[end].isSpace() && tag[end] != u'>')
            ++end;
        return tag.mid(i, end - i);
    }
    return {};
}

// Resolves a link against the page the cheap way for the forms contents
// pages use, by QUrl for the rest; answers it bare (no scheme, no fragment).
class TResolver
{
public:
    explicit TResolver(const QString &pageUrl)
        : FPage(pageUrl)
    {
        const QUrl page(pageUrl);
        FScheme = page.scheme();
        FOrigin = page.authority(QUrl::FullyEncoded);
        QString path = page.path(QUrl::FullyEncoded);
        FDirectory = FOrigin + path.left(path.lastIndexOf(u'/') + 1);
    }

    QString bare(QStringView href) const
    {
        href = href.trimmed();
        if (href.isEmpty() || href.startsWith(u'#'))
            return {};
        const qsizetype hash = href.indexOf(u'#');
        if (hash >= 0)
            href = href.left(hash);
        if (href.startsWith(u"http://", Qt::CaseInsensitive))
            return href.mid(7).toString();
        if (href.startsWith(u"https://", Qt::CaseInsensitive))
            return href.mid(8).toString();
        if (href.startsWith(u"//"))
            return href.mid(2).toString();
        const bool plain = !href.startsWith(u'.') && !href.startsWith(u'?') && !href.contains(u':') && !href.contains(u'&');
        if (plain && href.startsWith(u'/'))
            return FOrigin + href.toString();
        if (plain)
            return FDirectory + href.toString();
        // A scheme of another kind (javascript:, mailto:) is no chapter.
        if (href.contains(u':') && !href.startsWith(u'.') && !href.startsWith(u'/') && !href.startsWith(u'?')) {
            const qsizetype colon = href.indexOf(u':');
            const qsizetype slash = href.indexOf(u'/');
            if (slash < 0 || colon < slash)
                return {};
        }
        const QUrl resolved = QUrl(FPage).resolved(QUrl(href.toString(), QUrl::TolerantMode));
        if (resolved.scheme() != u"http" && resolved.scheme() != u"https")
            return {};
        return Bare(resolved.toString(QUrl::FullyEncoded | QUrl::RemoveFragment));
    }

private:
    QString FPage, FScheme, FOrigin, FDirectory;
};

// What a link's text says when it is a command of the site, not a chapter.
bool isSiteCommand(const QString &text)
{
    static const QStringList words = {
        QStringLiteral("加入书签"), QStringLiteral("加入书架"), QStringLiteral("投推荐票"), QStringLiteral("推荐本书"),
        QStringLiteral("投月票"),   QStringLiteral("打赏"),     QStringLiteral("目录"),     QStringLiteral("返回书页"),
        QStringLiteral("书页"),     QStringLiteral("下载"),     QStringLiteral("首页"),     QStringLiteral("排行榜"),
        QStringLiteral("书架"),     QStringLiteral("登录"),     QStringLiteral("注册"),     QStringLiteral("上一页"),
        QStringLiteral("下一页"),   QStringLiteral("上一章"),   QStringLiteral("下一章"),
    };
    // The contents page's own pages ("2", "第3页", "尾页").
    static const QRegularExpression pageOfList(QStringLiteral("^(?:\\d+|第\\s*\\d+\\s*页|尾页|末页|下页|上页|全部章节|查看全部章节|更多章节|查看更多)$"));
    if (pageOfList.match(text).hasMatch())
        return true;
    // Only a short text is a command: a chapter's title may hold any word.
    if (text.size() > 8)
        return false;
    for (const QString &w : words) {
        if (text.contains(w))
            return true;
    }
    return false;
}

constexpr qsizetype kMaxLinkHtml = 1000;
constexpr qsizetype kMaxTitle = 200;

// The number a chapter's address ends in (12 of .../12.html), -1 for none.
qint64 trailingNumber(const QString &bare)
{
    qsizetype end = bare.size();
    const qsizetype dot = bare.lastIndexOf(u'.');
    if (dot > bare.lastIndexOf(u'/'))
        end = dot;
    qsizetype start = end;
    while (start > 0 && bare[start - 1].isDigit())
        --start;
    if (start == end || end - start > 15)
        return -1;
    return QStringView(bare).mid(start, end - start).toLongLong();
}

// Whether the chapters' numbers, where all have one, mostly fall.
bool fallingNumbers(const QStringList &links)
{
    if (links.size() < 3)
        return false;
    int falls = 0, rises = 0;
    qint64 before = trailingNumber(links.first());
    for (qsizetype i = 1; i < links.size(); ++i) {
        const qint64 n = trailingNumber(links[i]);
        if (n < 0 || before < 0)
            return false;
        (n < before ? falls : rises) += 1;
        before = n;
    }
    return falls > 2 * rises;
}

// The folder's own page (index.html, Default.shtml): the book, not a chapter.
bool isFolderIndex(const QString &page)
{
    static const QRegularExpression index(QStringLiteral("^(?:index|default)\\.[A-Za-z]+$"), QRegularExpression::CaseInsensitiveOption);
    return index.match(page).hasMatch();
}

QString stripPageOfChapter(const QString &bare)
{
    // "?page=2" / "&page=2": the page parameter goes.
    static const QRegularExpression pageParameter(QStringLiteral("([?&])(?:page|p|pn)=\\d+(&|$)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    QString s = bare;
    if (const auto m = pageParameter.match(s); m.hasMatch()) {
        const QString keep = m.captured(2).isEmpty() ? QString() : m.captured(1);
        s.replace(m.capturedStart(), m.capturedLength(), keep);
        if (s.endsWith(u'?') || s.endsWith(u'&'))
            s.chop(1);
        return s;
    }
    // "12_2.html", "12-2.html": the second page of 12.html.
    static const QRegularExpression pageSuffix(QStringLiteral("/(\\d+)[_-]\\d{1,3}(\\.[A-Za-z]+)$"));
    if (const auto m = pageSuffix.match(s); m.hasMatch())
        return s.left(m.capturedStart()) + u'/' + m.captured(1) + m.captured(2);
    return s;
}

} // namespace

QString Bare(const QString &address)
{
    QStringView v(address);
    const qsizetype hash = v.indexOf(u'#');
    if (hash >= 0)
        v = v.left(hash);
    const qsizetype scheme = v.indexOf(u"://");
    if (scheme >= 0 && scheme < 10)
        v = v.mid(scheme + 3);
    return v.toString();
}

QString Decode(QByteArrayView body, const QByteArray &contentType)
{
    QByteArray charset = charsetIn(contentType);
    if (charset.isEmpty())
        charset = charsetIn(body.first(std::min<qsizetype>(body.size(), 4096)));
    if (charset == "utf-8" || charset == "utf8")
        return QString::fromUtf8(body);
    if (const QByteArray name = iconvName(charset); !name.isEmpty())
        return withIconv(body, name.constData());
    return TextGuess::IsUtf8Text(body) ? QString::fromUtf8(body) : withIconv(body, "GB18030");
}

TChapters Parse(const QString &html, const QString &pageUrl, const QString &book)
{
    const TResolver resolver(pageUrl);
    const QString pageBare = Bare(pageUrl);
    struct TLink {
        QString bare, text;
    };
    QList<TLink> links;
    QHash<QString, qsizetype> last; // a link's last place among links
    const QStringView doc(html);
    for (qsizetype at = 0; (at = doc.indexOf(u'<', at)) >= 0;) {
        if (at + 2 >= doc.size())
            break;
        const QChar a = doc[at + 1];
        if ((a != u'a' && a != u'A') || !(doc[at + 2].isSpace())) {
            ++at;
            continue;
        }
        const qsizetype tagEnd = doc.indexOf(u'>', at);
        if (tagEnd < 0)
            break;
        // A link left open ends at the next one, and its text is never long.
        qsizetype close = doc.indexOf(u"</a", tagEnd, Qt::CaseInsensitive);
        if (close < 0)
            close = doc.size();
        if (const qsizetype next = doc.indexOf(u"<a ", tagEnd + 1, Qt::CaseInsensitive); next >= 0 && next < close)
            close = next;
        close = std::min(close, tagEnd + 1 + kMaxLinkHtml);
        const QStringView href = hrefIn(doc.mid(at + 2, tagEnd - at - 2));
        const QStringView inner = doc.mid(tagEnd + 1, close - tagEnd - 1);
        at = close;
        QString bare = resolver.bare(href);
        if (bare.isEmpty() || bare == pageBare)
            continue;
        const QString whole = QStringLiteral("http://") + bare;
        const BookKey::TSplit split = BookKey::Split(whole);
        if (split.book != book || split.page.isEmpty() || BookKey::IsBookAddress(whole) || isFolderIndex(split.page))
            continue;
        QString text = plainText(inner).left(kMaxTitle);
        if (text.isEmpty() || isSiteCommand(text))
            continue;
        last.insert(bare, links.size());
        links.append({std::move(bare), std::move(text)});
    }
    TChapters out;
    out.links.reserve(last.size());
    QStringList titles;
    for (qsizetype i = 0; i < links.size(); ++i) {
        if (last.value(links[i].bare) == i) {
            out.links.append(links[i].bare);
            titles.append(links[i].text);
        }
    }
    // A page listing only the newest chapters, newest first (a book's page
    // often does): numbered addresses that fall tell it, and it is read
    // the other way round.
    if (fallingNumbers(out.links)) {
        std::reverse(out.links.begin(), out.links.end());
        std::reverse(titles.begin(), titles.end());
    }
    if (!titles.isEmpty())
        out.newestTitle = titles.last();
    return out;
}

QString ChapterOf(const QString &pageAddress)
{
    return stripPageOfChapter(Bare(pageAddress));
}

int NewAfter(const TChapters &list, const QString &placeAddress)
{
    const QString place = Bare(placeAddress);
    qsizetype at = list.links.lastIndexOf(place);
    if (at < 0) {
        const QString chapter = ChapterOf(place);
        if (chapter != place)
            at = list.links.lastIndexOf(chapter);
    }
    return at < 0 ? -1 : int(list.links.size() - 1 - at);
}

} // namespace ContentsList
