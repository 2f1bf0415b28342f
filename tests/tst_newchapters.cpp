// Which books have new chapters: the start page asks each book's contents
// page in the background and shows "新N章" beside the book, on the real
// engine against sites served from 127.0.0.1.
#include "eventwait.h"
#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtTest/QTest>

#include "encodetext.h"

namespace {

QString chapterTitle(int n)
{
    return QStringLiteral("第%1章 风起").arg(n);
}

// A chapter with its neighbours and its contents link, as the sites write it.
QByteArray chapter(const QString &book, const QString &name, int n, const QString &contents)
{
    return QStringLiteral("<title>%1</title><h1>%1</h1><p>正文</p>"
                          "<a href='%2.html'>上一章</a> <a href='%3'>目录</a> <a href='%4.html'>下一章</a>")
        .arg(chapterTitle(n) + QLatin1Char(' ') + book + name, QString::number(n - 1), contents, QString::number(n + 1))
        .toUtf8();
}

// A contents page: the newest chapters first, then the whole list.
QString contentsPage(int chapters)
{
    QString html = QStringLiteral("<title>目录</title><a href='/'>首页</a> <a href='/other/'>别的书</a> "
                                  "<a href='/vote.php'>投推荐票</a><dl><dt>最新章节</dt>");
    for (int n = chapters; n > chapters - 2 && n > 0; --n)
        html += QStringLiteral("<dd><a href='%1.html'>%2</a></dd>").arg(n).arg(chapterTitle(n));
    html += QStringLiteral("<dt>正文</dt>");
    for (int n = 1; n <= chapters; ++n)
        html += QStringLiteral("<dd><a href='%1.html'>%2</a></dd>").arg(n).arg(chapterTitle(n));
    return html + QStringLiteral("</dl>");
}

} // namespace

class TestNewChapters : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void countsInBothListsAndNothingForFailures();
    void unchangedAnswersAndTheCountGoneOnceRead();

private:
    QString book(const QString &name) const { return QStringLiteral("127.0.0.1:%1/%2").arg(FServer.port()).arg(name); }
    // The counts the start page shows now: its row's delete command -> [text, title].
    QHash<QString, QStringList> countsShown(LektoHarness &h);
    bool waitForCounts(LektoHarness &h, const QHash<QString, QStringList> &expected, int ms = 20000);
    int requestsFor(const QByteArray &path) const;

    TestHttpServer FServer;
};

void TestNewChapters::initTestCase()
{
    // a: its folder is its contents (with validators); b: its chapters name
    // another contents page, in GBK; c: read to page 2 of a chapter; d: the
    // place is not listed; e: no contents page; f: a site that never answers.
    for (int n = 1; n <= 5; ++n) {
        FServer.route("/a/" + QByteArray::number(n) + ".html", chapter(QStringLiteral("a"), {}, n, QStringLiteral("./")));
        FServer.route("/b/" + QByteArray::number(n) + ".html", chapter(QStringLiteral("b"), {}, n, QStringLiteral("/b/list.html")));
    }
    TestHttpServer::Response a{200, "text/html; charset=utf-8", contentsPage(5).toUtf8(), {}, false};
    a.headers << qMakePair(QByteArray("ETag"), QByteArray("\"a-5\""));
    FServer.route("/a/", a);
    FServer.route("/b/", TestHttpServer::Response{404, "text/html", "<title>404</title>", {}, false});
    FServer.route("/b/list.html",
                  TestHttpServer::Response{200, "text/html",
                                           EncodeText(QStringLiteral("<meta http-equiv='Content-Type' content='text/html; charset=gbk'>") + contentsPage(4), "GBK"),
                                           {}, false});
    FServer.route("/c/2_2.html", chapter(QStringLiteral("c"), QStringLiteral("（2）"), 2, QStringLiteral("./")));
    FServer.route("/c/", contentsPage(3).toUtf8());
    FServer.route("/d/9.html", chapter(QStringLiteral("d"), {}, 9, QStringLiteral("./")));
    FServer.route("/d/", contentsPage(5).toUtf8());
    FServer.route("/e/1.html", chapter(QStringLiteral("e"), {}, 1, QStringLiteral("./")));
    // The reader's cookie, which the site gets with every page the reader opens.
    TestHttpServer::Response f{200, "text/html; charset=utf-8", chapter(QStringLiteral("f"), {}, 1, QStringLiteral("./")), {}, false};
    f.headers << qMakePair(QByteArray("Set-Cookie"), QByteArray("sid=reader; Path=/"));
    FServer.route("/f/1.html", f);
    FServer.route("/f/", TestHttpServer::Response{200, "text/html", {}, {}, true});
    FServer.route("/site.html", "<title>别人的网页</title><a id=check href='rc:gengxin'>检查更新</a>");
}

QHash<QString, QStringList> TestNewChapters::countsShown(LektoHarness &h)
{
    const QString json = h.js(QStringLiteral(
        "JSON.stringify([...document.querySelectorAll('span.lekto-new')].map(s=>{const tr=s.closest('tr');"
        "return [tr.querySelector('a[href^=\"rc:Del\"],a[href^=\"rc:L2Del\"]').getAttribute('href'),s.textContent,s.title];}))"))
                             .toString();
    QHash<QString, QStringList> shown;
    for (const QJsonValue &v : QJsonDocument::fromJson(json.toUtf8()).array()) {
        const QJsonArray a = v.toArray();
        shown.insert(a[0].toString(), {a[1].toString(), a[2].toString()});
    }
    return shown;
}

bool TestNewChapters::waitForCounts(LektoHarness &h, const QHash<QString, QStringList> &expected, int ms)
{
    QHash<QString, QStringList> shown;
    const bool ok = waitUntil([&] { return (shown = countsShown(h)) == expected; }, ms);
    if (!ok)
        qWarning() << "shown:" << shown << "expected:" << expected;
    return ok;
}

int TestNewChapters::requestsFor(const QByteArray &path) const
{
    int n = 0;
    for (const auto &r : FServer.requests())
        n += r.path == path;
    return n;
}

void TestNewChapters::countsInBothListsAndNothingForFailures()
{
    LektoHarness h;
    h.checksNewChapters = true;
    TFLekto &w = h.open();
    for (const char *page : {"/f/1.html", "/e/1.html", "/d/9.html", "/c/2_2.html", "/b/2.html", "/a/3.html"})
        QVERIFY(h.type(FServer.url(QString::fromLatin1(page))));
    // Newest first: a b c d e f; c set aside.
    QVERIFY(h.type(QStringLiteral("rc:GoStart")));
    QVERIFY(h.clickLink(QStringLiteral("rc:yangfei2")));
    QCOMPARE(fieldText(w.FLektoHis->L2()[0]->BookPath), book(QStringLiteral("c")));

    // a: 5 listed, at 3 (the newest block counted once); b: 4 listed in GBK
    // on the page its 目录 named, at 2; c: page 2 of chapter 2 of 3.
    QVERIFY(waitForCounts(h, {{QStringLiteral("rc:Del0"), {QStringLiteral("新2章"), chapterTitle(5)}},
                              {QStringLiteral("rc:Del1"), {QStringLiteral("新2章"), chapterTitle(4)}},
                              {QStringLiteral("rc:L2Del0"), {QStringLiteral("新1章"), chapterTitle(3)}}}));
    // The command that asks again, at the top of each list.
    QCOMPARE(h.js(QStringLiteral("[...document.querySelectorAll('a[href=\"rc:gengxin\"]')].map(a=>a.textContent).join()")).toString(),
             QStringLiteral("检查更新,检查更新"));

    // Found new, the books are unread now, on the page and in the file.
    QCOMPARE(h.js(QStringLiteral("document.querySelector('a[href=\"rc:yiyue0\"]').textContent")).toString(), QStringLiteral("【未阅】"));
    // The site that never answers is given up, and nothing said of it.
    QVERIFY(waitUntil([&] { return requestsFor("/f/") >= 1; }, 20000));
    QTest::qWait(TUpdateChecker::kTimeoutMs + 1000);
    QCOMPARE(countsShown(h).size(), 3);
    QVERIFY(h.errors.isEmpty());
    QVERIFY(h.messages.isEmpty());

    // The contents pages were asked without the reader's cookie, which the
    // engine itself sends to the site.
    bool engineSentIt = false;
    for (const auto &r : FServer.requests()) {
        if (r.path.endsWith("/"))
            QVERIFY2(!r.headers.contains("cookie"), r.path.constData());
        engineSentIt |= r.path == "/b/2.html" && r.headers.value("cookie").contains("sid=reader");
    }
    QVERIFY(engineSentIt);
    QCOMPARE(requestsFor("/b/"), 0); // b's chapters named their contents

    // Kept with the history: the marks in its file, what was learned beside it.
    w.close();
    TLektoHistory saved(h.historyFile());
    QCOMPARE(saved.Bookmarks()[0]->IsRead, 0);
    QCOMPARE(saved.Bookmarks()[1]->IsRead, 0);
    QCOMPARE(saved.Bookmarks()[2]->IsRead, 1); // d: nothing counted, nothing marked
    QCOMPARE(saved.L2()[0]->IsRead, 0);
    TUpdateStore store;
    QVERIFY(store.Load(h.dir.filePath(QStringLiteral("LektoUpdates.json"))));
    QCOMPARE(store.Find(book(QStringLiteral("a")))->count, 2);
    QCOMPARE(store.Find(book(QStringLiteral("b")))->contents, FServer.url(QStringLiteral("/b/list.html")));
}

void TestNewChapters::unchangedAnswersAndTheCountGoneOnceRead()
{
    LektoHarness h;
    h.checksNewChapters = true;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url(QStringLiteral("/a/3.html"))));
    const int before = requestsFor("/a/");
    QVERIFY(h.type(QStringLiteral("rc:GoStart")));
    QVERIFY(waitForCounts(h, {{QStringLiteral("rc:Del0"), {QStringLiteral("新2章"), chapterTitle(5)}}}));
    QCOMPARE(requestsFor("/a/"), before + 1);

    // Shown again within the half hour: nothing is asked.
    QVERIFY(h.type(QStringLiteral("rc:GoStart")));
    QVERIFY(waitForCounts(h, {{QStringLiteral("rc:Del0"), {QStringLiteral("新2章"), chapterTitle(5)}}}));
    QTest::qWait(500);
    QCOMPARE(requestsFor("/a/"), before + 1);

    // 检查更新 asks now, conditionally; the unchanged page costs a 304 and
    // the count stays.
    QVERIFY(h.mouseClick(QStringLiteral("#lekto-check"), Qt::LeftButton, false));
    QVERIFY(waitUntil([&] { return requestsFor("/a/") == before + 2; }, 10000));
    QByteArray asked;
    for (const auto &r : FServer.requests())
        if (r.path == "/a/")
            asked = r.headers.value("if-none-match");
    QCOMPARE(asked, QByteArray("\"a-5\""));
    QTest::qWait(500);
    QCOMPARE(countsShown(h).value(QStringLiteral("rc:Del0")).value(0), QStringLiteral("新2章"));

    // A site's page cannot ask for it.
    QVERIFY(h.type(FServer.url(QStringLiteral("/site.html"))));
    QVERIFY(h.mouseClick(QStringLiteral("#check"), Qt::LeftButton, false));
    QTest::qWait(1000);
    QCOMPARE(requestsFor("/a/"), before + 2);

    // Read to the newest chapter, the book has nothing new, and is read.
    QVERIFY(h.type(FServer.url(QStringLiteral("/a/5.html"))));
    QVERIFY(h.type(QStringLiteral("rc:GoStart")));
    QTest::qWait(500);
    QVERIFY(countsShown(h).isEmpty());
    QCOMPARE(w.FLektoHis->Bookmarks()[0]->IsRead, 1);
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestNewChapters)
#include "tst_newchapters.moc"
