#include "lekto.h"

#include "commandlink.h"
#include "dialogs.h"
#include "forms.h"
#include "lektohistory.h"
#include "lektolinks.h"
#include "lektoprog.h"
#include "strip.h"
#include "lektotimer.h"
#include "uifont.h"
#include "wbzoom.h"
#include "webvoice.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>

TFLekto *FLekto = nullptr;
TWBZoom *WBZoom = nullptr;
TLektoTimer *LektoTimer = nullptr;
TFLektoLinks *FLektoLinks = nullptr;

// No forum yet: a neutral placeholder until the product has one.
const char *const kForumAddress = "http://forum.example.com/lekto";

namespace {

const char *const kHelpLines[] = {
    "<center>",
    "<h2>使用说明</h2>",
    "",
    "<table><tbody>",
    "<tr><td>快捷键：</td></tr>",
    "<tr><td>·F11：全屏/退出全屏。（可用Esc键退出）</td></tr>",
    "<tr><td>·F1：粘帖网址并打开</td></tr>",
    "<tr><td>·F4：自定义链接。（可用Esc键退出）（右击“起始页”按钮，作用等同F4）</td></tr>",
    "<tr><td>·←/→：上一章/下一章（纯净模式下也可用）</td></tr>",
    "<tr><td>·Ctrl+F：在本页查找（F3：下一个，Shift+F3：上一个）</td></tr>",
    "<tr><td>·Ctrl+P：打印本页（也可打印为PDF）</td></tr>",
    "<tr><td>·F9：阅读视图（只显示章节正文，开关会记住）；Shift+F9：换配色（白天/护眼/羊皮纸/夜间）；<a href=\"rc:ReadingSettings\">阅读视图设置</a></td></tr>",
    "",
    "<tr><td>&nbsp;</td></tr>",
    "<tr><td>工具栏的几个常用按钮：</td></tr>",
    "<tr><td>·粘贴打开：粘贴并打开网址。</td></tr>",
    "<tr><td>·起始页：查看网页历史浏览记录（自动书签）。</td></tr>",
    "<tr><td>·纯净模式：阻止网页的所有广告。（已经默认）</td></tr>",
    "<tr><td>·半纯净模式：如果纯净模式不能显示文字，可以使用半纯净模式。</td></tr>",
    "",
    "<tr><td>&nbsp;</td></tr>",
    "<tr><td>起始页：</td></tr>",
    "<tr><td>·删除：删除当前记录</td></tr>",
    "<tr><td>·养肥：将“自动书签”中的记录移动到“养肥列表”（点击阅读后会再次记录到自动书签）</td></tr>",
    "<tr><td>·已阅/未阅：代表两种文字颜色，用来简单区分。（点击阅读后会自动标记为“已阅”）</td></tr>",
    "<tr><td>·简注：简单备注的意思。可以备注为书名或者其他什么，随你高兴。</td></tr>",
    "<tr><td>·全部删除：慎重！用来清空所有记录。其实一般情况下没必要使用。</td></tr>",
    "<tr><td>·全标记为已阅/全标记为未阅：对所有记录批量标记，配合“未阅排序提前”，可以对记录进行排序。</td></tr>",
    "<tr><td>·新N章：书的目录页在你读到的那一章之后又有N章（显示起始页时自动查看，每本书半小时一次；点“检查更新”立即查看），有新章的书自动标记为未阅。</td></tr>",
    "",
    "</tbody></table>",
    "",
    "<br><br>",
    "<font color=gray>Lekto 网文阅读器 · 意见与建议请到“Mavent贴吧”留言</font>",
    "</center>",
};

QPushButton *makeButton(QWidget *parent, const QString &caption, int width, int height = -1)
{
    auto *b = new QPushButton(caption, parent);
    b->setFixedWidth(width);
    if (height > 0)
        b->setFixedHeight(height);
    else
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return b;
}

TBevelPanel *makeSpacer(QWidget *parent, int width)
{
    auto *p = new TBevelPanel(parent);
    p->setFixedWidth(width);
    return p;
}

template <class L>
L *flatLayout(QWidget *on)
{
    auto *l = new L(on);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

} // namespace

TFLekto::TFLekto(const QString &historyFile, QWidget *parent) : QWidget(parent), FHistoryFile(historyFile)
{
    // The font database is read here, on this thread, when the toolbar's
    // first text needs it. Reading it on another thread while this one
    // started the engine crashed now and then: fontconfig reads the
    // environment while the engine's start writes to it.
    buildControls();
    configureViews();
    DownloadsCreate();
    FindBarCreate();
    InstallKeys();
    FormCreate();
}

TFLekto::~TFLekto()
{
    Shutdown();
    if (FLekto == this)
        FLekto = nullptr;
}

void TFLekto::buildControls()
{
    setFont(UiFont(11));
    setWindowTitle(QString());
    resize(859, 591);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    // The main view first: creating it starts the engine.
    Panel1 = new TBevelPanel(this);
    WB1 = new TBrowserView(Panel1);

    auto *main = flatLayout<QVBoxLayout>(this);

    pNavigate = new TBevelPanel(this);
    pNavigate->setFixedHeight(50);
    pNavigate->resize(859, 50);
    main->addWidget(pNavigate);
    auto *nav = flatLayout<QHBoxLayout>(pNavigate);

    Panel2 = new TBevelPanel(pNavigate);
    nav->addWidget(Panel2, 1);
    auto *p2 = flatLayout<QVBoxLayout>(Panel2);

    pTool = new TBevelPanel(Panel2);
    pTool->setFixedHeight(25);
    p2->addWidget(pTool);
    auto *tool = flatLayout<QHBoxLayout>(pTool);
    pTool->SetBevelOuter(TBevelCut::bvRaised);
    BtnGo2 = makeButton(pTool, QStringLiteral("粘贴打开"), 75);
    EdUrl = new QLineEdit(pTool);
    EdUrl->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    BtnGo = makeButton(pTool, QStringLiteral("打开"), 60);
    tool->addWidget(BtnGo2);
    tool->addWidget(EdUrl, 1);
    tool->addWidget(BtnGo);

    Panel3 = new TBevelPanel(Panel2);
    Panel3->setFixedHeight(25);
    p2->addWidget(Panel3);
    p2->addStretch(1);
    auto *row = flatLayout<QHBoxLayout>(Panel3);
    pFull = new TBevelPanel(Panel3, QStringLiteral("纯净模式"));
    pFull->setFixedWidth(80);
    pFull->SetBevelInner(TBevelCut::bvLowered);
    pFull->SetBevelOuter(TBevelCut::bvLowered);
    pFull->SetChecked(true);
    pHalf = new TBevelPanel(Panel3, QStringLiteral("半纯净模式"));
    pHalf->setFixedWidth(80);
    pHalf->SetBevelInner(TBevelCut::bvRaised);
    pHalf->SetBevelOuter(TBevelCut::bvRaised);
    BtnZoom = makeButton(Panel3, QStringLiteral("缩放"), 55);
    Panel7 = makeSpacer(Panel3, 10);
    pHint = new TBevelPanel(Panel3);
    pHint->SetAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Button3 = makeButton(Panel3, QStringLiteral("后退"), 45);
    Button4 = makeButton(Panel3, QStringLiteral("停止"), 45);
    Button5 = makeButton(Panel3, QStringLiteral("刷新"), 45);
    Button2 = makeButton(Panel3, QStringLiteral("前进"), 45);
    Panel4 = makeSpacer(Panel3, 7);
    BtnTieba = makeButton(Panel3, QStringLiteral("Mavent贴吧"), 80);
    for (QWidget *w : std::initializer_list<QWidget *>{pFull, pHalf, BtnZoom, Panel7})
        row->addWidget(w);
    row->addWidget(pHint, 1);
    for (QWidget *w : std::initializer_list<QWidget *>{Button3, Button4, Button5, Button2, Panel4, BtnTieba})
        row->addWidget(w);
    Button3->setProperty("tag", 0);
    Button4->setProperty("tag", 1);
    Button2->setProperty("tag", 2);
    Button5->setProperty("tag", 3);

    BtnStart = makeButton(pNavigate, QStringLiteral("起始页"), 60, 50);
    BtnFull = makeButton(pNavigate, QStringLiteral("全屏"), 65, 50);
    nav->addWidget(BtnStart);
    nav->addWidget(BtnFull);

    main->addWidget(Panel1, 1);
    auto *area = flatLayout<QVBoxLayout>(Panel1);
    pads = new TBevelPanel(Panel1);
    pads->setFixedHeight(100);
    pads->setToolTip(QStringLiteral("右击可隐藏。"));
    area->addWidget(pads);
    buildStrip();
    area->addWidget(WB1, 1);
    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setGeometry(98, 109, 696, 428);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVisible(false);
    QStringList lines;
    for (const char *line : kHelpLines)
        lines << QString::fromUtf8(line);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));

    WBx = new TBrowserView(this);
    WBx->setGeometry(0, 53, 100, 100);
    WbY = new TBrowserView(this);
    WbY->setGeometry(0, 141, 100, 100);

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(false);
    Timer1->setInterval(20000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    // Hints reach the reader through the hint line, not as tooltips.
    connect(BtnGo, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnGoClick(); }); });
    connect(BtnGo2, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnGo2Click(); }); });
    connect(EdUrl, &QLineEdit::returnPressed, BtnGo, &QPushButton::click);
    for (QPushButton *b : {Button2, Button3, Button4, Button5})
        connect(b, &QPushButton::clicked, this, [this, b] { Dialogs::guarded([this, b] { BtnNavigate(b); }); });
    connect(BtnStart, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnStartClick(); }); });
    connect(BtnFull, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnFullClick(); }); });
    connect(BtnZoom, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnZoomClick(); }); });
    connect(BtnTieba, &QPushButton::clicked, this, [this] { Dialogs::guarded([this] { BtnTiebaClick(); }); });
    connect(pFull, &TBevelPanel::clicked, this, [this] { Dialogs::guarded([this] { pFullClick(); }); });
    connect(pHalf, &TBevelPanel::clicked, this, [this] { Dialogs::guarded([this] { pHalfClick(); }); });
    connect(pFull, &TBevelPanel::mouseEntered, this,
            [this] { setHint(QStringLiteral("纯净模式：阻止网页的所有广告，不显示图片。")); });
    connect(pHalf, &TBevelPanel::mouseEntered, this,
            [this] { setHint(QStringLiteral("半纯净模式：允许图片，允许脚本，允许Flash。禁止一切弹窗。")); });
    for (QObject *o : std::initializer_list<QObject *>{BtnGo2, BtnZoom, BtnStart, EdUrl})
        o->installEventFilter(this);

    setTabOrder(BtnFull, BtnGo2);
    setTabOrder(BtnGo2, BtnGo);
    setTabOrder(BtnGo, EdUrl);
    setTabOrder(EdUrl, BtnZoom);
    setTabOrder(BtnZoom, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button5);
    setTabOrder(Button5, BtnTieba);
    setTabOrder(BtnTieba, BtnStart);
    setTabOrder(BtnStart, WB1);
    BtnGo2->setFocus();
}

void TFLekto::configureViews()
{
    for (TBrowserView *v : {WB1, WBx, WbY}) {
        v->SetDownloadOptions(configuredDownloadOptions());
        v->SetUserInterfaceOptions({TUserInterfaceOption::EnablesFormsAutoComplete, TUserInterfaceOption::EnableThemes});
        v->SetDisableCtrlShortcuts(QStringLiteral("N"));
    }
    WbY->SetSilent(false);
    WB1->SetWordSearch(QString::fromLatin1(kStripSearchPrefix));
    // Our pages name their Chinese face: left to the engine, a page waited
    // at start for a search through every font for its first character
    // (about 15 ms of a start of 150), and outside a Chinese locale that search
    // picked the reading view's calligraphic Kai face for all of our text.
    //
    // The start page holds its shape in a narrow window, at the reader's
    // zoom, or beside a long note: the number, the commands and the date
    // keep their widths, the note wraps in its own, and the title takes what
    // is left beside them, or a line of its own where that is too little to
    // read (the title went down to a letter a line at 150 %). Nothing is
    // read sideways. Its rows are the listing's only rows with a height.
    // A table sizes its columns from every row, so a history of thousands
    // showed nothing until the last row was in and laid out (seconds). Each
    // row is laid out on its own instead, in columns of set widths, and a
    // row out of sight is skipped until it scrolls near, at its own height
    // meanwhile: the first rows paint as they arrive. Rows out of sight stay
    // in the document, for Find and for the keyboard.
    WB1->SetOwnDocumentStyle(
        QStringLiteral(":root { font-family: \"%1\", sans-serif; }").arg(ChineseFaces().join(QStringLiteral("\", \"")))
        + QStringLiteral(
        "htm > table, htm > table > tbody { display: block; }"
        "tr[height] { display: flex; flex-wrap: wrap; align-items: center; column-gap: 4px; height: auto;"
        " min-height: 26px; content-visibility: auto; contain-intrinsic-size: auto 26px; }"
        "tr[height] > td { box-sizing: border-box; flex: none; min-width: 0; }"
        "tr[height] > td:nth-child(1) { width: 3.6em; }"
        "tr[height] > td:nth-child(2), tr[height] > td:nth-child(3) { width: 2.6em; }"
        "tr[height] > td:nth-child(4) { width: 11em; }"
        "tr[height] > td:nth-child(5) { width: 4.2em; }"
        "tr[height] > td:nth-child(6) { width: 9em; }"
        "tr[height] > td:nth-child(7) { flex: 1 1 12em; }"
        "tr[height] > td:nth-child(-n+6) { white-space: nowrap; }"
        "tr[height] > td:nth-child(6) > a + a, tr[height] > td:nth-child(7) { white-space: normal; overflow-wrap: anywhere; }"));
    // Rows below the first screenfuls come in as the reader nears them: every
    // piece of a long page that arrives would otherwise lay out all the rows
    // before it again, and the reader mostly wants the first rows.
    WB1->SetOwnDocumentRowsAsNeeded(QStringLiteral("tr[height]"), 80, 26);

    // Handlers take their arguments by reference: what they write (Cancel,
    // ppDisp) is what the view sees.
    WB1->OnBeforeNavigate2 = [this](auto &&...a) { WB1BeforeNavigate2(std::forward<decltype(a)>(a)...); };
    WB1->OnDocumentComplete = [this](TBrowserView *v, TBrowserObject d, QString &u) {
        WB1DocumentComplete(v, d, u);
        if (d == WB1->Application())
            ChapterPageComplete();
    };
    WB1->OnStop = [this](TBrowserView *v) { _OnStop(v); };
    // A running download's progress comes back once the pointer leaves a link.
    WB1->OnStatusTextChange = [this](TBrowserView *, const QString &text) { StatusTextChange(text); };
    WB1->OnTitleChange = [this](TBrowserView *, const QString &text) { setWindowTitle(text); };
    WB1->OnProgressChange = [this](TBrowserView *, int progress, int max) {
        if (FProg)
            FProg->ProgressBy(max, progress);
        if (IsFullScreen() && max > 0)
            ShowLoadBar(progress * 100 / max);
    };
    // The zoom box is about the page shown: when the page goes, so does the box.
    connect(WB1, &TBrowserView::navigationBegun, this, [this] {
        if (WBZoom && WBZoom->isVisible())
            WBZoom->Button2Click();
    });
    WB1->OnNewWindow3 = [this](auto &&...a) { FullNewWindow3(std::forward<decltype(a)>(a)...); };
    WB1->OnZoomWheel = [this](TBrowserView *, int direction) { Dialogs::guarded([&] { ZoomBy(direction); }); };
    WBx->OnNewWindow3 = [this](auto &&...a) { WBxNewWindow3(std::forward<decltype(a)>(a)...); };
    WbY->OnNewWindow3 = [this](auto &&...a) { WbYNewWindow3(std::forward<decltype(a)>(a)...); };
    WBx->OnDocumentComplete = [this](auto &&...a) { MaskWbDocumentComplete(std::forward<decltype(a)>(a)...); };
    WbY->OnDocumentComplete = [this](auto &&...a) { MaskWbDocumentComplete(std::forward<decltype(a)>(a)...); };
}

void TFLekto::FormCreate()
{
    FLektoHis = std::make_unique<TLektoHistory>(
        FHistoryFile, [](const QString &caption, const QString &text) { Dialogs::showMessage(caption, text); });
    FLektoHis->SetNoteInput([](const QString &proposed) {
        return Dialogs::inputText(QStringLiteral("简单备注"), QStringLiteral("输入简注名称："), proposed);
    });
    WBx->SetVisible(false);
    WbY->SetVisible(false);
    FProg = new TLektoProgImg(pNavigate);
    static_cast<QBoxLayout *>(pNavigate->layout())->insertWidget(0, FProg);
    Mute = std::make_unique<TFlashMute>();
    for (TBrowserView *v : {WB1, WBx, WbY})
        Mute->AddTarget([v](bool mute) { v->SetAudioMuted(mute); });
    WB1->SetSilent(true);
    LoadReadingPlaces();
    LoadNewChapterStore();
    ReadingViewCreate();
    ShowStartPage();
    FZoom = 100;
    FIsIE6 = IsOldIE();
}

void TFLekto::FormClose()
{
    if (FClosed)
        return;
    FClosed = true;
    Timer1->stop();
    // No answer changes a read mark after the last save.
    delete FUpdateChecker;
    FUpdateChecker = nullptr;
    if (const THtmlDocument2 *doc = WB1->Doc2())
        RememberPlace(*doc, WB1->ScrollRatio());
    Dialogs::guarded([this] { SaveWindowPlacement(); });
    Dialogs::guarded([this] { SaveReadingSettings(); });
    SaveHistory(true);
}

void TFLekto::Shutdown()
{
    if (FShutDown)
        return;
    FShutDown = true;
    if (FPrinting) {
        // Timer ticks keep the wait from blocking on an idle queue.
        QTimer tick;
        tick.start(100);
        QElapsedTimer waited;
        waited.start();
        while (FPrinting && waited.elapsed() < kPrintWaitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::ExcludeUserInputEvents);
    }
    Timer1->stop();
    // No answer of a site reaches the window from here on.
    delete FUpdateChecker;
    FUpdateChecker = nullptr;
    for (TBrowserView *v : {WB1, WBx, WbY})
        v->Shutdown();
    // What has not arrived is given up and its part file removed, now, while
    // the engine still runs.
    delete FDownloads;
    FDownloads = nullptr;
}

void TFLekto::closeEvent(QCloseEvent *event)
{
    // Only the reader's own close asks; an end the session or a signal
    // asks for goes through as before.
    if (event->spontaneous() && !MayClose()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TFLekto::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LektoTimer) {
        const QEvent::Type t = event->type();
        if (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show || t == QEvent::Hide)
            PlaceClockBand();
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Enter) {
        if (watched == BtnGo2)
            setHint(QStringLiteral("粘贴打开：粘贴已复制的网址，并打开网页。"));
        else if (watched == BtnZoom)
            setHint(QStringLiteral("缩放：放大或缩小网页。"));
        else if (watched == BtnStart)
            setHint(QStringLiteral("右击起始页，可弹出自定义链接窗口。"));
    } else if (event->type() == QEvent::MouseButtonRelease && watched == BtnStart) {
        BtnStartMouseUp(static_cast<QMouseEvent *>(event)->button());
    } else if (event->type() == QEvent::FocusIn && watched == EdUrl) {
        ++FAddressFocusSerial;
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == EdUrl) {
        QTimer::singleShot(0, this, [this] { EdUrlDblClick(); }); // after the edit box's own word selection
    }
    return QWidget::eventFilter(watched, event);
}

bool TFLekto::focusNextPrevChild(bool next)
{
    // A control with the keyboard that is hidden (the toolbar on entering
    // full-screen reading, a button of the hint line, the find bar) hands
    // the keyboard on as Tab would; the engine takes a Tab into the page to
    // the page's first link or field, scrolling the page back to its top.
    // The page is given the keyboard instead, where the reader is in it.
    if (const QWidget *focus = focusWidget(); focus && !focus->isVisible() && WB1 && WB1->isVisible()) {
        WB1->SetFocus();
        if (focusWidget() != focus)
            return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void TFLekto::setHint(const QString &text)
{
    pHint->SetCaption(text);
    if (BtnOpenFolder)
        BtnOpenFolder->hide(); // it goes with the word on the file saved
}

void TFLekto::ShowPassingHint(const QString &text)
{
    if (!FPassingHintTimer) {
        FPassingHintTimer = new QTimer(this);
        FPassingHintTimer->setSingleShot(true);
        FPassingHintTimer->setInterval(2500);
        connect(FPassingHintTimer, &QTimer::timeout, this, [this] {
            if (pHint->Caption() == FPassingHint)
                StatusTextChange(QString());
        });
    }
    FPassingHint = text;
    setHint(text);
    FPassingHintTimer->start();
}

