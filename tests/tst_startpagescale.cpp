// A long history's start page: its first rows are shown while the rest is
// still coming, Find reaches a book in any row, and the keyboard walks the
// links in the order of the page.
#include "findbar.h"
#include "lektoharness.h"
#include "startpagerows.h"

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

LEKTO_WEB_TEST_MAIN(TestStartPageScale)
#include "tst_startpagescale.moc"
