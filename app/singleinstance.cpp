#include "singleinstance.h"

#include <QtCore/QCryptographicHash>
#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QStandardPaths>
#include <QtCore/QThread>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

#include <sys/stat.h>

namespace {

const QByteArray kShowYourself = QByteArrayLiteral("show\n");
const QByteArray kShown = QByteArrayLiteral("shown\n");
const QByteArray kEnding = QByteArrayLiteral("ending\n");

QString canonicalDir(const QString &dir)
{
    const QString c = QFileInfo(dir).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(QDir(dir).absolutePath()) : c;
}

} // namespace

TSingleInstance::TSingleInstance(const QString &dataDir, QObject *parent)
    : QObject(parent), FDataDir(canonicalDir(dataDir)), FLock(std::make_unique<QLockFile>(lockPath()))
{
    // The lock lives as long as the program: only a process that is gone
    // makes it stale, never its age.
    FLock->setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance()
{
    if (StillOwner()) {
        if (FServer)
            FServer->close();
        return;
    }
    // Replaced: the socket and the lock file at our names are the new
    // copy's, and closing ours would remove them. Both are left to the end
    // of the process.
    if (FServer) {
        FServer->setParent(nullptr);
        FServer = nullptr;
    }
    (void)FLock.release();
}

void TSingleInstance::SetEnding()
{
    FEnding = true;
}

QString TSingleInstance::lockPath() const
{
    return QDir(FDataDir).filePath(QLatin1String(kLockName));
}

quint64 TSingleInstance::fileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return (quint64(st.st_dev) << 40) ^ quint64(st.st_ino) ^ 1;
}

QString TSingleInstance::ServerName(const QString &dataDir)
{
    // A socket path has about a hundred bytes: the folder is named by its hash,
    // in the user's own runtime folder.
    const QByteArray hash = QCryptographicHash::hash(canonicalDir(dataDir).toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    QString base = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    return QDir(base).filePath(QStringLiteral("lekto-") + QString::fromLatin1(hash));
}

TSingleInstance::TStart TSingleInstance::Start(int answerTimeoutMs)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // A lock whose process is gone is taken over here by QLockFile itself.
        if (FLock->tryLock(0)) {
            FLockFile = fileIdentity(lockPath());
            listen();
            return TStart::First;
        }
        if (FLock->error() != QLockFile::LockFailedError)
            break; // the folder cannot hold a lock: run unguarded rather than not at all
        // A copy still starting (its engine, its history) answers only once
        // it runs: a young lock is given longer.
        const quint64 held = fileIdentity(lockPath());
        const QDateTime made = QFileInfo(lockPath()).lastModified();
        const bool young = made.isValid() && made.msecsTo(QDateTime::currentDateTime()) < kYoungLockMs;
        switch (handOver(young ? std::max(answerTimeoutMs, kYoungAnswerTimeoutMs) : answerTimeoutMs)) {
        case TAnswer::Shown:
            return TStart::HandedOver;
        case TAnswer::Ending:
            // It is on its way out (saving, or waiting for a print): this
            // start takes over once it has gone.
            if (FLock->tryLock(kEndingWaitMs)) {
                FLockFile = fileIdentity(lockPath());
                listen();
                return TStart::First;
            }
            break;
        case TAnswer::None:
            break;
        }
        // Locked by a copy that does not answer: it hangs, or lost its
        // socket. QLockFile will not remove a lock its living holder still
        // has (an flock on the file), so the file goes: the next try makes
        // a new one, and the hung copy keeps a lock on nothing. Only that
        // file: another start may have replaced it meanwhile.
        if (!FLock->removeStaleLockFile() && fileIdentity(lockPath()) == held)
            QFile::remove(lockPath());
    }
    return TStart::First;
}

bool TSingleInstance::StillOwner() const
{
    // The file itself, not only the process it names: a take-over makes a
    // new file in its place.
    return FLock->isLocked() && FLockFile != 0 && fileIdentity(lockPath()) == FLockFile;
}

TSingleInstance::TAnswer TSingleInstance::handOver(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    const QString name = ServerName(FDataDir);
    // A copy that has just taken the lock listens a moment later.
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(1000))
            break;
        if (clock.elapsed() > 1500)
            return TAnswer::None;
        QThread::msleep(100);
    }
    socket.write(kShowYourself);
    if (!socket.waitForBytesWritten(std::max<int>(1, timeoutMs - int(clock.elapsed()))))
        return TAnswer::None;
    QByteArray answer;
    while (!answer.contains('\n')) {
        const int left = timeoutMs - int(clock.elapsed());
        if (left <= 0 || !socket.waitForReadyRead(left))
            return TAnswer::None;
        answer += socket.readAll();
    }
    return answer == kShown ? TAnswer::Shown : answer == kEnding ? TAnswer::Ending : TAnswer::None;
}

void TSingleInstance::listen()
{
    const QString name = ServerName(FDataDir);
    // We hold the lock: a socket left there is a dead copy's.
    QLocalServer::removeServer(name);
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(name))
        return; // later starts find nobody to hand over to and take the lock
    connect(FServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = FServer->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (!s->canReadLine())
                    return;
                if (s->readLine() == kShowYourself) {
                    s->write(FEnding ? kEnding : kShown);
                    s->flush();
                    if (!FEnding)
                        emit activationRequested();
                }
                s->disconnectFromServer();
            });
        }
    });
}
