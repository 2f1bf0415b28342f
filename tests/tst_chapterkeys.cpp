// Turning chapters with ← and → as a reader presses them, on the saved real
// pages at their own addresses, and the next chapter fetched ahead.
#include "forms.h"
#include "lektoharness.h"
#include "testhttpserver.h"
#include "wbzoom.h"

#include <QtCore/QScopeGuard>
#include <QtNetwork/QNetworkProxy>
#include <QtWebEngineCore/QWebEngineHistory>

namespace {

// A saved chapter page where it was served, and its neighbours as the page
// itself names them; index pages (chapter lists) name none.
struct Chapter {
    const char *file, *address, *next, *previous;
};
const Chapter kChapters[] = {
    {"novel-zh/biquge-zhushen-ch4.html", "http://www.biquge.com.tw/17_17275/7633258.html",
     "http://www.biquge.com.tw/17_17275/7633259.html", "http://www.biquge.com.tw/17_17275/7633257.html"},
    {"novel-zh/999wx-fenghuo-ch22.html", "http://www.999wx.com/book/fenghuo/11226626.shtml",
     "http://www.999wx.com/book/fenghuo/11226627.shtml", "http://www.999wx.com/book/fenghuo/11226625.shtml"},
    {"novel-zh/zongheng-jianlai-ch14.html", "http://book.zongheng.com/chapter/672340/37010929.html",
     "http://book.zongheng.com/chapter/672340/37027792.html", "http://book.zongheng.com/chapter/672340/37003770.html"},
    {"novel-en/royalroad-chapter.html",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1449598/one-hundred-two-what-kind-of-wordchain",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1453643/one-hundred-three-artonan-conversations",
     "http://www.royalroad.com/fiction/63759/super-supportive/chapter/1446199/one-hundred-one-anesidora-time-0715-pm"},
    {"novel-en/ao3-chapter.html", "http://archiveofourown.org/works/11808918/chapters/26640231",
     "http://archiveofourown.org/works/11808918/chapters/26796918#workskin", ""},
    {"novel-en/hostednovel-chapter.html", "http://hostednovel.com/17321/novel/legend-of-the-great-sage/lgs-chapter-1",
     "https://hostednovel.com/17370/novel/legend-of-the-great-sage/lgs-chapter-2", ""},
    {"novel-zh/biquge-zhushen-index.html", "http://www.biquge.com.tw/14_14055/", "", ""},
    {"novel-zh/999wx-canglang-index.html", "http://www.999wx.com/book/canglang/Default.shtml", "", ""},
    {"novel-zh/biqukan-doupo-index.html", "http://www.biqukan.com/1_1094/", "", ""},
    {"novel-zh/wenku8-3500-catalog.html", "http://www.wenku8.net/novel/3/3500/index.htm", "", ""},
    {"novel-zh/wenku8-2379-utf8-declared-gbk.html", "http://www.wenku8.net/book/2379.htm", "", ""},
    {"novel-zh/siluke-quanzhi-index.html", "http://www.siluke.tw/ny10354/", "", ""},
    {"novel-en/novelbin-index.html", "http://novelbin.me/novel-book/i-accumulate-spirit-roots-for-my-next-life", "", ""},
    {"novel-en/novelhall-index.html", "http://www.novelhall.com/novel-index/", "", ""},
};

QByteArray fixture(const QString &file)
{
    QFile f(QStringLiteral(LEKTO_FIXTURES "/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray chapter(const QByteArray &book, int n, const QByteArray &extra = {})
{
    QByteArray body = "<title>" + book + " 第" + QByteArray::number(n) + "章</title>" + extra;
    for (int i = 0; i < 20; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    body += "<a href='" + QByteArray::number(n - 1) + ".html'>上一章</a> <a href='index.html'>目录</a> "
            "<a href='" + QByteArray::number(n + 1) + ".html'>下一章</a>";
    return body;
}

// One page of a chapter sent in pages: the chapter's bar at the top and the
// page's at the bottom, whose next link turns to the next chapter only on the
// chapter's last page.
QByteArray chapterPage(int n, int page, int pages)
{
    const QByteArray c = QByteArray::number(n), p = QByteArray::number(page);
    auto name = [](int chapter, int pg) {
        return QByteArray::number(chapter) + (pg > 1 ? "_" + QByteArray::number(pg) : QByteArray()) + ".html";
    };
    QByteArray body = "<title>丁 第" + c + "章（" + p + "/" + QByteArray::number(pages) + "）</title>"
                      "<a href='" + name(n - 1, 1) + "'>上一章</a> <a href='index.html'>目录</a> "
                      "<a href='" + name(n + 1, 1) + "'>下一章</a>";
    for (int i = 0; i < 20; ++i)
        body += "<p>正文第" + QByteArray::number(i) + "段。</p>";
    body += "<a href='" + (page > 1 ? name(n, page - 1) : name(n - 1, pages)) + "'>上一页</a> <a href='index.html'>目录</a> ";
    body += page < pages ? "<a href='" + name(n, page + 1) + "'>下一页</a>" : "<a href='" + name(n + 1, 1) + "'>下一章</a>";
    return body;
}

int visibleWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible() ? 1 : 0;
    return n;
}

// Every top-level navigation the main view begins, with its flags.
struct Navigations {
    QStringList urls;
    QList<int> flags;
    bool cancel = false; // keep the page: record only

    void watch(TFLekto &w)
    {
        auto before = w.WB1->OnBeforeNavigate2;
        w.WB1->OnBeforeNavigate2 = [this, before, &w](TBrowserView *v, TBrowserObject d, QString &u, int &f, QString &t,
                                                      QByteArray &p, QString &h, bool &c) {
            if (d == w.WB1->Application()) {
                urls << u;
                flags << f;
                c = cancel;
            }
            if (!c)
                before(v, d, u, f, t, p, h, c);
        };
    }
    int count(const QString &url) const { return urls.count(url); }
};

} // namespace

class TestChapterKeys : public QObject
{
    Q_OBJECT

    TestHttpServer FProxy; // the sites, at their own addresses, each request logged

    QList<TestHttpServer::Request> requestsFor(const QString &address, int from = 0) const
    {
        QList<TestHttpServer::Request> out;
        const QByteArray target = QUrl(address).adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded).toLatin1();
        for (const auto &r : FProxy.requests().mid(from))
            if (r.target == target)
                out << r;
        return out;
    }
    // A real key press on the page, as the reader's.
    static void press(TFLekto &w, Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        w.WB1->SetFocus();
        spin(50);
        QTest::keyClick(w.WB1->focusProxy(), key, mods);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QStringLiteral(LEKTO_FIXTURES)).isDir(), "the saved real pages are missing: " LEKTO_FIXTURES);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", FProxy.port()));
        for (const Chapter &c : kChapters) {
            const QByteArray body = fixture(QString::fromLatin1(c.file));
            QVERIFY2(!body.isEmpty(), c.file);
            FProxy.route(c.address, TestHttpServer::Response{200, "text/html", body, {}, false});
            for (const char *n : {c.next, c.previous})
                if (*n)
                    FProxy.route(QUrl(n).adjusted(QUrl::RemoveFragment).toString().toLatin1(), "<title>邻章</title><p>正文</p>");
        }
        for (int i = 1; i <= 4; ++i)
            FProxy.route("http://book.example.com/b1/" + QByteArray::number(i) + ".html", chapter("甲", i));
        FProxy.route("http://book.example.com/b2/1.html", chapter("乙", 1));
        for (int i = 1; i <= 3; ++i) {
            TestHttpServer::Response r{200, "text/html; charset=utf-8", chapter("饼", i), {}, false};
            r.headers.append({"Set-Cookie", "session=reader" + QByteArray::number(i) + "; Path=/"});
            FProxy.route("http://cookie.example.com/c/" + QByteArray::number(i) + ".html", r);
        }
        FProxy.route("http://book.example.com/field.html",
                     chapter("田", 1, "<input id=field value='abc'><div contenteditable id=edit>编辑</div>"));
        FProxy.route("http://book.example.com/wide.html", chapter("宽", 1, "<div style='width:5000px'>宽</div>"));
        // Pages that fit a 1100-pixel view, but not at 150 %: a site's
        // 960-pixel banner and column, and a box placed out to the right.
        for (int i = 1; i <= 3; ++i) {
            FProxy.route("http://book.example.com/z1/" + QByteArray::number(i) + ".html",
                         chapter("横幅", i, "<img width=960 height=90 alt='横幅'><div style='width:960px;height:40px;background:#c00'></div>"
                                            "<div style='width:960px;margin:0 auto'><p id=text>" + QByteArray("正文很长的一段，").repeated(40) + "</p></div>"));
            FProxy.route("http://book.example.com/z2/" + QByteArray::number(i) + ".html",
                         chapter("靠右", i, "<p id=text>正文。</p><div style='position:absolute;top:0;left:900px;width:40px;height:20px;background:#c00'></div>"));
        }
        FProxy.route("http://book.example.com/away.html",
                     "<title>外链</title><p>正文</p><a href='http://other.example.com/2.html'>下一章</a>");
        for (int n = 1; n <= 3; ++n)
            for (int page = 1; page <= 2; ++page)
                FProxy.route("http://book.example.com/paged/" + QByteArray::number(n)
                                 + (page > 1 ? "_" + QByteArray::number(page) : QByteArray()) + ".html",
                             chapterPage(n, page, 2));
        // Contents pages: the real ones of two sites, and a new book's few
        // chapters, which only its chapters name as contents.
        FProxy.route("http://www.biquge.com.tw/17_17275/",
                     TestHttpServer::Response{200, "text/html", fixture("novel-zh/biquge-zhushen-index.html"), {}, false});
        FProxy.route("http://www.999wx.com/book/fenghuo/Default.shtml",
                     TestHttpServer::Response{200, "text/html", fixture("novel-zh/999wx-canglang-index.html"), {}, false});
        FProxy.route("http://www.999wx.com/book/fenghuo/10227277.shtml", "<title>父亲的肖像</title><p>正文</p>");
        for (int i = 12; i <= 14; ++i)
            FProxy.route("http://book.example.com/b3/" + QByteArray::number(i) + ".html", chapter("丙", i));
        FProxy.route("http://book.example.com/b3/index.html", "<title>丙 目录</title><a href='12.html'>第12章</a> "
                                                              "<a href='13.html'>第13章</a> <a href='14.html'>第14章</a>");
        // A site's own turning script that keeps the key to itself.
        FProxy.route("http://book.example.com/own.html",
                     chapter("己", 1, "<script>document.onkeydown=function(e){if(e.keyCode==39){e.preventDefault();"
                                      "location='http://book.example.com/b1/2.html'}}</script>"));
    }

    void turnsToThePagesOwnNeighbours_data();
    void turnsToThePagesOwnNeighbours();
    void turnsThroughTheNormalPath();
    void keysThatStayWithThePage_data();
    void keysThatStayWithThePage();
    void zoomedPageTurns_data();
    void zoomedPageTurns();
    void siteScriptsTurnAlone_data();
    void siteScriptsTurnAlone();
    void nextChapterFetchedAhead();
    void prefetchOnlyWhereItServes();
    void prefetchCarriesNoCookies();
    void chapterSentInPagesTurnsPageByPage();
    void contentsPagesAreTold_data();
    void contentsPagesAreTold();
    void contentsPageKeepsTheChapterReached_data();
    void contentsPageKeepsTheChapterReached();
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

// Pure mode: the next chapter is fetched while the reader reads, and the
// turn shows it from the engine's cache without asking the site again.
void TestChapterKeys::nextChapterFetchedAhead()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://book.example.com/b1/1.html"));
    QVERIFY(waitUntil([&] { return !requestsFor("http://book.example.com/b1/2.html", from).isEmpty(); }, 5000));
    spin(300);
    const auto fetched = requestsFor("http://book.example.com/b1/2.html", from);
    QCOMPARE(fetched.size(), 1);
    QCOMPARE(fetched.first().headers.value("purpose"), QByteArray("prefetch"));
    QCOMPARE(fetched.first().headers.value("referer"), QByteArray("http://book.example.com/b1/1.html"));
    // Fetched, not shown: nothing completed, recorded or opened.
    QCOMPARE(h.completions, 2);
    QCOMPARE(h.bookTitles(), QStringList{"甲 第1章"});
    QCOMPARE(visibleWindows(), 1);
    QVERIFY(requestsFor("http://book.example.com/b1/3.html", from).isEmpty()); // one ahead, no more

    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(3));
    QCOMPARE(w.windowTitle(), QStringLiteral("甲 第2章"));
    QCOMPARE(w.EdUrl->text(), QStringLiteral("http://book.example.com/b1/2.html"));
    QCOMPARE(h.bookTitles(), QStringList{"甲 第2章"});
    QCOMPARE(requestsFor("http://book.example.com/b1/2.html", from).size(), 1); // the copy served the turn
    QVERIFY(waitUntil([&] { return requestsFor("http://book.example.com/b1/3.html", from).size() == 1; }, 5000));
    QCOMPARE(w.WB1->PrefetchState().Target(), QUrl("http://book.example.com/b1/3.html"));

    // Another book stops it: the copy fetched for this one no longer stands
    // in for the page, which is asked for afresh.
    QVERIFY(h.type("http://book.example.com/b2/1.html"));
    QVERIFY(waitUntil([&] { return w.WB1->PrefetchState().Target() == QUrl("http://book.example.com/b2/2.html"); }, 5000));
    QVERIFY(h.type("http://www.example.com/"));
    QVERIFY(!w.WB1->PrefetchState().Active());
    QVERIFY(h.type("http://book.example.com/b1/3.html"));
    QCOMPARE(requestsFor("http://book.example.com/b1/3.html", from).size(), 2);
    QVERIFY(h.errors.isEmpty());
}

// Nothing is fetched for a link to another site, in half-pure mode, on a page
// without a next chapter, or with prefetching off.
void TestChapterKeys::prefetchOnlyWhereItServes()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://book.example.com/away.html"));
    QVERIFY(h.type(kChapters[6].address)); // an index
    spin(500);
    QVERIFY(!w.WB1->PrefetchState().Active());
    w.FChapterPrefetch = false;
    QVERIFY(h.type("http://book.example.com/b1/3.html"));
    w.FChapterPrefetch = true;
    w.pHalfClick();
    QVERIFY(h.waitComplete(h.completions + 1));
    spin(500);
    QVERIFY(!w.WB1->PrefetchState().Active());
    QStringList prefetches;
    for (const auto &r : FProxy.requests().mid(from))
        if (r.headers.value("purpose") == "prefetch" || r.target.startsWith("http://other.example.com"))
            prefetches << QString::fromLatin1(r.target);
    QVERIFY2(prefetches.isEmpty(), qPrintable(prefetches.join('\n')));
}

// The chapter fetched ahead goes without the reader's cookies, and stores
// none of its own: a site may charge a signed-in reader for a chapter opened.
// A copy fetched so does not stand in for the page the reader, who has
// cookies there, turns to: the turn asks the site as the reader.
void TestChapterKeys::prefetchCarriesNoCookies()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type("http://cookie.example.com/c/1.html")); // signs the reader in
    QVERIFY(waitUntil([&] { return !requestsFor("http://cookie.example.com/c/2.html", from).isEmpty(); }, 5000));
    spin(300);
    const auto ahead = requestsFor("http://cookie.example.com/c/2.html", from);
    QCOMPARE(ahead.size(), 1);
    QCOMPARE(ahead.first().headers.value("purpose"), QByteArray("prefetch"));
    QVERIFY2(!ahead.first().headers.contains("cookie"), ahead.first().headers.value("cookie").constData());

    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(3));
    QCOMPARE(w.windowTitle(), QStringLiteral("饼 第2章"));
    const auto turned = requestsFor("http://cookie.example.com/c/2.html", from);
    QCOMPARE(turned.size(), 2);
    QVERIFY(turned.last().headers.value("purpose").isEmpty());
    // The reader's own cookie, not the one the fetch ahead was answered with.
    QCOMPARE(turned.last().headers.value("cookie"), QByteArray("session=reader1"));
    QVERIFY(waitUntil([&] { return !requestsFor("http://cookie.example.com/c/3.html", from).isEmpty(); }, 5000));
    QVERIFY(!requestsFor("http://cookie.example.com/c/3.html", from).first().headers.contains("cookie"));
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

void TestChapterKeys::contentsPagesAreTold_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("chaptersContents"); // what the book's chapters name as contents
    QTest::addColumn<bool>("contents");
    for (const Chapter &c : kChapters) {
        const QByteArray file(c.file);
        if (*c.next || *c.previous) {
            QTest::newRow(c.file) << c.address << "" << false;
        } else if (file.contains("wenku8-3500")) {
            // Eleven chapters in a page of their own: told by the chapters.
            QTest::newRow(c.file) << c.address << "" << false;
            QTest::newRow(file + " named as contents") << c.address << c.address << true;
        } else if (file.contains("wenku8-2379") || file.contains("novelbin")) {
            // Pages about the book, whose chapters the site's scripts list
            // or another page does.
            QTest::newRow(c.file) << c.address << "" << false;
        } else {
            QTest::newRow(c.file) << c.address << "" << true;
        }
    }
}

// The saved real pages as the window sees them when they complete: the
// sites' contents pages are told from their chapters.
void TestChapterKeys::contentsPagesAreTold()
{
    QFETCH(QString, address);
    QFETCH(QString, chaptersContents);
    QFETCH(bool, contents);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(address));
    const THtmlDocument2 *doc = w.WB1->Doc2();
    QVERIFY(doc);
    QCOMPARE(doc->chapter.page, QUrl(address).adjusted(QUrl::RemoveFragment));
    QCOMPARE(ChapterLinks::IsContentsPage(doc->chapter, QUrl(chaptersContents)), contents);
}

void TestChapterKeys::contentsPageKeepsTheChapterReached_data()
{
    QTest::addColumn<QString>("chapter");
    QTest::addColumn<QString>("contents");
    QTest::addColumn<QString>("link");     // in the contents, to the chapter read next
    QTest::addColumn<QString>("nextPage"); // its page name
    QTest::newRow("biquge: the book's folder") << kChapters[0].address << "http://www.biquge.com.tw/17_17275/"
                                               << "/17_17275/7633259.html" << "7633259.html";
    QTest::newRow("999wx: a list of the book's pages") << kChapters[1].address
                                                        << "http://www.999wx.com/book/fenghuo/Default.shtml"
                                                        << "10227277.shtml" << "10227277.shtml";
    QTest::newRow("a few chapters, named by theirs") << "http://book.example.com/b3/13.html"
                                                     << "http://book.example.com/b3/index.html" << "14.html" << "14.html";
}

// A book found from its contents is recorded there; once a chapter is
// reached, opening the contents again keeps the book at that chapter, and
// a chapter opened from it takes the place.
void TestChapterKeys::contentsPageKeepsTheChapterReached()
{
    QFETCH(QString, chapter);
    QFETCH(QString, contents);
    QFETCH(QString, link);
    QFETCH(QString, nextPage);
    LektoHarness h;
    TFLekto &w = h.open();
    w.FChapterPrefetch = false;
    auto entry = [&] {
        const auto &list = w.FLektoHis->Bookmarks();
        return list.empty() ? QStringList{} : QStringList{fieldText(list[0]->PageName), fieldText(list[0]->Title)};
    };
    const QString contentsPage = QUrl(contents).fileName();

    QVERIFY(h.type(contents));
    const QString contentsTitle = w.windowTitle();
    QCOMPARE(entry(), (QStringList{contentsPage, contentsTitle}));

    QVERIFY(h.type(chapter));
    const QString chapterTitle = w.windowTitle();
    QCOMPARE(entry(), (QStringList{QUrl(chapter).fileName(), chapterTitle}));
    w.Timer1Timer(); // saved: opening the contents arms no save

    QVERIFY(h.type(contents));
    QCOMPARE(w.windowTitle(), contentsTitle);
    QCOMPARE(entry(), (QStringList{QUrl(chapter).fileName(), chapterTitle}));
    QCOMPARE(w.FLektoHis->Count(), 1);
    QCOMPARE(w.Timer1Tag, 0);

    QVERIFY(h.mouseClickLink(link));
    QCOMPARE(entry(), (QStringList{nextPage, w.windowTitle()}));
    QCOMPARE(w.FLektoHis->Count(), 1);
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestChapterKeys)
#include "tst_chapterkeys.moc"
