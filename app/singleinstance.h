#pragma once

#include <QtCore/QLockFile>
#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

class QLocalServer;

// One Lekto per data folder. Two copies on the same history would each keep
// their own lists and the last to save would overwrite the other's reading,
// so a second start hands over to the copy already running (which raises
// its window) and ends. A copy that was killed, or that hangs and does not
// answer, never keeps a new start out: its lock is taken over.
class TSingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class TStart {
        First,      // this copy runs: it holds the folder's lock
        HandedOver, // another copy runs and was asked to show itself
    };

    // The lock file's name in the data folder.
    static constexpr char kLockName[] = ".lekto-running.lock";
    // How long a running copy has to answer (it may still be starting up:
    // it answers once its event loop runs).
    static constexpr int kAnswerTimeoutMs = 10000;
    // A lock younger than this may be a copy still starting on a busy
    // machine: it is given the longer time.
    static constexpr qint64 kYoungLockMs = 60000;
    static constexpr int kYoungAnswerTimeoutMs = 30000;
    // How long a start waits for a copy that is ending.
    static constexpr int kEndingWaitMs = 90000;

    explicit TSingleInstance(const QString &dataDir, QObject *parent = nullptr);
    ~TSingleInstance() override;

    TStart Start(int answerTimeoutMs = kAnswerTimeoutMs);
    // Whether this copy still holds the folder: false once a later start
    // took the lock over from it (it was taken for hung).
    bool StillOwner() const;
    // The program is ending: later starts are told so, and wait for it to
    // go instead of asking it to show a window that is closing.
    void SetEnding();

    // The local socket a running copy listens on for the folder.
    static QString ServerName(const QString &dataDir);

signals:
    // Another start asked this copy to show its window.
    void activationRequested();

private:
    enum class TAnswer { None, Shown, Ending };
    TAnswer handOver(int timeoutMs);
    QString lockPath() const;
    static quint64 fileIdentity(const QString &path);
    void listen();

    QString FDataDir;
    // Let go of only while this copy holds it: QLockFile removes the file
    // it goes with, which after a take-over is the new copy's.
    std::unique_ptr<QLockFile> FLock;
    QLocalServer *FServer = nullptr;
    quint64 FLockFile = 0; // the lock file this copy made
    bool FEnding = false;
};
