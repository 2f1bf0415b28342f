#include "readingplaces.h"

#include "jsonfile.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>

#include <algorithm>
#include <cmath>

bool TReadingPlaces::Load(const QString &fileName)
{
    FPlaces.clear();
    FChanged = false;
    QJsonObject doc;
    if (!JsonFile::Read(fileName, doc))
        return false;
    const QJsonObject places = doc.value(QStringLiteral("places")).toObject();
    for (auto it = places.begin(); it != places.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const QString page = o.value(QStringLiteral("page")).toString();
        const double ratio = o.value(QStringLiteral("ratio")).toDouble(-1);
        if (page.isEmpty() || !std::isfinite(ratio) || ratio < 0 || ratio > 1)
            continue; // an entry that makes no sense is left out, the rest kept
        FPlaces.insert(it.key(), TPlace{page, ratio, qint64(o.value(QStringLiteral("time")).toDouble())});
    }
    return true;
}

void TReadingPlaces::Save(const QString &fileName) const
{
    QJsonObject places;
    for (auto it = FPlaces.cbegin(); it != FPlaces.cend(); ++it)
        places.insert(it.key(), QJsonObject{{QStringLiteral("page"), it->page},
                                            {QStringLiteral("ratio"), it->ratio},
                                            {QStringLiteral("time"), double(it->time)}});
    JsonFile::Write(fileName, QJsonObject{{QStringLiteral("version"), 1}, {QStringLiteral("places"), places}});
}

void TReadingPlaces::Remember(const QString &book, const QString &page, double ratio, qint64 time)
{
    if (book.isEmpty() || page.isEmpty() || !std::isfinite(ratio))
        return;
    FPlaces.insert(book, TPlace{page, std::clamp(ratio, 0.0, 1.0), time});
    FChanged = true;
    if (FPlaces.size() <= kMaxBooks)
        return;
    const auto oldest = std::min_element(FPlaces.cbegin(), FPlaces.cend(),
                                         [](const TPlace &a, const TPlace &b) { return a.time < b.time; });
    FPlaces.erase(oldest);
}

std::optional<TReadingPlaces::TPlace> TReadingPlaces::Find(const QString &book) const
{
    const auto it = FPlaces.constFind(book);
    if (it == FPlaces.constEnd())
        return std::nullopt;
    return *it;
}
