#include "lekto.h"

#include "startaddress.h"
#include "bookkey.h"
#include "commandlink.h"
#include "dialogs.h"
#include "findbar.h"
#include "lektohistory.h"

#include <QtCore/QTimer>
#include <QtWidgets/QLineEdit>
#include <QtWebEngineCore/QWebEnginePage>

bool TFLekto::CommandTrusted(int flags) const
{
    // Commands come from the reader (the address box) or from Lekto's own
    // pages, never from a visited site: its links, scripts and redirects
    // could otherwise delete the history or open programs.
    if (flags & kNavFromHost)
        return true;
    return (flags & kNavTypeMask) == QWebEnginePage::NavigationTypeLinkClicked && WB1->ShowsOwnDocument();
}

void TFLekto::WB1BeforeNavigate2(TBrowserView *, TBrowserObject pDisp, QString &URL, int &Flags, QString &,
                                 QByteArray &, QString &, bool &Cancel)
{
    if (pDisp != WB1->Application())
        return;
    if (ParseCommandLink(URL).kind != TCommandKind::NotCommand) {
        Cancel = true;
        // Run after the engine has its answer: a command may show a modal box,
        // and a nested event loop inside the engine's navigation callback is
        // asking for trouble.
        if (CommandTrusted(Flags))
            QTimer::singleShot(0, this, [this, url = URL] { Dialogs::guarded([&] { RunCommandLink(url); }); });
        return;
    }
    if (IsPureMode())
        EdUrl->setText(URL);
    setWindowTitle(QStringLiteral("正在打开..."));
    ForgetSavedFile();
    // A page of the web replaces the start page; our own pages come and go
    // through their own calls.
    if (const QUrl target(URL); target.scheme().startsWith(QLatin1String("http")) || target.isLocalFile())
        FShowsStartPage = false;
    // A redirect on the way is the same load: the reader who went to the
    // address box meanwhile keeps it.
    const int type = Flags & kNavTypeMask;
    if (type != QWebEnginePage::NavigationTypeRedirect && type != QWebEnginePage::NavigationTypeOther)
        FAddressFocusAtNavigation = FAddressFocusSerial;
    // A book opened from the start page goes back to the place left in it.
    FResumeAddress = WB1->ShowsOwnDocument() ? URL : QString();
}

void TFLekto::WB1DocumentComplete(TBrowserView *, TBrowserObject pDisp, QString &)
{
    if (pDisp != WB1->Application())
        return;
    _OnStop(WB1);
    if (FFindBar)
        FFindBar->PageShown();
    if (FShowsStartPage && WB1->ShowsOwnDocument())
        Dialogs::guarded([this] { StartPageComplete(); });
    if (const THtmlDocument2 *doc = WB1->Doc2(); doc && !isBlankAddress(doc->URL)) {
        GivePageTheKeys();
        ResumePlaceIfAsked();
    }
}

void TFLekto::GivePageTheKeys()
{
    // However the page was opened (a link of the start page, 粘贴打开, F1, a
    // button), ← and → should turn its chapters at once. A page of another
    // site comes with a widget of its own for the keys, which nobody has
    // given the focus yet.
    const QWidget *focus = focusWidget();
    if (focus == EdUrl && FAddressFocusSerial != FAddressFocusAtNavigation)
        return; // the reader went to the address box while the page loaded
    if (focus && FFindBar && FFindBar->isAncestorOf(focus))
        return;
    if (focus == WB1->focusProxy() && WB1->focusProxy())
        return;
    WB1->SetFocus();
}

void TFLekto::_OnStop(TBrowserView *)
{
    const THtmlDocument2 *doc = WB1->Doc2();
    if (!doc)
        return; // nothing loaded yet: nothing to show or record
    const QString url = doc->URL;
    ApplyDocZoom();
    if (isBlankAddress(url)) {
        EdUrl->setText(QStringLiteral("rc:GoStart"));
        setWindowTitle(QStringLiteral("Lekto"));
        return;
    }
    pads->setVisible(false);
    EdUrl->setText(url);
    setWindowTitle(doc->title);
    // A page without a title is not recorded, nor is a page saying that an
    // address could not be opened.
    if (doc->title.isEmpty() || doc->IsErrorPage)
        return;
    Dialogs::guarded([this, found = doc->chapter] { RecordPage(EdUrl->text(), windowTitle(), found); });
}

void TFLekto::RecordPage(const QString &url, const QString &title, const TChapterLinks &found)
{
    const QString book = BookKey::Split(url).book;
    // A look at the contents (to jump, or to see what is new) leaves the
    // book at the chapter the reader reached.
    if (ChapterLinks::IsContentsPage(found, FContentsOf.value(book))) {
        if (FLektoHis->AddContentsHis(url, title))
            ScheduleSave();
        return;
    }
    FLektoHis->AddHis(url, title);
    ScheduleSave();
    // Where the chapters say their contents are, to know it when it opens.
    if ((!found.next.isEmpty() || !found.previous.isEmpty()) && !found.contents.isEmpty()) {
        FContentsOf.insert(book, found.contents);
        // Only where books are asked, and only a page of the book's own
        // site, without a name or password in its address.
        if (FChecksNewChapters && ChapterLinks::SameSite(QUrl(url), found.contents))
            FUpdates.SetContents(book, found.contents.adjusted(QUrl::RemoveUserInfo).toString());
    }
}

