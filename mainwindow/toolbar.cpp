#include "lekto.h"

#include "dialogs.h"
#include "forms.h"
#include "lektoerror.h"
#include "lektohistory.h"
#include "lektolinks.h"
#include "wbzoom.h"

#include <QtCore/QTimer>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace {
const QString kHistoryTakenOver = QStringLiteral("另一个 Lekto 已接管这个数据文件夹，本窗口的阅读记录没有保存，以免覆盖它的记录。");
}

void TFLekto::BtnGoClick()
{
    const QString text = EdUrl->text();
    if (!text.isEmpty())
        WB1->Navigate2(text);
}

void TFLekto::BtnGo2Click()
{
    EdUrl->clear();
    EdUrl->paste();
    BtnGo->click();
}

void TFLekto::EdUrlDblClick()
{
    EdUrl->selectAll();
}

void TFLekto::BtnNavigate(QObject *sender)
{
    switch (sender ? sender->property("tag").toInt() : -1) {
    case 0: WB1->GoBack(); break;
    case 1: WB1->Stop(); break;
    case 2: WB1->GoForward(); break;
    case 3: WB1->Refresh(); break;
    default: break;
    }
}

void TFLekto::BtnStartClick()
{
    pads->setVisible(true);
    ShowStartPage();
}

void TFLekto::BtnStartMouseUp(Qt::MouseButton button)
{
    if (button == Qt::RightButton && FLektoLinks)
        FLektoLinks->ToShow();
}

void TFLekto::BtnZoomClick()
{
    if (WBZoom)
        WBZoom->ShowAt(BtnZoom, false, true, [this](int v) { _ZoomProc(v); });
}

void TFLekto::BtnTiebaClick()
{
    IEOpen(QString::fromLatin1(kForumAddress));
}

void TFLekto::IEOpen(const QString &url)
{
    if (Dialogs::openExternal(url))
        return;
    // No browser of the system's took it: the reader gets the address to
    // paste wherever they like.
    QGuiApplication::clipboard()->setText(url);
    setHint(QStringLiteral("无法用系统浏览器打开，网址已复制：") + url);
}

// ---- deferred save ----

void TFLekto::ScheduleSave()
{
    if (Timer1Tag != 0)
        return; // armed already: the running period is not restarted
    Timer1Tag = -1;
    Timer1->start();
}

void TFLekto::Timer1Timer()
{
    Timer1Tag = 0;
    Timer1->stop();
    SaveHistory(false);
}

void TFLekto::SaveHistory(bool closing)
{
    Dialogs::guarded([&] {
        if (MayWriteHistory && !MayWriteHistory()) {
            if (closing || FLastSaveError != kHistoryTakenOver) {
                FLastSaveError = kHistoryTakenOver;
                throw ELektoError(kHistoryTakenOver);
            }
            return;
        }
        try {
            FLektoHis->SaveHis();
            SaveReadingPlaces();
            SaveNewChapterStore();
            FLastSaveError.clear();
        } catch (const ELektoError &e) {
            // The lists stay in memory and the next change tries again. A
            // save that keeps failing for the same reason is reported once,
            // not every 20 seconds; at the end it is the last word.
            if (closing || e.message() != FLastSaveError) {
                FLastSaveError = e.message();
                throw;
            }
        }
    });
}

// ---- zoom ----

void TFLekto::ZoomBy(int direction)
{
    _ZoomProc(direction == 0 ? 100 : ZoomStep(FZoom, direction));
}

void TFLekto::_ZoomProc(int ZoomValue)
{
    FZoom = ZoomValue;
    if (WBZoom)
        WBZoom->SetCurrent(ZoomValue);
    ShowPassingHint(QStringLiteral("缩放：%1%").arg(ZoomValue));
    if (FIsIE6) {
        if (WB1->Document())
            ApplyDocZoom();
        return;
    }
    WB1->SetZoomPercent(ZoomValue);
    WB1->SetZoom(1);
}

void TFLekto::ApplyDocZoom()
{
    // Only very old engines need the zoom set again on every document.
}

