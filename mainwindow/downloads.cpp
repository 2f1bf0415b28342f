// Files a page hands over: where to save them, and their progress in the
// hint line, with a button there to cancel; in full-screen reading, where
// the hint line is hidden, in a small note over the page.
#include "lekto.h"

#include "dialogs.h"
#include "downloadfile.h"
#include "startaddress.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace {

QString defaultDownloadFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

} // namespace

void TFLekto::DownloadsCreate()
{
    FDownloads = new TDownloads(WB1);
    FDownloads->OnAskTarget = [this](const QString &name, const QUrl &) {
        std::optional<TDownloadTarget> target;
        Dialogs::guarded([&] { target = DownloadAskTarget(name); });
        return target;
    };
    FDownloads->OnChange = [this](const TDownloadState &state) { Dialogs::guarded([&] { DownloadChange(state); }); };
    FDownloads->OnRefused = [this](const QString &name) {
        setHint(QStringLiteral("已阻止网页自行下载：") + name + QStringLiteral("（请点击下载链接）"));
    };

    auto *line = new QHBoxLayout(pHint);
    // Apart from the navigation buttons beside the hint line.
    line->setContentsMargins(0, 0, 6, 0);
    line->addStretch(1);
    BtnCancelDownload = new QPushButton(QStringLiteral("取消"), pHint);
    BtnCancelDownload->setFixedWidth(40);
    BtnCancelDownload->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    BtnCancelDownload->hide();
    BtnOpenFolder = new QPushButton(QStringLiteral("打开文件夹"), pHint);
    BtnOpenFolder->setFixedWidth(72);
    BtnOpenFolder->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    BtnOpenFolder->hide();
    line->addWidget(BtnOpenFolder);
    line->addWidget(BtnCancelDownload);
    connect(BtnOpenFolder, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnOpenFolderClick(); }); });
    connect(BtnCancelDownload, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnCancelDownloadClick(); }); });

    FDownloadNote = new QFrame(Panel1);
    FDownloadNote->setFrameShape(QFrame::StyledPanel);
    FDownloadNote->setFrameShadow(QFrame::Raised);
    FDownloadNote->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(FDownloadNote);
    row->setContentsMargins(8, 3, 3, 3);
    LblDownloadNote = new QLabel(FDownloadNote);
    BtnCancelDownloadNote = new QPushButton(QStringLiteral("取消"), FDownloadNote);
    // The keyboard stays with the page the reader reads.
    BtnCancelDownloadNote->setFocusPolicy(Qt::NoFocus);
    BtnOpenFolderNote = new QPushButton(QStringLiteral("打开文件夹"), FDownloadNote);
    BtnOpenFolderNote->setFocusPolicy(Qt::NoFocus);
    BtnOpenFolderNote->hide();
    row->addWidget(LblDownloadNote);
    row->addWidget(BtnOpenFolderNote);
    row->addWidget(BtnCancelDownloadNote);
    FDownloadNote->hide();
    connect(BtnOpenFolderNote, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnOpenFolderClick(); }); });
    connect(BtnCancelDownloadNote, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnCancelDownloadClick(); }); });
    FDownloadNoteTimer = new QTimer(this);
    FDownloadNoteTimer->setSingleShot(true);
    FDownloadNoteTimer->setInterval(kDownloadNoteMs);
    connect(FDownloadNoteTimer, &QTimer::timeout, FDownloadNote, &QWidget::hide);
}

void TFLekto::ShowShownPage()
{
    // The navigation that brought the file ends in no page: the caption and
    // the address box speak of the page still shown, as before it.
    const THtmlDocument2 *doc = WB1->Doc2();
    if (!doc)
        return;
    const bool start = isBlankAddress(doc->URL);
    EdUrl->setText(start ? QStringLiteral("rc:GoStart") : doc->URL);
    setWindowTitle(start ? QStringLiteral("Lekto") : doc->title);
}

std::optional<TDownloadTarget> TFLekto::DownloadAskTarget(const QString &proposedName)
{
    ShowShownPage();
    if (FDownloadFolder.isEmpty() || !QFileInfo(FDownloadFolder).isDir())
        FDownloadFolder = defaultDownloadFolder();
    QString proposed = QDir(FDownloadFolder).filePath(proposedName);
    for (;;) {
        const std::optional<QString> chosen = Dialogs::saveFileName(QStringLiteral("保存文件"), proposed);
        if (!chosen || chosen->isEmpty())
            return std::nullopt;
        const QString path = QFileInfo(*chosen).absoluteFilePath();
        FDownloadFolder = QFileInfo(path).absolutePath();
        // A file there, or one a running download will put there.
        // A link counts, wherever it points: the reader is asked.
        if (!DownloadFile::Exists(path) && !FDownloads->Targets(path))
            return TDownloadTarget{path, false};
        if (DownloadFile::IsFolder(path))
            return TDownloadTarget{path, false}; // refused with its reason when the file is made
        // Not there yet, but another download of this run will put it there.
        const QString taken = DownloadFile::Exists(path) ? QStringLiteral("“%1”已存在。\n要替换它吗？")
                                                      : QStringLiteral("“%1”正在下载中。\n要用这个文件替换它吗？");
        if (Dialogs::askYesNo(QStringLiteral("警告"), taken.arg(QFileInfo(path).fileName())))
            return TDownloadTarget{path, true};
        proposed = path; // the dialog again, for another name
    }
}

QString TFLekto::DownloadHint(const QFontMetrics &fm, int width) const
{
    const QList<TDownloadState> running = FDownloads ? FDownloads->Running() : QList<TDownloadState>();
    if (running.isEmpty())
        return QString();
    const TDownloadState &shown = running.last();
    // A percentage when the server said how much comes, else what has come.
    const int percent = shown.percent();
    const QString amount = percent >= 0 ? QStringLiteral(" %1%").arg(percent)
        : shown.received > 0 ? QLatin1Char(' ') + QLocale(QLocale::Chinese, QLocale::China).formattedDataSize(shown.received, 1, QLocale::DataSizeTraditionalFormat)
                             : QString();
    const QString more = running.size() > 1 ? QStringLiteral("（共 %1 个）").arg(running.size()) : QString();
    // The hint line is narrow: the name gives way, so the figures stay in sight.
    const QString before = QStringLiteral("正在下载 ");
    const QString after = QStringLiteral("%1…%2").arg(amount, more);
    const int room = width - fm.horizontalAdvance(before + after);
    return before + fm.elidedText(shown.fileName(), Qt::ElideMiddle, std::max(room, fm.horizontalAdvance(QStringLiteral("…")))) + after;
}

void TFLekto::DownloadChange(const TDownloadState &state)
{
    const QList<TDownloadState> still = FDownloads->Running();
    const bool running = !still.isEmpty();
    BtnCancelDownload->setVisible(running);
    // The button cancels the download the line names (the latest): said on
    // the button too, and after an end the line goes on to name it.
    const QString cancels = running ? QStringLiteral("取消下载：") + still.last().fileName() : QString();
    BtnCancelDownload->setToolTip(cancels);
    BtnCancelDownloadNote->setToolTip(cancels);
    // What the hint line says now; the note of full-screen reading says the
    // same. A file saved is said with its folder, which a button opens.
    const auto say = [&](const QString &said, const QString &path = QString()) {
        const QString folder = path.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(path).absolutePath());
        const QFontMetrics &hfm = pHint->fontMetrics();
        const QFontMetrics nfm = LblDownloadNote->fontMetrics();
        const int room = pHint->width() - 14 - (running ? BtnCancelDownload->width() : 0) - (folder.isEmpty() ? 0 : BtnOpenFolder->width());
        if (!running) {
            const QString line = SavedIn(hfm, said, folder, room);
            setHint(line);
            OfferFolder(line, folder);
            ShowDownloadNote(SavedIn(nfm, said, folder, kDownloadNoteTextWidth), false, !folder.isEmpty());
            return;
        }
        // The download still running has the rest of the line.
        const QString gap = QStringLiteral("　");
        const QString line = SavedIn(hfm, said, folder, room / 2);
        setHint(line + gap + DownloadHint(hfm, room - hfm.horizontalAdvance(line + gap)));
        OfferFolder(QString(), folder);
        const QString note = SavedIn(nfm, said, folder, kDownloadNoteTextWidth / 2);
        ShowDownloadNote(note + gap + DownloadHint(nfm, kDownloadNoteTextWidth - nfm.horizontalAdvance(note + gap)), true,
                         !folder.isEmpty());
    };
    switch (state.phase) {
    case TDownloadState::Running:
        if (state.id != still.last().id)
            break; // the line speaks of the latest, whose progress says the rest
        FSavedLine.clear();
        setHint(DownloadHint(pHint->fontMetrics(), pHint->width() - BtnCancelDownload->width() - 14));
        ShowDownloadNote(DownloadHint(LblDownloadNote->fontMetrics(), kDownloadNoteTextWidth), true);
        break;
    case TDownloadState::Completed:
        say(QStringLiteral("下载完成：") + state.fileName(), state.path);
        break;
    case TDownloadState::Cancelled:
        say(QStringLiteral("已取消下载：") + state.fileName());
        break;
    case TDownloadState::Failed:
        say(QStringLiteral("下载失败：") + state.fileName());
        // Not inside the engine's signal: the report is a modal box.
        QTimer::singleShot(0, this, [text = QStringLiteral("“%1”没有下载成功：%2").arg(state.fileName(), state.error)] {
            Dialogs::errorReport(text);
        });
        break;
    case TDownloadState::Kept:
        // Not a failed download: the book is whole, under another name the
        // report gives, in the folder chosen.
        say(QStringLiteral("下载完成，未能保存为：") + state.fileName(), state.path);
        QTimer::singleShot(0, this, [text = state.error] { Dialogs::errorReport(text); });
        break;
    }
}

QString TFLekto::SavedIn(const QFontMetrics &fm, const QString &said, const QString &folder, int room)
{
    if (folder.isEmpty())
        return said;
    const QString before = said + QStringLiteral("（位于 "), after = QStringLiteral("）");
    const int left = room - fm.horizontalAdvance(before + after);
    return before + fm.elidedText(folder, Qt::ElideMiddle, std::max(left, fm.horizontalAdvance(QStringLiteral("…")))) + after;
}

void TFLekto::SaySaved(const QString &said, const QString &path)
{
    const QString folder = QDir::toNativeSeparators(QFileInfo(path).absolutePath());
    const QString line = SavedIn(pHint->fontMetrics(), said, folder, pHint->width() - 14 - BtnOpenFolder->width());
    setHint(line);
    OfferFolder(line, folder);
    ShowDownloadNote(SavedIn(LblDownloadNote->fontMetrics(), said, folder, kDownloadNoteTextWidth), false, true);
}

void TFLekto::OfferFolder(const QString &line, const QString &folder)
{
    // line: what the hint line says again once the pointer leaves a link
    // (empty while a download runs: its progress is said then).
    FSavedLine = folder.isEmpty() ? QString() : line;
    FSavedFolder = folder;
    BtnOpenFolder->setVisible(!folder.isEmpty());
    BtnOpenFolder->setToolTip(folder.isEmpty() ? QString() : QStringLiteral("打开文件夹：") + folder);
    BtnOpenFolderNote->setToolTip(BtnOpenFolder->toolTip());
}

void TFLekto::ForgetSavedFile()
{
    // The word on a file saved belongs to the page it was saved from: the
    // next page begins without it, or it would come back under every link
    // the pointer leaves for the rest of the evening.
    if (FSavedLine.isEmpty() && FSavedFolder.isEmpty())
        return;
    if (pHint->Caption() == FSavedLine)
        setHint(QString());
    FSavedLine.clear();
    FSavedFolder.clear();
    BtnOpenFolder->hide();
}

void TFLekto::BtnOpenFolderClick()
{
    if (!FSavedFolder.isEmpty())
        Dialogs::openExternal(QUrl::fromLocalFile(FSavedFolder).toString());
}

void TFLekto::StatusTextChange(const QString &text)
{
    if (!text.isEmpty()) {
        setHint(text);
        return;
    }
    // The pointer has left a link: a passing word (the zoom, the mode)
    // keeps its moment; then a running download's progress comes back, or
    // else the word on the file saved last, with its button.
    if (FPassingHintTimer && FPassingHintTimer->isActive()) {
        setHint(FPassingHint);
        return;
    }
    if (FDownloads && !FDownloads->Running().isEmpty()) {
        setHint(DownloadHint(pHint->fontMetrics(), pHint->width() - BtnCancelDownload->width() - 14));
        return;
    }
    setHint(FSavedLine);
    BtnOpenFolder->setVisible(!FSavedLine.isEmpty() && !FSavedFolder.isEmpty());
}

void TFLekto::BtnCancelDownloadClick()
{
    // The download the hint line speaks of: the latest.
    const QList<TDownloadState> running = FDownloads->Running();
    if (!running.isEmpty())
        FDownloads->Cancel(running.last().id);
}

void TFLekto::ShowDownloadNote(const QString &text, bool running, bool withFolder)
{
    if (!IsFullScreen()) {
        FDownloadNote->hide();
        return;
    }
    LblDownloadNote->setText(text);
    BtnCancelDownloadNote->setVisible(running);
    BtnOpenFolderNote->setVisible(withFolder);
    placeDownloadNote();
    FDownloadNote->show();
    FDownloadNote->raise();
    // An ended download is said for a while (longer when its folder is
    // offered, to be reached for); a running one until it ends.
    if (running) {
        FDownloadNoteTimer->stop();
    } else {
        FDownloadNoteTimer->start(withFolder ? 2 * kDownloadNoteMs : kDownloadNoteMs);
    }
}

void TFLekto::placeDownloadNote()
{
    FDownloadNote->adjustSize();
    const QRect view = WB1->geometry();
    constexpr int kScrollBarRoom = 20, kMargin = 12;
    FDownloadNote->move(std::max(view.left(), view.right() - FDownloadNote->width() - kScrollBarRoom),
                        std::max(view.top(), view.bottom() - FDownloadNote->height() - kMargin));
}

bool TFLekto::MayClose()
{
    // The engine cannot stop a page it prints: the end waits for it.
    if (FPrinting
        && !Dialogs::askYesNo(QStringLiteral("警告"), QStringLiteral("正在打印本页（或保存为 PDF）。\n退出前会等它完成，确定要退出吗？")))
        return false;
    const qsizetype running = FDownloads ? FDownloads->Running().size() : 0;
    if (running == 0)
        return true;
    return Dialogs::askYesNo(QStringLiteral("警告"),
                             QStringLiteral("还有 %1 个文件正在下载。\n退出将取消下载，确定要退出吗？").arg(running));
}
