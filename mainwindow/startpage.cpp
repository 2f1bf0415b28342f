#include "lekto.h"

#include "startaddress.h"

#include <QtWidgets/QLineEdit>

#include "commandlink.h"
#include "dialogs.h"
#include "lektohistory.h"

#include <QtWidgets/QPlainTextEdit>

QString TFLekto::HelpText() const
{
    QString text;
    for (const QString &line : Memo1->toPlainText().split(QLatin1Char('\n')))
        text += line + QStringLiteral("\r\n");
    return text;
}

void TFLekto::ShowStartPage()
{
    FShowsStartPage = true;
    QString page;
    if (FLektoHis->Count() > 0 || !FLektoHis->L2().empty()) {
        // Put around the listing in place: tens of megabytes at 20,000
        // entries, which a chain of + copied once a piece (70 ms).
        page = FLektoHis->GetHisHtmCode();
        page.prepend(QStringLiteral("<htm><body>"));
        page += QStringLiteral("&nbsp;&nbsp;<a href=\"rc:ReadMe\">使用说明</a>");
        page += QStringLiteral("&nbsp;&nbsp;<a href=\"rc:Open_") + QString::fromLatin1(kForumAddress);
        page += QStringLiteral("\"><font color=#0000FF>Mavent贴吧</font></a></H3>") + QStringLiteral("</body></htm>");
    } else {
        page = QStringLiteral("<htm><body>") + HelpText() + QStringLiteral("</body></htm>");
    }
    WB1->LoadFromString(page);
}

void TFLekto::ShowReadMe()
{
    FShowsStartPage = false;
    pads->setVisible(false);
    QString page = QStringLiteral("<htm><body>") + HelpText();
    if (FLektoHis->Count() > 0)
        page += QStringLiteral("<br><br><center><h2><a href=\"rc:GoStart\">返回</a></h2></center></body></htm>");
    else
        page += QStringLiteral("</body></htm>");
    WB1->LoadFromString(page);
}

bool TFLekto::RunCommandLink(const QString &url)
{
    const TCommandLink link = ParseCommandLink(url);
    using K = TCommandKind;
    switch (link.kind) {
    case K::NotCommand:
        return false;
    case K::Unknown:
        return true;
    case K::Open:
        // Only web addresses go to the system's browser, with their own letters.
        if (const QUrl target(link.address); target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https"))
            IEOpen(link.address);
        return true;
    case K::ClearBm:
        if (Dialogs::askYesNo(QStringLiteral("警告"), QStringLiteral("确定删除全部书签？"))
            && Dialogs::askYesNo(QStringLiteral("警告"), QStringLiteral("删除后无法回复！真的确定？"))) {
            FLektoHis->ClearBM();
            ScheduleSave();
            ShowStartPage();
        }
        return true;
    case K::ReadMe:
        ShowReadMe();
        return true;
    case K::GoStart:
        ShowStartPage();
        return true;
    case K::CheckNewChapters:
        CheckNewChapters(true);
        return true;
    case K::ReadingSettings:
        ShowReadingPanel();
        // Typed in the address box, it leaves the box saying the page shown.
        if (const THtmlDocument2 *doc = WB1->Doc2())
            EdUrl->setText(isBlankAddress(doc->URL) ? QStringLiteral("rc:GoStart") : doc->URL);
        return true;
    default:
        break;
    }

    TLektoHistory &h = *FLektoHis;
    switch (link.kind) {
    case K::xWeiyue: h.xWeiyue(0); break;
    case K::xYiyue: h.xWeiyue(1); break;
    case K::Weiyuetiqian: h.weiyuetiqian(); break;
    case K::Del: h.DelHis(link.index()); break;
    case K::L2Del: h.DelBm2(link.index()); break;
    case K::Yangfei: h.ToBm2(link.index()); break;
    case K::Jianzhu: h.BmJianzhu(false, link.index()); break;
    case K::FJianzhu: h.BmJianzhu(true, link.index()); break;
    case K::Yiyue: h.BmYiyue(link.index()); break;
    case K::FYiyue: h.Bm2Yiyue(link.index()); break;
    case K::Shuqian: h.ToShuqian(link.index()); break;
    default: break;
    }
    ScheduleSave();
    ShowStartPage();
    return true;
}

