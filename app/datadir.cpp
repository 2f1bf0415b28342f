#include "datadir.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryFile>

namespace {
// A real try: permission bits say nothing for root or on a read-only mount.
bool canWriteIn(const QString &dir)
{
    if (dir.isEmpty() || !QDir(dir).exists())
        return false;
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".lekto-write-test-XXXXXX")));
    return probe.open();
}

bool isInstalled(const QString &programDir)
{
    return !programDir.isEmpty() && QFileInfo::exists(QDir(programDir).filePath(InstalledMarker()));
}
}

QString InstalledMarker()
{
    return QStringLiteral(LEKTO_INSTALLED_MARKER);
}

QString ChooseDataDir(const QString &programDir, const QString &userDir)
{
    if (!isInstalled(programDir) && canWriteIn(programDir))
        return programDir;
    QDir().mkpath(userDir);
    return userDir;
}

QString LektoDataDir()
{
    static const QString dir = ChooseDataDir(QCoreApplication::applicationDirPath(),
                                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    return dir;
}
