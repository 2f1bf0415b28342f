// A long history's start page: its first rows are shown while the rest is
// still coming, the rest come in as the reader scrolls to them (the scroll bar
// stands for the whole list from the start, at any zoom), Find reaches a book
// in any row, and the keyboard walks the links in the order of the page.
#include "findbar.h"
#include "lektoharness.h"
#include "startpagerows.h"

#include <QtCore/QProcess>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtPrintSupport/QPrinter>

namespace {

constexpr int kEntries = 20000;
const QString kLastBook = QStringLiteral("最后一行的书");

// The first book added ends up in the last row.
void seed(const QString &file, int entries)
{
    TLektoHistory h(file);
    h.AddHis(QStringLiteral("http://site/last/chapter.html"), kLastBook);
    for (int i = 1; i < entries; ++i)
        h.AddHis(QStringLiteral("http://site/book%1/chapter.html").arg(i), QStringLiteral("第%1章").arg(i));
    h.SaveHis();
}

} // namespace

class TestStartPageScale : public QObject
{
    Q_OBJECT

private slots:
    void firstRowsShowBeforeTheLoadCompletes();
    void findReachesTheLastRow();
    void tabWalksTheLinksInPageOrder();
    void rowsComeAsTheReaderScrolls_data();
    void rowsComeAsTheReaderScrolls();
    void keyboardReachesRowsNotShownYet();
    void scrollBarKeepsItsLengthOnTheWayDown_data();
    void scrollBarKeepsItsLengthOnTheWayDown();
    void printingAndCopyingTakeEveryRow_data();
    void printingAndCopyingTakeEveryRow();
    void rowsKeepTheirShapeAtAnyZoom_data();
    void rowsKeepTheirShapeAtAnyZoom();
    void everyRowAskedForWhileThePageArrives();
};

void TestStartPageScale::firstRowsShowBeforeTheLoadCompletes()
{
    LektoHarness h;
    seed(h.historyFile(), kEntries);
    TFLekto &w = h.open();
    QVERIFY(waitUntil([&] { return StartPageRowsShown(w.WB1); }));
    h.js(QStringLiteral("document.documentElement.style.visibility='hidden'"));
    QVERIFY(waitUntil([&] { return !StartPageRowsShown(w.WB1); }));

    const int before = h.completions;
    w.ShowStartPage();
    bool seenWhileLoading = false;
    QVERIFY(waitUntil([&] {
        if (h.completions == before && StartPageRowsShown(w.WB1))
            seenWhileLoading = true;
        return seenWhileLoading || h.completions > before;
    }, 60000));
    QVERIFY2(seenWhileLoading, "the rows were shown only once the whole page had loaded");
    QVERIFY(h.waitComplete(before + 1, 60000));
    QCOMPARE(h.js(QStringLiteral("document.querySelectorAll('tr').length")).toInt(), kEntries);
}

void TestStartPageScale::findReachesTheLastRow()
{
    LektoHarness h;
    seed(h.historyFile(), kEntries);
    TFLekto &w = h.open();
    w.WB1->SetFocus();
    spin(100);
    QTest::keyClick(w.focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.FFindBar->isVisible());
    w.FFindBar->EdFind->setText(kLastBook);
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == 1; }, 20000));
    QCOMPARE(w.FFindBar->ActiveMatch(), 1);
    // Scrolled to: the last row, laid out where it stands, inside the view.
    const QString where = QStringLiteral(
        "(function(){var rows=document.querySelectorAll('tr');var r=rows[rows.length-1].getBoundingClientRect();"
        "return [r.top,r.bottom,innerHeight,r.height];})()");
    QVariantList at;
    const bool inView = waitUntil([&] {
        at = h.js(where).toList();
        return at.size() == 4 && at[0].toDouble() >= 0 && at[1].toDouble() <= at[2].toDouble() && at[3].toDouble() > 0;
    }, 5000);
    QVERIFY2(inView, qPrintable(at.size() == 4 ? QStringLiteral("%1..%2 of %3").arg(at[0].toDouble()).arg(at[1].toDouble()).arg(at[2].toDouble())
                                               : QStringLiteral("no rows")));
    const double scrolled = h.js(QStringLiteral("scrollY")).toDouble();
    QTest::keyClick(w.FFindBar->EdFind, Qt::Key_Escape);
    // The match stays selected, in the last row.
    QVERIFY(waitUntil([&] { return h.js(QStringLiteral("getSelection().toString()")).toString() == kLastBook; }, 5000));
    QVERIFY(h.js(QStringLiteral("(function(){var rows=document.querySelectorAll('tr');"
                                "return rows[rows.length-1].contains(getSelection().anchorNode);})()")).toBool());
    // Closing the bar leaves the page where the match is.
    spin(500);
    QCOMPARE(h.js(QStringLiteral("scrollY")).toDouble(), scrolled);
    at = h.js(where).toList();
    QVERIFY(at.size() == 4 && at[0].toDouble() >= 0 && at[1].toDouble() <= at[2].toDouble());
}

// Tab from the top of the page: every link in the page's order, rows below
// the first screenful included.
void TestStartPageScale::tabWalksTheLinksInPageOrder()
{
    LektoHarness h;
    seed(h.historyFile(), 40);
    {
        TLektoHistory more(h.historyFile());
        more.ToBm2(0);
        more.SaveHis();
    }
    TFLekto &w = h.open();
    const QStringList links = h.js(QStringLiteral("Array.from(document.querySelectorAll('a[href]'),a=>a.getAttribute('href'))"))
                                  .toStringList();
    QVERIFY(links.size() > 200);
    QVERIFY(links.contains(QStringLiteral("rc:L2Del0")));
    w.WB1->SetFocus();
    h.js(QStringLiteral("window.scrollTo(0,0);if(document.activeElement)document.activeElement.blur()"));
    QStringList walked;
    for (int i = 0; i < links.size(); ++i) {
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Tab);
        QString href;
        waitUntil([&] {
            href = h.js(QStringLiteral("document.activeElement&&document.activeElement.getAttribute('href')")).toString();
            return !href.isEmpty() && (walked.isEmpty() || href != walked.last());
        }, 3000);
        walked << href;
    }
    QCOMPARE(walked, links);
}

namespace {

// A row a zoom, named by it.
void zoomTable(std::initializer_list<int> zooms)
{
    QTest::addColumn<int>("zoom");
    for (int zoom : zooms)
        QTest::newRow(qPrintable(QStringLiteral("%1 %").arg(zoom))) << zoom;
}

// The start page shown again at a zoom.
bool showAtZoom(LektoHarness &h, int zoom)
{
    if (zoom == 100)
        return true;
    h.window->_ZoomProc(zoom);
    const int before = h.completions;
    h.window->ShowStartPage();
    return h.waitComplete(before + 1);
}

// The row under a point of the view, as its number in its list (-1: none).
QString rowAt(const QString &x, const QString &y)
{
    return QStringLiteral("(function(){var e=document.elementFromPoint(%1,%2);var r=e&&e.closest('tr');"
                          "return r?r.rowIndex:-1;})()").arg(x, y);
}

} // namespace

void TestStartPageScale::rowsComeAsTheReaderScrolls_data()
{
    zoomTable({100, 10, 300, 1000}); // 10 %: the document's own zoom under the engine's
}

void TestStartPageScale::rowsComeAsTheReaderScrolls()
{
    QFETCH(int, zoom);
    constexpr int entries = 3000;
    LektoHarness h;
    seed(h.historyFile(), entries);
    TFLekto &w = h.open();
    QVERIFY(showAtZoom(h, zoom));
    // Every row is in the document, and the scroll bar is the whole list's
    // (measured again below, once the last rows are laid out).
    QCOMPARE(h.js(QStringLiteral("document.querySelectorAll('tr[height]').length")).toInt(), entries);
    const double heightFirst = h.js(QStringLiteral("document.documentElement.scrollHeight")).toDouble();

    // A fifth, a third and a half of the way down: rows are there to see, no
    // empty space where rows are to come. (Under the document's own zoom,
    // scrollHeight and scrollY do not measure alike: the way down is taken
    // from the page's end.)
    const double end = h.js(QStringLiteral("window.scrollTo(0,1e9);scrollY")).toDouble();
    QVERIFY(end > 0);
    for (const double to : {end / 5, end / 3, end / 2}) {
        h.js(QStringLiteral("window.scrollTo(0,%1)").arg(to));
        int row = -1;
        QVERIFY2(waitUntil([&] {
                     row = h.js(rowAt(QStringLiteral("innerWidth/8"), QStringLiteral("innerHeight-4"))).toInt();
                     return row > 0;
                 }, 5000),
                 qPrintable(QStringLiteral("nothing at the bottom of the view after scrolling to %1").arg(to)));
    }
    // End, as the reader presses it: the page's end, and the last row laid
    // out where it belongs, nothing held below it. Rows that turn out taller
    // than estimated (titles wrapping in a narrow view) push the end further
    // as they come into view: End again goes on.
    w.WB1->SetFocus();
    QVariantList r;
    bool atEnd = false;
    for (int press = 0; press < 3 && !atEnd; ++press) {
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_End);
        atEnd = waitUntil([&] {
            r = h.js(QStringLiteral(
                "(function(){var l=document.querySelectorAll('tr[height]');l=l[l.length-1];var b=l.getBoundingClientRect();"
                "var t=l.closest('table').getBoundingClientRect();var y=scrollY;window.scrollBy(0,1);"
                "return [t.bottom-b.bottom,b.height,l.rowIndex,y,scrollY];})()")).toList();
            return r.size() == 5 && qAbs(r[0].toDouble()) < 2 && r[1].toDouble() > 0 && r[2].toInt() == entries - 1
                && r[3].toDouble() > 0 && r[3].toDouble() == r[4].toDouble();
        }, 3000);
    }
    QVERIFY2(atEnd, qPrintable(QVariant(r).toStringList().join(QLatin1Char(' '))));
    const double heightLaidOut = h.js(QStringLiteral("document.documentElement.scrollHeight")).toDouble();
    QVERIFY2(qAbs(heightLaidOut - heightFirst) < 0.05 * heightLaidOut,
             qPrintable(QStringLiteral("%1 at first, %2 laid out").arg(heightFirst).arg(heightLaidOut)));
}

// A list longer than the first screenfuls: Tab from the last row shown goes
// on to the next row, and Shift+Tab from the second list comes back to the
// first list's last row, as on a page laid out whole.
void TestStartPageScale::keyboardReachesRowsNotShownYet()
{
    LektoHarness h;
    seed(h.historyFile(), 240);
    {
        TLektoHistory more(h.historyFile());
        for (int i = 0; i < 120; ++i)
            more.ToBm2(0);
        more.SaveHis();
    }
    TFLekto &w = h.open();
    const auto active = [&] {
        return h.js(QStringLiteral("document.activeElement&&document.activeElement.getAttribute('href')")).toString();
    };
    const QString lastOfFirstList = h.js(QStringLiteral(
        "(function(){var t=document.querySelector('tr[height]').parentNode.children;"
        "var a=t[t.length-1].querySelectorAll('a[href]');return a[a.length-1].getAttribute('href');})()")).toString();
    QVERIFY(lastOfFirstList.startsWith(QLatin1String("http://")));

    w.WB1->SetFocus();
    // Backwards from the second list: its own commands, then the first
    // list's last row.
    const QStringList before = h.js(QStringLiteral(
        "(function(){var l=Array.from(document.querySelectorAll('a[href]'),function(a){return a.getAttribute('href');});"
        "return l.slice(0,l.indexOf('rc:L2Del0')).reverse();})()")).toStringList();
    const int back = before.indexOf(lastOfFirstList) + 1;
    QVERIFY(back > 0 && back <= 6);
    h.js(QStringLiteral("document.querySelector('a[href=\"rc:L2Del0\"]').focus()"));
    QVERIFY(waitUntil([&] { return active() == QLatin1String("rc:L2Del0"); }, 3000));
    QStringList walked;
    for (int i = 0; i < back; ++i) {
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Backtab, Qt::ShiftModifier);
        QString href;
        waitUntil([&] {
            href = active();
            return href != (walked.isEmpty() ? QStringLiteral("rc:L2Del0") : walked.last());
        }, 5000);
        walked << href;
    }
    QCOMPARE(walked, before.mid(0, back));

    // Forwards, on the page shown afresh.
    const int shown = h.completions;
    w.ShowStartPage();
    QVERIFY(h.waitComplete(shown + 1));
    h.js(QStringLiteral("(function(){var a=document.querySelector('tr[height]').parentNode.children[79].querySelectorAll('a[href]');"
                        "a[a.length-1].focus();})()"));
    QVERIFY(waitUntil([&] { return active().startsWith(QLatin1String("http://")); }, 3000));
    QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Tab);
    QVERIFY(waitUntil([&] { return active() == QLatin1String("rc:Del80"); }, 5000));
}

void TestStartPageScale::scrollBarKeepsItsLengthOnTheWayDown_data()
{
    zoomTable({100, 200});
}

// The reader pages down the whole list once, screen by screen: the page's
// length, and with it the scroll bar, is what it was when the page came, so
// the thumb's place said at the start where each row is.
void TestStartPageScale::scrollBarKeepsItsLengthOnTheWayDown()
{
    QFETCH(int, zoom);
    constexpr int entries = 300;
    LektoHarness h;
    seed(h.historyFile(), entries);
    h.open();
    QVERIFY(showAtZoom(h, zoom));
    spin(300);
    const QString measure = QStringLiteral("[document.documentElement.scrollHeight,scrollY,innerHeight]");
    const double first = h.js(measure).toList().value(0).toDouble();
    QVERIFY(first > 0);
    QVariantList m;
    for (int step = 0; step < 2000; ++step) {
        m = h.js(QStringLiteral("window.scrollBy(0,innerHeight*0.9);") + measure).toList();
        spin(40);
        if (m.size() == 3 && m[1].toDouble() + m[2].toDouble() >= m[0].toDouble() - 1)
            break;
    }
    spin(500);
    const double after = h.js(measure).toList().value(0).toDouble();
    QVERIFY2(qAbs(after - first) < 0.1 * after,
             qPrintable(QStringLiteral("%1 px when the page came, %2 px once read down").arg(first).arg(after)));
}

void TestStartPageScale::printingAndCopyingTakeEveryRow_data()
{
    QTest::addColumn<bool>("print");
    QTest::newRow("printed into a PDF") << true;
    QTest::newRow("Ctrl+A, Ctrl+C") << false;
}

// Rows not yet come in are in the PDF and in what is copied, as the reader
// sees them in the page: the last row's book, and a row from the middle.
void TestStartPageScale::printingAndCopyingTakeEveryRow()
{
    QFETCH(bool, print);
    LektoHarness h;
    seed(h.historyFile(), 400);
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("起始页.pdf"));
    const auto dialog = Dialogs::printDialog;
    Dialogs::printDialog = [&](QPrinter &p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    };
    TFLekto &w = h.open();
    QCOMPARE(h.js(QStringLiteral("getComputedStyle(document.querySelectorAll('tr[height]')[300]).display")).toString(),
             QStringLiteral("none"));
    QString text;
    if (print) {
        w.PrintPage();
        const bool printed = waitUntil([&] { return !w.IsPrinting(); }, 60000);
        Dialogs::printDialog = dialog;
        QVERIFY(printed && h.errors.isEmpty());
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        text = QString::fromUtf8(p.readAllStandardOutput());
    } else {
        Dialogs::printDialog = dialog;
        w.WB1->SetFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w.WB1->focusProxy(), Qt::Key_C, Qt::ControlModifier);
        waitUntil([&] { return !QGuiApplication::clipboard()->text().isEmpty(); }, 5000);
        text = QGuiApplication::clipboard()->text();
    }
    QVERIFY2(text.contains(kLastBook), qPrintable(text.right(300)));
    QVERIFY(text.contains(QStringLiteral("第200章")));
}

void TestStartPageScale::rowsKeepTheirShapeAtAnyZoom_data()
{
    zoomTable({100, 150, 200, 300});
}

// A reader who reads at a zoom sees the start page at it too: the title
// keeps room to be read (on a line of its own where the view is narrow),
// the number, the commands and the date stay whole, and nothing has to be
// read sideways.
void TestStartPageScale::rowsKeepTheirShapeAtAnyZoom()
{
    QFETCH(int, zoom);
    LektoHarness h;
    seed(h.historyFile(), 30);
    h.open();
    QVERIFY(showAtZoom(h, zoom));
    const QVariantList shape = h.js(QStringLiteral(
        "(function(){var r=document.querySelector('tr[height]'),c=r.cells,em=parseFloat(getComputedStyle(c[6]).fontSize);"
        "var tall=0,right=0;for(var i=0;i<7;i++){var b=c[i].getBoundingClientRect();right=Math.max(right,b.right);"
        "if(i<6)tall=Math.max(tall,b.height/em);}"
        "var d=c[3].getBoundingClientRect(),t=c[6].getBoundingClientRect(),e=document.documentElement;"
        "return [Math.max(e.scrollWidth,right)-e.clientWidth,t.width/em,tall,Math.abs(t.top-d.top)<1,e.clientWidth/em];})()")).toList();
    QCOMPARE(shape.size(), 5);
    const QString said = QStringLiteral("overflow %1 px, title %2 em wide, tallest cell %3 em, view %4 em")
                             .arg(shape[0].toDouble()).arg(shape[1].toDouble()).arg(shape[2].toDouble()).arg(shape[4].toDouble());
    QVERIFY2(shape[0].toDouble() <= 1, qPrintable(said));
    QVERIFY2(shape[1].toDouble() >= std::min(10.0, shape[4].toDouble() - 1), qPrintable(said));
    QVERIFY2(shape[2].toDouble() < 1.8, qPrintable(said)); // one line each
    if (zoom == 100)
        QVERIFY2(shape[3].toBool(), "the title is not beside the date in a window of the usual size");
}

// Tab, Ctrl+A, Find or printing while a long start page is still arriving:
// rows and lists that arrive afterwards are not lost, and what asks for
// every row later gets them all.
void TestStartPageScale::everyRowAskedForWhileThePageArrives()
{
    LektoHarness h;
    seed(h.historyFile(), kEntries);
    {
        TLektoHistory more(h.historyFile());
        for (int i = 0; i < 30; ++i)
            more.ToBm2(0);
        more.SaveHis();
    }
    TFLekto &w = h.open();
    const int before = h.completions;
    w.ShowStartPage();
    // What each of those asks of the page, while only its first rows are in.
    bool asked = false;
    QVERIFY(waitUntil([&] {
        asked = h.js(QStringLiteral("(function(){if(document.readyState!=='loading'||!window.lektoRows"
                                    "||!document.querySelector('tr[height]'))return false;lektoRows.all();return true;})()"))
                    .toBool();
        return asked || h.completions > before;
    }, 60000));
    if (!asked)
        QSKIP("the page came whole before it could be asked while arriving");
    QVERIFY(h.waitComplete(before + 1, 60000));
    QCOMPARE(h.js(QStringLiteral("document.querySelectorAll('tr[height]').length")).toInt(), kEntries);
    // The second list, of 30 rows, shows whole.
    QCOMPARE(h.js(QStringLiteral("Array.prototype.filter.call(document.querySelectorAll('tbody')[1].children,"
                                 "function(r){return getComputedStyle(r).display==='none';}).length")).toInt(),
             0);
    // Find, asking again, reaches the first list's last row.
    w.WB1->SetFocus();
    spin(100);
    QTest::keyClick(w.focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w.FFindBar->isVisible());
    w.FFindBar->EdFind->setText(kLastBook);
    QVERIFY(waitUntil([&] { return w.FFindBar->MatchCount() == 1; }, 20000));
}

LEKTO_WEB_TEST_MAIN(TestStartPageScale)
#include "tst_startpagescale.moc"
