// Downloads the reader did not ask for, and the reader's hold on those that
// run: hidden views and windows a page opens by itself never download, a
// page clicking its link in a loop gets one question, closing asks first,
// 取消 names what it cancels, and full-screen reading shows the download.
#include "downloadfixture.h"
#include "downloads.h"
#include "lektoharness.h"

#include <QtCore/QStandardPaths>
#include <QtWidgets/QLabel>

using namespace DownloadFixture;

class TestDownloadGuards : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;

private slots:
    void initTestCase() { routeSite(FServer, gbkBook()); }

    void fullScreenReadingShowsTheDownload();
    void closingAsksWhileDownloading();
    void hiddenViewsNeverDownload();
    void pageFloodGetsOneQuestion();
    void scriptWindowNeverDownloads();
    void cancelNamesWhatItCancels();
};

// The hint line is hidden in full-screen reading: a note over the page says
// what the download does, with its own way to cancel, and goes when the
// reader leaves full-screen reading.
void TestDownloadGuards::fullScreenReadingShowsTheDownload()
{
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName;
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url("/slow.txt"));
    QVERIFY(waitUntil([&] { return w.BtnCancelDownload->isVisible(); }, 15000));
    QVERIFY(!w.FDownloadNote->isVisible());
    w.BtnFullClick();
    QVERIFY(waitUntil([&] { return w.FDownloadNote->isVisible(); }, 5000));
    QVERIFY2(w.LblDownloadNote->text().startsWith(QStringLiteral("正在下载 斗破苍穹.txt")), qPrintable(w.LblDownloadNote->text()));
    QVERIFY(w.BtnCancelDownloadNote->isVisible());
    // Over the page, at its bottom right, and the keyboard stays with the page.
    const QRect note = w.FDownloadNote->geometry();
    QVERIFY(w.WB1->geometry().contains(note));
    QVERIFY(note.bottom() > w.WB1->geometry().center().y() && note.left() > w.WB1->geometry().center().x());
    QTest::mouseClick(w.BtnCancelDownloadNote, Qt::LeftButton);
    QVERIFY(waitUntil([&] { return w.LblDownloadNote->text() == QStringLiteral("已取消下载：斗破苍穹.txt"); }, 10000));
    QVERIFY(!w.BtnCancelDownloadNote->isVisible());
    QVERIFY(w.FDownloadNote->isVisible());
    QVERIFY(waitUntil([&] { return filesIn(save.folder.path()).isEmpty(); }, 5000));
    w.BtnFullClick();
    QVERIFY(waitUntil([&] { return !w.IsFullScreen(); }, 5000));
    QVERIFY(!w.FDownloadNote->isVisible());
    QCOMPARE(w.pHint->Caption(), QStringLiteral("已取消下载：斗破苍穹.txt"));
    QVERIFY(h.errors.isEmpty());
}

// Closing the window gives up what is still coming: the reader is asked
// first. An end the session or a signal asks for is not held up by a question.
void TestDownloadGuards::closingAsksWhileDownloading()
{
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName;
    TFLekto &w = h.open();
    QVERIFY(w.MayClose());
    QVERIFY(h.questions.isEmpty());
    w.WB1->Navigate(FServer.url("/slow.txt"));
    QVERIFY(waitUntil([&] { return w.BtnCancelDownload->isVisible(); }, 15000));
    h.yesNoAnswers = {false, true};
    QVERIFY(!w.MayClose());
    QVERIFY(w.MayClose());
    QCOMPARE(h.questions.size(), 2);
    QCOMPARE(h.questions.constFirst(), QStringLiteral("警告|还有 1 个文件正在下载。\n退出将取消下载，确定要退出吗？"));
    QVERIFY(w.close());
    QCOMPARE(h.questions.size(), 2);
}

// A hidden view sent to a file, or a pop-up a page opens by itself that turns
// out to be a file: no dialog, no file.
void TestDownloadGuards::hiddenViewsNeverDownload()
{
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName << kBookName << kBookName;
    TFLekto &w = h.open();
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    const QStringList before = filesIn(downloads);
    const int requests = FServer.countRequests("/small.txt");
    w.WBx->Navigate(FServer.url("/small.txt"));
    w.WbY->Navigate(FServer.url("/small.txt?again"));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/small.txt") == requests + 2; }, 15000));
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.type(FServer.url("/popup-file.html")));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/small.txt") == requests + 3; }, 15000));
    spin(1500);
    QVERIFY(save.proposed.isEmpty());
    QVERIFY(filesIn(save.folder.path()).isEmpty());
    QCOMPARE(filesIn(downloads), before);
    QVERIFY(w.FDownloads->Running().isEmpty());
    QVERIFY(h.errors.isEmpty());
}

// One click of the reader's, then a script that clicks a download link in a
// loop: one question, no dialogs stacked inside dialogs, nothing more after.
void TestDownloadGuards::pageFloodGetsOneQuestion()
{
    LektoHarness h;
    ScriptedSave save;
    int open = 0, deepest = 0;
    Dialogs::saveFileName = [&](const QString &, const QString &path) -> std::optional<QString> {
        save.proposed << path;
        deepest = std::max(deepest, ++open);
        spin(300); // the reader reads the dialog while the page goes on
        --open;
        return std::nullopt;
    };
    TFLekto &w = h.open();
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.type(FServer.url("/flood.html")));
    QVERIFY(h.mouseClick("#go", Qt::LeftButton, false));
    QVERIFY(waitUntil([&] { return !save.proposed.isEmpty(); }, 15000));
    QVERIFY(waitUntil([&] { return open == 0; }, 15000));
    spin(3500); // the loop is through, long after the question
    QCOMPARE(save.proposed.size(), 1);
    QCOMPARE(deepest, 1);
    QVERIFY2(w.pHint->Caption().startsWith(QStringLiteral("已阻止网页自行下载")), qPrintable(w.pHint->Caption()));
    QVERIFY(filesIn(save.folder.path()).isEmpty());
    QVERIFY(w.FDownloads->Running().isEmpty());
}

// The engine calls a window.open in a click handler "user initiated": an
// advert opening itself on the reader's click on the text downloads nothing
// from the window it is swallowed into; the link the reader clicks does.
void TestDownloadGuards::scriptWindowNeverDownloads()
{
    LektoHarness h;
    ScriptedSave save;
    TFLekto &w = h.open();
    w.pHalfClick();
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.type(FServer.url("/ad-on-click.html")));
    const int ads = FServer.countRequests("/small.txt?ad");
    QVERIFY(h.mouseClick("#text", Qt::LeftButton, false));
    QVERIFY(waitUntil([&] { return FServer.countRequests("/small.txt?ad") == ads + 1; }, 15000));
    spin(1500);
    QVERIFY(save.proposed.isEmpty());
    QVERIFY(h.mouseClick("#dl", Qt::LeftButton, false));
    QVERIFY(waitUntil([&] { return save.proposed.size() == 1; }, 15000));
}

// Two downloads: when one ends, the line goes on to name the one still
// running, and its 取消 says, and cancels, that one.
void TestDownloadGuards::cancelNamesWhatItCancels()
{
    LektoHarness h;
    ScriptedSave save;
    save.answers << QStringLiteral("慢.txt") << QStringLiteral("快.txt");
    TFLekto &w = h.open();
    w.resize(1100, 700);
    w.WB1->Navigate(FServer.url("/slow.txt"));
    QVERIFY(waitUntil([&] { return w.BtnCancelDownload->isVisible(); }, 15000));
    w.WB1->Navigate(FServer.url("/small.txt?second"));
    QVERIFY(waitUntil([&] { return w.pHint->Caption().startsWith(QStringLiteral("下载完成：快.txt")); }, 15000));
    QVERIFY2(w.pHint->Caption().contains(QStringLiteral("慢.txt")), qPrintable(w.pHint->Caption()));
    QVERIFY(w.BtnCancelDownload->isVisible());
    QCOMPARE(w.BtnCancelDownload->toolTip(), QStringLiteral("取消下载：慢.txt"));
    w.BtnCancelDownload->click();
    QVERIFY(waitUntil([&] { return w.FDownloads->Running().isEmpty(); }, 15000));
    QCOMPARE(w.pHint->Caption(), QStringLiteral("已取消下载：慢.txt"));
    QCOMPARE(filesIn(save.folder.path()), QStringList{QStringLiteral("快.txt")});
}

LEKTO_WEB_TEST_MAIN(TestDownloadGuards)
#include "tst_downloadguards.moc"
