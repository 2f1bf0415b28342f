#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QString>

#include <iconv.h>

// Text in a charset of the web (GBK, Big5…), as a site would send it.
inline QByteArray EncodeText(const QString &text, const char *charset)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open(charset, "UTF-8");
    QByteArray out(utf8.size() * 2 + 16, '\0');
    char *in = const_cast<char *>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char *o = out.data();
    size_t oLeft = size_t(out.size());
    iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    out.truncate(out.size() - qsizetype(oLeft));
    return out;
}
