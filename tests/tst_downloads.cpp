// Downloads on the real engine: the name the reader is offered, a book saved
// whole, cancelled and failed downloads that leave nothing, files that are
// not replaced unasked, both reading modes, and hidden views that never
// download.
#include "downloads.h"
#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtCore/QDir>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QLabel>

namespace {

using Response = TestHttpServer::Response;

// Content-Disposition as a Chinese site sends it: the name in raw GBK bytes.
QByteArray attachment(const QByteArray &nameBytes)
{
    return "attachment; filename=\"" + nameBytes + "\"";
}

const QByteArray kBookNameGbk = QByteArray::fromHex("b6b7c6c6b2d4f1b72e747874"); // 斗破苍穹.txt
const QString kBookName = QStringLiteral("斗破苍穹.txt");

// A novel of about 3 MB in GBK, no two lines alike.
QByteArray gbkBook()
{
    // "第N章 萧炎的斗气又一次突破了。" with N in ASCII digits.
    const QByteArray chapter = QByteArray::fromHex("b5da");
    const QByteArray rest = QByteArray::fromHex("d5c220cff4d1d7b5c4b6b7c6f8d3d6d2bbb4cecdbbc6c6c1cba1a3");
    QByteArray book;
    for (int n = 0; book.size() < 3 * 1024 * 1024; ++n)
        book += chapter + QByteArray::number(n) + rest + "\r\n";
    return book;
}

Response file(const QByteArray &body, const QByteArray &disposition, int trickleMs = 0)
{
    Response r;
    r.contentType = "text/plain; charset=gbk";
    r.body = body;
    if (!disposition.isEmpty())
        r.headers.append({"Content-Disposition", disposition});
    r.trickleMs = trickleMs;
    return r;
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The save dialog, scripted: it records what it proposed and answers from a
// queue, a file name in the test's folder or "<cancel>".
struct ScriptedSave {
    QTemporaryDir folder;
    QStringList proposed;
    QStringList answers;
    decltype(Dialogs::saveFileName) FSaved = Dialogs::saveFileName;

    ScriptedSave()
    {
        Dialogs::saveFileName = [this](const QString &, const QString &path) -> std::optional<QString> {
            proposed << path;
            const QString a = answers.isEmpty() ? QStringLiteral("<cancel>") : answers.takeFirst();
            if (a == QLatin1String("<cancel>"))
                return std::nullopt;
            return folder.filePath(a);
        };
    }
    ~ScriptedSave() { Dialogs::saveFileName = FSaved; }
    QString path(const QString &name) const { return folder.filePath(name); }
};

// A button the reader sees, by its caption.
QPushButton *buttonIn(QWidget *in, const QString &caption)
{
    for (QPushButton *b : in->findChildren<QPushButton *>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

} // namespace

class TestDownloads : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;
    QByteArray FBook;

    // A page with the download link, as a site's "TXT下载".
    void routeLinkPage(const QByteArray &path, const QByteArray &target, const QByteArray &attributes = {})
    {
        FServer.route(path, "<title>斗破苍穹 TXT下载</title><p>全本下载：</p>"
                            "<p><a id=txt href='" + target + "' " + attributes + " style='font-size:40px'>TXT下载</a></p>"
                            "<img src='/cover.gif'>");
    }

private slots:
    void initTestCase()
    {
        FBook = gbkBook();
        FServer.route("/book.txt", file(FBook, attachment(kBookNameGbk), 1500));
        FServer.route("/slow.txt", file(FBook, attachment(kBookNameGbk), 60000));
        Response cut = file(FBook, attachment(kBookNameGbk));
        cut.cutAfter = 100000;
        FServer.route("/cut.txt", cut);
        FServer.route("/small.txt", file("new text", attachment(kBookNameGbk)));
        routeLinkPage("/index.html", "/book.txt");
        routeLinkPage("/index-small.html", "/small.txt", "download");
        // A link that asks for a download itself: no navigation at all.
        routeLinkPage("/index-attribute.html", "/book.txt", "download");
        // A link that opens in a new window: swallowed by a hidden view in
        // half-pure mode, and still the reader's file.
        routeLinkPage("/index-blank.html", "/book.txt", "target=_blank");
        // A page that opens a file in a pop-up by itself.
        FServer.route("/popup-file.html", "<title>pop</title><p>text</p><script>window.open('/small.txt?popup')</script>");
        // After one click of the reader's, the page clicks its download link
        // again and again.
        FServer.route("/flood.html", "<title>flood</title><a id=dl download href='/small.txt?flood'>下载</a>"
                                     "<p><button id=go style='font-size:40px'>开始</button></p><script>"
                                     "document.getElementById('go').onclick=function(){var n=0;var t=setInterval(function(){"
                                     "document.getElementById('dl').click();if(++n>=100)clearInterval(t);},30);};</script>");
        // An advert that opens a window on the reader's first click anywhere.
        FServer.route("/ad-on-click.html", "<title>ad</title><p id=text style='font-size:40px'>正文正文正文</p>"
                                           "<p><a id=dl target=_blank href='/small.txt?link' style='font-size:40px'>TXT下载</a></p>"
                                           "<script>document.addEventListener('click',function(){window.open('/small.txt?ad');},"
                                           "{once:true});</script>");
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
    void fullScreenReadingShowsTheDownload();
    void savedFileSaysItsFolder_data();
    void savedFileSaysItsFolder();
    void closingAsksWhileDownloading();
    void hiddenViewsNeverDownload();
    void pageFloodGetsOneQuestion();
    void scriptWindowNeverDownloads();
    void cancelNamesWhatItCancels();
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

// The hint line is hidden in full-screen reading: a note over the page says
// what the download does, with its own way to cancel, and goes when the
// reader leaves full-screen reading.
void TestDownloads::fullScreenReadingShowsTheDownload()
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

// Closing the window gives up what is still coming: the reader is asked
// first. An end the session or a signal asks for is not held up by a question.
void TestDownloads::closingAsksWhileDownloading()
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
void TestDownloads::hiddenViewsNeverDownload()
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
void TestDownloads::pageFloodGetsOneQuestion()
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
void TestDownloads::scriptWindowNeverDownloads()
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
void TestDownloads::cancelNamesWhatItCancels()
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

LEKTO_WEB_TEST_MAIN(TestDownloads)
#include "tst_downloads.moc"
