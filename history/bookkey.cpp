#include "bookkey.h"

namespace BookKey {
namespace {

const QStringList kBookParameters{"novelid", "novel_id", "bookid", "book_id", "bid", "aid", "articleid", "article_id",
                                  "nid", "tid", "book", "novel", "id"};
const QStringList kChapterParameters{"chapterid", "chapter_id", "cid", "chapter", "chapterno", "chap", "page", "pageno",
                                     "pn"};

// Names of pages that are documents, not scripts: a query on them is a
// counter's or a tracker's, and their books have always been their folders.
const QStringList kDocumentSuffixes{".htm", ".html", ".shtml", ".shtm", ".xhtml", ".txt", ".xml"};

bool isSlash(QChar c)
{
    return c == QLatin1Char('/') || c == QLatin1Char('\\');
}

// The last slash or backslash in [from, to), or -1.
qsizetype lastSlash(QStringView s, qsizetype from, qsizetype to)
{
    for (qsizetype i = to - 1; i >= from; --i)
        if (isSlash(s[i]))
            return i;
    return -1;
}

bool isDocumentName(QStringView name)
{
    for (const QString &suffix : kDocumentSuffixes)
        if (name.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    return false;
}

QStringView parameterName(QStringView piece)
{
    const qsizetype eq = piece.indexOf(QLatin1Char('='));
    return eq < 0 ? piece : piece.left(eq);
}

// The piece name=value of query whose name comes first in names, with a value.
QStringView findParameter(QStringView query, const QStringList &names)
{
    const auto pieces = query.split(QLatin1Char('&'));
    for (const QString &name : names) {
        for (QStringView piece : pieces) {
            const QStringView n = parameterName(piece);
            if (n.size() < piece.size() - 1 && n.compare(name, Qt::CaseInsensitive) == 0)
                return piece;
        }
    }
    return {};
}

// Where an address's query lies, when the book is named in it: the script's
// slash, the question mark and the end of the query.
struct TQueryParts {
    qsizetype start = 0, slash = -1, mark = -1, end = -1;
    QStringView book; // the parameter naming the book
};

bool queryParts(const QString &url, TQueryParts &parts)
{
    const qsizetype slashes = url.indexOf(QLatin1String("//"));
    if (slashes <= 0)
        return false;
    parts.start = slashes + 2;
    parts.mark = url.indexOf(QLatin1Char('?'), parts.start);
    if (parts.mark < 0)
        return false;
    const qsizetype hash = url.indexOf(QLatin1Char('#'), parts.start);
    if (hash >= 0 && hash < parts.mark)
        return false;
    parts.end = hash >= 0 ? hash : url.size();
    parts.slash = lastSlash(url, parts.start, parts.mark);
    if (parts.slash < 0)
        return false; // the host alone
    const QStringView script = QStringView(url).mid(parts.slash + 1, parts.mark - parts.slash - 1);
    if (script.isEmpty() || isDocumentName(script))
        return false;
    parts.book = findParameter(QStringView(url).mid(parts.mark + 1, parts.end - parts.mark - 1), kBookParameters);
    return !parts.book.isEmpty();
}

} // namespace

const QStringList &BookParameters()
{
    return kBookParameters;
}

const QStringList &ChapterParameters()
{
    return kChapterParameters;
}

TSplit SplitByDirectory(const QString &url)
{
    const qsizetype slashes = url.indexOf(QLatin1String("//"));
    const qsizetype start = slashes <= 0 ? 0 : slashes + 2;
    qsizetype cut = lastSlash(url, 1, url.size());
    if (cut < 0)
        cut = 0;
    return {cut > start ? url.mid(start, cut - start) : QString(), url.mid(cut + 1), false};
}

TSplit Split(const QString &url)
{
    TQueryParts parts;
    if (!queryParts(url, parts))
        return SplitByDirectory(url);
    return {url.mid(parts.start, parts.mark - parts.start) + QLatin1Char('?') + parts.book.toString(), url.mid(parts.slash + 1), true};
}

QString Address(const QString &book, const QString &page)
{
    // A book named in the query stands beside its pages, not above them.
    const qsizetype mark = book.indexOf(QLatin1Char('?'));
    if (mark >= 0) {
        const qsizetype slash = lastSlash(book, 0, mark);
        if (slash >= 0) {
            const QString address = book.left(slash + 1) + page;
            const TSplit split = Split(QStringLiteral("http://") + address);
            if (split.byQuery && split.book == book && split.page == page)
                return address;
        }
    }
    return book + QLatin1Char('/') + page;
}

bool IsBookAddress(const QString &url)
{
    TQueryParts parts;
    if (!queryParts(url, parts)) {
        const QString page = SplitByDirectory(url).page;
        return page.isEmpty() || page.startsWith(QLatin1Char('?')) || page.startsWith(QLatin1Char('#'));
    }
    // Any other parameter of either table names a page of the book.
    const QStringView query = QStringView(url).mid(parts.mark + 1, parts.end - parts.mark - 1);
    for (QStringView piece : query.split(QLatin1Char('&'))) {
        if (piece.data() == parts.book.data())
            continue;
        const QStringView name = parameterName(piece);
        for (const QStringList *names : {&kChapterParameters, &kBookParameters})
            for (const QString &n : *names)
                if (name.compare(n, Qt::CaseInsensitive) == 0)
                    return false;
    }
    return true;
}

} // namespace BookKey
