// Files a page hands over: where to save them, and their progress in the
// hint line, with a button there to cancel.
#include "lekto.h"

#include "dialogs.h"
#include "startaddress.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QLocale>
#include <QtCore/QStandardPaths>
#include <QtCore/QTimer>
#include <QtWidgets/QBoxLayout>
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

    auto *line = new QHBoxLayout(pHint);
    // Apart from the navigation buttons beside the hint line.
    line->setContentsMargins(0, 0, 6, 0);
    line->addStretch(1);
    BtnCancelDownload = new QPushButton(QStringLiteral("取消"), pHint);
    BtnCancelDownload->setFixedWidth(40);
    BtnCancelDownload->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    BtnCancelDownload->hide();
    line->addWidget(BtnCancelDownload);
    connect(BtnCancelDownload, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnCancelDownloadClick(); }); });
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
        if (!QFileInfo::exists(path) && !FDownloads->Targets(path))
            return TDownloadTarget{path, false};
        if (QFileInfo(path).isDir())
            return TDownloadTarget{path, false}; // refused with its reason when the file is made
        if (Dialogs::askYesNo(QStringLiteral("警告"),
                              QStringLiteral("“%1”已存在。\n要替换它吗？").arg(QFileInfo(path).fileName())))
            return TDownloadTarget{path, true};
        proposed = path; // the dialog again, for another name
    }
}

QString TFLekto::DownloadHint() const
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
    const QFontMetrics fm = pHint->fontMetrics();
    const int room = pHint->width() - (BtnCancelDownload ? BtnCancelDownload->width() : 0) - 14
        - fm.horizontalAdvance(before + after);
    return before + fm.elidedText(shown.fileName(), Qt::ElideMiddle, std::max(room, fm.horizontalAdvance(QStringLiteral("…")))) + after;
}

void TFLekto::DownloadChange(const TDownloadState &state)
{
    BtnCancelDownload->setVisible(!FDownloads->Running().isEmpty());
    switch (state.phase) {
    case TDownloadState::Running:
        setHint(DownloadHint());
        break;
    case TDownloadState::Completed:
        setHint(QStringLiteral("下载完成：") + state.fileName());
        break;
    case TDownloadState::Cancelled:
        setHint(QStringLiteral("已取消下载：") + state.fileName());
        break;
    case TDownloadState::Failed:
        setHint(QStringLiteral("下载失败：") + state.fileName());
        // Not inside the engine's signal: the report is a modal box.
        QTimer::singleShot(0, this, [text = QStringLiteral("“%1”没有下载成功：%2").arg(state.fileName(), state.error)] {
            Dialogs::errorReport(text);
        });
        break;
    }
}

void TFLekto::BtnCancelDownloadClick()
{
    // The download the hint line speaks of: the latest.
    const QList<TDownloadState> running = FDownloads->Running();
    if (!running.isEmpty())
        FDownloads->Cancel(running.last().id);
}
