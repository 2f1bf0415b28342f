#pragma once

#include <QtCore/QString>

// The start page and the help page report this address; the comparison
// ignores the case of ASCII letters only.
inline bool isBlankAddress(const QString &url)
{
    static const QLatin1String blank("about:blank");
    if (url.size() != blank.size())
        return false;
    for (qsizetype i = 0; i < url.size(); ++i) {
        QChar c = url.at(i);
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
        if (c != QLatin1Char(blank.at(i)))
            return false;
    }
    return true;
}
