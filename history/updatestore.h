#pragma once

#include <QtCore/QHash>
#include <QtCore/QSet>
#include <QtCore/QString>

// What was learned of each book's contents page by the checks for new
// chapters: kept beside the history in a file of its own
// ("LektoUpdates.json"), so the history's records stay as they are.
class TUpdateStore
{
public:
    static constexpr const char *kFileName = "LektoUpdates.json";

    struct TBook {
        QString contents;    // the contents page the chapters name; empty: the book's own address
        QString fetched;     // the address the validators and the list below belong to
        QString etag, lastModified;
        qint64 checked = 0;  // when last asked, ms since the epoch (answered or not)
        int length = 0;      // chapters listed
        QString newest, newestTitle; // the last chapter listed (bare address) and its text
        QString place;       // the reader's place the count was made for (bare address)
        int count = -1;      // chapters after it; -1: not known
        QString marked;      // the newest chapter the book was marked unread for
    };

    // Reads the file; false (and an empty store) when it is there but
    // cannot be read as a store, in which case it is kept aside.
    bool Load(const QString &fileName);
    // Written whole or not at all; throws ELektoError naming the file.
    void Save(const QString &fileName) const;

    const TBook *Find(const QString &book) const;
    TBook &Book(const QString &book); // made when missing
    // Where the book's chapters say their contents are; a new address makes
    // what was learned of the old one stale.
    void SetContents(const QString &book, const QString &address);
    // Books no longer in the history go.
    void KeepOnly(const QSet<QString> &books);

    int Count() const { return int(FBooks.size()); }
    bool Changed() const { return FChanged; }
    void MarkChanged() { FChanged = true; }
    void MarkSaved() { FChanged = false; }

private:
    QHash<QString, TBook> FBooks;
    bool FChanged = false;
};
