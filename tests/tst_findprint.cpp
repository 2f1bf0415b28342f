// Find in page and printing on the real engine, with the keys as a reader
// presses them: a name found in a saved Chinese chapter, and the chapter
// printed into a PDF whose text can be read back.
#include "findbar.h"
#include "forms.h"
#include "keymap.h"
#include "lektoharness.h"
#include "lektotimer.h"
#include "realpages.h"
#include "testhttpserver.h"
#include "wbzoom.h"

#include <QtCore/QProcess>
#include <QtGui/QImage>
#include <QtNetwork/QNetworkProxy>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace {

const QString kChapter = QStringLiteral("http://www.biquge.com.tw/14_14055/7633258.html");
const QString kName = QStringLiteral("吴明");

QByteArray fixture(const QString &file)
{
    QFile f(QStringLiteral(LEKTO_FIXTURES "/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a poppler tool makes of a PDF file.
QString poppler(const QString &tool, const QStringList &args)
{
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000))
        return QStringLiteral("<%1 did not finish>").arg(tool);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Where a key the reader presses goes.
QWidget *keyTarget(QWidget *window)
{
    spin(100);
    return window->focusWidget();
}

// Typed key by key; QTest's key clicks know only ASCII.
void typeText(QWidget *w, const QString &text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// The print dialog, scripted: the reader picks "print to file" as PDF.
struct ScriptedPrint {
    QTemporaryDir folder;
    int shown = 0;
    QString docName;
    decltype(Dialogs::printDialog) FSaved = Dialogs::printDialog;
    ScriptedPrint()
    {
        Dialogs::printDialog = [this](QPrinter &printer) {
            ++shown;
            docName = printer.docName();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf());
            return true;
        };
    }
    ~ScriptedPrint() { Dialogs::printDialog = FSaved; }
    QString pdf() const { return folder.filePath(QStringLiteral("章节.pdf")); }
};

} // namespace

class TestFindPrint : public QObject
{
    Q_OBJECT

    TestHttpServer FProxy; // the real chapter at its own address, and a page with a picture

    // The number of times the name occurs in the text the page shows.
    int countInShownText(LektoHarness &h, const QString &text)
    {
        return h.js(QStringLiteral("document.body.innerText.split('%1').length - 1").arg(text)).toInt();
    }

private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", FProxy.port()));
        const QByteArray chapter = fixture(QStringLiteral("novel-zh/biquge-zhushen-ch4.html"));
        QVERIFY(!chapter.isEmpty());
        FProxy.route(kChapter.toLatin1(), TestHttpServer::Response{200, "text/html", chapter, {}, false});
        QImage red(240, 240, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        red.save(&buffer, "PNG");
        FProxy.route("http://pictures.test/cover.png", TestHttpServer::Response{200, "image/png", png, {}, false});
        FProxy.route("http://pictures.test/page.html",
                     "<title>封面</title><p>封面下面是第一章。</p><img src='/cover.png' width=240 height=240>");
    }

    void keyTable_data();
    void keyTable();
    void findsANameInAChapter();
    void escClosesOnlyTheBar();
    void inputMethodTextIsFound();
    void printsTheChapterIntoAReadablePdf();
    void printsWhatTheModeShows_data();
    void printsWhatTheModeShows();
    void closingWhilePrintingWaitsForThePdf();
};

void TestFindPrint::keyTable_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("command");
    const int ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier;
    QTest::newRow("Ctrl+F") << int(Qt::Key_F) << ctrl << int(TKeyCommand::Find);
    QTest::newRow("Ctrl+P") << int(Qt::Key_P) << ctrl << int(TKeyCommand::Print);
    QTest::newRow("F3") << int(Qt::Key_F3) << 0 << int(TKeyCommand::FindNext);
    QTest::newRow("Shift+F3") << int(Qt::Key_F3) << shift << int(TKeyCommand::FindPrevious);
    QTest::newRow("Ctrl+Shift+F is the page's") << int(Qt::Key_F) << (ctrl | shift) << int(TKeyCommand::None);
    QTest::newRow("Ctrl+Alt+P is the page's") << int(Qt::Key_P) << (ctrl | alt) << int(TKeyCommand::None);
    QTest::newRow("F alone is the page's") << int(Qt::Key_F) << 0 << int(TKeyCommand::None);
    QTest::newRow("Ctrl+N stays masked, not the window's") << int(Qt::Key_N) << ctrl << int(TKeyCommand::None);
    QTest::newRow("Esc still leaves full-screen reading") << int(Qt::Key_Escape) << 0 << int(TKeyCommand::LeaveFullScreen);
}

void TestFindPrint::keyTable()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, command);
    QCOMPARE(int(WindowKeyCommand(key, Qt::KeyboardModifiers(modifiers))), command);
}

// Ctrl+F from the page, the name typed: every match counted; Enter and
// Shift+Enter move through them; Esc gives the keyboard back to the page.
void TestFindPrint::findsANameInAChapter()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(kChapter));
    const int expected = countInShownText(h, kName);
    QVERIFY2(expected >= 10, qPrintable(QString::number(expected)));

    w.WB1->SetFocus();
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());
    QTest::keyClick(keyTarget(&w), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.FFindBar->isVisible());
    QCOMPARE(keyTarget(&w), w.FFindBar->EdFind);
    // Over the main view's top right, not in its layout.
    const QRect bar = w.FFindBar->geometry();
    QVERIFY(w.WB1->geometry().contains(bar));
    QVERIFY(bar.right() > w.WB1->geometry().center().x());
    QCOMPARE(bar.top(), w.WB1->geometry().top());

    typeText(w.FFindBar->EdFind, kName);
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == expected; }, 5000));
    QCOMPARE(w.FFindBar->ActiveMatch(), 1);
    QCOMPARE(w.FFindBar->LblCount->text(), QStringLiteral("1/%1").arg(expected));

    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return);
    QVERIFY(waitUntil([&] { return w.FFindBar->ActiveMatch() == 2; }, 5000));
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return);
    QVERIFY(waitUntil([&] { return w.FFindBar->ActiveMatch() == 3; }, 5000));
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(waitUntil([&] { return w.FFindBar->ActiveMatch() == 2; }, 5000));
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(waitUntil([&] { return w.FFindBar->ActiveMatch() == expected; }, 5000)); // round to the last
    QCOMPARE(w.FFindBar->MatchCount(), expected);

    // A name that is not there.
    typeText(w.FFindBar->EdFind, QStringLiteral("萧炎"));
    QVERIFY(waitUntil([&] { return w.FFindBar->LblCount->text() == QStringLiteral("无匹配"); }, 5000));
    w.FFindBar->EdFind->setText(kName);
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == expected; }, 5000));

    // Esc: the bar goes, the page has the keyboard, the last match stays
    // selected, and the page stays where that match is, below the chapter's
    // first links.
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(waitUntil([&] { return w.FFindBar->ActiveMatch() == expected; }, 5000));
    // The engine scrolls to the match after it has answered.
    QVERIFY2(waitUntil([&] { return h.js("scrollY").toDouble() > 0; }, 5000), "the last match is in the chapter's first screenful");
    spin(500);
    const double scrolled = h.js("scrollY").toDouble();
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Escape);
    QVERIFY(!w.FFindBar->isVisible());
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());
    QVERIFY(waitUntil([&] { return h.js("getSelection().toString()").toString() == kName; }, 3000));
    spin(500);
    QCOMPARE(h.js("scrollY").toDouble(), scrolled);

    // F3 looks for the same name again, the bar back with its count.
    QTest::keyClick(keyTarget(&w), Qt::Key_F3);
    QVERIFY(w.FFindBar->isVisible());
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == expected; }, 5000));
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy()); // F3 leaves the keyboard where it was

    // Another page, the bar still open: its matches are counted.
    QVERIFY(h.type(QStringLiteral("http://pictures.test/page.html")));
    QVERIFY(waitUntil([&] { return w.FFindBar->LblCount->text() == QStringLiteral("无匹配"); }, 5000));
}

// In full-screen reading Esc in the bar closes the bar and nothing else; the
// bar keeps clear of the floating clock.
void TestFindPrint::escClosesOnlyTheBar()
{
    LektoHarness h;
    TFLekto &w = h.open();
    auto *zoom = new TWBZoom(&w);
    auto *clock = new TLektoTimer(&w);
    clock->SetHost(zoom, [&w](int v) { w._ZoomProc(v); }, w.BtnFull);
    WBZoom = zoom;
    LektoTimer = clock;
    QVERIFY(h.type(kChapter));
    w.WB1->SetFocus();
    // The bar open before full-screen reading, F11 pressed in it.
    QTest::keyClick(keyTarget(&w), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.FFindBar->isVisible());
    QTest::keyClick(keyTarget(&w), Qt::Key_F11);
    spin(500);
    QVERIFY(w.IsFullScreen());
    QVERIFY(w.FFindBar->isVisible());
    QVERIFY(clock->isVisible());
    const QRect bar(w.FFindBar->mapToGlobal(QPoint(0, 0)), w.FFindBar->size());
    QVERIFY2(!bar.intersects(clock->frameGeometry()), "the find bar lies under the clock");
    QVERIFY(w.WB1->geometry().contains(w.FFindBar->geometry()));
    // Entering full-screen reading gave the page the keyboard; Ctrl+F takes it to the bar.
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());
    QTest::keyClick(keyTarget(&w), Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(keyTarget(&w), w.FFindBar->EdFind);

    QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
    QVERIFY(!w.FFindBar->isVisible());
    QVERIFY(w.IsFullScreen());
    QCOMPARE(keyTarget(&w), w.WB1->focusProxy());
    // The next Esc, from the page, leaves full-screen reading as ever.
    QTest::keyClick(keyTarget(&w), Qt::Key_Escape);
    spin(500);
    QVERIFY(!w.IsFullScreen());
    WBZoom = nullptr;
    LektoTimer = nullptr;
}

// Chinese typed through an input method reaches the box as the input
// method's events: nothing is looked for while the text is composed, the
// committed text is found.
void TestFindPrint::inputMethodTextIsFound()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(kChapter));
    const int expected = countInShownText(h, kName);
    w.FFindBar->Open();
    QLineEdit *box = w.FFindBar->EdFind;
    QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(box->inputMethodQuery(Qt::ImEnabled).toBool());

    QInputMethodEvent composing(QStringLiteral("wuming"), {});
    QApplication::sendEvent(box, &composing);
    spin(300);
    QCOMPARE(box->text(), QString());
    QCOMPARE(w.FFindBar->MatchCount(), 0);

    QInputMethodEvent commit;
    commit.setCommitString(kName);
    QApplication::sendEvent(box, &commit);
    QCOMPARE(box->text(), kName);
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == expected; }, 5000));
}

// Ctrl+P from the page, "print to file" as PDF: the chapter's text is in it.
void TestFindPrint::printsTheChapterIntoAReadablePdf()
{
    LektoHarness h;
    ScriptedPrint print;
    TFLekto &w = h.open();
    QVERIFY(h.type(kChapter));
    const QString title = w.windowTitle();
    QVERIFY(!title.isEmpty());
    w.WB1->SetFocus();
    QTest::keyClick(keyTarget(&w), Qt::Key_P, Qt::ControlModifier);
    // Where it went: the folder, which the line's button opens.
    const QString folder = QFileInfo(print.pdf()).absolutePath();
    QVERIFY2(waitUntil([&] { return w.pHint->Caption().startsWith(QStringLiteral("已保存为 PDF：章节.pdf（位于 ")); }, 30000),
             qPrintable(w.pHint->Caption()));
    QPushButton *open = nullptr;
    for (QPushButton *b : w.pHint->findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("打开文件夹"))
            open = b;
    QVERIFY(open && open->isVisible());
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(h.opened, QStringList{QUrl::fromLocalFile(folder).toString()});
    QCOMPARE(print.shown, 1);
    QCOMPARE(print.docName, title);
    QVERIFY(!w.IsPrinting());

    const QString text = poppler(QStringLiteral("pdftotext"), {print.pdf(), QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("吴明仔仔细细，上上下下将光幕看了几遍")), qPrintable(text.left(400)));
    QVERIFY(text.contains(QStringLiteral("轮回者编号：庚申六十九")));
    QVERIFY(h.errors.isEmpty());

    // Into a folder that is not there: told why, and no file made.
    Dialogs::printDialog = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(print.folder.filePath(QStringLiteral("没有/章节.pdf")));
        return true;
    };
    w.PrintPage();
    QVERIFY(waitUntil([&] { return !h.errors.isEmpty(); }, 30000));
    QVERIFY2(h.errors.constFirst().contains(QStringLiteral("无法保存")), qPrintable(h.errors.constFirst()));
    QVERIFY(!QFileInfo::exists(print.folder.filePath(QStringLiteral("没有"))));
    QVERIFY(!w.IsPrinting());
}

void TestFindPrint::printsWhatTheModeShows_data()
{
    QTest::addColumn<bool>("pure");
    QTest::newRow("pure mode: no pictures") << true;
    QTest::newRow("half-pure mode: the picture") << false;
}

void TestFindPrint::printsWhatTheModeShows()
{
    QFETCH(bool, pure);
    LektoHarness h;
    ScriptedPrint print;
    TFLekto &w = h.open();
    if (!pure) {
        w.pHalfClick();
        QVERIFY(h.waitComplete(2));
    }
    QVERIFY(h.type(QStringLiteral("http://pictures.test/page.html")));
    const int pictures = FProxy.countRequests("/cover.png");
    w.PrintPage();
    QVERIFY(waitUntil([&] { return w.pHint->Caption().startsWith(QStringLiteral("已保存为 PDF")); }, 30000));
    QVERIFY(poppler(QStringLiteral("pdftotext"), {print.pdf(), QStringLiteral("-")}).contains(QStringLiteral("封面下面是第一章")));
    // pdfimages -list: two lines of heading, then one line per image with
    // its width and height. Pure mode shows, and prints, only the engine's
    // small sign for a picture not loaded.
    const QStringList lines = poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), print.pdf()}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY(lines.size() >= 2);
    int covers = 0;
    for (const QString &line : lines.mid(2)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        covers += f.value(3) == QLatin1String("240") && f.value(4) == QLatin1String("240");
    }
    QCOMPARE(covers, pure ? 0 : 1);
    QCOMPARE(FProxy.countRequests("/cover.png"), pictures); // printing fetched nothing
}

// The engine stops the whole process when a page goes while it prints: the
// reader is asked first, and the end waits, so the PDF is written whole.
void TestFindPrint::closingWhilePrintingWaitsForThePdf()
{
    LektoHarness h;
    ScriptedPrint print;
    TFLekto &w = h.open();
    QVERIFY(h.type(kChapter));
    w.PrintPage();
    QVERIFY(w.IsPrinting());
    h.yesNoAnswers = {false};
    QVERIFY(!w.MayClose());
    QCOMPARE(h.questions.size(), 1);
    QVERIFY2(h.questions.constFirst().contains(QStringLiteral("正在打印本页")), qPrintable(h.questions.constFirst()));
    h.window.reset(); // at once, as an end by a signal goes
    QVERIFY(QFileInfo(print.pdf()).size() > 0);
    QVERIFY(poppler(QStringLiteral("pdftotext"), {print.pdf(), QStringLiteral("-")}).contains(QStringLiteral("轮回者编号：庚申六十九")));
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestFindPrint)
#include "tst_findprint.moc"
