#include "downloads.h"

#include "browserview.h"
#include "downloadfile.h"

#include <QtCore/QFileInfo>
#include <QtWebEngineCore/QWebEngineDownloadRequest>
#include <QtWebEngineCore/QWebEngineProfile>
#include <QtWebEngineWidgets/QWebEngineView>

namespace {

using R = QWebEngineDownloadRequest;

// The engine explains in English; the reader is told in Chinese.
QString reasonText(const R *request)
{
    switch (request->interruptReason()) {
    case R::FileAccessDenied: return QStringLiteral("没有写入这个文件夹的权限。");
    case R::FileNoSpace: return QStringLiteral("磁盘空间不足。");
    case R::FileNameTooLong: return QStringLiteral("文件名太长。");
    case R::FileTooLarge: return QStringLiteral("文件太大，磁盘放不下。");
    case R::FileFailed:
    case R::FileTransientError: return QStringLiteral("无法写入文件。");
    case R::NetworkFailed:
    case R::NetworkDisconnected: return QStringLiteral("网络连接中断。");
    case R::NetworkTimeout: return QStringLiteral("网络超时。");
    case R::NetworkServerDown:
    case R::ServerUnreachable: return QStringLiteral("无法连接服务器。");
    case R::ServerUnauthorized:
    case R::ServerForbidden: return QStringLiteral("服务器拒绝了下载。");
    case R::ServerFailed:
    case R::ServerBadContent: return QStringLiteral("服务器出错，文件不完整。");
    default: break;
    }
    // Reasons the engine has and Qt does not name, by their family: 1-19
    // the file, 20-29 the network, 30-39 the server (38: the connection
    // ended before the length the server announced).
    const int reason = int(request->interruptReason());
    if (reason > 0 && reason < 20)
        return QStringLiteral("无法写入文件。");
    if (reason >= 20 && reason < 30)
        return QStringLiteral("网络连接中断。");
    if (reason >= 30 && reason < 40)
        return QStringLiteral("服务器中途出错，文件不完整。");
    return request->interruptReasonString();
}

} // namespace

QString TDownloadState::fileName() const
{
    return QFileInfo(path).fileName();
}

int TDownloadState::percent() const
{
    if (total <= 0)
        return -1;
    return int(std::min<qint64>(100, received * 100 / total));
}

TDownloads::TDownloads(TBrowserView *view) : QObject(view), FView(view)
{
    // Every view shares the one profile; each asks only about its own page.
    connect(TBrowserView::Profile(), &QWebEngineProfile::downloadRequested, this, &TDownloads::onRequested);
}

TDownloads::~TDownloads()
{
    // The program ends: what has not arrived is given up, not left half written.
    for (TItem &item : FItems) {
        if (item.request) {
            item.request->disconnect(this);
            item.request->cancel();
        }
        DownloadFile::Discard(item.partPath);
    }
}

QList<TDownloadState> TDownloads::Running() const
{
    QList<TDownloadState> out;
    for (const TItem &item : FItems)
        out << item.state;
    std::sort(out.begin(), out.end(), [](const TDownloadState &a, const TDownloadState &b) { return a.id < b.id; });
    return out;
}

bool TDownloads::Targets(const QString &path) const
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (const TItem &item : FItems)
        if (QFileInfo(item.target.path).absoluteFilePath() == wanted)
            return true;
    return false;
}

void TDownloads::Cancel(quint32 id)
{
    const auto it = FItems.find(id);
    if (it != FItems.end() && it->request)
        it->request->cancel(); // the engine reports the end, and the part file goes then
}

bool TDownloads::isOurs(const QWebEngineDownloadRequest *request)
{
    if (request->page() == FView->page())
        return FView->TakeReaderGesture();
    // A "new window" link the reader clicked here went to a view that
    // swallows pop-ups; the file it asks for is still the reader's. Pop-ups
    // a page opens by itself never download.
    auto *from = qobject_cast<TBrowserView *>(QWebEngineView::forPage(request->page()));
    if (!from || from->ReaderClickFrom() != FView)
        return false;
    from->ForgetReaderClick();
    return true;
}

void TDownloads::onRequested(QWebEngineDownloadRequest *request)
{
    if (request->state() != R::DownloadRequested)
        return;
    if (const auto it = FItems.find(request->id()); it != FItems.end()) {
        // The engine tries again by itself after a broken connection, and
        // announces the attempt as a new request of the same download: it
        // goes on into the same part file, unasked.
        resume(*it, request);
        return;
    }
    // One question at a time: what a page asks for while the reader is
    // being asked is dropped, not stacked up as dialogs inside dialogs.
    if (FAsking || !OnAskTarget)
        return;
    if (!isOurs(request)) {
        // Not accepted: the engine drops it. The reader hears of a file
        // their own page asked for, so a download that came too late after
        // their click is not lost without a word.
        if (request->page() == FView->page() && OnRefused)
            OnRefused(DownloadFile::ProposedName(request->suggestedFileName(), request->url()));
        return;
    }
    const QString proposed = DownloadFile::ProposedName(request->suggestedFileName(), request->url());
    const quint32 id = request->id();
    QPointer<QWebEngineDownloadRequest> guard(request);
    FAsking = true;
    std::optional<TDownloadTarget> target;
    try {
        target = OnAskTarget(proposed, request->url());
    } catch (...) {
        FAsking = false;
        throw;
    }
    FAsking = false;
    if (!target || !guard || guard->state() != R::DownloadRequested)
        return;

    const DownloadFile::TResult part = DownloadFile::Reserve(target->path);
    TItem item{guard, *target, part.path, TDownloadState{id, TDownloadState::Running, target->path, 0, request->totalBytes(), {}}};
    if (!part.ok()) {
        item.state.phase = TDownloadState::Failed;
        item.state.error = part.error;
        report(item.state);
        return;
    }
    report(resume(*FItems.insert(id, item), request).state);
}

TDownloads::TItem &TDownloads::resume(TItem &item, QWebEngineDownloadRequest *request)
{
    if (item.request && item.request != request)
        item.request->disconnect(this);
    item.request = request;
    const QFileInfo partInfo(item.partPath);
    request->setDownloadDirectory(partInfo.absolutePath());
    request->setDownloadFileName(partInfo.fileName());
    const quint32 id = item.state.id;
    connect(request, &R::receivedBytesChanged, this, [this, id] { onProgress(id); });
    connect(request, &R::totalBytesChanged, this, [this, id] { onProgress(id); });
    connect(request, &R::stateChanged, this, [this, id] { onStateChanged(id); });
    request->accept();
    return item;
}

void TDownloads::onProgress(quint32 id)
{
    const auto it = FItems.find(id);
    if (it == FItems.end() || !it->request)
        return;
    it->state.received = it->request->receivedBytes();
    it->state.total = it->request->totalBytes();
    report(it->state);
}

void TDownloads::onStateChanged(quint32 id)
{
    const auto it = FItems.find(id);
    if (it == FItems.end() || !it->request)
        return;
    TItem &item = *it;
    R *request = item.request;
    item.state.received = request->receivedBytes();
    item.state.total = request->totalBytes();
    switch (request->state()) {
    case R::DownloadCompleted: {
        const DownloadFile::TResult done = DownloadFile::Finish(item.partPath, item.target.path, item.target.replace);
        if (done.ok())
            item.state.path = done.path; // another name when the chosen one was taken meanwhile
        end(item, done.ok() ? TDownloadState::Completed : TDownloadState::Kept, done.error);
        break;
    }
    case R::DownloadCancelled:
        DownloadFile::Discard(item.partPath);
        end(item, TDownloadState::Cancelled);
        break;
    case R::DownloadInterrupted: {
        // The engine would keep the part to resume it later; this program
        // keeps no downloads between runs, so it goes now.
        const QString why = reasonText(request);
        request->disconnect(this);
        request->cancel();
        DownloadFile::Discard(item.partPath);
        end(item, TDownloadState::Failed, why);
        break;
    }
    default:
        break;
    }
}

void TDownloads::end(TItem &item, TDownloadState::TPhase phase, const QString &error)
{
    TDownloadState state = item.state;
    state.phase = phase;
    state.error = error;
    if (item.request)
        item.request->disconnect(this);
    FItems.remove(state.id);
    report(state);
}

void TDownloads::report(const TDownloadState &state)
{
    if (OnChange)
        OnChange(state);
}
