#include "parserfuzz.h"

#include "chapterlinks.h"

#include <QtCore/QJsonDocument>
#include <QtCore/QVariant>

#include <cstdlib>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// Typed values from the bytes, as the engine's answers come: strings,
// booleans, numbers, lists, maps, nothing.
class TReader
{
public:
    TReader(const std::uint8_t *data, std::size_t size) : FData(data), FSize(size) {}

    QVariant value(int depth = 0)
    {
        switch (byte() % 8) {
        case 0: return QVariant();
        case 1: return bool(byte() & 1);
        case 2: return double(qint8(byte())) * 1.5;
        case 3:
        case 4: return text();
        case 5: {
            QVariantList list;
            const int n = depth < 4 ? byte() % 8 : 0;
            for (int i = 0; i < n && FPos < FSize; ++i)
                list << value(depth + 1);
            return list;
        }
        case 6: {
            QVariantMap map;
            const int n = depth < 4 ? byte() % 4 : 0;
            for (int i = 0; i < n && FPos < FSize; ++i)
                map.insert(text(), value(depth + 1));
            return map;
        }
        default: return QVariant(QByteArray(reinterpret_cast<const char *>(FData + FPos), qsizetype(std::min<std::size_t>(byte(), FSize - FPos))));
        }
    }
    std::size_t left() const { return FSize - FPos; }

private:
    std::uint8_t byte() { return FPos < FSize ? FData[FPos++] : 0; }
    QString text()
    {
        const std::size_t n = std::min<std::size_t>(byte(), FSize - FPos);
        const QString s = QString::fromUtf8(reinterpret_cast<const char *>(FData + FPos), qsizetype(n));
        FPos += n;
        return s;
    }

    const std::uint8_t *FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

void requireUsable(const QUrl &link, const TChapterLinks &links)
{
    if (link.isEmpty())
        return;
    require(link.isValid());
    require(link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https"));
    require(link.adjusted(QUrl::RemoveFragment) != links.page.adjusted(QUrl::RemoveFragment));
    (void)ChapterLinks::SameSite(links.page, link);
    (void)ChapterLinks::SameBook(links.page, link);
    (void)ChapterLinks::OpenScript(link, links.document);
}

} // namespace

int FuzzChapterAnswer(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QJsonParseError error;
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    QVariant answer;
    if (error.error == QJsonParseError::NoError) {
        answer = json.toVariant();
    } else {
        TReader reader(data, size);
        QVariantList list;
        // Mostly six values, as the script answers, so that the checks past
        // the count are reached.
        while (reader.left() > 0 && list.size() < 7)
            list << reader.value();
        answer = list;
    }
    const TChapterLinks links = ChapterLinks::FromAnswer(answer);
    requireUsable(links.next, links);
    requireUsable(links.previous, links);
    if (answer.toList().size() != 6)
        require(links.page.isEmpty() && links.next.isEmpty() && links.previous.isEmpty());
    return 0;
}
