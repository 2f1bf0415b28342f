#include "parserfuzz.h"

#include "linksfile.h"
#include "textcodec.h"

#include <QtCore/QByteArray>

#include <cstdlib>

namespace {

void require(bool ok)
{
    if (!ok)
        std::abort();
}

// The bytes without their line ends: what a save must keep of a file whose
// lines it did not change. Units of two bytes for UTF-16 (after the mark).
QByteArray withoutBreaks(const QByteArray &bytes, TLinksEncoding e)
{
    QByteArray out;
    if (e != TLinksEncoding::Utf16LE && e != TLinksEncoding::Utf16BE) {
        for (char c : bytes)
            if (c != '\r' && c != '\n')
                out += c;
        return out;
    }
    const bool le = e == TLinksEncoding::Utf16LE;
    qsizetype pos = 2;
    for (; pos + 1 < bytes.size(); pos += 2) {
        const char hi = bytes[le ? pos + 1 : pos], lo = bytes[le ? pos : pos + 1];
        if (!(hi == 0 && (lo == '\r' || lo == '\n')))
            out += bytes.mid(pos, 2);
    }
    return out + bytes.mid(pos);
}

} // namespace

int FuzzLinksFile(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const TLinksFile read = TLinksFile::decode(bytes);
    const QByteArray written = read.encode();
    const TLinksFile again = TLinksFile::decode(written);
    require(again.lines() == read.lines());
    require(again.encoding() == read.encoding());
    require(again.encode() == written);
    require(withoutBreaks(written, read.encoding()) == withoutBreaks(bytes, read.encoding()));

    // A tile set as the board does: the first byte picks it, the rest of the
    // input is its text. Every tile reads back as it was set.
    if (size == 0)
        return 0;
    const int tile = data[0] % 16;
    const QString text = QString::fromUtf8(bytes.mid(1, 300));
    TLinksFile edited = read;
    edited.padTo(16);
    edited.setLine(tile, text);
    const QByteArray saved = edited.encode();
    const TLinksFile back = TLinksFile::decode(saved);
    if (read.encoding() == TLinksEncoding::Utf8 && back.encoding() == TLinksEncoding::Utf8Bom) {
        // Nothing left that tells UTF-8 from GB18030: the mark says it.
        require(saved.startsWith("\xEF\xBB\xBF"));
    } else if (back.encoding() != read.encoding()) {
        // The ways a GB18030 file can change, nothing telling them apart:
        // its bytes are also UTF-8 with characters past U+07FF, or they
        // begin with the UTF-8 mark ("锘" EF BB and a character from BF).
        require(read.encoding() == TLinksEncoding::Ansi
                && ((back.encoding() == TLinksEncoding::Utf8 && TextGuess::IsUtf8Text(saved))
                    || (back.encoding() == TLinksEncoding::Utf8Bom && saved.startsWith("\xEF\xBB\xBF"))));
        return 0;
    }
    require(back.count() == edited.count());
    for (int i = 0; i < edited.count(); ++i)
        require(back.line(i) == edited.line(i));
    return 0;
}
