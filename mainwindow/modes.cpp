#include "lekto.h"

#include "startaddress.h"
#include "webvoice.h"

namespace {

using O = TDownloadControlOption;
const TDownloadOptions kMediaMembers{O::DownloadImages, O::DownloadVideos, O::DownloadBGSounds};
const TDownloadOptions kActiveMembers{O::DontExecuteScripts, O::DontExecuteJava, O::DontExecuteActiveX,
                                      O::DontDownloadActiveX};

} // namespace

void TFLekto::pFullClick()
{
    pFull->SetBevelInner(TBevelCut::bvLowered);
    pFull->SetBevelOuter(TBevelCut::bvLowered);
    pHalf->SetBevelInner(TBevelCut::bvRaised);
    pHalf->SetBevelOuter(TBevelCut::bvRaised);
    pFull->SetChecked(true);
    pHalf->SetChecked(false);
    ShowPassingHint(QStringLiteral("已切换到纯净模式"));
    WB1->OnNewWindow3 = [this](auto &&...a) { FullNewWindow3(std::forward<decltype(a)>(a)...); };
    WB1->SetDownloadOptions(WB1->DownloadOptions() - kMediaMembers + kActiveMembers);
    ReloadAfterSwitch();
}

void TFLekto::pHalfClick()
{
    pHalf->SetBevelInner(TBevelCut::bvLowered);
    pHalf->SetBevelOuter(TBevelCut::bvLowered);
    pFull->SetBevelInner(TBevelCut::bvRaised);
    pFull->SetBevelOuter(TBevelCut::bvRaised);
    pHalf->SetChecked(true);
    pFull->SetChecked(false);
    ShowPassingHint(QStringLiteral("已切换到半纯净模式"));
    Mute->Muteof(true);
    WB1->OnNewWindow3 = [this](auto &&...a) { MaskNewWindow3(std::forward<decltype(a)>(a)...); };
    WB1->SetDownloadOptions(WB1->DownloadOptions() + kMediaMembers - kActiveMembers);
    ReloadAfterSwitch();
}

void TFLekto::ReloadAfterSwitch()
{
    if (!WB1->Document())
        return;
    const THtmlDocument2 *doc = WB1->Doc2();
    if (!doc)
        return;
    if (isBlankAddress(doc->URL))
        ShowStartPage();
    else
        WB1->Refresh();
}

void TFLekto::FullNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &)
{
    ppDisp = WB1->Application();
}

void TFLekto::MaskNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &)
{
    ppDisp = WBx->Application();
}

void TFLekto::WBxNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &)
{
    ppDisp = WbY->Application();
}

void TFLekto::WbYNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &)
{
    ppDisp = WBx->Application();
}

void TFLekto::MaskWbDocumentComplete(TBrowserView *ASender, TBrowserObject, QString &URL)
{
    if (!isBlankAddress(URL))
        ASender->Navigate(QStringLiteral("about:blank"));
}

