#pragma once

// What the history tests read of a list and write as a file.
#include "lektohistory.h"
#include "textcodec.h"

#include <QtCore/QFile>
#include <QtCore/QStringList>
#include <QtTest/QtTest>

inline QStringList titles(const THisList &list)
{
    QStringList out;
    for (const auto &r : list)
        out << fieldText(r->Title);
    return out;
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}
