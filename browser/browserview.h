#pragma once

#include "chapterlinks.h"
#include "downloadoptions.h"
#include "hostoptions.h"
#include "prefetch.h"
#include "readingtext.h"

#include <QtCore/QHash>
#include <QtCore/QPointF>
#include <QtCore/QPointer>
#include <QtWebEngineWidgets/QWebEngineView>

#include <functional>
#include <optional>

class QPrinter;
class QWebEngineProfile;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class TBrowserPage;

// The object that stands for "a browser": the main frame of a view is its page;
// every frame inside it is represented by one separate object, so that the
// top-level test (pDisp == view->Application()) tells the two apart.
using TBrowserObject = QObject *;

// What the rest of the program may read of the current document.
struct THtmlDocument2 {
    QString URL;   // "about:blank" for documents shown with LoadFromString; percent-encoded
    QString title; // the document's own <title>, empty when it has none
    bool IsErrorPage = false; // Lekto's page saying that URL could not be opened
    // Its chapter links and what tells its book's contents page, as found
    // when it completed or stopped; page empty when they were not found.
    TChapterLinks chapter;
};

// What became of a page in the reading view.
enum class TReadingOutcome {
    Shown,        // the chapter shows in the view
    NotChapter,   // the page is no chapter: it shows as it is
    TextNotFound, // a chapter whose text was not found: it shows as it is
    Off,          // the view was turned off on the page shown
};

// Flags passed with OnBeforeNavigate2: the engine's navigation type in the low
// byte, and kNavFromHost when the navigation was started by Navigate/Navigate2
// (that is, by the program or the reader, never by a page).
constexpr int kNavTypeMask = 0xff;
constexpr int kNavFromHost = 0x100;

class TBrowserView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit TBrowserView(QWidget *parent = nullptr);
    ~TBrowserView() override;

    // Custom schemes must be known before the application object exists.
    static void RegisterSchemes();
    // For tests and benchmarks: keep nothing on disk between runs.
    static void UseOffTheRecordProfile();
    static QWebEngineProfile *Profile();

    // Events. Handlers may be rebound at any time; an unbound event is ignored.
    std::function<void(TBrowserView *ASender, TBrowserObject pDisp, QString &URL, int &Flags,
                       QString &TargetFrameName, QByteArray &PostData, QString &Headers, bool &Cancel)>
        OnBeforeNavigate2;
    std::function<void(TBrowserView *ASender, TBrowserObject pDisp, QString &URL)> OnDocumentComplete;
    std::function<void(TBrowserView *ASender, TBrowserObject &ppDisp, bool &Cancel, quint32 dwFlags,
                       const QString &bstrUrlContext, const QString &bstrUrl)>
        OnNewWindow3;
    std::function<void(TBrowserView *ASender, const QString &Text)> OnStatusTextChange;
    std::function<void(TBrowserView *ASender, const QString &Text)> OnTitleChange;
    std::function<void(TBrowserView *ASender, int Progress, int ProgressMax)> OnProgressChange;
    std::function<void(TBrowserView *Sender)> OnStop;
    // Ctrl with the wheel over the page: a step of zoom in (+1) or out (-1),
    // for the owner to take; unbound, the wheel does nothing with Ctrl.
    std::function<void(TBrowserView *Sender, int direction)> OnZoomWheel;
    // The document shown is about to be left (a navigation of the view
    // begins): where the reader was in it, as a share of its length.
    std::function<void(TBrowserView *Sender, const THtmlDocument2 &doc, double ratio)> OnLeavePage;

    // Stops the view for good before its owner goes: loads stop, handlers
    // are unbound, and no engine answer still on its way acts any more
    // (deleting a page hands every pending script its answer, invalid,
    // inside the delete). Called by the destructor too.
    void Shutdown();
    bool IsShutDown() const { return FShutDown; }

    // Words that are no address get a page offering to search them: the
    // search address they are appended to, percent-encoded.
    void SetWordSearch(const QString &prefix) { FWordSearch = prefix; }

    void Navigate(const QString &URL);
    void Navigate2(const QString &URL);
    void Refresh();
    void Stop();
    void GoBack();
    void GoForward();
    int LoadFromString(const QString &St);

    TBrowserObject Application() const;
    TBrowserObject Document() const; // null until a document has been shown
    // The document the view shows now: its address from the moment the
    // engine commits it, its title from the moment it has one.
    const THtmlDocument2 *Doc2() const;
    // A style sheet for the documents of LoadFromString, put into each as it
    // is created; the documents' HTML stays as it is.
    void SetOwnDocumentStyle(const QString &css);
    // In the same documents, long lists (rows matching rowSelector, counted
    // within their parent) show their first `first` rows as they arrive; the
    // rest is put in as the reader comes near it, its place meanwhile held
    // at rowHeight pixels a row. Find, Tab and printing get every row.
    void SetOwnDocumentRowsAsNeeded(const QString &rowSelector, int first, int rowHeight);
    // True while the view shows a document of LoadFromString (the program's own pages).
    bool ShowsOwnDocument() const;
    // Runs script in the program's own document shown, in the application
    // world; nothing when another document is shown by then.
    void RunInOwnDocument(const QString &script);
    // The name the engine gives itself to sites.
    QByteArray UserAgent() const;

    TDownloadOptions DownloadOptions() const { return FDownloadOptions; }
    void SetDownloadOptions(TDownloadOptions options);
    std::int32_t DownloadFlagValue() const { return FDownloadFlagValue; }

    int ZoomPercent() const { return FZoomPercent; }
    void SetZoomPercent(int value);
    int Zoom() const { return FZoomStep; }
    void SetZoom(int step);

    bool Silent() const { return FSilent; }
    void SetSilent(bool value) { FSilent = value; }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool value) { setVisible(value); }
    void SetFocus();
    // True while a text field of the page (input, textarea, contenteditable)
    // has the keyboard focus: the engine asks for text input then.
    bool EditableHasFocus() const;

    // The sound of the view's pages. Muting stays with the view, so pages it
    // loads later are silent too.
    void SetAudioMuted(bool muted) { page()->setAudioMuted(muted); }
    bool AudioMuted() const { return page()->isAudioMuted(); }
    // Whether the page has played sound in the last moments (muted or not).
    bool Audible() const { return page()->recentlyAudible(); }

    // What the view tells the engine of its host (0x44000 as configured).
    TUserInterfaceOptions UserInterfaceOptions() const { return FUserInterfaceOptions; }
    void SetUserInterfaceOptions(TUserInterfaceOptions options) { FUserInterfaceOptions = options; }
    std::uint32_t HostFlagValue() const { return FUserInterfaceOptions.flagValue(); }
    // Letters whose Ctrl chord never reaches the page or the engine ("N":
    // Ctrl+N opens no window). Exact and case-sensitive on the key's
    // upper-case letter; Ctrl with Shift or Alt is not masked.
    QString DisableCtrlShortcuts() const { return FDisableCtrlShortcuts; }
    void SetDisableCtrlShortcuts(const QString &letters) { FDisableCtrlShortcuts = letters; }
    // Whether the chord is masked, as a plain rule.
    static bool IsMaskedShortcut(const QString &letters, int key, Qt::KeyboardModifiers modifiers);
    // What a drop on the page may open: web pages and files, nothing else.
    static bool IsDroppableAddress(const QUrl &url);
    bool CanGrabFocus() const { return FCanGrabFocus; }
    void SetCanGrabFocus(bool value) { FCanGrabFocus = value; }
    TScriptErrorAction ScriptErrorAction() const { return FScriptErrorAction; }
    void SetScriptErrorAction(TScriptErrorAction action) { FScriptErrorAction = action; }
    // With rcmAll among them no context menu shows; with none, the engine's own.
    QList<TIEPopupMenu> DisabledPopupMenus() const { return FDisabledPopupMenus; }
    void SetDisabledPopupMenus(const QList<TIEPopupMenu> &menus);

    // Chapter pages (chapterview.cpp). The links of the document shown to its
    // neighbouring chapters; done is not called when the view goes first.
    void FindChapterLinks(std::function<void(const TChapterLinks &)> done);
    // Opens url, found by FindChapterLinks, from the document it was found in
    // as that document's link would; nothing when another document is shown.
    void OpenChapter(const QUrl &url, const TChapterLinks &from);
    // Fetches the next chapter of from ahead (TPrefetchState), in place of
    // any earlier one, when from is still the document shown.
    void Prefetch(const TChapterLinks &from);
    void StopPrefetch();
    const TPrefetchState &PrefetchState() const { return FPrefetch; }
    // Counts the top-level navigations begun and the addresses shown: when it
    // moves, the page has gone (or is going) somewhere.
    quint64 NavigationSerial() const { return FNavigationSerial; }
    bool IsLoading() const { return FPage->isLoading(); }
    // Where the reader is in the document shown: the top of the view as a
    // share of the document's length (0 at its top).
    double ScrollRatio() const;
    // Puts the reader at that share of the document's length: the same
    // place in a document of the same length, the same proportion in one
    // that has grown or shrunk.
    void ScrollToRatio(double ratio);
    // Finding text in the page shown (findprint.cpp). Each search goes on
    // from the match selected now; done gets the match selected then
    // (counted from 1, 0 for none) and the number of matches, for the latest
    // search only.
    void FindText(const QString &text, bool backward, std::function<void(int active, int count)> done = {});
    // Ends the search: the matches are no longer marked, the last one stays selected.
    void StopFinding();
    // Prints the page as it is shown. A printer set to write a PDF file gets
    // the engine's own PDF, whose text stays text; done gets the outcome and,
    // on failure, why.
    void Print(QPrinter *printer, std::function<void(bool ok, const QString &error)> done);
    bool IsPrinting() const { return FPrintPending; }
    // The view whose reader clicked a link that opened its page in this one
    // (a "new window" link swallowed here), while that load has not yet
    // become a page; null otherwise. A file such a click asks for is the
    // reader's, wherever the link's window went.
    TBrowserView *ReaderClickFrom() const { return FReaderClickFrom; }
    void ForgetReaderClick() { FReaderClickFrom = nullptr; }
    // A page may ask for files only on the reader's say: a click or a key in
    // the page, or an address the reader opened, a moment ago. Each such
    // gesture lets one file through, so a script that clicks a download
    // link in a loop gets one question, not one each time.
    // Long enough for a site that builds the file before it answers.
    static constexpr qint64 kGestureMs = 60000;
    bool TakeReaderGesture();
    // Whether the reader's latest click was on a link to url, a moment ago.
    bool ReaderClickedLink(const QUrl &url) const;

    // The engine's own page zoom covers these; the view shows every other
    // percentage by zooming the document itself for the rest.
    static constexpr int kMinZoomPercent = 25;
    static constexpr int kMaxZoomPercent = 500;

    // The reading view (readingview.cpp). While on, every chapter page that
    // completes shows as the chapter alone (its title, its text, bars with
    // its neighbours) in place of the page; turning it on or off changes the
    // page shown too. A page that is no chapter stays as it is.
    void SetReadingView(bool on);
    bool ReadingViewOn() const { return FReadingOn; }
    bool ShowsReadingView() const { return FReadingShown; }
    // How the view looks; the view shown changes at once. The night theme
    // darkens our own documents as well.
    void SetReadingStyle(const Reading::TStyle &style);
    const Reading::TStyle &ReadingStyle() const { return FReadingStyle; }
    void SetReadingRules(const Reading::TRules &rules);
    const Reading::TRules &ReadingRules() const { return FReadingRules; }
    // Said after each chapter page completes while the view is on (before
    // OnDocumentComplete), and when the view is turned off on a page.
    std::function<void(TBrowserView *Sender, TReadingOutcome outcome)> OnReadingView;
    // The script a completing document is asked while the view is on: the
    // document's state, its chapter links and its chapter's text.
    static const QString &ReadingCompletionScript();

signals:
    // A top-level navigation begins: the reader, the program or the page
    // is taking the view somewhere else (our own pages too).
    void navigationBegun();

protected:
    void childEvent(QChildEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void setOwnDocumentScript(const QString &name, int injectionPoint, const QString &source);
    friend class TBrowserPage;

    // Navigation and documents (browsernavigation.cpp).
    bool beforeNavigate(const QUrl &url, int type, bool isMainFrame);
    void onLoadingChanged(const QWebEngineLoadingInfo &info);
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);
    void completeDocument(std::function<void()> beforeReport = {});
    void completeErrorPage(const QWebEngineLoadingInfo &info);
    // withChapterLinks: the document's chapter links are found afresh too.
    void syncDocument(std::function<void()> then, bool withChapterLinks = false);
    // False when the answer is no document's state.
    bool adoptDocument(const QVariant &answer);
    void showErrorDocument(const QString &address, const QString &reason, bool retryHelps = true, const QUrl &search = {});
    void openFromDocument(const QUrl &url);
    void rememberScroll();
    void restoreScroll();
    void loadInternal(const QUrl &url, bool fromHost);
    QString displayUrl(const QUrl &url) const;

    void applySettings();
    void applyZoom();
    void applyFit(double zoom);
    void installChapterWatch();
    // The reading view's part of the answer to ReadingCompletionScript, taken
    // out so that the rest is the plain completion answer.
    static std::optional<QVariant> takeReadingAnswer(QVariant &answer);
    void showReading(const QVariant &extracted, std::function<void(bool shown)> then);
    void findAndShowReading(std::function<void(bool shown)> then);
    void SetOwnDocumentNightStyle(const QString &css);

    TBrowserPage *FPage = nullptr;
    QObject *FFrameDisp = nullptr;
    TDownloadOptions FDownloadOptions;
    std::int32_t FDownloadFlagValue = 0;
    int FZoomPercent = 100;
    int FZoomStep = 2;
    bool FSilent = false;
    std::optional<THtmlDocument2> FDoc;
    TUserInterfaceOptions FUserInterfaceOptions{TUserInterfaceOption::EnablesFormsAutoComplete, TUserInterfaceOption::EnableThemes};
    QString FDisableCtrlShortcuts;
    bool FCanGrabFocus = true;
    TScriptErrorAction FScriptErrorAction = TScriptErrorAction::eaContinue;
    QList<TIEPopupMenu> FDisabledPopupMenus;
    QUrl FHostNavigation;   // the address Navigate/Navigate2 asked for, until the engine asks about it
    QUrl FCancelledUrl;     // a navigation the handler cancelled: its failure report is no completion
    QUrl FReissuedUrl;      // a link of our own page, opened again by the program
    int FLastNavigationType = -1;
    QPointer<TBrowserView> FReaderClickFrom;
    QString FHoveredLink; // the link under the pointer, as the engine says
    struct TGesture {
        qint64 atMs = -1;
        QString link; // the link clicked, if it was a click on one
    } FReaderGesture;
    void noteReaderGesture(const QString &link);
    bool handleDrop(QDropEvent *drop);
    QHash<QString, QString> FErrorAddresses; // error page address -> what could not be opened
    struct TScrollMark {
        QUrl url;
        QPointF position;
    };
    QHash<int, TScrollMark> FScrollMarks; // by history index: where the reader left each page
    int FShownHistoryIndex = -1;          // the history entry of the document completed last
    quint64 FLoadSerial = 0;
    quint64 FNavigationSerial = 0;
    TPrefetchState FPrefetch;
    quint64 FFindSerial = 0; // the latest search, whose answer alone counts
    bool FStopRequested = false;
    bool FShutDown = false;
    bool FPrintPending = false; // the engine prints the page
    QString FWordSearch;
    int FZoomWheel = 0; // the Ctrl+wheel turn not yet a whole step
    // Whether an engine answer to a script of this view may still act: the
    // view is there and running, and the answer is one (an invalid answer
    // is a cancelled script).
    static bool Answered(const QPointer<TBrowserView> &view, const QVariant &answer)
    {
        return view && !view->FShutDown && answer.isValid();
    }
    int FViewId = 0;
    bool FReadingOn = false;
    bool FReadingShown = false;
    Reading::TStyle FReadingStyle;
    QString FReadingCss = Reading::Css(Reading::TStyle());
    Reading::TRules FReadingRules;
    QString FOwnNightCss;
};
