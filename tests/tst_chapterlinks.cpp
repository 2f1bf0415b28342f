// Which links of a page are its chapter links, and when the next chapter is
// worth fetching ahead: the rules on small pages in the real engine, and the
// prefetch's own bookkeeping without it.
#include "browserview.h"
#include "testhttpserver.h"
#include "testmain.h"

namespace {

// A page of its own for each case, so that no answer is a cached one.
QByteArray page(const QByteArray &body)
{
    return "<!doctype html><meta charset=utf-8><title>t</title><body>" + body + "<p>正文</p></body>";
}

} // namespace

class TestChapterLinks : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;
    int FPage = 0;

    // The links found in body, relative addresses made absolute on the server.
    TChapterLinks find(TBrowserView &view, const QByteArray &body)
    {
        const QByteArray path = "/case" + QByteArray::number(++FPage) + ".html";
        FServer.route(path, page(body));
        bool complete = false;
        view.OnDocumentComplete = [&](TBrowserView *, TBrowserObject, QString &) { complete = true; };
        view.Navigate(FServer.url(QString::fromLatin1(path)));
        if (!waitUntil([&] { return complete; }))
            return {};
        TChapterLinks links;
        bool answered = false;
        view.FindChapterLinks([&](const TChapterLinks &l) { links = l; answered = true; });
        waitUntil([&] { return answered; }, 10000);
        return links;
    }
    QString rel(const QUrl &url) const
    {
        const QString base = FServer.url("/");
        const QString s = url.toString();
        return s.startsWith(base) ? s.mid(base.size()) : s;
    }

private slots:
    void foundInOrder_data();
    void foundInOrder();
    void contentsPage_data();
    void contentsPage();
    void contentsFacts_data();
    void contentsFacts();
    void prefetchWorth_data();
    void prefetchWorth();
    void prefetchServesOnlyFreshCopy();
    void prefetchStopsOutsideTheBook_data();
    void prefetchStopsOutsideTheBook();
};

void TestChapterLinks::foundInOrder_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("previous");
    QTest::addColumn<bool>("sideways");

    QTest::newRow("<link rel> before the words") << QByteArray("<link rel=next href=n1.html><link rel=prev href=p1.html>"
                                                              "<a href=n2.html>下一章</a><a href=p2.html>上一章</a>")
                                                 << "n1.html" << "p1.html" << false;
    QTest::newRow("<a rel> among other tokens") << QByteArray("<a rel='nofollow next' href=n.html>more</a>"
                                                             "<a rel=previous href=p.html>back</a>")
                                                << "n.html" << "p.html" << false;
    QTest::newRow("words with arrows and spaces") << QByteArray("<a href=p.html>&larr; 上一章</a> <a href=i.html>目录</a>"
                                                               " <a href=n.html> 下一章 &rarr;</a>")
                                                  << "n.html" << "p.html" << false;
    QTest::newRow("English, any case, across elements") << QByteArray("<a href=p.html>« PREVIOUS<br>\n  Chapter</a>"
                                                                     "<a href=n.html>Next&nbsp;<span>Chapter</span> ›</a>")
                                                        << "n.html" << "p.html" << false;
    QTest::newRow("Traditional and short forms") << QByteArray("<a href=p.html>[上章]</a><a href=n.html>下一頁</a>")
                                                 << "n.html" << "p.html" << false;
    QTest::newRow("a picture's alt text") << QByteArray("<a href=n.html><img alt='下一章' src=none.png></a>")
                                          << "n.html" << "" << false;
    QTest::newRow("ids and classes of buttons") << QByteArray("<a id=nextChapterButton href=n.html>›</a>"
                                                             "<li class='item prev_chapter'><a href=p.html>‹</a></li>")
                                                << "n.html" << "p.html" << false;
    QTest::newRow("the words before the names") << QByteArray("<a class=next href=x.html>›</a><a href=n.html>Next</a>")
                                                << "n.html" << "" << false;
    QTest::newRow("contents and other works never") << QByteArray("<a rel=next href=toc.html>目录</a>"
                                                                 "<a class=next href=w.html>Next Work →</a>"
                                                                 "<a id=prevChapterButton href=toc2.html>返回目录</a>")
                                                    << "" << "" << false;
    QTest::newRow("no web address, or the page itself") << QByteArray("<a href='javascript:;'>下一章</a>"
                                                                     "<a href='rc:del0'>下一章</a><a href='#top'>上一章</a>")
                                                        << "" << "" << false;
    QTest::newRow("the words inside a chapter's title") << QByteArray("<a href=c364.html>第三百六十四章 下一阶段</a>"
                                                                     "<a href=c478.html>好好上一课</a>")
                                                        << "" << "" << false;
    // A chapter sent in pages: page by page, then to the next chapter.
    QTest::newRow("a chapter's page with both bars") << QByteArray("<a href=p.html>上一章</a> <a href=i.html>目录</a> "
                                                                  "<a href=n.html>下一章</a><p>正文</p><a href=p_2.html>上一页</a> "
                                                                  "<a href=i.html>目录</a> <a href=n_2.html>下一页</a>")
                                                     << "n_2.html" << "p_2.html" << false;
    QTest::newRow("the last page of a chapter") << QByteArray("<a href=p.html>上一章</a> <a href=i.html>目录</a> "
                                                             "<a href=n.html>下一章</a><p>正文</p><a href=c_1.html>上一页</a> "
                                                             "<a href=i.html>目录</a> <a href=n.html>下一章</a>")
                                                << "n.html" << "c_1.html" << false;
    QTest::newRow("English page words") << QByteArray("<a href=p.html>Previous Chapter</a><a href=n.html>Next Chapter</a>"
                                                     "<a href=pp.html>‹ Prev Page</a><a href=np.html>Next Page ›</a>")
                                        << "np.html" << "pp.html" << false;
    QTest::newRow("the page words as the only words") << QByteArray("<a href=p.html>上一页</a> <a href=i.html>目录</a> "
                                                                   "<a href=n.html>下一页</a>")
                                                      << "n.html" << "p.html" << false;
    QTest::newRow("page words leading out of the chapter's folder") << QByteArray("<a href=n.html>下一章</a>"
                                                                                 "<a href=/forum/list_2.html>下页</a>")
                                                                    << "n.html" << "" << false;
    QTest::newRow("a page wider than the view") << QByteArray("<div style='width:5000px'>宽</div><a href=n.html>下一章</a>")
                                                << "n.html" << "" << true;
    QTest::newRow("a sliver of overflow") << QByteArray("<div style='width:calc(100% + 30px)'>略宽</div><a href=n.html>下一章</a>")
                                          << "n.html" << "" << false;
    QTest::newRow("wide content clipped") << QByteArray("<style>body{overflow-x:hidden}</style>"
                                                        "<div style='width:5000px'>宽</div><a href=n.html>下一章</a>")
                                          << "n.html" << "" << false;
}

void TestChapterLinks::foundInOrder()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, next);
    QFETCH(QString, previous);
    QFETCH(bool, sideways);
    TBrowserView view;
    view.SetDownloadOptions(configuredDownloadOptions()); // pure mode: no script of the page runs
    view.resize(800, 600);
    view.show();
    const TChapterLinks links = find(view, body);
    QVERIFY(!links.document.isEmpty());
    QCOMPARE(rel(links.next), next);
    QCOMPARE(rel(links.previous), previous);
    QCOMPARE(links.scrollsSideways, sideways);
}

void TestChapterLinks::contentsPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("next");
    QTest::addColumn<int>("linksIntoBook");
    QTest::addColumn<QString>("chaptersContents");
    QTest::addColumn<bool>("contents");
    const QString index = "http://h/b/index.html";
    QTest::newRow("what the chapters name as contents") << index << "" << 3 << index << true;
    QTest::newRow("the same with a fragment") << index + "#top" << "" << 3 << index << true;
    QTest::newRow("the same, turning to its second page") << index << "http://h/b/index_2.html" << 3 << index << true;
    QTest::newRow("the book's folder") << "http://h/b/" << "" << 0 << "" << true;
    QTest::newRow("the book's folder with a tracker") << "http://h/b/?from=home" << "" << 0 << "" << true;
    QTest::newRow("the script naming the book alone") << "http://h/onebook.php?novelid=101" << "" << 2 << "" << true;
    QTest::newRow("the script naming a chapter") << "http://h/onebook.php?novelid=101&chapterid=4" << "" << 2 << "" << false;
    QTest::newRow("many pages of the folder") << index << "" << ChapterLinks::kContentsLinks << "" << true;
    QTest::newRow("a few pages of the folder") << index << "" << ChapterLinks::kContentsLinks - 1 << "" << false;
    QTest::newRow("a chapter listing many") << "http://h/b/5.html" << "http://h/b/6.html" << 200 << "" << false;
    QTest::newRow("a chapter at the book's folder") << "http://h/b/" << "http://h/b/2.html" << 0 << "" << false;
    QTest::newRow("another page than the contents") << "http://h/b/5.html" << "" << 3 << index << false;
    QTest::newRow("no answer") << "" << "" << 500 << index << false;
}

// A book's contents page, told from what its page shows.
void TestChapterLinks::contentsPage()
{
    QFETCH(QString, page);
    QFETCH(QString, next);
    QFETCH(int, linksIntoBook);
    QFETCH(QString, chaptersContents);
    QFETCH(bool, contents);
    TChapterLinks found;
    found.page = QUrl(page);
    found.next = QUrl(next);
    found.linksIntoBook = linksIntoBook;
    QCOMPARE(ChapterLinks::IsContentsPage(found, QUrl(chaptersContents)), contents);
    // What the engine answers for a page that went away is no page.
    QVERIFY(!ChapterLinks::IsContentsPage(ChapterLinks::FromAnswer(QVariant()), QUrl(page)));
}

void TestChapterLinks::contentsFacts_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("contents");
    QTest::addColumn<int>("linksIntoBook");
    QByteArray list;
    for (int i = 1; i <= 30; ++i)
        list += "<a href=c" + QByteArray::number(i) + ".html>第" + QByteArray::number(i) + "章</a>"
                "<a href='c" + QByteArray::number(i) + ".html#top'>同上</a>";
    QTest::newRow("a list of chapters") << list + "<a href=/other/x.html>别处</a><a href='http://other.example.com/'>外站</a>"
                                        << "" << 30;
    QTest::newRow("a chapter's bar") << QByteArray("<a href=p.html>上一章</a><a href=index.html>返回目录</a><a href=n.html>下一章</a>")
                                     << "index.html" << 3;
    QTest::newRow("the first contents link, in any of its words")
        << QByteArray("<a href=/x/info.html>书页</a><a href=toc.html>[ 章节目录 ]</a><a href=toc2.html>目录</a>") << "toc.html" << 2;
    QTest::newRow("no web address") << QByteArray("<a href='javascript:;'>目录</a><a href='rc:del0'>x</a>") << "" << 0;
}

// What the page itself tells of its contents, found with its chapter links.
void TestChapterLinks::contentsFacts()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, contents);
    QFETCH(int, linksIntoBook);
    TBrowserView view;
    view.SetDownloadOptions(configuredDownloadOptions());
    view.resize(800, 600);
    view.show();
    const TChapterLinks links = find(view, body);
    QVERIFY(!links.document.isEmpty());
    QCOMPARE(rel(links.contents), contents);
    QCOMPARE(links.linksIntoBook, linksIntoBook);
}

void TestChapterLinks::prefetchWorth_data()
{
    QTest::addColumn<QString>("next");
    QTest::addColumn<bool>("worth");
    QTest::newRow("the same site") << "http://book.example.com/b/2.html" << true;
    QTest::newRow("another directory of the site") << "http://book.example.com/other/2.html" << true;
    QTest::newRow("host in capitals") << "http://BOOK.example.com/b/2.html" << true;
    QTest::newRow("another host") << "http://www.example.com/b/2.html" << false;
    QTest::newRow("another scheme") << "https://book.example.com/b/2.html" << false;
    QTest::newRow("the page itself") << "http://book.example.com/b/1.html#end" << false;
    QTest::newRow("a command") << "rc:del0" << false;
    QTest::newRow("nothing") << "" << false;
}

void TestChapterLinks::prefetchWorth()
{
    QFETCH(QString, next);
    QFETCH(bool, worth);
    QCOMPARE(TPrefetchState::Worth(QUrl("http://book.example.com/b/1.html"), QUrl(next)), worth);
}

void TestChapterLinks::prefetchServesOnlyFreshCopy()
{
    TPrefetchState s;
    const QUrl next("http://book.example.com/b/2.html#top");
    QVERIFY(!s.Serves(next, 0));
    s.Start(next, QUrl("http://book.example.com/b/1.html"), 1000);
    QCOMPARE(s.Target(), QUrl("http://book.example.com/b/2.html")); // as the engine fetches it
    QVERIFY(s.IsOurs(QUrl("http://book.example.com/b/2.html")));
    QVERIFY(s.Serves(QUrl("http://book.example.com/b/2.html#p3"), 1000 + TPrefetchState::kFreshMs - 1));
    QVERIFY(!s.Serves(next, 1000 + TPrefetchState::kFreshMs)); // too old: a fresh copy again
    QVERIFY(!s.Serves(next, 999));                             // a clock that went back
    QVERIFY(!s.Serves(QUrl("http://book.example.com/b/3.html"), 1001));
    s.Clear();
    QVERIFY(!s.Active() && !s.IsOurs(next));
}

void TestChapterLinks::prefetchStopsOutsideTheBook_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("leaves");
    QTest::newRow("the chapter fetched") << "http://book.example.com/b/2.html" << false;
    QTest::newRow("the book's index") << "http://book.example.com/b/" << false;
    QTest::newRow("the page again") << "http://book.example.com/b/1.html?x=1" << false;
    QTest::newRow("another book of the site") << "http://book.example.com/c/1.html" << true;
    QTest::newRow("another site") << "http://other.example.com/b/2.html" << true;
    QTest::newRow("the start page") << "lekto:doc/1/1" << true;
    QTest::newRow("another book of the site's one script") << "http://book.example.com/b/read.php?bid=8&cid=1" << true;
}

void TestChapterLinks::prefetchStopsOutsideTheBook()
{
    QFETCH(QString, to);
    QFETCH(bool, leaves);
    TPrefetchState s;
    QVERIFY(!s.LeavesBook(QUrl(to))); // nothing to stop
    s.Start(QUrl("http://book.example.com/b/2.html"), QUrl("http://book.example.com/b/1.html"), 0);
    QCOMPARE(s.LeavesBook(QUrl(to)), leaves);
}

LEKTO_WEB_TEST_MAIN(TestChapterLinks)
#include "tst_chapterlinks.moc"
