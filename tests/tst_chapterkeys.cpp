// Turning chapters with ← and → as a reader presses them, on the saved real
// pages at their own addresses.
#include "forms.h"
#include "chaptersite.h"
#include "wbzoom.h"

#include <QtCore/QScopeGuard>
#include <QtNetwork/QNetworkProxy>
#include <QtWebEngineCore/QWebEngineHistory>

using namespace ChapterSite;

class TestChapterKeys : public ChapterSiteTest
{
    Q_OBJECT

private slots:
    void initTestCase() { serveSites(); }
    void turnsToThePagesOwnNeighbours_data();
    void turnsToThePagesOwnNeighbours();
    void turnsThroughTheNormalPath();
    void keysThatStayWithThePage_data();
    void keysThatStayWithThePage();
    void zoomedPageTurns_data();
    void zoomedPageTurns();
    void siteScriptsTurnAlone_data();
    void siteScriptsTurnAlone();
    void chapterSentInPagesTurnsPageByPage();
};

void TestChapterKeys::turnsToThePagesOwnNeighbours_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("previous");
    for (const Chapter &c : kChapters)
        QTest::newRow(c.file) << c.address << c.next << c.previous;
}

// Pure mode, the default: the page's own scripts are off, and the keys are
// the window's. → and ← ask for the addresses the page names, from the page.
void TestChapterKeys::turnsToThePagesOwnNeighbours()
{
    QFETCH(QString, address);
    QFETCH(QString, next);
    QFETCH(QString, previous);
    LektoHarness h;
    TFLekto &w = h.open();
    // Without the sites' style sheets some pages are wider than a small
    // window, and there the arrows scroll.
    w.resize(1400, 800);
    w.FChapterPrefetch = false; // the turn's own request, not a copy fetched ahead
    Navigations navs;
    navs.watch(w);
    for (const auto &[key, expected] : {std::pair{Qt::Key_Right, next}, std::pair{Qt::Key_Left, previous}}) {
        QVERIFY(h.type(address));
        const int from = FProxy.requests().size();
        navs.urls.clear();
        const int before = h.completions;
        // A sliver of overflow (a menu the missing style sheet would hide)
        // is scrolled first: the turn comes at the page's edge.
        h.js(key == Qt::Key_Right ? "window.scrollTo(100000, window.scrollY)" : "window.scrollTo(0, window.scrollY)");
        press(w, key);
        if (expected.isEmpty()) {
            spin(800);
            QVERIFY2(navs.urls.isEmpty(), qPrintable(navs.urls.join('\n')));
            QCOMPARE(h.completions, before);
            continue;
        }
        QVERIFY(h.waitComplete(before + 1));
        QCOMPARE(navs.urls, QStringList{expected});
        if (QUrl(expected).scheme() == "http") { // https goes through a tunnel the log cannot read
            const auto asked = requestsFor(expected, from);
            QCOMPARE(asked.size(), 1);
            QCOMPARE(asked.first().headers.value("referer"), address.toLatin1());
            QCOMPARE(w.windowTitle(), QStringLiteral("邻章"));
        }
    }
}

// The turn is a link click to the rest of the program: the address box
// shows it at once, the history records it, and 后退 comes back to the
// chapter turned from, even when the reader never clicked in it.
void TestChapterKeys::turnsThroughTheNormalPath()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.FChapterPrefetch = false;
    Navigations navs;
    navs.watch(w);
    QVERIFY(h.type("http://book.example.com/b1/1.html"));
    QVERIFY(h.type("http://book.example.com/b1/2.html"));
    navs.urls.clear();
    navs.flags.clear();
    QString boxWhileOpening;
    auto before = w.WB1->OnBeforeNavigate2;
    w.WB1->OnBeforeNavigate2 = [&](TBrowserView *v, TBrowserObject d, QString &u, int &f, QString &t, QByteArray &p,
                                   QString &hd, bool &c) {
        before(v, d, u, f, t, p, hd, c);
        boxWhileOpening = w.EdUrl->text();
    };
    const int from = FProxy.requests().size();
    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(h.completions + 1));
    QCOMPARE(navs.urls, QStringList{"http://book.example.com/b1/3.html"});
    QCOMPARE(navs.flags.first(), int(QWebEnginePage::NavigationTypeLinkClicked)); // not the reader's typing
    QCOMPARE(boxWhileOpening, navs.urls.first()); // pure mode shows the target while it opens
    QCOMPARE(requestsFor("http://book.example.com/b1/3.html", from).first().headers.value("referer"),
             QByteArray("http://book.example.com/b1/2.html"));
    QCOMPARE(requestsFor("http://book.example.com/b1/3.html", from).first().headers.value("cache-control"),
             QByteArray("no-cache")); // pure mode's fresh copy
    QCOMPARE(w.windowTitle(), QStringLiteral("甲 第3章"));
    QCOMPARE(h.bookTitles(), QStringList{"甲 第3章"});

    w.Button3->click(); // 后退
    QVERIFY(h.waitComplete(h.completions + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("甲 第2章"));
    press(w, Qt::Key_Left);
    QVERIFY(h.waitComplete(h.completions + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("甲 第1章"));
    QCOMPARE(visibleWindows(), 1);
    QVERIFY(h.errors.isEmpty());
}

void TestChapterKeys::keysThatStayWithThePage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("focus");      // a field to click into first
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("scrollToEnd"); // the arrow at the page's right edge
    QTest::addColumn<int>("zoom");
    QTest::newRow("text field") << "http://book.example.com/field.html" << "#field" << 0 << false << 100;
    QTest::newRow("editable text") << "http://book.example.com/field.html" << "#edit" << 0 << false << 100;
    QTest::newRow("Shift") << "http://book.example.com/b1/2.html" << "" << int(Qt::ShiftModifier) << false << 100;
    QTest::newRow("Ctrl") << "http://book.example.com/b1/2.html" << "" << int(Qt::ControlModifier) << false << 100;
    QTest::newRow("a page scrolled sideways") << "http://book.example.com/wide.html" << "" << 0 << false << 100;
    QTest::newRow("at its right edge") << "http://book.example.com/wide.html" << "" << 0 << true << 100;
    // Wider than the view unzoomed too: still a page read sideways.
    QTest::newRow("at its right edge, zoomed") << "http://book.example.com/wide.html" << "" << 0 << true << 150;
}

void TestChapterKeys::keysThatStayWithThePage()
{
    QFETCH(QString, address);
    QFETCH(QString, focus);
    QFETCH(int, modifiers);
    QFETCH(bool, scrollToEnd);
    QFETCH(int, zoom);
    LektoHarness h;
    TFLekto &w = h.open();
    Navigations navs;
    navs.watch(w);
    w._ZoomProc(zoom);
    QVERIFY(h.type(address));
    if (!focus.isEmpty()) {
        QVERIFY(h.mouseClick(focus, Qt::LeftButton, false));
        QVERIFY(waitUntil([&] { return w.WB1->EditableHasFocus(); }, 3000));
    }
    if (scrollToEnd)
        h.js("window.scrollTo(100000, 0)");
    const int x = h.js("window.scrollX").toInt();
    navs.urls.clear();
    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Right}) {
        QTest::keyClick(w.WB1->focusProxy(), key, Qt::KeyboardModifiers(modifiers));
        spin(300);
    }
    spin(300);
    QVERIFY2(navs.urls.isEmpty(), qPrintable(navs.urls.join('\n')));
    if (address.endsWith("wide.html") && !scrollToEnd)
        QVERIFY(h.js("window.scrollX").toInt() > x); // → scrolled it
}

void TestChapterKeys::zoomedPageTurns_data()
{
    QTest::addColumn<QString>("book");
    QTest::addColumn<bool>("fits"); // nothing is left to scroll sideways
    QTest::newRow("a 960-pixel banner and column") << "http://book.example.com/z1/" << true;
    QTest::newRow("a box out to the right") << "http://book.example.com/z2/" << false;
}

// The reader zooms a page to 150 % with the zoom box: the text stays within
// the view, and → turns the chapter, once there is nothing more to scroll
// to the right; ← likewise from the left edge.
void TestChapterKeys::zoomedPageTurns()
{
    QFETCH(QString, book);
    QFETCH(bool, fits);
    LektoHarness h;
    TFLekto &w = h.open();
    w.resize(1100, 700);
    auto *box = new TWBZoom(&w);
    WBZoom = box;
    auto unset = qScopeGuard([] { WBZoom = nullptr; });
    w.FChapterPrefetch = false;
    Navigations navs;
    navs.watch(w);
    QVERIFY(h.type(book + "2.html"));
    QTest::mouseClick(w.BtnZoom, Qt::LeftButton);
    QVERIFY(box->isVisible());
    QTest::mouseClick(box->Button4, Qt::LeftButton); // 150%
    QCOMPARE(w.WB1->ZoomPercent(), 150);
    QVERIFY(waitUntil([&] { return h.js("innerWidth").toInt() < 800; }, 5000));
    const QString measure = QStringLiteral("(function(){var e=document.scrollingElement,t=document.getElementById('text')"
                                           ".getBoundingClientRect();return [e.scrollWidth,e.clientWidth,t.left,t.right];})()");
    const auto wide = [&] {
        const QVariantList m = h.js(measure).toList();
        return m.size() == 4 ? m[0].toInt() - m[1].toInt() : -1;
    };
    if (fits) {
        QVERIFY2(waitUntil([&] { return wide() == 0; }, 5000), qPrintable(QString::number(wide())));
        const QVariantList m = h.js(measure).toList();
        QVERIFY2(m[2].toDouble() >= 0 && m[3].toDouble() <= m[1].toDouble(), qPrintable(h.js(measure).toStringList().join(' ')));
    } else {
        QVERIFY(wide() > 100);
    }

    const auto pressUntilTurn = [&](Qt::Key key) {
        navs.urls.clear();
        int presses = 0;
        while (navs.urls.isEmpty() && presses < 40) {
            press(w, key);
            ++presses;
            waitUntil([&] { return !navs.urls.isEmpty(); }, 400);
        }
        return presses;
    };
    int before = h.completions;
    const int right = pressUntilTurn(Qt::Key_Right);
    QCOMPARE(navs.urls, QStringList{book + "3.html"});
    if (fits)
        QCOMPARE(right, 1);
    else
        QVERIFY(right > 1); // what lay to the right was scrolled into sight first
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.WB1->ZoomPercent(), 150);
    before = h.completions;
    QCOMPARE(pressUntilTurn(Qt::Key_Left), 1); // a new chapter begins at its left edge
    QCOMPARE(navs.urls, QStringList{book + "2.html"});
    QVERIFY(h.waitComplete(before + 1));

    // Back at 100 %, the page is as its site made it.
    QTest::mouseClick(w.BtnZoom, Qt::LeftButton);
    QTest::mouseClick(box->Button5, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return h.js("document.getElementById('lekto-fit')===null").toBool(); }, 5000));
    QVERIFY(h.errors.isEmpty());
}

void TestChapterKeys::siteScriptsTurnAlone_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("next");
    QTest::addColumn<int>("turns");
    // Both sites' scripts set location on → without preventing the key.
    QTest::newRow("biquge's script") << kChapters[0].address << kChapters[0].next << 1;
    QTest::newRow("999wx's script") << kChapters[1].address << kChapters[1].next << 1;
    // zongheng's script is not served: the window turns in its place.
    QTest::newRow("no working script") << kChapters[2].address << kChapters[2].next << 1;
    QTest::newRow("a script that keeps the key") << "http://book.example.com/own.html" << "http://book.example.com/b1/2.html" << 1;
}

// Half-pure mode runs the sites' scripts, which turn chapters themselves: the
// next chapter is asked for once, by the site or else by the window.
void TestChapterKeys::siteScriptsTurnAlone()
{
    QFETCH(QString, address);
    QFETCH(QString, next);
    QFETCH(int, turns);
    LektoHarness h;
    TFLekto &w = h.open();
    w.resize(1400, 800);
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    Navigations navs;
    navs.watch(w);
    QVERIFY(h.type(address));
    navs.cancel = true; // the page stays: every later attempt would be seen
    navs.urls.clear();
    press(w, Qt::Key_Right);
    QVERIFY(waitUntil([&] { return !navs.urls.isEmpty(); }, 5000));
    spin(1000);
    QCOMPARE(navs.count(next), turns);
    QCOMPARE(navs.urls.size(), turns);
}

// A chapter sent in two pages: → shows its second page before the next
// chapter, ← goes back page by page, and what is fetched ahead is the page
// → will turn to.
void TestChapterKeys::chapterSentInPagesTurnsPageByPage()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://book.example.com/paged/1.html"));
    QVERIFY(waitUntil([&] { return w.WB1->PrefetchState().Active(); }, 5000));
    QCOMPARE(w.WB1->PrefetchState().Target(), QUrl("http://book.example.com/paged/1_2.html"));
    QVERIFY(requestsFor("http://book.example.com/paged/2.html", from).isEmpty());
    const QList<std::pair<Qt::Key, QString>> turns{{Qt::Key_Right, "丁 第1章（2/2）"},
                                                   {Qt::Key_Right, "丁 第2章（1/2）"},
                                                   {Qt::Key_Left, "丁 第1章（2/2）"},
                                                   {Qt::Key_Left, "丁 第1章（1/2）"}};
    for (const auto &[key, title] : turns) {
        const int before = h.completions;
        press(w, key);
        QVERIFY(h.waitComplete(before + 1));
        QCOMPARE(w.windowTitle(), title);
        QCOMPARE(h.bookTitles(), QStringList{title});
    }
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestChapterKeys)
#include "tst_chapterkeys.moc"
