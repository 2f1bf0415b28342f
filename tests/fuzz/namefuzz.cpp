#include "parserfuzz.h"

#include "downloadfile.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>
#include <QtCore/QUrl>

#include <cstdlib>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

bool isDevice(const QString &name)
{
    QString word = name.section(QLatin1Char('.'), 0, 0);
    while (word.endsWith(QLatin1Char(' ')))
        word.chop(1);
    static const QStringList devices = [] {
        QStringList d{"CON", "PRN", "AUX", "NUL"};
        for (const QString &port : {QStringLiteral("COM"), QStringLiteral("LPT")}) {
            for (int n = 0; n <= 9; ++n)
                d << port + QString::number(n);
            for (QChar sup : {QChar(0xB9), QChar(0xB2), QChar(0xB3)})
                d << port + sup;
        }
        return d;
    }();
    return devices.contains(word, Qt::CaseInsensitive);
}

// What every name written to a folder must be, whatever it came from.
void requireSafe(const QString &name)
{
    require(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')));
    require(name.toUtf8().size() <= 255);
    require(!isDevice(name));
    require(!name.startsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char(' ')));
    const QList<uint> chars = name.toUcs4();
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const uint c = chars[i];
        const auto category = QChar::category(char32_t(c));
        require(category != QChar::Other_Control && category != QChar::Other_Format && category != QChar::Other_Surrogate);
        require(c != 0x2028 && c != 0x2029);
    }
    require(DownloadFile::CleanName(name) == name); // nothing left to clean
}

// The engine's name in one of the forms it hands over: bytes read one per
// character (a raw 8-bit header), UTF-8, or any UTF-16 at all.
QString engineNameOf(const QByteArray &bytes, int form)
{
    switch (form) {
    case 0: return QString::fromLatin1(bytes);
    case 1: return QString::fromUtf8(bytes);
    default: return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    }
}

} // namespace

int FuzzDownloadName(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the forms; the rest is the name, a zero byte, the
    // address (as text, or as the bytes of its last part).
    const int mode = data[0];
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype zero = rest.indexOf('\0');
    const QByteArray nameBytes = zero < 0 ? rest : rest.left(zero);
    const QByteArray urlBytes = zero < 0 ? QByteArray() : rest.mid(zero + 1);
    const QString engineName = engineNameOf(nameBytes, mode % 3);
    const QUrl url = (mode & 4) ? QUrl(QString::fromUtf8(urlBytes))
                                : QUrl(QStringLiteral("http://x.test/down/") + QString::fromLatin1(urlBytes.toPercentEncoding()));

    const QString proposed = DownloadFile::ProposedName(engineName, url);
    require(!proposed.isEmpty());
    requireSafe(proposed);
    const QString clean = DownloadFile::CleanName(engineName);
    requireSafe(clean);

    // The part file beside the final name, and the book put in place.
    if (!(mode & 8))
        return 0;
    static QTemporaryDir dir;
    require(dir.isValid());
    const QString finalPath = dir.filePath(proposed);
    const DownloadFile::TResult part = DownloadFile::Reserve(finalPath);
    require(part.ok());
    const QFileInfo partInfo(part.path);
    require(partInfo.absolutePath() == QFileInfo(dir.path()).absoluteFilePath());
    require(part.path != finalPath);
    // The engine writes into the part name with ".download" added.
    require(partInfo.fileName().toUtf8().size() + 9 <= 255);
    const DownloadFile::TResult done = DownloadFile::Finish(part.path, finalPath, (mode & 16) != 0);
    require(done.ok());
    require(done.path == finalPath);
    require(!QFileInfo::exists(part.path));
    require(QFile::remove(done.path));
    require(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
    return 0;
}
