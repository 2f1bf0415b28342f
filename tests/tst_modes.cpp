#include "lektoharness.h"
#include "realpages.h"
#include "testhttpserver.h"
#include "webvoice.h"

#include <QtNetwork/QNetworkProxy>
#include <QtWebEngineCore/QWebEngineSettings>

namespace {

// What a logged request asked for, from the Accept header the engine sends.
bool isDocument(const TestHttpServer::Request &r) { return r.headers.value("accept").startsWith("text/html"); }
bool isStyleSheet(const TestHttpServer::Request &r) { return r.headers.value("accept").startsWith("text/css"); }
bool isImage(const TestHttpServer::Request &r) { return r.headers.value("accept").startsWith("image/"); }

QByteArray fixture(const QString &file)
{
    QFile f(QStringLiteral(LEKTO_FIXTURES "/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The next chapter, fetched ahead by the program itself (never by the page).
bool isOwnPrefetch(const TFLekto &w, const TestHttpServer::Request &r)
{
    return r.headers.value("purpose") == "prefetch" && w.WB1->PrefetchState().IsOurs(QUrl(QString::fromLatin1(r.target)));
}

int visibleWindows()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += w->isVisible() ? 1 : 0;
    return n;
}

} // namespace

class TestModes : public QObject
{
    Q_OBJECT

    TestHttpServer FProxy; // serves the real pages at their addresses, and logs everything

    QList<TestHttpServer::Request> requestsSince(int from) const { return FProxy.requests().mid(from); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QStringLiteral(LEKTO_FIXTURES)).isDir(), "the saved real pages are missing: " LEKTO_FIXTURES);
        // Requests to other hosts go through the proxy; 127.0.0.1 stays direct.
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", FProxy.port()));
        for (const auto &p : realPages()) {
            const QByteArray body = fixture(p.file);
            QVERIFY2(!body.isEmpty(), qPrintable(p.file));
            FProxy.route(p.address.toLatin1(), TestHttpServer::Response{200, "text/html", body, {}, false});
        }
        FProxy.route("/plain.html", "<title>plain</title><img src='/pic.png'><p>text</p>");
        FProxy.route("http://web-platform.test/form.html",
                     "<title>form</title><form id=f action='/submitted.html' target=_blank><input name=q value=1></form>"
                     "<script>onload=function(){f.submit()}</script>");
        FProxy.route("http://web-platform.test/opener.html", "<title>opener</title><script>window.open('/ad.html')</script>");
        FProxy.route("http://web-platform.test/ad.html", "<title>ad</title><script>window.open('/ad2.html')</script>");
    }

    void switchesChangeSevenMembersAndReload();
    void pureModeFetchesNoActiveContent_data();
    void pureModeFetchesNoActiveContent();
    void halfPureModeFetchesEverything();
    void popupsNeverGetAWindow_data();
    void popupsNeverGetAWindow();
    void hiddenViewsPassPopupsOnAndShowNoDialogs();
};

void TestModes::switchesChangeSevenMembersAndReload()
{
    LektoHarness h;
    TFLekto &w = h.open();
    using O = TDownloadControlOption;
    QVERIFY(w.IsPureMode());
    QVERIFY(!w.Mute->IsOn());
    // A member outside the seven survives every switch.
    w.WB1->SetDownloadOptions(w.WB1->DownloadOptions() + TDownloadOptions{O::SuppressedMetaCharset});

    w.pHalfClick(); // on the help page: the start page is shown again
    QVERIFY(h.waitComplete(2));
    QVERIFY(w.WB1->ShowsOwnDocument());
    QVERIFY(!w.IsPureMode());
    QCOMPARE(w.pHalf->BevelOuter(), TBevelCut::bvLowered);
    QCOMPARE(w.pHalf->BevelInner(), TBevelCut::bvLowered);
    QCOMPARE(w.pFull->BevelInner(), TBevelCut::bvRaised);
    QCOMPARE(w.WB1->DownloadFlagValue(), 0xD070 + 0x10000);
    QCOMPARE(w.WBx->DownloadFlagValue(), 0xD780);
    QVERIFY(w.Mute->IsOn());

    QVERIFY(h.type(FProxy.url("/plain.html")));
    QCOMPARE(FProxy.countRequests("/pic.png"), 1);
    w.pFullClick(); // on a page: it is loaded again under the new options
    QVERIFY(h.waitComplete(4));
    QCOMPARE(FProxy.countRequests("/plain.html"), 2);
    QCOMPARE(FProxy.countRequests("/pic.png"), 1);
    QCOMPARE(w.WB1->DownloadFlagValue(), 0xD780 + 0x10000);
    QVERIFY(w.Mute->IsOn()); // never switched off again
    w.pFullClick(); // the sunken panel again: the same mode, and a reload
    QVERIFY(h.waitComplete(5));
    QCOMPARE(FProxy.countRequests("/plain.html"), 3);

    // In half-pure mode the address box keeps the old address until completion.
    w.pHalfClick();
    QVERIFY(h.waitComplete(6));
    bool sawOldAddress = false;
    auto before = w.WB1->OnBeforeNavigate2;
    w.WB1->OnBeforeNavigate2 = [&](TBrowserView *v, TBrowserObject d, QString &u, int &f, QString &t, QByteArray &p, QString &hd, bool &c) {
        before(v, d, u, f, t, p, hd, c);
        sawOldAddress = w.EdUrl->text() == FProxy.url("/plain.html") && w.windowTitle() == QStringLiteral("正在打开...");
    };
    w.WB1->Navigate2(FProxy.url("/plain.html?again")); // as a link on the page would
    QVERIFY(h.waitComplete(7));
    QVERIFY(sawOldAddress);
    QCOMPARE(w.EdUrl->text(), FProxy.url("/plain.html?again"));
}

void TestModes::pureModeFetchesNoActiveContent_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("address");
    for (const auto &p : realPages())
        if (!p.file.startsWith("popups/"))
            QTest::newRow(qPrintable(p.file)) << p.file << p.address;
}

void TestModes::pureModeFetchesNoActiveContent()
{
    QFETCH(QString, file);
    QFETCH(QString, address);
    LektoHarness h;
    TFLekto &w = h.open();
    const int from = FProxy.requests().size();
    QVERIFY(h.type(address));
    spin(500);
    const auto log = requestsSince(from);
    QCOMPARE(log.first().target, address.toLatin1());
    QStringList unexpected;
    for (const auto &r : log.mid(1))
        // A tunnel says nothing of what it carries: https style sheets and
        // the engine's preconnects open them.
        if (!isStyleSheet(r) && r.method != "CONNECT" && !isOwnPrefetch(w, r))
            unexpected << QString::fromLatin1(r.target + " (" + r.headers.value("accept") + ")");
    QVERIFY2(unexpected.isEmpty(), qPrintable(unexpected.join('\n')));
    QVERIFY(!w.windowTitle().isEmpty());
    QVERIFY(h.js("document.body.innerText.length").toInt() > 200); // the text shows
    QCOMPARE(visibleWindows(), 1);
}

void TestModes::halfPureModeFetchesEverything()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    const QString address = "http://www.royalroad.com/fiction/1/chapter/14";
    const int from = FProxy.requests().size();
    QVERIFY(h.type(address));
    spin(1000);
    int images = 0, others = 0;
    for (const auto &r : requestsSince(from)) {
        images += isImage(r) ? 1 : 0;
        others += !isImage(r) && !isStyleSheet(r) && !isDocument(r) ? 1 : 0; // scripts and the like
    }
    QVERIFY2(images > 0, "no image was requested");
    QVERIFY2(others > 0, "no script was requested");
    QCOMPARE(w.WB1->Doc2()->URL, address);
}

void TestModes::popupsNeverGetAWindow_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("click");     // element to click, if any
    QTest::addColumn<QString>("popup");     // the address the pop-up asks for
    QTest::addColumn<bool>("halfPure");
    const QString blank = "http://web-platform.test/html/semantics/links/target-blank-links.html";
    const QString named = "http://web-platform.test/html/browsers/windows/named-target.html";
    const QString onLoad = "http://web-platform.test/html/browsers/windows/open-on-load.html";
    const QString target = "http://web-platform.test/html/semantics/links/support/target_blank_implicit_noopener.html?a3";
    QTest::newRow("target=_blank, half-pure") << blank << "a3" << target << true;
    QTest::newRow("named target, half-pure") << named << "a" << "http://web-platform.test/html/browsers/windows/001-1.html" << true;
    QTest::newRow("window.open while loading") << onLoad << "" << "about:blank" << true;
    QTest::newRow("target=_blank, pure") << blank << "a3" << target << false;
    QTest::newRow("form with a target") << "http://web-platform.test/form.html" << "" << "http://web-platform.test/submitted.html?q=1" << true;
    QTest::newRow("window.open of an address") << "http://web-platform.test/opener.html" << "" << "http://web-platform.test/ad.html" << true;
}

void TestModes::popupsNeverGetAWindow()
{
    QFETCH(QString, address);
    QFETCH(QString, click);
    QFETCH(QString, popup);
    QFETCH(bool, halfPure);
    LektoHarness h;
    TFLekto &w = h.open();
    QStringList hidden; // completions in the hidden views
    for (TBrowserView *v : {w.WBx, w.WbY}) {
        auto mask = v->OnDocumentComplete;
        v->OnDocumentComplete = [&hidden, mask](TBrowserView *s, TBrowserObject d, QString &u) {
            hidden << u;
            mask(s, d, u);
        };
    }
    if (halfPure) {
        w.pHalfClick();
        QVERIFY(h.waitComplete(2));
    }
    const int loaded = h.completions + 1;
    QVERIFY(h.type(address));
    if (!click.isEmpty())
        h.js(click == "a" ? QStringLiteral("document.querySelector('a').click()")
                          : QStringLiteral("document.getElementById('%1').click()").arg(click));

    if (halfPure) {
        // Loaded by the first hidden view and sent on to about:blank.
        QVERIFY2(waitUntil([&] { return hidden.contains(popup) || popup == "about:blank"; }), qPrintable(hidden.join('\n')));
        QVERIFY(waitUntil([&] { return !hidden.isEmpty() && hidden.last() == "about:blank"; }));
        QCOMPARE(w.WBx->Doc2()->URL, QStringLiteral("about:blank"));
        spin(300);
        QCOMPARE(h.completions, loaded);
        QCOMPARE(w.WB1->Doc2()->URL, address);
    } else {
        // Pure mode: the pop-up replaces the page in the main view.
        QVERIFY(h.waitComplete(loaded + 1));
        QCOMPARE(w.WB1->Doc2()->URL, popup);
        QVERIFY(hidden.isEmpty());
    }
    QCOMPARE(visibleWindows(), 1);
    QVERIFY(!w.WBx->isVisible() && !w.WbY->isVisible());
}

void TestModes::hiddenViewsPassPopupsOnAndShowNoDialogs()
{
    LektoHarness h;
    TFLekto &w = h.open();
    TBrowserObject target = nullptr;
    bool cancel = false;
    w.WBxNewWindow3(w.WBx, target, cancel, 0, {}, {});
    QCOMPARE(target, w.WbY->Application());
    w.WbYNewWindow3(w.WbY, target, cancel, 0, {}, {});
    QCOMPARE(target, w.WBx->Application());
    w.MaskNewWindow3(w.WB1, target, cancel, 0, {}, {});
    QCOMPARE(target, w.WBx->Application());
    QVERIFY(!cancel);

    // Even with scripts on, a page in a view nobody sees cannot raise a
    // message box: the alert returns at once and the page goes on.
    FProxy.route("/alert.html", "<title>before</title><script>alert('x');confirm('y');document.title='after'</script>");
    TBrowserView view;
    view.SetVisible(false);
    view.SetDownloadOptions(defaultDownloadOptions());
    QString title;
    view.OnDocumentComplete = [&](TBrowserView *v, TBrowserObject, QString &) { title = v->Doc2()->title; };
    view.Navigate(FProxy.url("/alert.html"));
    QVERIFY(waitUntil([&] { return !title.isEmpty(); }));
    QCOMPARE(title, QStringLiteral("after"));
    QCOMPARE(visibleWindows(), 1);
}

LEKTO_WEB_TEST_MAIN(TestModes)
#include "tst_modes.moc"
