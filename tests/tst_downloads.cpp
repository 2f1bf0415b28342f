// Downloads on the real engine: the name the reader is offered, a book saved
// whole, cancelled and failed downloads that leave nothing, files that are
// not replaced unasked, and where the saved file went.
#include "downloadfixture.h"
#include "downloads.h"
#include "lektoharness.h"

#include <QtCore/QStandardPaths>
#include <QtWidgets/QLabel>

using namespace DownloadFixture;

class TestDownloads : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;
    QByteArray FBook;

private slots:
    void initTestCase()
    {
        FBook = gbkBook();
        routeSite(FServer, FBook);
    }

    void namesAsTheServerMeantThem_data();
    void namesAsTheServerMeantThem();
    void savesABookWholeFromALinkInEitherMode_data();
    void savesABookWholeFromALinkInEitherMode();
    void cancelledLeavesNothing_data();
    void cancelledLeavesNothing();
    void failedLeavesNothingAndSaysWhy_data();
    void failedLeavesNothingAndSaysWhy();
    void existingFileReplacedOnlyWhenAgreed_data();
    void existingFileReplacedOnlyWhenAgreed();
    void wholeButUnnamedIsKeptAndSaid();
    void savedFileSaysItsFolder_data();
    void savedFileSaysItsFolder();
};

void TestDownloads::namesAsTheServerMeantThem_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("disposition");
    QTest::addColumn<QString>("expected");

    const QByteArray gbkName = QByteArray::fromHex("cae9c3fb"); // 书名
    QTest::newRow("raw GBK") << QByteArray("/n1") << attachment(gbkName + ".txt") << "书名.txt";
    QTest::newRow("raw UTF-8") << QByteArray("/n2") << attachment("\xe4\xb9\xa6\xe5\x90\x8d.txt") << "书名.txt";
    QTest::newRow("percent-encoded UTF-8") << QByteArray("/n3") << QByteArray("attachment; filename=%E4%B9%A6%E5%90%8D.txt") << "书名.txt";
    QTest::newRow("RFC 5987 UTF-8 over a fallback")
        << QByteArray("/n4") << QByteArray("attachment; filename=\"fallback.txt\"; filename*=UTF-8''%E4%B9%A6%E5%90%8D.txt") << "书名.txt";
    QTest::newRow("RFC 5987 GBK") << QByteArray("/n5") << QByteArray("attachment; filename*=GBK''%CA%E9%C3%FB.txt") << "书名.txt";
    QTest::newRow("RFC 2047 GBK") << QByteArray("/n6") << "attachment; filename=\"=?GBK?B?" + (gbkName + ".txt").toBase64() + "?=\"" << "书名.txt";
    QTest::newRow("no header: the address's name") << QByteArray("/down/%CA%E9%C3%FB.txt") << QByteArray() << "书名.txt";
    QTest::newRow("no folders from the server") << QByteArray("/n8") << attachment("../../.profile") << "profile";
}

// The name offered in the save dialog, in the reader's Downloads folder.
void TestDownloads::namesAsTheServerMeantThem()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, disposition);
    QFETCH(QString, expected);
    Response r = file("x", disposition);
    r.contentType = "application/octet-stream"; // not shown by the engine, with or without a header
    FServer.route(path, r);

    LektoHarness h;
    ScriptedSave save;
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url(QString::fromLatin1(path)));
    QVERIFY(waitUntil([&] { return !save.proposed.isEmpty(); }, 15000));
    const QFileInfo proposed(save.proposed.constFirst());
    QCOMPARE(proposed.fileName(), expected);
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    QCOMPARE(proposed.absolutePath(), QFileInfo(downloads).isDir() ? downloads : QDir::homePath());
    spin(300);
    QCOMPARE(save.proposed.size(), 1);
    QVERIFY(filesIn(save.folder.path()).isEmpty());
    QVERIFY(h.errors.isEmpty());
}

void TestDownloads::savesABookWholeFromALinkInEitherMode_data()
{
    QTest::addColumn<bool>("pure");
    QTest::addColumn<QString>("page");
    QTest::newRow("pure mode") << true << "/index.html";
    QTest::newRow("half-pure mode") << false << "/index.html";
    QTest::newRow("pure mode, <a download>") << true << "/index-attribute.html";
    QTest::newRow("half-pure mode, <a download>") << false << "/index-attribute.html";
    QTest::newRow("pure mode, target=_blank") << true << "/index-blank.html";
    QTest::newRow("half-pure mode, target=_blank") << false << "/index-blank.html";
}

// A real click on "TXT下载": the 3 MB book is saved byte for byte under its
// Chinese name, with its progress in the hint line, and the page stays.
void TestDownloads::savesABookWholeFromALinkInEitherMode()
{
    QFETCH(bool, pure);
    QFETCH(QString, page);
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName;
    TFLekto &w = h.open();
    w.resize(1100, 700); // a hint line wide enough for the whole name
    if (!pure) {
        w.pHalfClick();
        QVERIFY(h.waitComplete(2));
    }
    QCOMPARE(w.IsPureMode(), pure);
    QVERIFY(h.type(FServer.url(page)));
    const int completions = h.completions;
    const int requests = FServer.countRequests("/book.txt");
    const QString address = w.EdUrl->text();

    QVERIFY(h.mouseClick("#txt", Qt::LeftButton, false));
    QStringList hints;
    QVERIFY(waitUntil([&] {
        hints << w.pHint->Caption();
        return w.pHint->Caption().startsWith(QStringLiteral("下载完成"));
    }, 30000));
    QCOMPARE(save.proposed.size(), 1);
    QCOMPARE(QFileInfo(save.proposed.constFirst()).fileName(), kBookName);
    QCOMPARE(FServer.countRequests("/book.txt"), requests + 1);

    // Progress while it came, with a way to cancel shown beside it.
    const auto progress = std::find_if(hints.cbegin(), hints.cend(), [](const QString &t) {
        return t.startsWith(QStringLiteral("正在下载 斗破苍穹.txt ")) && t.endsWith(QStringLiteral("%…"));
    });
    QVERIFY2(progress != hints.cend(), qPrintable(hints.join(QLatin1Char('|'))));
    QCOMPARE(w.pHint->Caption(), QStringLiteral("下载完成：斗破苍穹.txt（位于 %1）").arg(save.folder.path()));
    QVERIFY(!w.BtnCancelDownload->isVisible());

    // Whole, under its own name, and nothing else beside it.
    QCOMPARE(filesIn(save.folder.path()), QStringList{kBookName});
    const QByteArray saved = readAll(save.path(kBookName));
    QCOMPARE(saved.size(), FBook.size());
    QVERIFY(saved == FBook);
    QFile fresh(save.path(QStringLiteral("fresh")));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(save.path(kBookName)).permissions(), fresh.permissions()); // not left private
    fresh.remove();

    // The page the link was on is still the page shown, and nothing was recorded of the file.
    QCOMPARE(w.windowTitle(), QStringLiteral("斗破苍穹 TXT下载"));
    QCOMPARE(w.EdUrl->text(), address);
    QCOMPARE(h.completions, completions);
    QVERIFY(!h.bookTitles().join(QString()).contains(QStringLiteral("book.txt")));
    QVERIFY2(h.errors.isEmpty(), qPrintable(h.errors.join(QLatin1Char('\n'))));
}

void TestDownloads::cancelledLeavesNothing_data()
{
    QTest::addColumn<bool>("inTheDialog");
    QTest::newRow("at the save dialog") << true;
    QTest::newRow("with the hint line's button, half way") << false;
}

void TestDownloads::cancelledLeavesNothing()
{
    QFETCH(bool, inTheDialog);
    LektoHarness h;
    ScriptedSave save;
    if (!inTheDialog)
        save.answers << kBookName;
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url("/slow.txt"));
    QVERIFY(waitUntil([&] { return !save.proposed.isEmpty(); }, 15000));
    if (!inTheDialog) {
        // Under way: the first part has arrived and is on disk under a name of its own.
        QVERIFY(waitUntil([&] { return w.BtnCancelDownload->isVisible() && !filesIn(save.folder.path()).isEmpty(); }, 10000));
        QVERIFY(!QFileInfo::exists(save.path(kBookName)));
        // In the restored window's narrow hint line the name gives way; the figures stay in sight.
        QVERIFY2(waitUntil([&] { return w.pHint->Caption().endsWith(QStringLiteral("%…")); }, 5000), qPrintable(w.pHint->Caption()));
        const QString hint = w.pHint->Caption();
        QVERIFY2(hint.startsWith(QStringLiteral("正在下载 ")), qPrintable(hint));
        QVERIFY(w.pHint->fontMetrics().horizontalAdvance(hint) < w.BtnCancelDownload->x());
        QTest::mouseClick(w.BtnCancelDownload, Qt::LeftButton);
        QVERIFY(waitUntil([&] { return w.pHint->Caption() == QStringLiteral("已取消下载：斗破苍穹.txt"); }, 10000));
        QVERIFY(!w.BtnCancelDownload->isVisible());
    }
    QVERIFY(waitUntil([&] { return filesIn(save.folder.path()).isEmpty(); }, 5000));
    spin(500);
    QVERIFY2(filesIn(save.folder.path()).isEmpty(), qPrintable(filesIn(save.folder.path()).join(QLatin1Char(' '))));
    QVERIFY(h.errors.isEmpty());
    QCOMPARE(save.proposed.size(), 1);
    QVERIFY(w.FDownloads->Running().isEmpty());
}

void TestDownloads::failedLeavesNothingAndSaysWhy_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<QString>("why");
    // The connection breaks after 100,000 bytes of 3 MB, every time: the
    // engine tries again by itself, into the same part file and without
    // asking the reader again, and then gives up.
    QTest::newRow("connection broken") << "/cut.txt" << kBookName << "服务器中途出错";
    // The folder chosen is gone by the time the file would be made.
    QTest::newRow("folder gone") << "/small.txt" << "没有/" + kBookName << "不存在";
}

// The reader is told why, and neither the final name nor a part file is left.
void TestDownloads::failedLeavesNothingAndSaysWhy()
{
    QFETCH(QString, path);
    QFETCH(QString, saveAs);
    QFETCH(QString, why);
    LektoHarness h;
    ScriptedSave save;
    save.answers << saveAs;
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url(path));
    QVERIFY(waitUntil([&] { return !h.errors.isEmpty(); }, 30000));
    const QString error = h.errors.constFirst();
    QVERIFY2(error.contains(QStringLiteral("“斗破苍穹.txt”没有下载成功：")) && error.contains(why), qPrintable(error));
    QCOMPARE(w.pHint->Caption(), QStringLiteral("下载失败：斗破苍穹.txt"));
    spin(1500);
    QVERIFY2(filesIn(save.folder.path()).isEmpty(), qPrintable(filesIn(save.folder.path()).join(QLatin1Char(' '))));
    QCOMPARE(save.proposed.size(), 1);
    QCOMPARE(h.errors.size(), 1);
    QVERIFY(w.FDownloads->Running().isEmpty());
    QVERIFY(!w.BtnCancelDownload->isVisible());
}

void TestDownloads::existingFileReplacedOnlyWhenAgreed_data()
{
    QTest::addColumn<QStringList>("dialogAnswers");
    QTest::addColumn<QList<bool>>("replaceAnswers");
    QTest::addColumn<QString>("savedAs"); // empty: nothing saved
    QTest::addColumn<QByteArray>("oldContent");

    QTest::newRow("No, then cancel") << QStringList{kBookName, "<cancel>"} << QList<bool>{false} << QString() << QByteArray("old text");
    QTest::newRow("No, then another name") << QStringList{kBookName, "另存.txt"} << QList<bool>{false} << "另存.txt" << QByteArray("old text");
    QTest::newRow("Yes") << QStringList{kBookName} << QList<bool>{true} << kBookName << QByteArray("new text");
}

void TestDownloads::existingFileReplacedOnlyWhenAgreed()
{
    QFETCH(QStringList, dialogAnswers);
    QFETCH(QList<bool>, replaceAnswers);
    QFETCH(QString, savedAs);
    QFETCH(QByteArray, oldContent);
    LektoHarness h;
    ScriptedSave save;
    save.answers = dialogAnswers;
    h.yesNoAnswers = replaceAnswers;
    {
        QFile old(save.path(kBookName));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old text");
    }
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url("/small.txt"));
    QVERIFY(waitUntil([&] { return save.proposed.size() == dialogAnswers.size(); }, 15000));
    QCOMPARE(h.questions, QStringList{QStringLiteral("警告|“斗破苍穹.txt”已存在。\n要替换它吗？")});
    // Asked again, the dialog offers the name that was taken, to be changed.
    if (dialogAnswers.size() > 1)
        QCOMPARE(save.proposed.at(1), save.path(kBookName));
    if (!savedAs.isEmpty())
        QVERIFY(waitUntil([&] { return w.pHint->Caption().startsWith(QStringLiteral("下载完成：") + savedAs + QStringLiteral("（位于 ")); }, 15000));
    else
        spin(1000);
    QCOMPARE(readAll(save.path(kBookName)), oldContent);
    QStringList expected{kBookName};
    if (!savedAs.isEmpty() && savedAs != kBookName) {
        expected << savedAs;
        QCOMPARE(readAll(save.path(savedAs)), QByteArray("new text"));
    }
    expected.sort();
    QStringList files = filesIn(save.folder.path());
    files.sort();
    QCOMPARE(files, expected);
    QVERIFY(h.errors.isEmpty());
}

// The book arrived whole but cannot take its name (the file the reader agreed
// to replace became a folder meanwhile): it is kept under the part file's
// name, and the reader is told so, not that the download failed.
void TestDownloads::wholeButUnnamedIsKeptAndSaid()
{
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName;
    h.yesNoAnswers = {true};
    {
        QFile old(save.path(kBookName));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old text");
    }
    TFLekto &w = h.open();
    w.WB1->Navigate(FServer.url("/book.txt"));
    QVERIFY(waitUntil([&] { return w.BtnCancelDownload->isVisible(); }, 15000));
    QVERIFY(QFile::remove(save.path(kBookName)));
    QVERIFY(QDir(save.folder.path()).mkdir(kBookName));
    QVERIFY(waitUntil([&] { return !h.errors.isEmpty(); }, 30000));
    QVERIFY2(w.pHint->Caption().startsWith(QStringLiteral("下载完成，未能保存为：斗破苍穹.txt（位于 ")), qPrintable(w.pHint->Caption()));
    const QString error = h.errors.constFirst();
    QVERIFY2(error.startsWith(QStringLiteral("下载已完成，但无法保存为")) && error.contains(QStringLiteral("文件现在是")), qPrintable(error));
    QVERIFY2(!error.contains(QStringLiteral("没有下载成功")), qPrintable(error));
    QStringList parts = filesIn(save.folder.path()).filter(QStringLiteral(".part"));
    QCOMPARE(parts.size(), 1);
    QVERIFY(error.contains(parts.constFirst()));
    QVERIFY(readAll(save.path(parts.constFirst())) == FBook);
}

void TestDownloads::savedFileSaysItsFolder_data()
{
    QTest::addColumn<bool>("fullScreen");
    QTest::newRow("in the hint line") << false;
    QTest::newRow("in the note of full-screen reading") << true;
}

// Where the file went: the word on a finished download names the folder, and
// its button opens the folder in the desktop's file manager.
void TestDownloads::savedFileSaysItsFolder()
{
    QFETCH(bool, fullScreen);
    LektoHarness h;
    ScriptedSave save;
    save.answers << kBookName;
    TFLekto &w = h.open();
    w.resize(1100, 700);
    QVERIFY(h.type(FServer.url("/index-small.html")));
    if (fullScreen) {
        w.BtnFullClick();
        QVERIFY(waitUntil([&] { return w.IsFullScreen(); }, 5000));
        spin(300);
    }
    QVERIFY(h.mouseClick("#txt", Qt::LeftButton, false));
    const QString said = QStringLiteral("下载完成：斗破苍穹.txt（位于 %1）").arg(QDir::toNativeSeparators(save.folder.path()));
    QWidget *where = fullScreen ? static_cast<QWidget *>(w.FDownloadNote) : w.pHint;
    const auto shown = [&] { return fullScreen ? w.LblDownloadNote->text() : w.pHint->Caption(); };
    QVERIFY2(waitUntil([&] { return shown() == said; }, 15000), qPrintable(shown()));
    QCOMPARE(filesIn(save.folder.path()), QStringList{kBookName});
    QPushButton *open = buttonIn(where, QStringLiteral("打开文件夹"));
    QVERIFY(open && open->isVisible());
    QTest::mouseClick(open, Qt::LeftButton);
    QCOMPARE(h.opened, QStringList{QUrl::fromLocalFile(save.folder.path()).toString()});
    if (fullScreen)
        return;

    // The pointer passing over a link and leaving it (as the view reports
    // it): the line says the link, then where the file went again.
    const QString link = FServer.url("/index.html");
    w.WB1->OnStatusTextChange(w.WB1, link);
    QCOMPARE(w.pHint->Caption(), link);
    QVERIFY(!open->isVisible());
    w.WB1->OnStatusTextChange(w.WB1, QString());
    QCOMPARE(w.pHint->Caption(), said);
    QVERIFY(open->isVisible());

    // The word stays with the page it was said on: the next page goes
    // without it, link passed over or not.
    QVERIFY(h.type(link));
    QCOMPARE(w.pHint->Caption(), QString());
    QVERIFY(!open->isVisible());
    w.WB1->OnStatusTextChange(w.WB1, link);
    w.WB1->OnStatusTextChange(w.WB1, QString());
    QCOMPARE(w.pHint->Caption(), QString());
    QVERIFY(!open->isVisible());
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
