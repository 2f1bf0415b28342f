// Reading a book's contents page without a browser: which links are its
// chapters, in which order, how many follow the reader's place; and the
// store of what was learned.
#include "contentslist.h"
#include "updatestore.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtTest/QTest>

#include "encodetext.h"

namespace {

// A contents page as the sites write them: the site's links, a block of the
// newest chapters above the full list, and the book's own commands.
const QString kContents = QStringLiteral(
    "<html><head><title>剑出青云最新章节</title></head><body>"
    "<a href='/'>首页</a> <a href='/xuanhuan/'>玄幻小说</a> <a href='/book/8/'>别的书</a>"
    "<a href='/modules/article/addbookcase.php?bid=7'>加入书签</a> <a href=\"vote.php\">投推荐票</a>"
    "<dl><dt>《剑出青云》最新章节</dt>"
    "<dd><a href='5.html'>第五章 下山</a></dd><dd><a href='4.html'>第四章 试剑</a></dd>"
    "<dt>《剑出青云》正文</dt>"
    "<dd><a href=\"1.html\">第一章 &amp; 少年</a></dd><dd><A HREF=2.html>第二章 <b>入门</b></A></dd>"
    "<dd><a class=x href='/book/7/3.html#top'>第三章 拜师</a></dd>"
    "<dd><a href='http://novel.test/book/7/4.html'>第四章 试剑</a></dd><dd><a href='5.html'>第五章 下山</a></dd></dl>"
    "<a href='./'>返回书页</a> <a href='javascript:void(0)'>收藏</a> <a href='#footer'>底部</a>"
    "</body></html>");

} // namespace

class TestContentsList : public QObject
{
    Q_OBJECT

private slots:
    void chaptersInTheOrderOfTheFullList();
    void newAfterThePlace_data();
    void newAfterThePlace();
    void otherLayouts_data();
    void otherLayouts();
    void charsetsAsDeclaredOrGuessed_data();
    void charsetsAsDeclaredOrGuessed();
    void realContentsPages_data();
    void realContentsPages();
    void storeKeptWholeOrSetAside();
};

// The block of the newest chapters counts each chapter once, at its place
// in the full list; site commands, other books and the site's home are none.
void TestContentsList::chaptersInTheOrderOfTheFullList()
{
    const ContentsList::TChapters list = ContentsList::Parse(kContents, QStringLiteral("http://novel.test/book/7/"),
                                                             QStringLiteral("novel.test/book/7"));
    const QStringList expected = {
        QStringLiteral("novel.test/book/7/1.html"), QStringLiteral("novel.test/book/7/2.html"),
        QStringLiteral("novel.test/book/7/3.html"), QStringLiteral("novel.test/book/7/4.html"),
        QStringLiteral("novel.test/book/7/5.html"),
    };
    QCOMPARE(list.links, expected);
    QCOMPARE(list.newestTitle, QStringLiteral("第五章 下山"));
    // A book named in the query: its chapters are the script's pages of it.
    const QString byQuery = QStringLiteral(
        "<a href='read.php?bid=3&cid=1'>第一章</a><a href='read.php?bid=4&cid=1'>他书</a>"
        "<a href='read.php?bid=3&cid=2'>第二章</a><a href='read.php?bid=3'>目录</a>");
    const auto q = ContentsList::Parse(byQuery, QStringLiteral("http://s.test/read.php?bid=3"), QStringLiteral("s.test/read.php?bid=3"));
    QCOMPARE(q.links, (QStringList{QStringLiteral("s.test/read.php?bid=3&cid=1"), QStringLiteral("s.test/read.php?bid=3&cid=2")}));
}

void TestContentsList::newAfterThePlace_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<int>("count");
    QTest::newRow("a chapter") << "http://novel.test/book/7/2.html" << 3;
    QTest::newRow("the newest") << "http://novel.test/book/7/5.html" << 0;
    QTest::newRow("https, with a fragment") << "https://novel.test/book/7/4.html#p3" << 1;
    QTest::newRow("page 2 of a chapter, _2") << "http://novel.test/book/7/3_2.html" << 2;
    QTest::newRow("page 2 of a chapter, -2") << "http://novel.test/book/7/3-2.html" << 2;
    QTest::newRow("page 2 of a chapter, ?page=2") << "http://novel.test/book/7/1.html?page=2" << 4;
    QTest::newRow("not listed: no guess") << "http://novel.test/book/7/9.html" << -1;
    QTest::newRow("another book") << "http://novel.test/book/8/2.html" << -1;
}

void TestContentsList::newAfterThePlace()
{
    QFETCH(QString, place);
    QFETCH(int, count);
    const auto list = ContentsList::Parse(kContents, QStringLiteral("http://novel.test/book/7/"), QStringLiteral("novel.test/book/7"));
    QCOMPARE(ContentsList::NewAfter(list, place), count);
}

void TestContentsList::otherLayouts_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("place");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("newest");
    QString newestFirst = QStringLiteral("<h2>最新章节</h2>");
    for (int n = 100; n > 88; --n)
        newestFirst += QStringLiteral("<a href='%1.html'>第%1章</a>").arg(n);
    newestFirst += QStringLiteral("<a href='index.html'>查看全部章节</a>");
    QTest::newRow("only the newest, newest first, at the newest") << newestFirst << "http://s.test/b/100.html" << 0 << "第100章";
    QTest::newRow("only the newest, newest first, behind") << newestFirst << "http://s.test/b/97.html" << 3 << "第100章";
    QString paged;
    for (int n = 1; n <= 20; ++n)
        paged += QStringLiteral("<a href='%1.html'>第%1章</a>").arg(n);
    paged += QStringLiteral("<a href='index_2.html'>2</a><a href='index_9.html'>尾页</a><a href='index_2.html'>下一页</a><a href='index_3.html'>第3页</a>");
    QTest::newRow("pages of the list after it") << paged << "http://s.test/b/20.html" << 0 << "第20章";
    // A link left open, and ampersands without end: ended, nothing hangs.
    const QString open = QStringLiteral("<a href='1.html'>第1章</a><a href='2.html'>第2章 ") + QString(200000, QLatin1Char('&'));
    QTest::newRow("a link left open") << open << "http://s.test/b/1.html" << 1 << QString();
}

void TestContentsList::otherLayouts()
{
    QFETCH(QString, html);
    QFETCH(QString, place);
    QFETCH(int, count);
    QFETCH(QString, newest);
    const auto list = ContentsList::Parse(html, QStringLiteral("http://s.test/b/"), QStringLiteral("s.test/b"));
    QCOMPARE(ContentsList::NewAfter(list, place), count);
    if (!newest.isEmpty())
        QCOMPARE(list.newestTitle, newest);
    else
        QVERIFY(list.newestTitle.size() <= 200);
}

void TestContentsList::charsetsAsDeclaredOrGuessed_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    const QString text = QStringLiteral("<html><head>%1</head><body><a href='1.html'>第一章 劍來</a></body></html>");
    const QString meta = text.arg(QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\">"));
    QTest::newRow("GBK by header") << EncodeText(text.arg(QString()), "GBK") << QByteArray("text/html; charset=GBK");
    QTest::newRow("GBK by meta") << EncodeText(meta.arg(QStringLiteral("gbk")), "GBK") << QByteArray("text/html");
    QTest::newRow("gb2312 by meta, read as GB18030") << EncodeText(meta.arg(QStringLiteral("gb2312")), "GB18030") << QByteArray("text/html");
    QTest::newRow("Big5 by meta") << EncodeText(meta.arg(QStringLiteral("big5")), "BIG5-HKSCS") << QByteArray();
    QTest::newRow("UTF-8 by <meta charset>") << text.arg(QStringLiteral("<meta charset=\"utf-8\">")).toUtf8() << QByteArray();
    QTest::newRow("UTF-8, nothing said") << text.arg(QString()).toUtf8() << QByteArray("text/html");
    QTest::newRow("GBK, nothing said") << EncodeText(text.arg(QString()), "GBK") << QByteArray();
}

void TestContentsList::charsetsAsDeclaredOrGuessed()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    const QString html = ContentsList::Decode(body, contentType);
    const auto list = ContentsList::Parse(html, QStringLiteral("http://s.test/b/"), QStringLiteral("s.test/b"));
    QCOMPARE(list.newestTitle, QStringLiteral("第一章 劍來"));
}

void TestContentsList::realContentsPages_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("atLeast");
    QTest::addColumn<QString>("first");
    QTest::newRow("biquge, GBK") << "novel-zh/biquge-zhushen-index.html" << "http://www.biquge.com.tw/17_17275/" << 100
                                 << "www.biquge.com.tw/17_17275/";
    QTest::newRow("999wx, gb2312, relative links") << "novel-zh/999wx-canglang-index.html" << "http://www.999wx.com/book/canglang/"
                                                   << 10 << "www.999wx.com/book/canglang/10227";
    QTest::newRow("wenku8 catalog") << "novel-zh/wenku8-3500-catalog.html" << "https://www.wenku8.net/novel/3/3500/index.htm" << 10
                                    << "www.wenku8.net/novel/3/3500/";
    QTest::newRow("siluke, UTF-8 with a BOM, nothing declared") << "novel-zh/siluke-quanzhi-index.html"
                                                                << "http://www.siluke.tw/ny10354/" << 100 << "www.siluke.tw/ny10354/";
}

// Saved contents pages of real sites: many chapters, every one of the book,
// no site command among them, and the newest one's title in real characters.
void TestContentsList::realContentsPages()
{
    QFETCH(QString, file);
    QFETCH(QString, page);
    QFETCH(int, atLeast);
    QFETCH(QString, first);
    QFile f(QStringLiteral(LEKTO_FIXTURES "/") + file);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
    const QString html = ContentsList::Decode(f.readAll(), QByteArray());
    const QString book = ContentsList::Bare(page).section(QLatin1Char('/'), 0, -2);
    const auto list = ContentsList::Parse(html, page, book);
    QVERIFY2(list.links.size() >= atLeast, qPrintable(QString::number(list.links.size())));
    QVERIFY2(list.links.first().startsWith(first), qPrintable(list.links.first()));
    for (const QString &link : list.links)
        QVERIFY2(link.startsWith(book + QLatin1Char('/')), qPrintable(link));
    QVERIFY(!list.newestTitle.isEmpty());
    QVERIFY2(!list.newestTitle.contains(QChar(0xFFFD)), qPrintable(list.newestTitle));
    QVERIFY2(list.newestTitle.contains(QRegularExpression(QStringLiteral("\\p{Han}"))), qPrintable(list.newestTitle));
    QCOMPARE(ContentsList::NewAfter(list, QStringLiteral("http://") + list.links.first()), int(list.links.size() - 1));
}

// The store comes back as it was saved; a damaged or unknown one is set
// aside and the store starts empty; books gone from the history go.
void TestContentsList::storeKeptWholeOrSetAside()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QString::fromLatin1(TUpdateStore::kFileName));
    TUpdateStore store;
    QVERIFY(store.Load(file)); // none yet: empty, no error
    TUpdateStore::TBook &b = store.Book(QStringLiteral("s.test/b"));
    b.etag = QStringLiteral("\"v1\"");
    b.count = 3;
    b.newestTitle = QStringLiteral("第五章");
    store.Book(QStringLiteral("s.test/gone")).count = 1;
    store.SetContents(QStringLiteral("s.test/b"), QStringLiteral("http://s.test/b/list.html"));
    store.KeepOnly({QStringLiteral("s.test/b")});
    store.Save(file);

    TUpdateStore again;
    QVERIFY(again.Load(file));
    QCOMPARE(again.Count(), 1);
    const TUpdateStore::TBook *got = again.Find(QStringLiteral("s.test/b"));
    QVERIFY(got);
    QCOMPARE(got->etag, QStringLiteral("\"v1\""));
    QCOMPARE(got->count, 3);
    QCOMPARE(got->newestTitle, QStringLiteral("第五章"));
    QCOMPARE(got->contents, QStringLiteral("http://s.test/b/list.html"));

    for (const QByteArray &bad : {QByteArray("{\"version\":1,\"books\":{\"a\":"), QByteArray("{\"version\":99,\"books\":{}}")}) {
        QFile w(file);
        QVERIFY(w.open(QIODevice::WriteOnly));
        w.write(bad);
        w.close();
        TUpdateStore damaged;
        QVERIFY(!damaged.Load(file));
        QCOMPARE(damaged.Count(), 0);
        QVERIFY(!QFile::exists(file));
        QFile kept(file + QStringLiteral(".bad"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bad);
    }
}

QTEST_GUILESS_MAIN(TestContentsList)
#include "tst_contentslist.moc"
