#pragma once

#include <QtCore/QHash>
#include <QtCore/QString>

#include <optional>

// Where the reader was inside the last page of each book: kept beside the
// history, in a file of its own ("LektoPlaces.json"), so the history's
// records stay as they are. A damaged or missing file is an empty store.
class TReadingPlaces
{
public:
    static constexpr const char *kFileName = "LektoPlaces.json";
    // The books remembered at most; the longest unread go first.
    static constexpr int kMaxBooks = 5000;

    struct TPlace {
        QString page;    // the page's address
        double ratio = 0; // how far down the page, 0 at its top, 1 at its end
        qint64 time = 0;  // when, in ms since the epoch
    };

    // Reads the file; false (and an empty store) when it is there but
    // cannot be read as a store, in which case it is kept aside.
    bool Load(const QString &fileName);
    // Written whole or not at all; throws ELektoError naming the file.
    void Save(const QString &fileName) const;

    void Remember(const QString &book, const QString &page, double ratio, qint64 time);
    std::optional<TPlace> Find(const QString &book) const;
    int Count() const { return int(FPlaces.size()); }
    bool Changed() const { return FChanged; }
    void MarkSaved() { FChanged = false; }

private:
    QHash<QString, TPlace> FPlaces;
    bool FChanged = false;
};
