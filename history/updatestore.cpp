#include "updatestore.h"

#include "jsonfile.h"

#include <QtCore/QJsonObject>

namespace {

constexpr int kVersion = 1;

} // namespace

bool TUpdateStore::Load(const QString &fileName)
{
    FBooks.clear();
    FChanged = false;
    QJsonObject doc;
    if (!JsonFile::Read(fileName, doc, kVersion))
        return false;
    const QJsonObject books = doc.value(QStringLiteral("books")).toObject();
    for (auto it = books.begin(); it != books.end(); ++it) {
        if (!it.value().isObject() || it.key().isEmpty())
            continue;
        const QJsonObject o = it.value().toObject();
        TBook b;
        b.contents = o.value(QStringLiteral("contents")).toString();
        b.fetched = o.value(QStringLiteral("fetched")).toString();
        b.etag = o.value(QStringLiteral("etag")).toString();
        b.lastModified = o.value(QStringLiteral("lastModified")).toString();
        b.checked = qint64(o.value(QStringLiteral("checked")).toDouble());
        b.length = qMax(0, o.value(QStringLiteral("length")).toInt());
        b.newest = o.value(QStringLiteral("newest")).toString();
        b.newestTitle = o.value(QStringLiteral("newestTitle")).toString();
        b.place = o.value(QStringLiteral("place")).toString();
        b.count = qMax(-1, o.value(QStringLiteral("count")).toInt(-1));
        b.marked = o.value(QStringLiteral("marked")).toString();
        FBooks.insert(it.key(), b);
    }
    return true;
}

void TUpdateStore::Save(const QString &fileName) const
{
    QJsonObject books;
    for (auto it = FBooks.cbegin(); it != FBooks.cend(); ++it) {
        const TBook &b = *it;
        books.insert(it.key(), QJsonObject{
                                   {QStringLiteral("contents"), b.contents},
                                   {QStringLiteral("fetched"), b.fetched},
                                   {QStringLiteral("etag"), b.etag},
                                   {QStringLiteral("lastModified"), b.lastModified},
                                   {QStringLiteral("checked"), double(b.checked)},
                                   {QStringLiteral("length"), b.length},
                                   {QStringLiteral("newest"), b.newest},
                                   {QStringLiteral("newestTitle"), b.newestTitle},
                                   {QStringLiteral("place"), b.place},
                                   {QStringLiteral("count"), b.count},
                                   {QStringLiteral("marked"), b.marked},
                               });
    }
    JsonFile::Write(fileName, QJsonObject{{QStringLiteral("version"), kVersion}, {QStringLiteral("books"), books}});
}

const TUpdateStore::TBook *TUpdateStore::Find(const QString &book) const
{
    const auto it = FBooks.constFind(book);
    return it == FBooks.constEnd() ? nullptr : &*it;
}

TUpdateStore::TBook &TUpdateStore::Book(const QString &book)
{
    FChanged = true;
    return FBooks[book];
}

void TUpdateStore::SetContents(const QString &book, const QString &address)
{
    if (book.isEmpty() || address.isEmpty())
        return;
    const auto it = FBooks.constFind(book);
    if (it != FBooks.constEnd() && it->contents == address)
        return;
    TBook &b = Book(book);
    b.contents = address;
    b.checked = 0; // the new page is asked at the next look
}

void TUpdateStore::KeepOnly(const QSet<QString> &books)
{
    for (auto it = FBooks.begin(); it != FBooks.end();) {
        if (books.contains(it.key())) {
            ++it;
        } else {
            it = FBooks.erase(it);
            FChanged = true;
        }
    }
}
