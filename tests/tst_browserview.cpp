#include "browserview.h"
#include "testhttpserver.h"
#include "testmain.h"

#include <QtWebEngineCore/QWebEnginePage>
#include <QtWidgets/QLineEdit>
#include <QtWebEngineCore/QWebEngineHistory>
#include <QtWebEngineCore/QWebEngineScript>

using O = TDownloadControlOption;

Q_DECLARE_METATYPE(TDownloadOptions)

namespace {

// A page that asks for one resource of every kind the download options govern.
QByteArray everythingPage(const QByteArray &p)
{
    return "<html><head><title>everything</title>"
           "<link rel=stylesheet href='" + p + "style.css'>"
           "<script src='" + p + "script.js'></script>"
           "<script>fetch('" + p + "inline-ran');</script>"
           "</head><body><p style=\"font-family:lektofont\">text of the page</p>"
           "<img src='" + p + "img.png'>"
           "<iframe src='" + p + "frame.html'></iframe>"
           "<object data='" + p + "obj.swf' type='application/x-shockwave-flash' width=10 height=10></object>"
           "<embed src='" + p + "embed.swf' type='application/x-shockwave-flash'>"
           "<object data='" + p + "obj.html' type='text/html' width=10 height=10></object>"
           "<embed src='" + p + "embed.svg' type='image/svg+xml' width=10 height=10>"
           "<video src='" + p + "video.mp4' preload=auto></video>"
           "<audio src='" + p + "sound.mp3' preload=auto></audio>"
           "</body></html>";
}

void routeEverything(TestHttpServer &server, const QByteArray &p)
{
    server.route(p + "page.html", everythingPage(p));
    server.route(p + "style.css", TestHttpServer::Response{200, "text/css",
        "@font-face{font-family:lektofont;src:url(" + p + "font.woff)} p{color:black}", {}, false});
    server.route(p + "script.js", TestHttpServer::Response{200, "text/javascript", "var x=1;", {}, false});
}

struct Recorder {
    int completions = 0;
    int stops = 0;
    QStringList navigations; // "top|frame url flags"
    void attach(TBrowserView &v)
    {
        v.OnDocumentComplete = [this](TBrowserView *, TBrowserObject, QString &) { ++completions; };
        v.OnStop = [this](TBrowserView *) { ++stops; };
        v.OnBeforeNavigate2 = [this](TBrowserView *s, TBrowserObject pDisp, QString &url, int &flags, QString &,
                                     QByteArray &, QString &, bool &) {
            navigations << QStringLiteral("%1 %2 %3").arg(pDisp == s->Application() ? "top" : "frame", url).arg(flags);
        };
    }
};

bool waitComplete(Recorder &r, int count, int ms = 20000)
{
    return waitUntil([&] { return r.completions >= count; }, ms);
}

QVariant evalJs(TBrowserView &v, const QString &js)
{
    QVariant result;
    bool done = false;
    v.page()->runJavaScript(js, QWebEngineScript::ApplicationWorld, [&](const QVariant &r) { result = r; done = true; });
    if (!waitUntil([&] { return done; }, 10000))
        qWarning("script did not answer");
    return result;
}

} // namespace

class TestBrowserView : public QObject
{
    Q_OBJECT

private slots:
    void downloadOptionsTakeEffect_data();
    void downloadOptionsTakeEffect();
    void eachViewKeepsItsOwnOptions();
    void ignoreCacheRefetches();
    void loadFromStringShowsLargeDocument();
    void titleIsTheDocumentsOwn_data();
    void titleIsTheDocumentsOwn();
    void commandLinkReachesHookAndCancelIsNoCompletion();
    void framesFailTheTopLevelTest();
    void navigate2OpensBareHostAsHttp();
    void backForwardStopRefresh();
    void zoomIsClampedAndSentOnlyOnChange();
    void survivesBorderChange();
    void newWindowGoesWhereTheHandlerSays();
    void statusTitleAndProgressEvents();

private:
    TestHttpServer FServer;
};

void TestBrowserView::downloadOptionsTakeEffect_data()
{
    QTest::addColumn<TDownloadOptions>("options");
    QTest::addColumn<QStringList>("fetched");
    QTest::addColumn<QStringList>("notFetched");
    const TDownloadOptions media{O::DownloadImages, O::DownloadVideos, O::DownloadBGSounds};
    const TDownloadOptions active{O::DontExecuteScripts, O::DontExecuteJava, O::DontExecuteActiveX, O::DontDownloadActiveX};
    const auto pure = configuredDownloadOptions();
    QTest::newRow("configured (pure mode)") << pure << QStringList{"style.css"}
        << QStringList{"img.png", "script.js", "inline-ran", "frame.html", "obj.swf", "embed.swf", "obj.html", "embed.svg",
                       "video.mp4", "sound.mp3", "font.woff"};
    QTest::newRow("half-pure mode") << (pure + media - active)
        << QStringList{"style.css", "img.png", "script.js", "inline-ran", "font.woff"}
        << QStringList{"frame.html"};
    QTest::newRow("after construction") << defaultDownloadOptions()
        << QStringList{"style.css", "img.png", "script.js", "inline-ran", "frame.html", "font.woff", "obj.html", "embed.svg"} << QStringList{};
    QTest::newRow("pictures only") << TDownloadOptions{O::DownloadImages, O::DontExecuteScripts, O::DontDownloadFrame}
        << QStringList{"img.png", "font.woff"} << QStringList{"script.js", "inline-ran", "frame.html", "video.mp4"};
    QTest::newRow("plug-ins off, frames on") << TDownloadOptions{O::DownloadImages, O::DontExecuteActiveX}
        << QStringList{"img.png", "frame.html"} << QStringList{"obj.swf", "embed.swf", "obj.html", "embed.svg"};
    QTest::newRow("no media") << TDownloadOptions{O::DownloadImages}
        << QStringList{"img.png"} << QStringList{"video.mp4", "sound.mp3"};
}

void TestBrowserView::downloadOptionsTakeEffect()
{
    QFETCH(TDownloadOptions, options);
    QFETCH(QStringList, fetched);
    QFETCH(QStringList, notFetched);
    const QByteArray prefix = "/opt-" + QByteArray(QTest::currentDataTag()).toPercentEncoding() + "/";
    routeEverything(FServer, prefix);

    TBrowserView view;
    view.resize(800, 600);
    view.show();
    Recorder rec;
    rec.attach(view);
    view.SetDownloadOptions(options);
    view.Navigate2(FServer.url(QString::fromLatin1(prefix + "page.html")));
    QVERIFY(waitComplete(rec, 1));
    spin(700); // late requests (media preload, fonts) still count

    for (const auto &name : fetched)
        QVERIFY2(FServer.countRequests(prefix + name.toLatin1()) > 0, qPrintable(name + " was not fetched"));
    for (const auto &name : notFetched)
        QVERIFY2(FServer.countRequests(prefix + name.toLatin1()) == 0, qPrintable(name + " was fetched"));
}

void TestBrowserView::eachViewKeepsItsOwnOptions()
{
    routeEverything(FServer, "/own-a/");
    routeEverything(FServer, "/own-b/");
    TBrowserView open, closed;
    Recorder ra, rb;
    ra.attach(open);
    rb.attach(closed);
    closed.SetDownloadOptions(configuredDownloadOptions());
    open.SetDownloadOptions(defaultDownloadOptions());
    open.Navigate2(FServer.url("/own-a/page.html"));
    closed.Navigate2(FServer.url("/own-b/page.html"));
    QVERIFY(waitComplete(ra, 1));
    QVERIFY(waitComplete(rb, 1));
    spin(500);
    QVERIFY(FServer.countRequests("/own-a/img.png") > 0);
    QCOMPARE(FServer.countRequests("/own-b/img.png"), 0);
    QCOMPARE(FServer.countRequests("/own-b/script.js"), 0);
    QCOMPARE(configuredDownloadOptions().flagValue(), closed.DownloadFlagValue());
}

void TestBrowserView::ignoreCacheRefetches()
{
    const QList<QPair<QByteArray, QByteArray>> cacheable{{"Cache-Control", "max-age=3600"}};
    for (const char *p : {"/cache-on/", "/cache-off/"}) {
        FServer.route(QByteArray(p) + "page.html", TestHttpServer::Response{200, "text/html",
            "<title>c</title><link rel=stylesheet href='" + QByteArray(p) + "c.css'>", cacheable, false});
        FServer.route(QByteArray(p) + "c.css", TestHttpServer::Response{200, "text/css", "p{}", cacheable, false});
        FServer.route(QByteArray(p) + "other.html", "<title>o</title>");
    }
    // Visit, leave, visit again, then refresh.
    auto visit = [this](const char *p, TDownloadOptions options) {
        TBrowserView view;
        Recorder rec;
        rec.attach(view);
        view.SetDownloadOptions(options);
        const QString page = FServer.url(QString::fromLatin1(p) + "page.html");
        view.Navigate2(page);
        QVERIFY(waitComplete(rec, 1));
        view.Navigate2(FServer.url(QString::fromLatin1(p) + "other.html"));
        QVERIFY(waitComplete(rec, 2));
        view.Navigate2(page);
        QVERIFY(waitComplete(rec, 3));
        view.Refresh();
        QVERIFY(waitComplete(rec, 4));
    };
    visit("/cache-on/", configuredDownloadOptions());
    visit("/cache-off/", configuredDownloadOptions() - TDownloadOptions{O::DownloadAndIgnoreCache});
    QCOMPARE(FServer.countRequests("/cache-on/page.html"), 3);
    QCOMPARE(FServer.countRequests("/cache-on/c.css"), 2); // the refresh fetches it anew
    QVERIFY(FServer.countRequests("/cache-off/page.html") < 3);
}

void TestBrowserView::loadFromStringShowsLargeDocument()
{
    TBrowserView view;
    Recorder rec;
    rec.attach(view);
    QVERIFY(view.Doc2() == nullptr);
    QVERIFY(view.Document() == nullptr);

    QString html = QStringLiteral("<htm><body><h2>使用说明</h2><p id=last>");
    const QString line = QStringLiteral("第一章 少年 the quick brown fox ");
    while (html.size() * 3 < 5 * 1024 * 1024)
        html += line;
    html += QStringLiteral("尾</p></body></htm>");
    QCOMPARE(view.LoadFromString(html), 0);
    QVERIFY(waitComplete(rec, 1));
    QVERIFY(view.Doc2() != nullptr);
    QCOMPARE(view.Doc2()->URL, QStringLiteral("about:blank"));
    QCOMPARE(view.Doc2()->title, QString());
    QCOMPARE(evalJs(view, "document.querySelector('h2').textContent").toString(), QStringLiteral("使用说明"));
    QCOMPARE(evalJs(view, "getComputedStyle(document.documentElement).display").toString(), QStringLiteral("block"));
    QVERIFY(evalJs(view, "document.querySelector('h2').getBoundingClientRect().height").toDouble() > 0);
    QCOMPARE(evalJs(view, "document.body.textContent.length").toInt(), html.size() - 40 + 4 - 7 - 3 - 2);
}

void TestBrowserView::titleIsTheDocumentsOwn_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QString>("title");
    QTest::newRow("chinese title") << QByteArray("<title>第一章 开始</title><p>x") << QStringLiteral("第一章 开始");
    QTest::newRow("no title") << QByteArray("<p>no title here") << QString();
    QTest::newRow("padded title") << QByteArray("<title>\n   Chapter  1\n  </title>") << QStringLiteral("Chapter 1");
    QTest::newRow("spaces only") << QByteArray("<title>   </title>") << QStringLiteral("   ");
}

void TestBrowserView::titleIsTheDocumentsOwn()
{
    QFETCH(QByteArray, html);
    QFETCH(QString, title);
    const QByteArray path = "/title-" + QByteArray::number(QTest::currentDataTag()[0]) + QByteArray::number(qHash(html)) + ".html";
    FServer.route(path, html);
    TBrowserView view;
    view.SetDownloadOptions(configuredDownloadOptions()); // the title is read with scripts off
    Recorder rec;
    rec.attach(view);
    view.Navigate2(FServer.url(QString::fromLatin1(path)));
    QVERIFY(waitComplete(rec, 1));
    QCOMPARE(view.Doc2()->URL, FServer.url(QString::fromLatin1(path)));
    QCOMPARE(view.Doc2()->title, title);
}

void TestBrowserView::commandLinkReachesHookAndCancelIsNoCompletion()
{
    TBrowserView view;
    view.resize(400, 300);
    view.show();
    Recorder rec;
    rec.attach(view);
    bool cancelled = false;
    auto record = view.OnBeforeNavigate2;
    view.OnBeforeNavigate2 = [&](TBrowserView *s, TBrowserObject pDisp, QString &url, int &flags, QString &t,
                                 QByteArray &p, QString &h, bool &cancel) {
        record(s, pDisp, url, flags, t, p, h, cancel);
        if (url.startsWith("rc:", Qt::CaseInsensitive)) {
            cancel = true;
            cancelled = true;
        }
    };
    view.LoadFromString(QStringLiteral("<htm><body><a id=l href=\"rc:Del0\">删除</a></body></htm>"));
    QVERIFY(waitComplete(rec, 1));
    evalJs(view, "document.getElementById('l').click()");
    QVERIFY(waitUntil([&] { return cancelled; }));
    spin(1000);
    QCOMPARE(rec.completions, 1);
    QCOMPARE(rec.stops, 0);
    QCOMPARE(view.Doc2()->URL, QStringLiteral("about:blank"));
    QCOMPARE(rec.navigations.last(), QStringLiteral("top rc:Del0 %1").arg(QWebEnginePage::NavigationTypeLinkClicked));

    // Typed by the reader: marked as coming from the program.
    cancelled = false;
    view.Navigate2("rc:GoStart");
    QVERIFY(waitUntil([&] { return cancelled; }));
    QCOMPARE(rec.navigations.last(), QStringLiteral("top rc:GoStart %1").arg(QWebEnginePage::NavigationTypeTyped | kNavFromHost));
    spin(500);
    QCOMPARE(rec.completions, 1);
    QCOMPARE(rec.stops, 0);
}

void TestBrowserView::framesFailTheTopLevelTest()
{
    FServer.route("/framed.html", "<title>framed</title><iframe src='/inner.html'></iframe>");
    FServer.route("/inner.html", "<title>inner</title>inner");
    TBrowserView view;
    Recorder rec;
    rec.attach(view);
    view.SetDownloadOptions(defaultDownloadOptions());
    view.Navigate2(FServer.url("/framed.html"));
    QVERIFY(waitComplete(rec, 1));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/inner.html") == 1; }));
    QVERIFY2(rec.navigations.contains(QStringLiteral("frame %1 %2").arg(FServer.url("/inner.html")).arg(QWebEnginePage::NavigationTypeOther))
                 || rec.navigations.filter(QStringLiteral("frame ") + FServer.url("/inner.html")).size() == 1,
             qPrintable(rec.navigations.join('\n')));
    QCOMPARE(rec.navigations.filter("top ").size(), 1);
    QCOMPARE(view.Doc2()->title, QStringLiteral("framed"));
}

void TestBrowserView::navigate2OpensBareHostAsHttp()
{
    FServer.route("/bare.html", "<title>bare</title>");
    TBrowserView view;
    Recorder rec;
    rec.attach(view);
    view.Navigate2(QStringLiteral("127.0.0.1:%1/bare.html").arg(FServer.port()));
    QVERIFY(waitComplete(rec, 1));
    QCOMPARE(view.Doc2()->URL, FServer.url("/bare.html"));
}

void TestBrowserView::backForwardStopRefresh()
{
    FServer.route("/nav-a.html", "<title>A</title>");
    FServer.route("/nav-b.html", "<title>B</title>");
    FServer.route("/nav-hang.html", TestHttpServer::Response{200, "text/html", {}, {}, true});
    TBrowserView view;
    Recorder rec;
    rec.attach(view);
    view.GoBack(); // nothing to go back to: nothing happens
    view.GoForward();
    view.Stop();
    view.Navigate2(FServer.url("/nav-a.html"));
    QVERIFY(waitComplete(rec, 1));
    view.Navigate2(FServer.url("/nav-b.html"));
    QVERIFY(waitComplete(rec, 2));
    view.GoBack();
    QVERIFY(waitComplete(rec, 3));
    QCOMPARE(view.Doc2()->title, QStringLiteral("A"));
    view.GoForward();
    QVERIFY(waitComplete(rec, 4));
    QCOMPARE(view.Doc2()->title, QStringLiteral("B"));
    const int before = FServer.countRequests("/nav-b.html");
    view.Refresh();
    QVERIFY(waitComplete(rec, 5));
    QCOMPARE(FServer.countRequests("/nav-b.html"), before + 1);

    view.Navigate2(FServer.url("/nav-hang.html"));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/nav-hang.html") == 1; }));
    view.Stop();
    QVERIFY(waitUntil([&] { return rec.stops == 1; }));
    QCOMPARE(rec.completions, 5);
    QCOMPARE(view.Doc2()->title, QStringLiteral("B"));

    // A load given up for a newer one is no stop.
    view.Navigate2(FServer.url("/nav-hang.html?2"));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/nav-hang.html?2") == 1; }));
    view.Navigate2(FServer.url("/nav-a.html"));
    QVERIFY(waitComplete(rec, 6));
    spin(300);
    QCOMPARE(rec.stops, 1);

    // Back to an earlier document of LoadFromString: the latest one is shown.
    view.LoadFromString(QStringLiteral("<h2>old</h2>"));
    QVERIFY(waitComplete(rec, 7));
    view.Navigate2(FServer.url("/nav-b.html"));
    QVERIFY(waitComplete(rec, 8));
    view.LoadFromString(QStringLiteral("<h2>new</h2>"));
    QVERIFY(waitComplete(rec, 9));
    view.GoBack();
    QVERIFY(waitComplete(rec, 10));
    view.GoBack();
    QVERIFY(waitComplete(rec, 11));
    QCOMPARE(view.Doc2()->URL, QStringLiteral("about:blank"));
    QVERIFY(view.ShowsOwnDocument());
    QCOMPARE(evalJs(view, "document.querySelector('h2').textContent").toString(), QStringLiteral("new"));
}

void TestBrowserView::zoomIsClampedAndSentOnlyOnChange()
{
    FServer.route("/zoom.html", "<title>z</title>zoom");
    TBrowserView view;
    Recorder rec;
    rec.attach(view);
    view.Navigate2(FServer.url("/zoom.html"));
    QVERIFY(waitComplete(rec, 1));
    const struct { int percent; double factor; } rows[] = {{150, 1.5}, {10, 0.25}, {1000, 5.0}, {100, 1.0}, {24, 0.25}, {501, 5.0}};
    for (const auto &r : rows) {
        view.SetZoomPercent(r.percent);
        QCOMPARE(view.ZoomPercent(), r.percent);
        QCOMPARE(view.zoomFactor(), r.factor);
    }
    view.setZoomFactor(2.0); // the page shown at another zoom
    view.SetZoomPercent(501); // the stored value: nothing is sent
    QCOMPARE(view.zoomFactor(), 2.0);
    view.SetZoom(1);
    QCOMPARE(view.Zoom(), 1);
    view.SetZoom(9);
    QCOMPARE(view.Zoom(), 4);
}

void TestBrowserView::survivesBorderChange()
{
    FServer.route("/border-1.html", "<title>one</title>");
    FServer.route("/border-2.html", "<title>two</title>");
    QWidget window;
    auto *view = new TBrowserView(&window);
    view->setGeometry(0, 0, 400, 300);
    window.resize(400, 300);
    window.show();
    Recorder rec;
    rec.attach(*view);
    view->Navigate2(FServer.url("/border-1.html"));
    QVERIFY(waitComplete(rec, 1));
    view->Navigate2(FServer.url("/border-2.html"));
    QVERIFY(waitComplete(rec, 2));
    const int requests = FServer.countRequests("/border-");

    window.setWindowFlags(window.windowFlags() | Qt::FramelessWindowHint);
    window.show();
    spin(300);
    window.setWindowFlags(window.windowFlags() & ~Qt::FramelessWindowHint);
    window.show();
    spin(500);

    QCOMPARE(FServer.countRequests("/border-"), requests); // no reload
    QCOMPARE(rec.completions, 2);
    QCOMPARE(view->Doc2()->title, QStringLiteral("two"));
    QCOMPARE(evalJs(*view, "document.title").toString(), QStringLiteral("two"));
    QVERIFY(view->page()->history()->canGoBack());
}

void TestBrowserView::newWindowGoesWhereTheHandlerSays()
{
    FServer.route("/opener.html", "<title>opener</title><a id=l href='/popup.html' target=_blank>p</a>");
    FServer.route("/popup.html", "<title>popup</title>");
    TBrowserView main, first, second;
    main.resize(300, 200);
    main.show();
    Recorder rm, r1, r2;
    rm.attach(main);
    r1.attach(first);
    r2.attach(second);
    main.OnNewWindow3 = [&](TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &) {
        ppDisp = first.Application();
    };
    main.Navigate2(FServer.url("/opener.html"));
    QVERIFY(waitComplete(rm, 1));
    const int windows = QApplication::topLevelWidgets().size();
    evalJs(main, "document.getElementById('l').click()");
    QVERIFY(waitComplete(r1, 1));
    QCOMPARE(first.Doc2()->URL, FServer.url("/popup.html"));

    // Rebound at run time: the next pop-up goes to the other view.
    main.OnNewWindow3 = [&](TBrowserView *, TBrowserObject &ppDisp, bool &, quint32, const QString &, const QString &) {
        ppDisp = second.Application();
    };
    evalJs(main, "document.getElementById('l').click()");
    QVERIFY(waitComplete(r2, 1));
    QCOMPARE(r1.completions, 1);

    // Unbound: the pop-up goes nowhere.
    main.OnNewWindow3 = nullptr;
    evalJs(main, "document.getElementById('l').click()");
    spin(1000);
    QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    QCOMPARE(rm.completions, 1);
    QCOMPARE(main.Doc2()->URL, FServer.url("/opener.html"));
}

void TestBrowserView::statusTitleAndProgressEvents()
{
    FServer.route("/events.html", "<title>first</title><a id=l href='/target.html' style='display:block;width:400px;height:300px'>x</a>"
                                  "<script>setTimeout(function(){document.title='second'},50)</script>");
    QWidget window;
    auto *edit = new QLineEdit(&window);
    auto *view = new TBrowserView(&window);
    edit->setGeometry(0, 0, 100, 20);
    view->setGeometry(0, 20, 400, 300);
    window.resize(400, 320);
    window.show();
    Recorder rec;
    rec.attach(*view);
    view->SetDownloadOptions(defaultDownloadOptions());
    QStringList titles, status;
    QList<QPair<int, int>> progress;
    view->OnTitleChange = [&](TBrowserView *, const QString &t) { titles << t; };
    view->OnStatusTextChange = [&](TBrowserView *, const QString &t) { status << t; };
    view->OnProgressChange = [&](TBrowserView *, int p, int max) { progress << qMakePair(p, max); };
    view->Navigate2(FServer.url("/events.html"));
    QVERIFY(waitComplete(rec, 1));
    QVERIFY(waitUntil([&] { return titles.contains("second"); }));
    QVERIFY(titles.contains("first"));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), qMakePair(100, 100));

    // The pointer over a link shows its address as the status text.
    QWidget *surface = view->focusProxy();
    QVERIFY(surface);
    QTest::mouseMove(surface, QPoint(50, 50));
    spin(100);
    QTest::mouseMove(surface, QPoint(60, 60));
    QVERIFY(waitUntil([&] { return status.contains(FServer.url("/target.html")); }, 5000));

    edit->setFocus();
    QVERIFY(edit->hasFocus());
    view->SetFocus();
    QVERIFY(view->hasFocus() || view->focusProxy()->hasFocus());
}

LEKTO_WEB_TEST_MAIN(TestBrowserView)
#include "tst_browserview.moc"
