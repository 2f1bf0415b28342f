#pragma once

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QUrl>

#include <functional>
#include <optional>

class QWebEngineDownloadRequest;
class TBrowserView;

// Where the reader wants a file saved, and whether a file already there may
// be replaced (the reader was asked).
struct TDownloadTarget {
    QString path;
    bool replace = false;
};

// One download as the window shows it.
struct TDownloadState {
    // Kept: all of it arrived, but it could not take its name; it stays
    // under the part file's name, and error says why and where.
    enum TPhase { Running, Completed, Cancelled, Failed, Kept };
    quint32 id = 0;
    TPhase phase = Running;
    QString path;        // where the file is (Completed) or is going
    qint64 received = 0; // bytes so far
    qint64 total = -1;   // -1 while the server has not said
    QString error;       // Failed, Kept: why, in the reader's words
    QString fileName() const;
    int percent() const; // -1 when the total is unknown
};

// The files a view's pages hand over for saving (a link to an attachment, a
// type the engine cannot show). Only this view downloads, and the views that
// swallow its pop-ups only for a link its reader clicked: any other request
// of theirs is left unaccepted, and the engine drops it.
class TDownloads : public QObject
{
    Q_OBJECT

public:
    explicit TDownloads(TBrowserView *view);
    ~TDownloads() override;

    // Asks the reader where to save a file; nothing refuses it. Called while
    // the engine waits for the answer.
    std::function<std::optional<TDownloadTarget>(const QString &proposedName, const QUrl &url)> OnAskTarget;
    // Every change of a download: progress, and its end.
    std::function<void(const TDownloadState &state)> OnChange;
    // A file the page asked for without a click or key of the reader's.
    std::function<void(const QString &proposedName)> OnRefused;

    QList<TDownloadState> Running() const;
    // True when a running download will be saved under this path.
    bool Targets(const QString &path) const;
    void Cancel(quint32 id);

private:
    struct TItem {
        QPointer<QWebEngineDownloadRequest> request;
        TDownloadTarget target;
        QString partPath;
        TDownloadState state;
    };

    // Takes the reader's gesture that lets the file through.
    bool isOurs(const QWebEngineDownloadRequest *request);
    void onRequested(QWebEngineDownloadRequest *request);
    TItem &resume(TItem &item, QWebEngineDownloadRequest *request);
    void onProgress(quint32 id);
    void onStateChanged(quint32 id);
    void end(TItem &item, TDownloadState::TPhase phase, const QString &error = QString());
    void report(const TDownloadState &state);

    TBrowserView *FView;
    bool FAsking = false; // the reader is being asked where to save
    QHash<quint32, TItem> FItems; // running downloads, by the engine's id
};
