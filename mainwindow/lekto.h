#pragma once

#include "browserview.h"
#include "downloads.h"
#include "panel.h"
#include "contentslist.h"
#include "readingplaces.h"
#include "updatechecker.h"
#include "updatestore.h"

#include <QtCore/QDateTime>
#include <QtWidgets/QWidget>

#include <memory>
#include <optional>

class QFontMetrics;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;
class TReadingPanel;
class TFindBar;
class TFlashMute;
class TLektoHistory;
class TLektoProgImg;
class TImage;

// The address of the product's discussion forum (toolbar button and start page).
extern const char *const kForumAddress;

// The main window: toolbar, address box, hint line, the main view and the two
// hidden views that swallow pop-ups.
class TFLekto : public QWidget
{
    Q_OBJECT

public:
    // historyFile: the path of the history file ("LektoBookmarks.lkt").
    explicit TFLekto(const QString &historyFile, QWidget *parent = nullptr);
    ~TFLekto() override;

    // Controls, named as in the form layout.
    TBevelPanel *pNavigate, *Panel2, *pTool, *Panel3, *pFull, *pHalf, *Panel7, *pHint, *Panel4, *Panel1, *pads;
    QPushButton *BtnGo2, *BtnGo, *BtnZoom, *Button2, *Button3, *Button4, *Button5, *BtnTieba, *BtnStart, *BtnFull;
    QLineEdit *EdUrl;
    TBrowserView *WB1, *WBx, *WbY;
    QPlainTextEdit *Memo1;
    TImage *picKfw, *picamazon, *pictaobao, *picbaidu, *picmore; // the promotional strip, in pads
    QTimer *Timer1;
    int Timer1Tag = 0; // -1 while a deferred save is armed

    TLektoProgImg *FProg = nullptr;
    std::unique_ptr<TFlashMute> Mute;
    int FZoom = 100;
    bool FIsIE6 = false;
    std::unique_ptr<TLektoHistory> FLektoHis;
    // Whether this window may still write the history file; unset, it may.
    std::function<bool()> MayWriteHistory;

    // Operations used across the program.
    void ScheduleSave();
    void IEOpen(const QString &url);
    void ShowStartPage();
    void ShowReadMe();
    bool RunCommandLink(const QString &url);
    void _ZoomProc(int ZoomValue);
    // One step of the zoom keys and the wheel: in (> 0), out (< 0), or
    // back to 100 % (0).
    void ZoomBy(int direction);
    // Says something in the hint line for a moment; then the line goes
    // back to what it said of running downloads, if anything.
    void ShowPassingHint(const QString &text);
    void ApplyDocZoom();
    bool IsPureMode() const { return pFull->BevelOuter() == TBevelCut::bvLowered; }

    // Handlers, public so that tests can drive them as the controls do.
    void FormCreate();
    void FormClose();
    void BtnGoClick();
    void BtnGo2Click();
    void EdUrlDblClick();
    void BtnNavigate(QObject *sender);
    void BtnStartClick();
    void BtnStartMouseUp(Qt::MouseButton button);
    void BtnZoomClick();
    void BtnTiebaClick();
    void Timer1Timer();
    void pFullClick();
    void pHalfClick();

    // Full-screen reading and the keys (fullscreen.cpp, keys.cpp).
    void BtnFullClick();
    void EnterFullScreen();
    void LeaveFullScreen();
    bool IsFullScreen() const;
    // In full-screen reading the page begins below the clock while the clock
    // sits at the top edge, so it never covers the page's first line; and a
    // load that runs is shown by a thin bar over the top of the page.
    void PlaceClockBand();
    void ShowLoadBar(int percent);
    QWidget *FLoadBar = nullptr;
    void FormShortCut(int key, bool &Handled);
    // A key pressed while this window is active, before target acts on it;
    // true when the window took it.
    bool KeyPressed(QWidget *target, QKeyEvent *event);
    // Turning chapters with ← and →, and the next chapter fetched ahead in
    // pure mode (chapterkeys.cpp).
    void TurnChapter(TChapterDirection direction);
    void ChapterPageComplete();
    bool FChapterPrefetch = true;
    void picbaiduClick(TImage *sender);
    void picbaiduMouseUp(Qt::MouseButton button);
    void picKfwMouseEnter(TImage *sender);
    void picKfwMouseLeave();

    void WB1BeforeNavigate2(TBrowserView *ASender, TBrowserObject pDisp, QString &URL, int &Flags,
                            QString &TargetFrameName, QByteArray &PostData, QString &Headers, bool &Cancel);
    void WB1DocumentComplete(TBrowserView *ASender, TBrowserObject pDisp, QString &URL);
    void _OnStop(TBrowserView *Sender);
    // Records a completed page in the history, with the links found in it.
    void RecordPage(const QString &url, const QString &title, const TChapterLinks &found);
    void FullNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &);
    void MaskNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &);
    void WBxNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &);
    void WbYNewWindow3(TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &);
    void MaskWbDocumentComplete(TBrowserView *ASender, TBrowserObject pDisp, QString &URL);

    QString HelpText() const;

    // Downloads, find in page and printing (downloads.cpp, keys.cpp, printing.cpp).
    TDownloads *FDownloads = nullptr;
    QPushButton *BtnCancelDownload = nullptr; // in the hint line while a download runs
    // In full-screen reading the hint line is hidden: a download speaks
    // through a small note over the bottom right of the page instead.
    QFrame *FDownloadNote = nullptr;
    QLabel *LblDownloadNote = nullptr;
    QPushButton *BtnCancelDownloadNote = nullptr;
    // After a file is saved (a download, a page printed to PDF) the line, and
    // the note in full-screen reading, say in which folder, and this opens it.
    QPushButton *BtnOpenFolder = nullptr, *BtnOpenFolderNote = nullptr;
    void BtnOpenFolderClick();
    void ForgetSavedFile();
    // What the hint line says when the page's status text goes: a running
    // download's progress, or where the last file went.
    void StatusTextChange(const QString &text);
    TFindBar *FFindBar = nullptr;
    std::optional<TDownloadTarget> DownloadAskTarget(const QString &proposedName);
    void DownloadChange(const TDownloadState &state);
    void BtnCancelDownloadClick();
    // Whether the reader, asked when downloads would be given up, lets the
    // window close.
    bool MayClose();
    void PrintPage();

    // The reading view (readingview.cpp): F9 turns it on and off, Shift+F9
    // goes to the next theme; the settings are kept in "Lekto.ini", the
    // reader's rules for text adverts in a file beside the history.
    Reading::TSettings FReading;
    QToolButton *BtnReading = nullptr; // the view's corner: its settings
    TReadingPanel *FReadingPanel = nullptr;
    void ToggleReadingView();
    void NextReadingTheme();
    void SetReadingStyle(const Reading::TStyle &style);
    void ShowReadingPanel();
    void SaveReadingSettings();
    // Reads the reader's rules again when the file has changed; a rule that
    // does not compile is said, once, and the others hold.
    void RefreshReadingRules();
    QString ReadingRulesFile() const;

    // Coming back as it was left (resume.cpp): the place inside each book's
    // last page, and the window's bounds ("Lekto.ini", beside the history).
    TReadingPlaces FPlaces;
    void RememberPlace(const THtmlDocument2 &doc, double ratio);
    void SaveWindowPlacement();
    // Shows the window as it was left (maximized the first time).
    void ShowWithSavedPlacement();
    bool IsPrinting() const { return FPrinting; }
    // Ends the window's work before its members go: waits for a page being
    // printed, gives up running downloads, and stops the views, so that no
    // engine answer reaches a handler while the window is taken apart.
    void Shutdown();

    // New chapters of the books in the history (newchapters.cpp): contents
    // pages asked in the background, counts shown on the start page.
    static constexpr qint64 kCheckEveryMs = 30 * 60 * 1000;
    static constexpr int kMostBooksAsked = 500; // in one look
    // Off in "Lekto.ini" ([newChapters] check=false): no site is asked.
    bool FChecksNewChapters = true;
    TUpdateStore FUpdates;
    TUpdateChecker *FUpdateChecker = nullptr;
    // Asks for the contents of every book due (all of them when now).
    void CheckNewChapters(bool now);
    void NewChaptersAnswered(const TUpdateChecker::TAnswer &answer);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildControls();
    void buildStrip();
    void configureViews();
    void ReloadAfterSwitch();
    bool CommandTrusted(int flags) const;
    void setHint(const QString &text);
    void SaveHistory(bool closing);
    void InstallKeys();
    void focusPageAfterBorderChange();
    void DownloadsCreate();
    void FindBarCreate();
    QString DownloadHint(const QFontMetrics &fm, int width) const;
    void ShowDownloadNote(const QString &text, bool running, bool withFolder = false);
    // The file saved, "(位于 folder)" after it, the folder cut to fit room.
    static QString SavedIn(const QFontMetrics &fm, const QString &said, const QString &folder, int room);
    void SaySaved(const QString &said, const QString &path);
    void OfferFolder(const QString &line, const QString &folder);
    void placeDownloadNote();
    void ShowShownPage();
    void ReadingViewCreate();
    void ReadingOutcome(TReadingOutcome outcome);
    void placeReadingButton();
    QDateTime FRulesStamp;
    qint64 FRulesSize = -1;

    // The page takes the keyboard when it has loaded, unless the reader went
    // to the address box while it loaded.
    void GivePageTheKeys();
    QString SideFile(const QString &name) const;
    void LoadReadingPlaces();
    void SaveReadingPlaces();
    void ResumePlaceIfAsked();
    QString FResumeAddress; // a book's last page, opened from the start page
    quint64 FAddressFocusSerial = 0; // counts the address box's gaining the focus
    quint64 FAddressFocusAtNavigation = 0;

    QString FHistoryFile;
    bool FClosed = false;
    QString FLastSaveError; // the save failure last reported
    QRect FSaveBounds;      // the window's bounds before full-screen reading
    bool FSaveMaximized = false;
    struct {
        QString document; // the document a turn was asked of
        QUrl to;
    } FLastTurn;
    // Each book's contents page as its chapters link to it, this session.
    QHash<QString, QUrl> FContentsOf;
    // The chapter lists answered this session, by book.
    QHash<QString, ContentsList::TChapters> FChapterLists;
    bool FShowsStartPage = false; // the start page is (being) shown
    void LoadNewChapterStore();
    void SaveNewChapterStore();
    void StartPageComplete();
    // The counts known, into the start page shown (every book when book is empty).
    void ShowNewChapterCounts(const QString &book = QString(), bool markedUnread = false);
    QString FDownloadFolder; // where the reader saved last, for the next proposal
    QString FSavedLine, FSavedFolder; // the hint line's word on the last file saved, and its folder
    bool FPrinting = false;
    bool FShutDown = false;
    // How long the end waits for a page being printed: the engine cannot be
    // stopped while it prints, and the page must outlive its printing.
    static constexpr int kPrintWaitMs = 60000;
    QTimer *FDownloadNoteTimer = nullptr; // hides the note a while after the end
    QTimer *FPassingHintTimer = nullptr;
    QString FPassingHint;
    QTimer *FLoadBarCheck = nullptr;      // the bar goes when the load has gone, however it went
    // The note is a line over the page, not a panel: a long name gives way.
    static constexpr int kDownloadNoteTextWidth = 420;
    static constexpr int kDownloadNoteMs = 6000; // how long the note says a download ended
    static constexpr int kClockBandSnap = 2; // the clock this near the top edge sits in its band
    static constexpr int kLoadBarHeight = 3;
};

// The main window, reachable program-wide once created.
extern TFLekto *FLekto;
