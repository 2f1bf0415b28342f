#include "textcodec.h"

#include <QtCore/QStringDecoder>

#include <iconv.h>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// The two-byte characters (GBK) by lead byte 0x81-0xFE and trail byte: what
// iconv makes of the pair when it is one UTF-16 unit, 0 when it is not.
// A start page decodes four texts per entry, tens of thousands of calls into
// iconv; a pair looked up here gives the very same unit without one.
struct TPairRow {
    bool filled = false;
    char16_t unit[256] = {};
};

// iconv descriptors are not thread-safe; each thread gets its own pair.
struct Converters {
    iconv_t toGb = iconv_open("GB18030", "UTF-16LE");
    iconv_t fromGb = iconv_open("UTF-16LE", "GB18030");
    std::unique_ptr<TPairRow[]> pairs{new TPairRow[128]}; // by lead byte - 0x80
    ~Converters()
    {
        if (toGb != iconv_t(-1))
            iconv_close(toGb);
        if (fromGb != iconv_t(-1))
            iconv_close(fromGb);
    }

    const TPairRow &pairRow(unsigned char lead)
    {
        TPairRow &row = pairs[lead - 0x80];
        if (row.filled)
            return row;
        row.filled = true;
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            char in[2] = {char(lead), char(trail)};
            char16_t unit[2] = {};
            char *inPtr = in;
            size_t inLeft = 2;
            char *outPtr = reinterpret_cast<char *>(unit);
            size_t outLeft = sizeof unit;
            iconv(fromGb, nullptr, nullptr, nullptr, nullptr);
            if (iconv(fromGb, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && inLeft == 0
                && outLeft == sizeof unit - 2 && unit[0] != 0)
                row.unit[trail] = unit[0];
        }
        return row;
    }
};

Converters &converters()
{
    thread_local Converters c;
    if (c.toGb == iconv_t(-1) || c.fromGb == iconv_t(-1))
        qFatal("the C library cannot convert GB18030");
    return c;
}

// decode's way, through iconv: every form of GB18030, and the replacement of
// what is not.
int decodeWithIconv(char16_t *out, const char *bytes, int length)
{
    Converters &cv = converters();
    iconv(cv.fromGb, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(bytes);
    size_t inLeft = size_t(length);
    char *outPtr = reinterpret_cast<char *>(out);
    size_t outLeft = size_t(length) * 2;
    while (inLeft > 0) {
        if (iconv(cv.fromGb, &in, &inLeft, &outPtr, &outLeft) != size_t(-1))
            break;
        if (errno == E2BIG)
            break; // cannot happen: one byte never gives more than one unit
        // An invalid or incomplete sequence: one byte becomes U+FFFD.
        if (outLeft < 2)
            break;
        const char16_t rep = 0xFFFD;
        memcpy(outPtr, &rep, 2);
        outPtr += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    return int((outPtr - reinterpret_cast<char *>(out)) / 2);
}

} // namespace

namespace HistoryText {

QByteArray encode(const QString &text, int maxUnits, int maxBytes)
{
    QString units = text.left(maxUnits);
    if (!units.isEmpty() && units.back().isHighSurrogate())
        units.chop(1); // a pair cut in two by the unit limit
    // Lone surrogates cannot be converted; they become the replacement character.
    for (qsizetype i = 0; i < units.size(); ++i) {
        const QChar c = units.at(i);
        if (c.isHighSurrogate() && i + 1 < units.size() && units.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            units[i] = QChar::ReplacementCharacter;
    }

    Converters &cv = converters();
    iconv(cv.toGb, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(maxBytes, '\0');
    char *in = reinterpret_cast<char *>(units.data());
    size_t inLeft = size_t(units.size()) * 2;
    char *outPtr = out.data();
    size_t outLeft = size_t(maxBytes);
    // iconv stops with E2BIG before a character that does not fit whole, which
    // is exactly the cut at a character boundary.
    while (inLeft > 0) {
        if (iconv(cv.toGb, &in, &inLeft, &outPtr, &outLeft) != size_t(-1))
            break;
        if (errno == EILSEQ || errno == EINVAL) {
            // Cannot happen for GB18030 after the clean-up above; skip the unit.
            in += 2;
            inLeft -= 2;
            continue;
        }
        break; // E2BIG: full
    }
    out.truncate(maxBytes - qsizetype(outLeft));
    return out;
}

int decodeTo(char16_t *out, const char *bytes, int length)
{
    // ASCII and two-byte characters, which is nearly every stored text, are
    // written here; a text with anything else goes to iconv whole.
    const auto *in = reinterpret_cast<const unsigned char *>(bytes);
    int n = 0;
    Converters *cv = nullptr;
    for (int i = 0; i < length; ++i) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            out[n++] = b;
            continue;
        }
        if (b == 0x80 || b == 0xFF || i + 1 == length)
            return decodeWithIconv(out, bytes, length);
        if (!cv)
            cv = &converters();
        const char16_t unit = cv->pairRow(b).unit[in[i + 1]];
        if (unit == 0)
            return decodeWithIconv(out, bytes, length);
        out[n++] = unit;
        ++i;
    }
    return n;
}

QString decode(const char *bytes, int length)
{
    // No byte sequence gives more UTF-16 units than it has bytes.
    QString out(length, Qt::Uninitialized);
    out.truncate(decodeTo(reinterpret_cast<char16_t *>(out.data()), bytes, length));
    return out;
}

} // namespace HistoryText

namespace TextGuess {

bool IsUtf8Text(QByteArrayView bytes)
{
    // Stateless: a sequence cut at the end is an error, not a wait for more.
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString ignored = decoder.decode(bytes);
    return !decoder.hasError()
        && std::any_of(bytes.begin(), bytes.end(), [](char c) { return (uchar(c) & 0xF0) >= 0xE0; });
}

qsizetype CutUtf8Tail(QByteArrayView bytes)
{
    // The last byte that is no continuation byte (10xxxxxx), among the last four.
    const qsizetype size = bytes.size();
    for (qsizetype i = size - 1; i >= 0 && i >= size - 4; --i) {
        const uchar b = uchar(bytes[i]);
        if ((b & 0xC0) == 0x80)
            continue;
        const qsizetype need = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC2 && b <= 0xDF ? 2 : 1;
        return size - i < need ? size - i : 0;
    }
    return 0;
}

} // namespace TextGuess
