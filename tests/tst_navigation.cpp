// A reader's way through pages: stops, addresses that cannot be opened, the
// start page in the history, back and forward, pop-ups that stay in the view.
#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>

namespace {

QByteArray chapter(int n, int paragraphs = 3)
{
    QByteArray body = "<title>第" + QByteArray::number(n) + "章</title><h1>第" + QByteArray::number(n) + "章</h1>";
    for (int i = 0; i < paragraphs; ++i)
        body += "<p>第" + QByteArray::number(n) + "章的正文，第" + QByteArray::number(i) + "段。</p>";
    body += "<a id=prev href='" + QByteArray::number(n - 1) + ".html'>上一章</a> "
            "<a id=next href='" + QByteArray::number(n + 1) + ".html'>下一章</a>";
    return body;
}

// Types text as a reader does: Latin letters, digits and signs as keys,
// Chinese as an input method commits it.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(widget, &commit);
        }
    }
}

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

    // Pure mode is the start state; half-pure is one click away.
    static void setMode(TFLekto &w, bool pure, LektoHarness &h)
    {
        if (!pure) {
            const int before = h.completions;
            w.pHalfClick();
            h.waitComplete(before + 1);
        }
    }
    QString pageText(LektoHarness &h) { return h.js("document.body?document.body.innerText:''").toString(); }

private slots:
    void initTestCase()
    {
        for (int i = 1; i <= 4; ++i)
            FServer.route("/book/" + QByteArray::number(i) + ".html", chapter(i));
        // A long chapter that arrives in two parts, as from a real site.
        FServer.route("/long/1.html", TestHttpServer::Response{200, "text/html; charset=utf-8", chapter(1, 400), {}, false, 400});
        FServer.route("/long/2.html", chapter(2));
        FServer.route("/slow/1.html", "<title>第一章</title><p>一</p>");
        FServer.route("/slow/2.html", "<title>第二章</title><link rel=stylesheet href='/slow/hang.css'>"
                                      "<img src='/slow/hang.png'><p>二</p>");
        FServer.route("/slow/hang.css", TestHttpServer::Response{200, "text/css", {}, {}, true});
        FServer.route("/slow/hang.png", TestHttpServer::Response{200, "image/png", {}, {}, true});
        FServer.route("/%E4%B9%A6/a%20b.html", "<title>书</title><p>encoded</p>");
        FServer.route("/popup/opener.html", "<title>opener</title>"
                                            "<a id=l href='/popup/target.html' target=_blank>link</a>"
                                            "<form id=f method=post action='/popup/posted.html' target=_blank>"
                                            "<input name=q value='中文'><input type=submit id=s></form>");
        FServer.route("/popup/target.html", "<title>target</title>");
        FServer.route("/book/gone.html", TestHttpServer::Response{404, "text/html; charset=utf-8",
                                                                  "<title>页面不存在</title><p>没有这一章</p>", {}, false});
        FServer.route("/popup/posted.html", "<title>posted</title>");
    }

    void stopAfterThePageArrivedRecordsThatPage_data();
    void stopAfterThePageArrivedRecordsThatPage();
    void textThatIsNoAddressSaysSo_data();
    void textThatIsNoAddressSaysSo();
    void sharedTextOpensItsAddress_data();
    void sharedTextOpensItsAddress();
    void unreachableAddressSaysWhy_data();
    void unreachableAddressSaysWhy();
    void addressesAreRecordedEncoded();
    void sitesOwnErrorPageIsShownNotRecorded();
    void backAndForwardFromTheStartPage_data();
    void backAndForwardFromTheStartPage();
    void backReturnsToTheReadingPlace_data();
    void backReturnsToTheReadingPlace();
    void startPageTakesOneStepOfHistory();
    void startPageHoldsItsShape();
    void popupsInTheViewKeepReferrerAndForm();
    void commandOpenedInNewWindowRunsAsClick();
};

void TestNavigation::stopAfterThePageArrivedRecordsThatPage_data()
{
    QTest::addColumn<bool>("pure");
    QTest::newRow("pure mode: a style sheet keeps the load open") << true;
    QTest::newRow("half-pure mode: a picture keeps the load open") << false;
}

void TestNavigation::stopAfterThePageArrivedRecordsThatPage()
{
    QFETCH(bool, pure);
    LektoHarness h;
    TFLekto &w = h.open();
    setMode(w, pure, h);
    QVERIFY(h.type(FServer.url("/slow/1.html")));
    const QByteArray blocker = pure ? "/slow/hang.css" : "/slow/hang.png";
    const int asked = FServer.countRequests(blocker);
    w.EdUrl->setText(FServer.url("/slow/2.html"));
    w.BtnGo->click();
    QVERIFY(waitUntil([&] { return FServer.countRequests(blocker) > asked; }));
    QVERIFY(waitUntil([&] { return pageText(h).contains(QStringLiteral("二")); }));
    const int completions = h.completions;
    w.Button4->click(); // 停止
    QVERIFY(waitUntil([&] { return w.windowTitle() == QStringLiteral("第二章"); }, 5000));
    spin(300);
    QCOMPARE(h.completions, completions); // a stop is no completion
    QCOMPARE(w.EdUrl->text(), FServer.url("/slow/2.html"));
    QCOMPARE(h.bookTitles(), QStringList{"第二章"});
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->PageName), QStringLiteral("2.html"));
}

void TestNavigation::textThatIsNoAddressSaysSo_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("spaces") << "   ";
    QTest::newRow("Chinese words") << "中文 搜索";
    QTest::newRow("two words") << "foo bar";
    QTest::newRow("markup") << "<b>x</b> y";
    QTest::newRow("one Chinese word") << "剑出青云";
    QTest::newRow("two addresses") << "上一章 http://127.0.0.1:1/7.html 下一章 http://127.0.0.1:1/9.html";
}

void TestNavigation::textThatIsNoAddressSaysSo()
{
    QFETCH(QString, text);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    w.Timer1Timer();
    QVERIFY(h.type(text));
    QCOMPARE(w.EdUrl->text(), text);
    QCOMPARE(w.windowTitle(), QStringLiteral("无法打开此网页"));
    const QString shown = pageText(h);
    QVERIFY2(shown.contains(QStringLiteral("无法打开此网页")) && shown.contains(text.trimmed()), qPrintable(shown));
    QVERIFY2(shown.contains(QStringLiteral("这不是一个有效的网址")), qPrintable(shown));
    // Trying the same words again cannot help: the page does not advise it.
    QVERIFY2(!shown.contains(QStringLiteral("刷新")) && shown.contains(QStringLiteral("完整的网址")), qPrintable(shown));
    QCOMPARE(h.js("document.querySelectorAll('b').length").toInt(), 0);
    QCOMPARE(h.bookTitles(), QStringList{"第1章"});
    QCOMPARE(w.Timer1Tag, 0);
    QVERIFY(!w.WB1->ShowsOwnDocument());
    // 后退 returns to the chapter.
    const int before = h.completions;
    w.Button3->click();
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("第1章"));
}

void TestNavigation::sharedTextOpensItsAddress_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("typed in the address box, Enter") << "typed";
    QTest::newRow("粘贴打开") << "button";
    QTest::newRow("F1 in the page") << "F1";
}

// Text as chat programs share a chapter: its one address opens, whichever
// way the text reaches the address box.
void TestNavigation::sharedTextOpensItsAddress()
{
    QFETCH(QString, how);
    LektoHarness h;
    TFLekto &w = h.open();
    const QString address = FServer.url("/book/3.html");
    const QString shared = QStringLiteral("《剑出青云》第8章 %1 快来看").arg(address);
    const int before = h.completions;
    const int asked = FServer.countRequests("/book/3.html");
    if (how == "typed") {
        QTest::mouseDClick(w.EdUrl, Qt::LeftButton); // selects the whole text
        spin(50);
        typeText(w.EdUrl, shared);
        QCOMPARE(w.EdUrl->text(), shared);
        QTest::keyClick(w.EdUrl, Qt::Key_Return);
    } else {
        QGuiApplication::clipboard()->setText(shared);
        if (how == "button") {
            QTest::mouseClick(w.BtnGo2, Qt::LeftButton);
        } else {
            w.WB1->SetFocus();
            spin(100);
            QTest::keyClick(w.WB1->focusProxy(), Qt::Key_F1);
        }
    }
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("第3章"));
    QCOMPARE(w.EdUrl->text(), address);
    QCOMPARE(h.bookTitles(), QStringList{"第3章"});
    QCOMPARE(FServer.countRequests("/book/3.html"), asked + 1);
}

void TestNavigation::unreachableAddressSaysWhy_data()
{
    QTest::addColumn<bool>("pure");
    QTest::newRow("pure mode") << true;
    QTest::newRow("half-pure mode") << false;
}

void TestNavigation::unreachableAddressSaysWhy()
{
    QFETCH(bool, pure);
    LektoHarness h;
    TFLekto &w = h.open();
    setMode(w, pure, h);
    // A port nobody listens on: the connection is refused.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString address = QStringLiteral("http://127.0.0.1:%1/gone.html").arg(closed.serverPort());
    closed.close();
    QVERIFY(h.type(address));
    QCOMPARE(w.EdUrl->text(), address);
    QVERIFY(waitUntil([&] { return w.windowTitle() == QStringLiteral("无法打开此网页"); }, 5000));
    const QString shown = pageText(h);
    QVERIFY2(shown.contains(QStringLiteral("无法打开此网页")) && shown.contains(address)
                 && shown.contains(QStringLiteral("服务器拒绝了连接")) && shown.contains(QStringLiteral("刷新")),
             qPrintable(shown));
    QVERIFY(w.FLektoHis->Bookmarks().empty());
    QCOMPARE(w.Timer1Tag, 0);
    // 刷新 tries the address again.
    const int before = h.completions;
    w.Button5->click();
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.EdUrl->text(), address);
    QVERIFY(pageText(h).contains(QStringLiteral("服务器拒绝了连接")));
}

// A site's own page for a missing chapter shows as the site made it, with
// its title, but does not become the book's last page.
void TestNavigation::sitesOwnErrorPageIsShownNotRecorded()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QVERIFY(h.type(FServer.url("/book/gone.html")));
    QCOMPARE(w.windowTitle(), QStringLiteral("页面不存在"));
    QCOMPARE(w.EdUrl->text(), FServer.url("/book/gone.html"));
    QVERIFY(pageText(h).contains(QStringLiteral("没有这一章")));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->PageName), QStringLiteral("1.html"));
}

// The history has always recorded the address as the document has it:
// percent-encoded. A decoded form would make a second entry for the book.
void TestNavigation::addressesAreRecordedEncoded()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url(QStringLiteral("/书/a b.html"))));
    const QString encoded = FServer.url("/%E4%B9%A6/a%20b.html");
    QCOMPARE(w.EdUrl->text(), encoded);
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->BookPath), QStringLiteral("127.0.0.1:%1/%E4%B9%A6").arg(FServer.port()));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->PageName), QStringLiteral("a%20b.html"));
    QVERIFY(h.type(encoded));
    QCOMPARE(w.FLektoHis->Count(), 1);
}

void TestNavigation::backAndForwardFromTheStartPage_data()
{
    QTest::addColumn<bool>("pure");
    QTest::newRow("pure mode") << true;
    QTest::newRow("half-pure mode") << false;
}

// Start page → a book → its next chapter → 后退 → 前进: every page comes back.
void TestNavigation::backAndForwardFromTheStartPage()
{
    QFETCH(bool, pure);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(3));
    setMode(w, pure, h);
    QVERIFY(h.mouseClickLink(FServer.url("/book/1.html")));
    QCOMPARE(w.windowTitle(), QStringLiteral("第1章"));
    QVERIFY(h.mouseClickLink("2.html"));
    QCOMPARE(w.windowTitle(), QStringLiteral("第2章"));
    struct Step { QPushButton *button; const char *title; };
    const Step steps[] = {{w.Button3, "第1章"}, {w.Button3, "Lekto"}, {w.Button2, "第1章"}, {w.Button2, "第2章"}, {w.Button3, "第1章"}};
    for (const Step &s : steps) {
        const int before = h.completions;
        s.button->click();
        QVERIFY(h.waitComplete(before + 1));
        QCOMPARE(w.windowTitle(), QString::fromUtf8(s.title));
        if (qstrcmp(s.title, "Lekto") != 0)
            QVERIFY2(pageText(h).contains(QString::fromUtf8(s.title) + QStringLiteral("的正文")), qPrintable(pageText(h)));
    }
    const int before = h.completions;
    w.Button5->click(); // 刷新 shows it again, too
    QVERIFY(h.waitComplete(before + 1));
    QVERIFY(pageText(h).contains(QStringLiteral("第1章的正文")));
}

void TestNavigation::backReturnsToTheReadingPlace_data()
{
    QTest::addColumn<bool>("pure");
    QTest::newRow("pure mode") << true;
    QTest::newRow("half-pure mode") << false;
}

void TestNavigation::backReturnsToTheReadingPlace()
{
    QFETCH(bool, pure);
    LektoHarness h;
    TFLekto &w = h.open();
    setMode(w, pure, h);
    QVERIFY(h.type(FServer.url("/long/1.html")));
    h.js("window.scrollTo(0, document.documentElement.scrollHeight)");
    const int place = h.js("window.scrollY").toInt();
    QVERIFY(place > 5000);
    QVERIFY(waitUntil([&] { return w.WB1->page()->scrollPosition().y() > 5000; }, 5000));
    QVERIFY(h.type(FServer.url("/long/2.html")));
    const int before = h.completions;
    w.Button3->click();
    QVERIFY(h.waitComplete(before + 1));
    QVERIFY(waitUntil([&] { return qAbs(h.js("window.scrollY").toInt() - place) <= 20; }, 5000));
}

// Commands on the start page and the start page shown again replace it in
// the history: one 后退 returns to the page before it.
void TestNavigation::startPageTakesOneStepOfHistory()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QVERIFY(h.type(FServer.url("/book/2.html")));
    for (int i = 0; i < 3; ++i) {
        const int before = h.completions;
        w.BtnStart->click();
        QVERIFY(h.waitComplete(before + 1));
    }
    for (int i = 0; i < 3; ++i)
        QVERIFY(h.clickLink("rc:yiyue0"));
    QCOMPARE(w.FLektoHis->Bookmarks()[0]->IsRead, 0);
    const int before = h.completions;
    w.Button3->click();
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("第2章"));
}

// In a small window, beside a long note and a long title, the number, the
// commands and the date of each row stay on one line.
void TestNavigation::startPageHoldsItsShape()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.resize(800, 600);
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QVERIFY(h.type(FServer.url("/long/2.html")));
    h.noteAnswers << QString(40, QChar(0x4E66)) + QStringLiteral(" 很长的备注 ") + QString(30, QLatin1Char('x'));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(4));
    QVERIFY(h.clickLink("rc:jianzhu0"));
    // The number of lines the contents of a cell take (of the note's cell,
    // its command before the note).
    const QString lines = QStringLiteral(
        "(function(){var most=0;document.querySelectorAll('tr[height]').forEach(function(tr){"
        "for(var i=0;i<5;i++){var r=document.createRange();r.selectNodeContents(tr.cells[i]);"
        "var tops={};Array.prototype.forEach.call(r.getClientRects(),function(b){if(b.height>0)tops[Math.round(b.top)]=1;});"
        "most=Math.max(most,Object.keys(tops).length);}"
        "var a=tr.cells[5].querySelectorAll('a');var r6=document.createRange();r6.setStart(tr.cells[5],0);"
        "if(a.length>1)r6.setEndBefore(a[1]);else r6.setEndAfter(tr.cells[5].lastChild);var t6={};"
        "Array.prototype.forEach.call(r6.getClientRects(),function(b){if(b.height>0)t6[Math.round(b.top)]=1;});"
        "most=Math.max(most,Object.keys(t6).length);});return most;})()");
    QCOMPARE(h.js(lines).toInt(), 1);
    // The note wraps within the window instead of widening the table.
    QVERIFY(h.js("document.documentElement.scrollWidth <= window.innerWidth").toBool());
    QVERIFY(h.js("document.querySelector('tr[height]').cells[5].getClientRects()[0].height > 30").toBool());
}

// A pop-up that the main view takes in (pure mode) is opened by the page
// itself: the site sees where it came from, and a posted form its data.
void TestNavigation::popupsInTheViewKeepReferrerAndForm()
{
    LektoHarness h;
    TFLekto &w = h.open();
    const QString opener = FServer.url("/popup/opener.html");
    QVERIFY(h.type(opener));
    QVERIFY(h.mouseClick("#l"));
    QCOMPARE(w.windowTitle(), QStringLiteral("target"));
    auto last = [&](const QByteArray &path) {
        TestHttpServer::Request found;
        for (const auto &r : FServer.requests())
            if (r.path == path)
                found = r;
        return found;
    };
    QCOMPARE(last("/popup/target.html").headers.value("referer"), opener.toLatin1());

    const int before = h.completions;
    w.Button3->click();
    QVERIFY(h.waitComplete(before + 1));
    QVERIFY(h.mouseClick("#s"));
    QCOMPARE(w.windowTitle(), QStringLiteral("posted"));
    const auto posted = last("/popup/posted.html");
    QCOMPARE(posted.method, QByteArray("POST"));
    QCOMPARE(posted.body, QByteArray("q=%E4%B8%AD%E6%96%87"));
    QCOMPARE(posted.headers.value("referer"), opener.toLatin1());
}

// A middle click (open in a new window) on a start-page command runs it.
void TestNavigation::commandOpenedInNewWindowRunsAsClick()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(3));
    QVERIFY(h.mouseClickLink("rc:yiyue0", Qt::MiddleButton));
    QVERIFY(waitUntil([&] { return w.FLektoHis->Bookmarks()[0]->IsRead == 0; }, 5000));
    QVERIFY(h.waitComplete(4));
    // The start page shown again says so once its new document has replaced the old.
    QVERIFY(waitUntil([&] { return pageText(h).contains(QStringLiteral("【未阅】")); }, 5000));
}

LEKTO_WEB_TEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
