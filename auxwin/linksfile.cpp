#include "linksfile.h"

#include "lektoerror.h"
#include "textcodec.h"

#include <QtCore/QFile>
#include <QtCore/QSaveFile>
#include <QtCore/QStringConverter>
#include <QtCore/QtEndian>

#include <algorithm>

namespace {

const QByteArray kUtf8Bom("\xEF\xBB\xBF", 3);
const QByteArray kUtf16LEBom("\xFF\xFE", 2);
const QByteArray kUtf16BEBom("\xFE\xFF", 2);

bool isUtf16(TLinksEncoding e)
{
    return e == TLinksEncoding::Utf16LE || e == TLinksEncoding::Utf16BE;
}

QByteArray bomOf(TLinksEncoding e)
{
    switch (e) {
    case TLinksEncoding::Utf8Bom: return kUtf8Bom;
    case TLinksEncoding::Utf16LE: return kUtf16LEBom;
    case TLinksEncoding::Utf16BE: return kUtf16BEBom;
    default: return {};
    }
}

// The code units of the text, each unit's bytes kept together: one byte for
// the 8-bit encodings (CR and LF never occur inside a GB18030 or UTF-8
// character), two for UTF-16. A lone trailing byte of UTF-16 is a unit of its own.
char16_t unitAt(const QByteArray &bytes, qsizetype pos, TLinksEncoding e, int *size)
{
    if (!isUtf16(e)) {
        *size = 1;
        return uchar(bytes[pos]);
    }
    if (pos + 1 >= bytes.size()) {
        *size = 1;
        return 0xFFFF; // never a line break
    }
    *size = 2;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData() + pos);
    return e == TLinksEncoding::Utf16LE ? qFromLittleEndian<quint16>(p) : qFromBigEndian<quint16>(p);
}

QString decodeLine(const QByteArray &bytes, TLinksEncoding e)
{
    switch (e) {
    case TLinksEncoding::Ansi:
        return HistoryText::decode(bytes.constData(), int(bytes.size()));
    case TLinksEncoding::Utf8:
    case TLinksEncoding::Utf8Bom: {
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return decoder.decode(bytes);
    }
    case TLinksEncoding::Utf16LE:
    case TLinksEncoding::Utf16BE: {
        QString out;
        out.reserve(bytes.size() / 2 + 1);
        for (qsizetype pos = 0; pos < bytes.size();) {
            int size = 0;
            const char16_t u = unitAt(bytes, pos, e, &size);
            out.append(size == 2 ? QChar(u) : QChar(QChar::ReplacementCharacter));
            pos += size;
        }
        return out;
    }
    }
    return {};
}

QByteArray encodeLine(const QString &text, TLinksEncoding e)
{
    switch (e) {
    case TLinksEncoding::Ansi:
        // GB18030 takes at most four bytes for one UTF-16 unit.
        return HistoryText::encode(text, int(text.size()), int(text.size()) * 4);
    case TLinksEncoding::Utf8:
    case TLinksEncoding::Utf8Bom:
        return text.toUtf8();
    case TLinksEncoding::Utf16LE:
    case TLinksEncoding::Utf16BE: {
        QByteArray out(text.size() * 2, Qt::Uninitialized);
        auto *p = reinterpret_cast<uchar *>(out.data());
        for (QChar c : text) {
            if (e == TLinksEncoding::Utf16LE)
                qToLittleEndian<quint16>(c.unicode(), p);
            else
                qToBigEndian<quint16>(c.unicode(), p);
            p += 2;
        }
        return out;
    }
    }
    return {};
}

} // namespace

TLinksFile TLinksFile::decode(const QByteArray &bytes)
{
    TLinksFile f;
    qsizetype start = 0;
    if (bytes.startsWith(kUtf8Bom)) {
        f.FEncoding = TLinksEncoding::Utf8Bom;
        start = kUtf8Bom.size();
    } else if (bytes.startsWith(kUtf16LEBom)) {
        f.FEncoding = TLinksEncoding::Utf16LE;
        start = kUtf16LEBom.size();
    } else if (bytes.startsWith(kUtf16BEBom)) {
        f.FEncoding = TLinksEncoding::Utf16BE;
        start = kUtf16BEBom.size();
    } else if (TextGuess::IsUtf8Text(bytes.first(bytes.size() - TextGuess::CutUtf8Tail(bytes)))) {
        f.FEncoding = TLinksEncoding::Utf8;
    }
    // Plain ASCII reads the same either way; it stays in the system's code
    // page, as the file's own program would go on writing it.

    // A file cut short ends in half a character: a lone byte of UTF-16, the
    // start of a UTF-8 sequence. Those bytes are no part of any line: written
    // in their line, the line end after them would be read with them (every
    // later unit of UTF-16 a byte off, or the UTF-8 no longer valid and the
    // file taken for GB18030). They stay at the very end of the file.
    qsizetype end = bytes.size();
    if (isUtf16(f.FEncoding) && (end - start) % 2 != 0)
        end -= 1;
    else if (f.FEncoding == TLinksEncoding::Utf8 || f.FEncoding == TLinksEncoding::Utf8Bom)
        end -= TextGuess::CutUtf8Tail(QByteArrayView(bytes).sliced(start));
    f.FTail = bytes.sliced(end);

    // A break at the very end closes the last line and opens no new one.
    const auto addLine = [&f, &bytes](qsizetype from, qsizetype to) {
        const QByteArray raw = bytes.mid(from, to - from);
        f.FReadBytes << raw;
        f.FReadLines << decodeLine(raw, f.FEncoding);
    };
    qsizetype lineStart = start;
    for (qsizetype pos = start; pos < end;) {
        int size = 0;
        const char16_t u = unitAt(bytes, pos, f.FEncoding, &size);
        if (u != u'\r' && u != u'\n') {
            pos += size;
            continue;
        }
        addLine(lineStart, pos);
        pos += size;
        if (u == u'\r' && pos < end && unitAt(bytes, pos, f.FEncoding, &size) == u'\n')
            pos += size;
        lineStart = pos;
    }
    if (lineStart < end)
        addLine(lineStart, end);
    f.FLines = f.FReadLines;
    return f;
}

QByteArray TLinksFile::encode() const
{
    QByteArray out = bomOf(FEncoding);
    const QByteArray lineEnd = encodeLine(QStringLiteral("\r\n"), FEncoding);
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        if (i < FReadLines.size() && FLines[i] == FReadLines[i])
            out += FReadBytes[i];
        else
            out += encodeLine(FLines[i], FEncoding);
        out += lineEnd;
    }
    // UTF-8 without a mark is known by its Chinese (three-byte characters);
    // with the last of it edited away, the file would be read back as
    // GB18030 and its other letters turned into Chinese. It stays UTF-8 with
    // a mark, which says so whatever it holds.
    if (FEncoding == TLinksEncoding::Utf8 && !TextGuess::IsUtf8Text(out))
        out.prepend(kUtf8Bom);
    return out + FTail;
}

TLinksFile TLinksFile::load(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw ELektoError(QStringLiteral("无法读取链接文件 %1：%2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    // A read cut short must not pass for the whole file: saved back, it
    // would lose every line after the fault.
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size())
        throw ELektoError(QStringLiteral("无法读取链接文件 %1：%2").arg(path, file.errorString()));
    return decode(bytes);
}

void TLinksFile::save(const QString &path) const
{
    WriteFileAtomically(path, encode());
}

void TLinksFile::setLine(int index, const QString &text)
{
    padTo(index + 1);
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // At the start of the file, U+FEFF in UTF-8 would be read back as the
    // file's mark and lost; it shows nothing in a tile anyway.
    if (index == 0)
        while (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
    FLines[index] = line;
}

void TLinksFile::padTo(int count)
{
    while (FLines.size() < count)
        FLines << QString();
}

void WriteFileAtomically(const QString &path, const QByteArray &bytes)
{
    // Unbuffered, and the write checked: through its buffer, a short write to
    // a full disk would pass for success and a truncated file be committed.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ok = ok && file.write(bytes) == bytes.size();
    ok = ok && file.commit();
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw ELektoError(QStringLiteral("无法保存文件 %1：%2").arg(path, reason));
    }
}
