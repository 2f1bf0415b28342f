#include "lektoharness.h"
#include "lektoprog.h"
#include "singleinstance.h"
#include "testhttpserver.h"
#include "uifont.h"

#include <QtGui/QClipboard>
#include <QtGui/QFontDatabase>
#include <QtGui/QGlyphRun>
#include <QtGui/QRawFont>
#include <QtGui/QTextLayout>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtCore/QProcess>
#include <QtCore/QTimer>
#include <QtNetwork/QLocalServer>
#include <QtWebEngineCore/QWebEngineLoadingInfo>

#include <csignal>

class TestMainWindow : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

private slots:
    void initTestCase()
    {
        for (int i = 1; i <= 3; ++i)
            FServer.route("/book/" + QByteArray::number(i) + ".html",
                          "<title>第" + QByteArray::number(i) + "章</title><p>正文</p>");
        FServer.route("/untitled.html", "<p>no title</p>");
        // Keeps the page's renderer busy for a while just after the page has
        // loaded: the program's questions to the page wait for their answers.
        FServer.route("/busy.html", "<title>busy</title><script>addEventListener('load',function(){setTimeout(function(){"
                                    "var t=Date.now();while(Date.now()-t<3000);},0);});</script><p>busy</p>");
    }

    // The real program copied into a folder of its own, which is its data folder.
    QString programIn(const QTemporaryDir &dir)
    {
        const QString program = dir.filePath("lekto");
        if (!QFile::copy(QStringLiteral(LEKTO_PROGRAM), program))
            return QString();
        QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
        return program;
    }

    void controlTree();
    void startsOnTheHelpPage();
    void typedAddressOpens();
    void pasteAndOpen();
    void emptyAddressDoesNothing();
    void navigationButtonsFollowTheirTags();
    void deferredSaveArmsOnce();
    void closingSaves();
    void failingSaveIsReportedOnce();
    void forumButtonOpensSystemBrowser();
    void terminationSignalsSave_data();
    void terminationSignalsSave();
    void closingWhileThePageOwesAnswers();
    void secondStartHandsOver();
    void deadOrHungCopyDoesNotBlock_data();
    void deadOrHungCopyDoesNotBlock();
    void replacedCopyWritesNothingOver();
    void startDuringTheEndWaitsForIt();
};

void TestMainWindow::controlTree()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QCoreApplication::processEvents();

    struct Size { QWidget *widget; int width, height; };
    const Size sizes[] = {
        {w.pNavigate, -1, 50}, {w.pTool, -1, 25}, {w.Panel3, -1, 25}, {w.pads, -1, 100},
        {w.BtnGo2, 75, 23}, {w.BtnGo, 60, 23}, {w.pFull, 80, 25}, {w.pHalf, 80, 25}, {w.BtnZoom, 55, 25},
        {w.Panel7, 10, 25}, {w.Button2, 45, 25}, {w.Button3, 45, 25}, {w.Button4, 45, 25}, {w.Button5, 45, 25},
        {w.Panel4, 7, 25}, {w.BtnTieba, 80, 25}, {w.BtnStart, 60, 50}, {w.BtnFull, 65, 50}, {w.FProg, 50, 50},
        {w.WBx, 100, 100}, {w.WbY, 100, 100},
    };
    for (const auto &s : sizes) {
        if (s.width >= 0)
            QCOMPARE(s.widget->width(), s.width);
        QCOMPARE(s.widget->height(), s.height);
    }
    QCOMPARE(w.width(), 859);
    QCOMPARE(w.FProg->x(), 0);
    QCOMPARE(w.BtnFull->geometry().right(), w.pNavigate->width() - 1);
    QCOMPARE(w.WB1->geometry().top(), w.pads->geometry().bottom() + 1);
    QCOMPARE(w.WBx->pos(), QPoint(0, 53));
    QCOMPARE(w.WbY->pos(), QPoint(0, 141));
    QVERIFY(!w.WBx->isVisible() && !w.WbY->isVisible() && !w.Memo1->isVisible());

    // Left to right, as docked.
    const QList<QWidget *> rows[] = {
        {w.FProg, w.Panel2, w.BtnStart, w.BtnFull},
        {w.BtnGo2, w.EdUrl, w.BtnGo},
        {w.pFull, w.pHalf, w.BtnZoom, w.Panel7, w.pHint, w.Button3, w.Button4, w.Button5, w.Button2, w.Panel4, w.BtnTieba},
    };
    for (const auto &row : rows)
        for (int i = 1; i < row.size(); ++i)
            QCOMPARE(row[i]->x(), row[i - 1]->geometry().right() + 1);

    const QList<QPair<QWidget *, QString>> captions = {
        {w.BtnGo2, "粘贴打开"}, {w.BtnGo, "打开"}, {w.BtnZoom, "缩放"}, {w.Button3, "后退"}, {w.Button4, "停止"},
        {w.Button5, "刷新"}, {w.Button2, "前进"}, {w.BtnTieba, "Mavent贴吧"}, {w.BtnStart, "起始页"}, {w.BtnFull, "全屏"}};
    for (const auto &c : captions)
        QCOMPARE(static_cast<QPushButton *>(c.first)->text(), c.second);
    QCOMPARE(w.pFull->Caption(), QStringLiteral("纯净模式"));
    QCOMPARE(w.pHalf->Caption(), QStringLiteral("半纯净模式"));
    QCOMPARE(w.pFull->BevelOuter(), TBevelCut::bvLowered);
    QCOMPARE(w.pHalf->BevelOuter(), TBevelCut::bvRaised);
    QCOMPARE(w.pTool->BevelOuter(), TBevelCut::bvRaised);
    QCOMPARE(w.pads->toolTip(), QStringLiteral("右击可隐藏。"));
    QCOMPARE(w.font().pixelSize(), 11);
    // The captions' Chinese in a Chinese face the window names, whatever the
    // locale: left to the system, it was a calligraphic Kai face under C.UTF-8.
    const QStringList &chineseFaces = ChineseFaces();
    const QStringList installed = QFontDatabase::families();
    if (std::any_of(chineseFaces.begin(), chineseFaces.end(), [&](const QString &f) { return installed.contains(f); })) {
        QTextLayout layout(w.pFull->Caption(), w.font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        QVERIFY(!runs.isEmpty());
        QVERIFY2(chineseFaces.contains(runs.constFirst().rawFont().familyName()),
                 qPrintable(runs.constFirst().rawFont().familyName()));
    }
    QCOMPARE(w.Memo1->toPlainText().split('\n').size(), 35); // with the rows of the chapter keys, find, print, new chapters and the reading view

    // The tab order through the visible controls.
    const QList<QWidget *> order = {w.BtnFull, w.BtnGo2, w.BtnGo, w.EdUrl, w.BtnZoom, w.Button2, w.Button3,
                                    w.Button4, w.Button5, w.BtnTieba, w.BtnStart, w.WB1};
    QWidget *at = w.BtnFull;
    for (int i = 1; i < order.size(); ++i) {
        do
            at = at->nextInFocusChain();
        while (!order.contains(at) && !order.contains(at->parentWidget()));
        QCOMPARE(at, order[i]);
    }

    // Hints are written into the hint line.
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(w.BtnGo2, &enter);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("粘贴打开：粘贴已复制的网址，并打开网页。"));
    QCoreApplication::sendEvent(w.BtnStart, &enter);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("右击起始页，可弹出自定义链接窗口。"));
    QCoreApplication::sendEvent(w.pHalf, &enter);
    QCOMPARE(w.pHint->Caption(), QStringLiteral("半纯净模式：允许图片，允许脚本，允许Flash。禁止一切弹窗。"));
}

void TestMainWindow::startsOnTheHelpPage()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QCOMPARE(w.EdUrl->text(), QStringLiteral("rc:GoStart"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Lekto"));
    QCOMPARE(h.js("document.querySelector('h2').textContent").toString(), QStringLiteral("使用说明"));
    QVERIFY(w.WB1->Silent());
    QVERIFY(!w.WbY->Silent());
    QCOMPARE(w.WB1->DownloadFlagValue(), 0xD780);
    QCOMPARE(w.WBx->DownloadFlagValue(), 0xD780);
    QCOMPARE(w.FZoom, 100);
    QVERIFY(h.errors.isEmpty() && h.messages.isEmpty());
}

void TestMainWindow::typedAddressOpens()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.EdUrl->setText(FServer.url("/book/1.html"));
    QTest::keyClick(w.EdUrl, Qt::Key_Return);
    QVERIFY(h.waitComplete(2));
    QCOMPARE(w.EdUrl->text(), FServer.url("/book/1.html"));
    QCOMPARE(w.windowTitle(), QStringLiteral("第1章"));
    QCOMPARE(h.bookTitles(), QStringList{"第1章"});
    QVERIFY(!w.pads->isVisible());
}

void TestMainWindow::pasteAndOpen()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QGuiApplication::clipboard()->setText(FServer.url("/book/2.html"));
    w.EdUrl->setText("old text");
    w.BtnGo2->click();
    QVERIFY(h.waitComplete(2));
    QCOMPARE(w.windowTitle(), QStringLiteral("第2章"));
}

void TestMainWindow::emptyAddressDoesNothing()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QGuiApplication::clipboard()->clear();
    const int before = FServer.requests().size();
    w.BtnGo2->click(); // an empty clipboard leaves the box empty
    QCOMPARE(w.EdUrl->text(), QString());
    w.BtnGo->click();
    spin(300);
    QCOMPARE(h.completions, 1);
    QCOMPARE(FServer.requests().size(), before);
}

void TestMainWindow::navigationButtonsFollowTheirTags()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QVERIFY(h.type(FServer.url("/book/2.html")));
    w.Button3->click(); // 后退
    QVERIFY(h.waitComplete(4));
    QCOMPARE(w.windowTitle(), QStringLiteral("第1章"));
    w.Button2->click(); // 前进
    QVERIFY(h.waitComplete(5));
    QCOMPARE(w.windowTitle(), QStringLiteral("第2章"));
    const int before = FServer.countRequests("/book/2.html");
    w.Button5->click(); // 刷新
    QVERIFY(h.waitComplete(6));
    QCOMPARE(FServer.countRequests("/book/2.html"), before + 1);
    QObject stranger;
    stranger.setProperty("tag", 7);
    w.BtnNavigate(&stranger);
    spin(300);
    QCOMPARE(h.completions, 6);
}

void TestMainWindow::deferredSaveArmsOnce()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QCOMPARE(w.Timer1Tag, 0);
    QVERIFY(!w.Timer1->isActive());
    QVERIFY(h.type(FServer.url("/book/1.html")));
    QCOMPARE(w.Timer1Tag, -1);
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.Timer1->interval(), 20000);
    spin(300);
    const int remaining = w.Timer1->remainingTime();
    QVERIFY(h.type(FServer.url("/book/2.html"))); // armed already: not restarted
    QVERIFY(w.Timer1->remainingTime() < remaining);
    QVERIFY(!QFileInfo::exists(h.historyFile()));

    w.Timer1Timer();
    QCOMPARE(w.Timer1Tag, 0);
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(QFileInfo(h.historyFile()).size(), 1041);

    QVERIFY(h.type(FServer.url("/untitled.html"))); // no title: nothing recorded, nothing armed
    QCOMPARE(w.windowTitle(), QString());
    QCOMPARE(w.Timer1Tag, 0);
    QCOMPARE(w.FLektoHis->Count(), 1);
}

void TestMainWindow::closingSaves()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/book/3.html")));
    w.close();
    QCOMPARE(QFileInfo(h.historyFile()).size(), 1041);
    h.window.reset();
    TFLekto &again = h.open();
    QCOMPARE(h.bookTitles(), QStringList{"第3章"});
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("第3章")));
    QCOMPARE(again.EdUrl->text(), QStringLiteral("rc:GoStart"));
}

// A folder where the history file belongs: the reader hears of it at start
// and when a save first fails, not every 20 seconds after that; the history
// in memory goes on, and the end of the program reports it once more.
void TestMainWindow::failingSaveIsReportedOnce()
{
    LektoHarness h;
    QVERIFY(QDir().mkpath(h.historyFile()));
    TFLekto &w = h.open();
    QCOMPARE(h.messages.size(), 1);
    QVERIFY(h.type(FServer.url("/book/1.html")));
    w.Timer1Timer();
    QCOMPARE(h.errors.size(), 1);
    QVERIFY(h.errors[0].contains(h.historyFile()));
    QVERIFY(h.type(FServer.url("/book/2.html")));
    QCOMPARE(w.Timer1Tag, -1);
    w.Timer1Timer();
    QCOMPARE(h.errors.size(), 1);
    QCOMPARE(w.FLektoHis->Count(), 1);
    w.close();
    QCOMPARE(h.errors.size(), 2);
}

void TestMainWindow::forumButtonOpensSystemBrowser()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.BtnTieba->click();
    QCOMPARE(h.opened, QStringList{QString::fromLatin1(kForumAddress)});
}

// The real program in a folder of its own: a signal ends it in order, and the
// history file is written (a save replaces the file, so its time changes).
void TestMainWindow::terminationSignalsSave_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestMainWindow::terminationSignalsSave()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString program = dir.filePath("lekto");
    QVERIFY(QFile::copy(QStringLiteral(LEKTO_PROGRAM), program));
    QFile::setPermissions(program, QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    const QString history = dir.filePath("LektoBookmarks.lkt");
    {
        LektoHarness h;
        h.open(false);
        QVERIFY(h.type(FServer.url("/book/1.html")));
        h.window->FLektoHis->SaveHis();
        QVERIFY(QFile::copy(h.historyFile(), history));
        h.window->FormClose();
    }
    QFile old(history);
    QVERIFY(old.open(QIODevice::ReadWrite));
    QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime));
    old.close();
    const QDateTime before = QFileInfo(history).lastModified();

    QProcess p;
    p.setProgram(program);
    p.start();
    QVERIFY(p.waitForStarted());
    spin(4000); // up and showing its start page
    QCOMPARE(p.state(), QProcess::Running);
    ::kill(pid_t(p.processId()), signal);
    QVERIFY(waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QVERIFY(QFileInfo(history).lastModified() > before);
    QCOMPARE(QFileInfo(history).size(), 1041);
}

// Deleting a page hands every script answer still on its way to its
// callback, invalid, inside the delete. The window goes while the page owes
// the answer that completes it: nothing may be recorded or loaded then.
void TestMainWindow::closingWhileThePageOwesAnswers()
{
    LektoHarness h;
    TFLekto &w = h.open(false);
    w.pHalfClick(); // the page's script runs
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.type(FServer.url("/book/1.html")));
    const int completions = h.completions;
    bool gone = false;
    // After the view's own handler, which has just asked the page; the
    // window goes before the page can have answered.
    connect(w.WB1->page(), &QWebEnginePage::loadingChanged, this, [&](const QWebEngineLoadingInfo &info) {
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
            QTimer::singleShot(0, this, [&] {
                h.window.reset();
                gone = true;
            });
    });
    w.WB1->Navigate(FServer.url("/busy.html"));
    QVERIFY(waitUntil([&] { return gone; }, 20000));
    QCOMPARE(h.completions, completions);
    QVERIFY2(h.errors.isEmpty(), qPrintable(h.errors.join(QLatin1Char('\n'))));
}

// A second start on the same data folder asks the running copy to show
// itself and ends, before it starts an engine of its own.
void TestMainWindow::secondStartHandsOver()
{
    QTemporaryDir dir;
    const QString program = programIn(dir);
    QVERIFY(!program.isEmpty());
    TSingleInstance running(dir.path());
    QCOMPARE(running.Start(), TSingleInstance::TStart::First);
    int asked = 0;
    connect(&running, &TSingleInstance::activationRequested, this, [&] { ++asked; });

    QProcess second;
    second.start(program, {});
    QVERIFY(second.waitForStarted());
    QVERIFY(waitUntil([&] { return second.state() == QProcess::NotRunning; }, 15000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(asked, 1);
    QVERIFY(!QFileInfo::exists(dir.filePath("LektoBookmarks.lkt"))); // it wrote nothing
    QVERIFY(running.StillOwner());
}

void TestMainWindow::deadOrHungCopyDoesNotBlock_data()
{
    QTest::addColumn<QString>("holder");
    QTest::newRow("killed: its lock names a process that is gone") << "dead";
    QTest::newRow("hangs: locked, listening, never answering") << "hung";
    QTest::newRow("locked without a socket") << "mute";
}

// A copy that was killed, or that hangs, never keeps a new start out: the
// new copy runs (and saves as usual), and the hung one may not write over it.
void TestMainWindow::deadOrHungCopyDoesNotBlock()
{
    QFETCH(QString, holder);
    QTemporaryDir dir;
    const QString program = programIn(dir);
    QVERIFY(!program.isEmpty());
    const QString lockPath = dir.filePath(QLatin1String(TSingleInstance::kLockName));
    QLockFile held(lockPath); // this process plays the copy that holds the folder
    held.setStaleLockTime(0);
    QLocalServer silent;
    if (holder == QLatin1String("dead")) {
        QProcess gone;
        gone.start(QStringLiteral("true"), {});
        QVERIFY(gone.waitForFinished());
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(gone.processId()) + "\nlekto\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
    } else {
        QVERIFY(held.tryLock(0));
        // Held for a while already: not a copy still starting.
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-600), QFileDevice::FileModificationTime));
        lock.close();
        if (holder == QLatin1String("hung")) {
            // Connections are taken and never answered.
            QLocalServer::removeServer(TSingleInstance::ServerName(dir.path()));
            QVERIFY(silent.listen(TSingleInstance::ServerName(dir.path())));
        }
    }

    QProcess p;
    p.start(program, {});
    QVERIFY(p.waitForStarted());
    // The folder becomes the new copy's (after the hung copy's time to
    // answer), and the new copy stays up.
    const auto lockHolder = [&] {
        qint64 pid = 0;
        QString host, app;
        return QLockFile(lockPath).getLockInfo(&pid, &host, &app) ? pid : 0;
    };
    QVERIFY(waitUntil([&] { return lockHolder() == p.processId(); }, TSingleInstance::kAnswerTimeoutMs + 15000));
    spin(3000);
    QCOMPARE(p.state(), QProcess::Running);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
}

// A copy taken for hung may wake up later: it knows it was replaced, leaves
// the new copy's lock where it is, and its window does not write its older
// lists over the history.
void TestMainWindow::replacedCopyWritesNothingOver()
{
    QTemporaryDir dir;
    const QString lockPath = dir.filePath(QLatin1String(TSingleInstance::kLockName));
    auto old = std::make_unique<TSingleInstance>(dir.path());
    QCOMPARE(old->Start(), TSingleInstance::TStart::First);
    QVERIFY(old->StillOwner());
    QVERIFY(QFile::remove(lockPath)); // as a new start takes it over
    TSingleInstance replacing(dir.path());
    QCOMPARE(replacing.Start(200), TSingleInstance::TStart::First);
    QVERIFY(!old->StillOwner());
    old.reset();
    // The new copy's lock and socket stay.
    QVERIFY(replacing.StillOwner());
    QVERIFY(QFileInfo::exists(lockPath));
    QVERIFY(QFileInfo::exists(TSingleInstance::ServerName(dir.path())));

    LektoHarness h;
    TFLekto &w = h.open(false);
    QVERIFY(h.type(FServer.url("/book/2.html")));
    w.MayWriteHistory = [] { return false; };
    w.FormClose();
    QVERIFY(!QFileInfo::exists(h.historyFile()));
    QCOMPARE(h.errors.size(), 1);
    QVERIFY2(h.errors.constFirst().contains(QStringLiteral("另一个 Lekto")), qPrintable(h.errors.constFirst()));
}

// A start while the running copy is ending (saving, or waiting for a print)
// is not told "shown" by a window that is closing: it waits, then runs.
void TestMainWindow::startDuringTheEndWaitsForIt()
{
    QTemporaryDir dir;
    const QString program = programIn(dir);
    QVERIFY(!program.isEmpty());
    auto ending = std::make_unique<TSingleInstance>(dir.path());
    QCOMPARE(ending->Start(), TSingleInstance::TStart::First);
    int asked = 0;
    connect(ending.get(), &TSingleInstance::activationRequested, this, [&] { ++asked; });
    ending->SetEnding();
    QProcess p;
    p.start(program, {});
    QVERIFY(p.waitForStarted());
    spin(3000);
    QCOMPARE(p.state(), QProcess::Running); // waiting, not handed over
    QCOMPARE(asked, 0);
    ending.reset(); // the old copy has gone
    const QString lockPath = dir.filePath(QLatin1String(TSingleInstance::kLockName));
    const auto lockHolder = [&] {
        qint64 pid = 0;
        QString host, app;
        return QLockFile(lockPath).getLockInfo(&pid, &host, &app) ? pid : 0;
    };
    QVERIFY(waitUntil([&] { return lockHolder() == p.processId(); }, 20000));
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(waitUntil([&] { return p.state() == QProcess::NotRunning; }, 30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
}

LEKTO_WEB_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
