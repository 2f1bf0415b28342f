#include "downloadfile.h"

#include "textcodec.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringDecoder>
#include <QtCore/QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxNameBytes = 255; // what ext4 and most other file systems hold
// The part file's name also carries ".XXXXXX.part" and the engine's
// ".download"; its copy of the final name is cut shorter to leave room.
constexpr int kMaxPartStemBytes = 200;
constexpr int kMaxExtensionChars = 16;

// One byte per character: how the engine shows an 8-bit name it could not read.
bool isByteString(const QString &s)
{
    bool high = false;
    for (QChar c : s) {
        if (c.unicode() > 0xff)
            return false;
        high = high || c.unicode() >= 0x80;
    }
    return high;
}

// Whether 8-bit bytes can be taken for GBK rather than for Latin-1 text, the
// other 8-bit encoding names arrive in. A Chinese name has its characters as
// pairs of high bytes; a Latin-1 name has its accented letters one at a time,
// or at most two, between plain letters ("Müller", "informação"). Bytes
// 0x80-0x9F are no Latin-1 text at all.
bool mayBeGbk(const QByteArray &bytes)
{
    const auto high = [&](qsizetype i) { return i >= 0 && i < bytes.size() && quint8(bytes.at(i)) >= 0x80; };
    const auto letter = [&](qsizetype i) {
        return i >= 0 && i < bytes.size() && QChar::fromLatin1(bytes.at(i)).isLetter() && !high(i);
    };
    for (char c : bytes)
        if (quint8(c) >= 0x80 && quint8(c) <= 0x9f)
            return true;
    for (qsizetype i = 0; i < bytes.size();) {
        if (!high(i)) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (high(end))
            ++end;
        const qsizetype run = end - i;
        if (run % 2 != 0 || (run == 2 && (letter(i - 1) || letter(end))))
            return false;
        i = end;
    }
    return true;
}

// The bytes read as UTF-8 or else as GB18030; nothing when they are neither.
// UTF-8 with Chinese in it (three-byte characters) is UTF-8, as in
// "links.txt"; valid UTF-8 of two-byte characters only is GBK when it can be
// (D0 A1 CB B5 is "小说", not "С˵"), and UTF-8 when it has the look of
// accented Latin ("Müller").
QString decodeBytes(const QByteArray &bytes)
{
    if (TextGuess::IsUtf8Text(bytes))
        return QString::fromUtf8(bytes);
    if (mayBeGbk(bytes)) {
        const QString asGb = HistoryText::decode(bytes.constData(), int(bytes.size()));
        if (!asGb.contains(QChar::ReplacementCharacter))
            return asGb;
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    return utf8.hasError() ? QString() : asUtf8;
}

// A name the engine read one byte per character, or left percent-encoded,
// in the characters its bytes stand for; any other name as it is.
QString readAgain(const QString &name)
{
    if (isByteString(name)) {
        const QString again = decodeBytes(name.toLatin1());
        return again.isEmpty() ? name : again;
    }
    // Left percent-encoded because the bytes were not UTF-8.
    static const QRegularExpression escaped(QStringLiteral("%[89A-Fa-f][0-9A-Fa-f]"));
    bool ascii = true;
    for (QChar c : name)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii && name.contains(escaped)) {
        const QString again = decodeBytes(QByteArray::fromPercentEncoding(name.toLatin1()));
        if (!again.isEmpty())
            return again;
    }
    return name;
}

QString lastComponent(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

int utf8Size(const QString &s)
{
    return int(s.toUtf8().size());
}

// Cuts text to at most maxBytes bytes of UTF-8, never inside a character.
QString cutToBytes(const QString &text, int maxBytes)
{
    QString out;
    int bytes = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString ch = text.mid(i, len);
        bytes += utf8Size(ch);
        if (bytes > maxBytes)
            break;
        out += ch;
        i += len;
    }
    return out;
}

// The stem and the extension (with its dot) of a name.
std::pair<QString, QString> splitExtension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || name.size() - dot - 1 > kMaxExtensionChars)
        return {name, QString()};
    return {name.left(dot), name.mid(dot)};
}

QString fitName(const QString &name, int maxBytes)
{
    if (utf8Size(name) <= maxBytes)
        return name;
    const auto [stem, extension] = splitExtension(name);
    return cutToBytes(stem, maxBytes - utf8Size(extension)) + extension;
}

std::filesystem::path nativePath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// The umask can only be read by setting it, and it is the whole process's:
// set to 0 for a moment while an engine thread creates a file, that file
// would be open to everyone. So it is read once, before main, while the
// process has no other thread, and kept: the program never changes it.
mode_t readUmask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}
const mode_t kUmaskAtStart = readUmask();

// The part file is made private (QTemporaryFile, and the engine's own
// files); the book is given what any new file of the user's gets. Done to
// the part file, which is our own, before it takes the final name, where a
// link of someone else's could stand the moment before.
void giveUsualPermissions(const QString &partPath)
{
    std::error_code ec;
    std::filesystem::permissions(nativePath(partPath), static_cast<std::filesystem::perms>(0666 & ~kUmaskAtStart), ec);
}

// Gives the part file the name, only when nothing at all is there; false
// with errno set otherwise (EEXIST when the name is taken).
bool renameNoReplace(const QString &partPath, const QString &target)
{
    const QByteArray from = QFile::encodeName(partPath), to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // A file system without the atomic way: a hard link is never made over
    // anything either.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
        return false;
    // Nor hard links (FAT on a memory card): rename, having looked first.
    if (DownloadFile::Exists(target)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

bool isReservedDevice(QStringView word)
{
    static const QStringList devices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL")};
    if (word.size() == 3)
        return devices.contains(word, Qt::CaseInsensitive);
    // COM0-9 and LPT0-9, and with a superscript digit too.
    return word.size() == 4
        && (word.first(3).compare(u"COM", Qt::CaseInsensitive) == 0 || word.first(3).compare(u"LPT", Qt::CaseInsensitive) == 0)
        && ((word.at(3).isDigit() && word.at(3).unicode() < 0x80) || QStringView(u"\u00B9\u00B2\u00B3").contains(word.at(3)));
}

// Windows takes a device name for the device whatever extension follows
// ("nul.txt", "con .tar.gz"): a "_" after the word makes it a name again.
QString notADevice(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    QStringView word = QStringView(name).first(dot < 0 ? name.size() : dot);
    while (!word.isEmpty() && word.back() == QLatin1Char(' '))
        word.chop(1);
    if (!isReservedDevice(word))
        return name;
    return name.left(word.size()) + QLatin1Char('_') + name.mid(word.size());
}

// Characters that change how a name shows without showing themselves:
// bidirectional overrides, embeddings and isolates, zero-width characters,
// the byte order mark, tags (all of Unicode's format characters).
bool isInvisible(char32_t c)
{
    return QChar::category(c) == QChar::Other_Format;
}

} // namespace

namespace DownloadFile {

QString CleanName(const QString &name)
{
    QString out;
    const QString last = lastComponent(name);
    out.reserve(last.size());
    for (qsizetype i = 0; i < last.size(); ++i) {
        const QChar c = last.at(i);
        char32_t u = c.unicode();
        const bool pair = c.isHighSurrogate() && i + 1 < last.size() && last.at(i + 1).isLowSurrogate();
        if (pair)
            u = QChar::surrogateToUcs4(c, last.at(++i));
        if (isInvisible(u))
            continue;
        // Control characters, line and paragraph separators, halves of
        // surrogate pairs, and what FAT and NTFS refuse: a book copied to a
        // reader's phone or memory card keeps its name.
        if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029 || (!pair && c.isSurrogate())
            || QStringView(u"\\/:*?\"<>|").contains(c))
            out += QLatin1Char('_');
        else if (pair)
            out += QStringView(last).sliced(i - 1, 2);
        else
            out += c;
    }
    // Not hidden, and no trailing dots or spaces, which Windows drops.
    qsizetype start = 0;
    while (start < out.size() && (out.at(start) == QLatin1Char('.') || out.at(start).isSpace()))
        ++start;
    qsizetype end = out.size();
    while (end > start && (out.at(end - 1) == QLatin1Char('.') || out.at(end - 1).isSpace()))
        --end;
    // The "_" of a device name first: added to a name already cut to size,
    // it would make it one byte too long. Cutting leaves the word in front.
    QString fitted = fitName(notADevice(out.mid(start, end - start)), kMaxNameBytes);
    // A cut can end in a dot or a space again.
    while (!fitted.isEmpty() && (fitted.back() == QLatin1Char('.') || fitted.back().isSpace()))
        fitted.chop(1);
    return fitted;
}

QString ProposedName(const QString &engineName, const QUrl &url)
{
    const QByteArray urlBytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).section(QLatin1Char('/'), -1).toLatin1());
    const QString fromUrl = CleanName(readAgain(QString::fromLatin1(urlBytes)));
    // Without a name from the server the engine takes the address's, read
    // as UTF-8 whatever it is: a GBK address comes out as "\uFFFD".
    if (engineName.contains(QChar::ReplacementCharacter) && engineName == QString::fromUtf8(urlBytes) && !fromUrl.isEmpty())
        return fromUrl;
    const QString name = CleanName(readAgain(lastComponent(engineName)));
    if (!name.isEmpty())
        return name;
    return fromUrl.isEmpty() ? QStringLiteral("下载") : fromUrl;
}

bool Exists(const QString &path)
{
    // Not followed: a link to nothing takes the name as much as a file does.
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool IsFolder(const QString &path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString FreeName(const QString &path)
{
    const QFileInfo info(path);
    const auto [stem, extension] = splitExtension(info.fileName());
    for (int n = 1;; ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n) + extension;
        const QString candidate = info.dir().filePath(cutToBytes(stem, kMaxNameBytes - utf8Size(suffix)) + suffix);
        if (!Exists(candidate))
            return candidate;
    }
}

TResult Reserve(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return {QString(), QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(folder))};
    if (IsFolder(finalPath))
        return {QString(), QStringLiteral("“%1”是一个文件夹。").arg(QDir::toNativeSeparators(finalPath))};
    QTemporaryFile part(QDir(folder).filePath(cutToBytes(info.fileName(), kMaxPartStemBytes) + QStringLiteral(".XXXXXX.part")));
    part.setAutoRemove(false);
    if (!part.open())
        return {QString(), QStringLiteral("无法在文件夹“%1”中保存文件：%2")
                               .arg(QDir::toNativeSeparators(folder), part.errorString())};
    return {part.fileName(), QString()};
}

TResult Finish(const QString &partPath, const QString &finalPath, bool replace)
{
    auto failed = [&](const QString &why) {
        return TResult{partPath, QStringLiteral("下载已完成，但无法保存为“%1”：%2\n文件现在是“%3”。")
                                     .arg(QDir::toNativeSeparators(finalPath), why, QDir::toNativeSeparators(partPath))};
    };
    if (IsFolder(finalPath))
        return failed(QStringLiteral("那是一个文件夹。"));
    giveUsualPermissions(partPath);
    if (replace) {
        // One step, so the old file is there until the new one takes its
        // place; a link there is replaced itself, never followed.
        std::error_code ec;
        std::filesystem::rename(nativePath(partPath), nativePath(finalPath), ec);
        if (ec)
            return failed(QString::fromLocal8Bit(ec.message()));
        return {finalPath, QString()};
    }
    // Never over anything: a file that appeared meanwhile (the same book
    // downloaded twice at once) keeps its name, and this one takes the next
    // free name. No copy either, which would write through a link.
    QString target = finalPath;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (renameNoReplace(partPath, target))
            return {target, QString()};
        if (errno != EEXIST)
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
        target = FreeName(finalPath);
    }
    return failed(QStringLiteral("没有可用的文件名。"));
}

void Discard(const QString &partPath)
{
    if (partPath.isEmpty())
        return;
    QFile::remove(partPath);
    QFile::remove(partPath + QStringLiteral(".download"));
}

} // namespace DownloadFile
