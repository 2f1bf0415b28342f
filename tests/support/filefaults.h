#pragma once

#include <QtCore/QFile>
#include <QtCore/QString>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// File helpers and faults for tests of saving: a full disk and a folder the
// program may not write in, both made to work when the tests run as root.

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// While it lives, no file of this process grows past `bytes`: writes fail as
// on a full disk (the signal that would end the process is ignored).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FSignal = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = FOld;
        small.rlim_cur = bytes;
        FOk = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FSignal);
    }
    bool ok() const { return FOk; }

private:
    struct rlimit FOld {};
    void (*FSignal)(int) = nullptr;
    bool FOk = false;
};

// While it lives, the folder is read-only for this thread. Root ignores
// permission bits, so as root the thread's file-system identity becomes an
// ordinary user's, which also drops root's right to override them.
class NoWriteAccess
{
public:
    explicit NoWriteAccess(const QString &folder) : FPath(QFile::encodeName(folder))
    {
        ::chmod(FPath.constData(), 0555);
        if (::geteuid() == 0)
            FOldFsuid = ::setfsuid(65534);
    }
    ~NoWriteAccess()
    {
        if (FOldFsuid >= 0)
            ::setfsuid(uid_t(FOldFsuid));
        ::chmod(FPath.constData(), 0755);
    }

private:
    QByteArray FPath;
    int FOldFsuid = -1;
};
