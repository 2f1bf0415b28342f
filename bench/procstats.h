#pragma once

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QString>

#include <unistd.h>

// Memory of this process and of the engine processes it started, from /proc.
struct MemoryFigures {
    long ownPeakKb = 0;      // VmHWM of this process
    long childrenRssKb = 0;  // VmRSS of every process descended from this one
    long childrenPeakKb = 0; // their VmHWM
    int children = 0;
};

inline long statusField(const QString &pid, const char *field)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return 0;
}

inline MemoryFigures memoryFigures()
{
    MemoryFigures m;
    const QString self = QString::number(::getpid());
    m.ownPeakKb = statusField(self, "VmHWM:");
    // The engine's renderers are children of its zygote, not of this process.
    QList<long> family{long(::getpid())};
    bool grown = true;
    const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    while (grown) {
        grown = false;
        for (const QString &pid : all) {
            const long id = pid.toLong();
            if (id > 0 && !family.contains(id) && family.contains(statusField(pid, "PPid:"))) {
                family << id;
                grown = true;
                ++m.children;
                m.childrenRssKb += statusField(pid, "VmRSS:");
                m.childrenPeakKb += statusField(pid, "VmHWM:");
            }
        }
    }
    return m;
}
