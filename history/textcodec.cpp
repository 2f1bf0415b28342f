#include "textcodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace {

// iconv descriptors are not thread-safe; each thread gets its own pair.
struct Converters {
    iconv_t toGb = iconv_open("GB18030", "UTF-16LE");
    iconv_t fromGb = iconv_open("UTF-16LE", "GB18030");
    ~Converters()
    {
        if (toGb != iconv_t(-1))
            iconv_close(toGb);
        if (fromGb != iconv_t(-1))
            iconv_close(fromGb);
    }
};

Converters &converters()
{
    thread_local Converters c;
    if (c.toGb == iconv_t(-1) || c.fromGb == iconv_t(-1))
        qFatal("the C library cannot convert GB18030");
    return c;
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

QString decode(const char *bytes, int length)
{
    Converters &cv = converters();
    iconv(cv.fromGb, nullptr, nullptr, nullptr, nullptr);
    // No byte sequence gives more UTF-16 units than it has bytes.
    QString out(length, Qt::Uninitialized);
    char *in = const_cast<char *>(bytes);
    size_t inLeft = size_t(length);
    char *outPtr = reinterpret_cast<char *>(out.data());
    size_t outLeft = size_t(out.size()) * 2;
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
    out.truncate((outPtr - reinterpret_cast<char *>(out.data())) / 2);
    return out;
}

} // namespace HistoryText
