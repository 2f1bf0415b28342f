// What the views answer the engine, shown with real input on the real engine:
// masked Ctrl shortcuts, silent script errors, page dialogs that say who
// speaks, focus by click, wheel and re-activation, Enter in a form, drops,
// and an interface that speaks Chinese.
#include "browserpage.h"
#include "lektoapp.h"
#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtCore/QMimeData>
#include <QtWebEngineCore/QWebEngineScript>
#include <QtGui/QAction>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMessageBox>

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

// Logs every keydown the page's scripts see, in its title.
const QByteArray kKeyLogPage =
    "<title>keys</title><p>keys</p><script>document.addEventListener('keydown',function(e){"
    "document.title+=' '+(e.ctrlKey?'C':'')+(e.shiftKey?'S':'')+(e.altKey?'A':'')+e.key.toUpperCase();});</script>";

QStringList pageKeys(const QString &title)
{
    QStringList keys = title.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    keys.removeFirst(); // "keys"
    return keys;
}

// Answers every modal box that shows, as a reader would (OK), and tells
// what each one showed. A page's second box may come while the first is
// still being answered, so the watch never waits for the test.
struct BoxWatch {
    struct Seen {
        QString title, text;
        bool hadIcon = false;
        QStringList buttons;
    };
    QList<Seen> seen;
    QTimer timer;
    BoxWatch()
    {
        timer.setInterval(100);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            Seen s{box->windowTitle(), box->text(), !box->windowIcon().isNull(), {}};
            for (auto *b : box->buttons())
                s.buttons << b->text();
            seen << s;
            if (!qEnvironmentVariableIsEmpty("LEKTO_SHOTS"))
                box->grab().save(QStringLiteral("/tmp/lekto-alert-%1.png").arg(seen.size()));
            box->button(QMessageBox::Ok)->click();
        });
        timer.start();
    }
};

} // namespace

namespace {

// A drag over the page that ends in a drop, as the window system sends it.
void dropOn(TBrowserView *view, const QUrl &url)
{
    QWidget *page = view->focusProxy();
    QMimeData data;
    data.setUrls({url});
    const QPoint at(50, 50);
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &enter);
    QDragMoveEvent move(at, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(page, &drop);
}

} // namespace

class TestHostCallbacks : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

private slots:
    void initTestCase()
    {
        LoadChineseTranslations(qApp);
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/lekto/icons/lekto-32.png")).isNull()
                                        ? QIcon(QPixmap(16, 16))
                                        : QIcon(QStringLiteral(":/lekto/icons/lekto-32.png")));
        FServer.route("/keys.html", kKeyLogPage);
        FServer.route("/throws.html", "<title>before</title><script>throw new Error('broken');</script>"
                                      "<script>document.title='after';</script>");
        FServer.route("/alert.html", "<title>alert</title><script>setTimeout(function(){alert('来自网页');"
                                     "document.title=confirm('确定？')?'yes':'no';},100);</script>");
        FServer.route("/leave.html", "<title>leave</title><script>onbeforeunload=function(e){e.preventDefault();"
                                     "e.returnValue='stay';return 'stay';};</script><input id=i>");
        FServer.route("/long.html", "<title>long</title>" + QByteArray("<p>段落</p>").repeated(400));
        FServer.route("/form.html", "<title>form</title><form action='/sent.html'><input id=q name=q></form>");
        FServer.route("/sent.html", "<title>sent</title>");
        FServer.route("/dropped.html", "<title>dropped</title><p>dropped</p>");
    }

    void maskRule_data();
    void maskRule();
    void maskedShortcutsInEveryView_data();
    void maskedShortcutsInEveryView();
    void scriptErrorsAreSilent();
    void pageDialogsSayWhoSpeaks();
    void silentViewLetsTheReaderLeave();
    void focusFollowsClickAndWheel();
    void focusComesBackWithTheWindow();
    void enterActsInTheForm();
    void droppedLinkOpensAsALink();
    void droppedScriptsAndOwnAddressesAreIgnored_data();
    void droppedScriptsAndOwnAddressesAreIgnored();
    void interfaceSpeaksChinese();
};

void TestHostCallbacks::maskRule_data()
{
    QTest::addColumn<QString>("letters");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<bool>("masked");
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    QTest::newRow("Ctrl+N") << "N" << int(Qt::Key_N) << ctrl << true;
    QTest::newRow("Ctrl+Shift+N") << "N" << int(Qt::Key_N) << (ctrl | Qt::ShiftModifier) << false;
    QTest::newRow("Ctrl+Alt+N") << "N" << int(Qt::Key_N) << (ctrl | Qt::AltModifier) << false;
    QTest::newRow("N") << "N" << int(Qt::Key_N) << Qt::KeyboardModifiers() << false;
    QTest::newRow("Ctrl+M") << "N" << int(Qt::Key_M) << ctrl << false;
    QTest::newRow("lower-case letter never matches") << "n" << int(Qt::Key_N) << ctrl << false;
    QTest::newRow("nothing masked") << "" << int(Qt::Key_N) << ctrl << false;
    QTest::newRow("Ctrl+N on the number pad state") << "N" << int(Qt::Key_N) << (ctrl | Qt::KeypadModifier) << true;
}

void TestHostCallbacks::maskRule()
{
    QFETCH(QString, letters);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(bool, masked);
    QCOMPARE(TBrowserView::IsMaskedShortcut(letters, key, mods), masked);
}

void TestHostCallbacks::maskedShortcutsInEveryView_data()
{
    QTest::addColumn<int>("view"); // 0 the main view, 1 a hidden view
    QTest::newRow("main view") << 0;
    QTest::newRow("hidden view") << 1;
}

// The page's own keydown listener tells what reached it.
void TestHostCallbacks::maskedShortcutsInEveryView()
{
    QFETCH(int, view);
    LektoHarness h;
    TFLekto &w = h.open();
    w.pHalfClick(); // scripts on, so the page can listen
    QVERIFY(h.waitComplete(2));
    TBrowserView *v = w.WB1;
    if (view == 1) {
        // A hidden view shown for the test, with its options as configured.
        v = w.WBx;
        v->OnDocumentComplete = nullptr; // it would go back to an empty page at once
        v->SetDownloadOptions(v->DownloadOptions() - TDownloadOptions{TDownloadControlOption::DontExecuteScripts});
        v->SetVisible(true);
        v->resize(300, 200);
    }
    QCOMPARE(v->DisableCtrlShortcuts(), QStringLiteral("N"));
    int done = 0;
    CountCompletions(v, &done);
    v->Navigate2(FServer.url("/keys.html"));
    QVERIFY(waitUntil([&] { return done >= 1; }));
    v->SetFocus();
    QWidget *page = v->focusProxy();
    QVERIFY(page);
    auto hasFocus = [&] {
        QVariant r;
        bool got = false;
        v->page()->runJavaScript(QStringLiteral("document.hasFocus()"), QWebEngineScript::ApplicationWorld,
                                 [&](const QVariant &x) { r = x; got = true; });
        waitUntil([&] { return got; }, 3000);
        return r.toBool();
    };
    QVERIFY(waitUntil(hasFocus, 3000));
    QTest::keyClick(page, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(page, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(page, Qt::Key_N, Qt::ControlModifier | Qt::AltModifier);
    QTest::keyClick(page, Qt::Key_N);
    auto title = [&] { return v->page()->title(); };
    QVERIFY2(waitUntil([&] { return pageKeys(title()).size() >= 3 && pageKeys(title()).contains("N"); }, 5000), qPrintable(title()));
    spin(300);
    const QStringList keys = pageKeys(title());
    QVERIFY2(!keys.contains("CN"), qPrintable(title()));
    QVERIFY(keys.contains("CSN") && keys.contains("CAN") && keys.contains("N"));
}

// A page that throws goes on with its next script, and nothing is shown.
void TestHostCallbacks::scriptErrorsAreSilent()
{
    QVERIFY(!lcPageConsole().isDebugEnabled());
    LektoHarness h;
    TFLekto &w = h.open();
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    QCOMPARE(w.WB1->ScriptErrorAction(), TScriptErrorAction::eaContinue);
    QVERIFY(h.type(FServer.url("/throws.html")));
    QVERIFY(waitUntil([&] { return w.windowTitle() == QStringLiteral("after"); }, 5000));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(h.errors, QStringList());
}

// Where a view shows a page's dialogs, they carry the page's origin as
// caption and the program's icon, and speak Chinese.
void TestHostCallbacks::pageDialogsSayWhoSpeaks()
{
    TBrowserView view;
    view.resize(400, 300);
    view.show();
    QVERIFY(!view.Silent());
    int done = 0;
    CountCompletions(&view, &done);
    BoxWatch watch;
    view.Navigate2(FServer.url("/alert.html"));
    QVERIFY(waitUntil([&] { return view.page()->title() == QStringLiteral("yes"); }, 5000));
    QCOMPARE(watch.seen.size(), 2);
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(FServer.port());
    const auto &alert = watch.seen[0];
    QCOMPARE(alert.title, origin);
    QCOMPARE(alert.text, QStringLiteral("来自网页"));
    QVERIFY(alert.hadIcon);
    QVERIFY2(alert.buttons.join(' ').contains(QStringLiteral("确定")), qPrintable(alert.buttons.join(' ')));
    QCOMPARE(watch.seen[1].title, origin);
    QCOMPARE(watch.seen[1].text, QStringLiteral("确定？"));
    QVERIFY(!alert.title.contains(QStringLiteral("JavaScript"), Qt::CaseInsensitive));
    Q_UNUSED(done);
}

// The main view shows no dialogs (it is silent): a page asking "leave?"
// does not keep the reader, and its alert does not stop it.
void TestHostCallbacks::silentViewLetsTheReaderLeave()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.type(FServer.url("/leave.html")));
    QVERIFY(h.mouseClick("#i", Qt::LeftButton, false)); // a gesture: the engine asks only then
    QVERIFY(h.type(FServer.url("/long.html")));
    QCOMPARE(w.windowTitle(), QStringLiteral("long"));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestHostCallbacks::focusFollowsClickAndWheel()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/long.html")));
    QWidget *page = w.WB1->focusProxy();
    // A click into the page makes the main view the focused control.
    w.EdUrl->setFocus();
    QCOMPARE(w.focusWidget(), w.EdUrl);
    QVERIFY(h.mouseClick("p", Qt::LeftButton, false));
    QCOMPARE(w.focusWidget(), page);

    // The first wheel turn over the page moves the focus there and does not scroll.
    w.EdUrl->setFocus();
    QApplication::setActiveWindow(&w);
    const QPoint at(100, 100);
    auto turn = [&] {
        QWheelEvent wheel(QPointF(at), QPointF(page->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(page, &wheel);
    };
    h.js("window.scrollTo(0,0)");
    turn();
    QCOMPARE(w.focusWidget(), page);
    spin(300);
    QCOMPARE(h.js("window.scrollY").toInt(), 0);
    turn();
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > 0; }, 3000));
    // With the focus in the page, turns scroll at once.
    const int y = h.js("window.scrollY").toInt();
    turn();
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > y; }, 3000));

    // Another of the program's windows is active (the zoom dialog, the links
    // board): turns over the page still scroll it, and take no focus.
    QWidget board(&w, Qt::Tool);
    board.resize(100, 100);
    board.show();
    board.activateWindow();
    QVERIFY(waitUntil([&] { return QApplication::activeWindow() == &board; }, 2000));
    const int y2 = h.js("window.scrollY").toInt();
    for (int i = 0; i < 3; ++i)
        turn();
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > y2; }, 3000));
}

// Back from another program, the page has the keyboard again.
void TestHostCallbacks::focusComesBackWithTheWindow()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/long.html")));
    QApplication::setActiveWindow(&w);
    w.WB1->SetFocus();
    QVERIFY(waitUntil([&] { return QApplication::focusWidget() == w.WB1->focusProxy(); }, 2000));
    // The engine hears of a focus change on another channel than the one a
    // script's answer comes back on: the page knows of it a moment later.
    QVERIFY(waitUntil([&] { return h.js("document.hasFocus()").toBool(); }, 2000));
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    QVERIFY(waitUntil([&] { return QApplication::activeWindow() == &other; }, 2000));
    QVERIFY(waitUntil([&] { return !h.js("document.hasFocus()").toBool(); }, 2000));
    w.activateWindow();
    QVERIFY(waitUntil([&] { return QApplication::activeWindow() == &w; }, 2000));
    QCOMPARE(QApplication::focusWidget(), w.WB1->focusProxy());
    // Keys typed now reach the page.
    h.js("window.scrollTo(0,0)");
    QVERIFY(waitUntil([&] { return h.js("document.hasFocus()").toBool(); }, 2000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() > 0; }, 3000));
}

// Enter in a page's form field acts in the page (pure mode: no scripts).
void TestHostCallbacks::enterActsInTheForm()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/form.html")));
    QVERIFY(h.mouseClick("#q", Qt::LeftButton, false));
    QVERIFY(waitUntil([&] { return w.WB1->EditableHasFocus(); }, 3000));
    QTest::keyClicks(w.WB1->focusProxy(), QStringLiteral("abc"));
    QVERIFY(waitUntil([&] { return h.js("document.getElementById('q').value").toString() == QStringLiteral("abc"); }, 3000));
    const int before = h.completions;
    QTest::keyClick(w.WB1->focusProxy(), Qt::Key_Return);
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("sent"));
    QCOMPARE(w.EdUrl->text(), FServer.url("/sent.html?q=abc"));
}

// A link dropped on the main view opens there as a link would: tracked and
// recorded, under the mode's options.
void TestHostCallbacks::droppedLinkOpensAsALink()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/long.html")));
    const int before = h.completions;
    dropOn(w.WB1, QUrl(FServer.url("/dropped.html")));
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.windowTitle(), QStringLiteral("dropped"));
    QCOMPARE(h.bookTitles().first(), QStringLiteral("dropped"));
}

// A page can start a drag of any address and go back to the start page: a
// drop there opens web pages and files only, never runs a script in the
// document shown, nor a command as the reader's.
void TestHostCallbacks::droppedScriptsAndOwnAddressesAreIgnored_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("javascript") << "javascript:document.title='pwned';void 0";
    QTest::newRow("JavaScript in capitals") << "JAVASCRIPT:document.title='pwned';void 0";
    QTest::newRow("command link") << "rc:Del0";
    QTest::newRow("data document") << "data:text/html,<title>pwned</title>";
    QTest::newRow("own document") << "lekto:/doc/1/1";
}

void TestHostCallbacks::droppedScriptsAndOwnAddressesAreIgnored()
{
    QFETCH(QString, address);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/long.html")));
    w.ShowStartPage();
    QVERIFY(h.waitComplete(3));
    const QString title = h.js(QStringLiteral("document.title")).toString();
    const quint64 serial = w.WB1->NavigationSerial();
    const int before = h.completions;
    dropOn(w.WB1, QUrl(address));
    spin(1500);
    QCOMPARE(h.completions, before);
    QCOMPARE(w.WB1->NavigationSerial(), serial);
    QCOMPARE(h.js(QStringLiteral("document.title")).toString(), title);
    QCOMPARE(h.bookTitles(), QStringList{QStringLiteral("long")});
}

void TestHostCallbacks::interfaceSpeaksChinese()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), QStringLiteral("确定删除全部书签？"),
                    QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("是")));
    QVERIFY(box.button(QMessageBox::No)->text().contains(QStringLiteral("否")));
    TBrowserView view;
    QCOMPARE(view.page()->action(QWebEnginePage::Copy)->text(), QStringLiteral("复制"));
    QCOMPARE(view.HostFlagValue(), 0x44000u);
}

LEKTO_WEB_TEST_MAIN(TestHostCallbacks)
#include "tst_hostcallbacks.moc"
