#include "lektoharness.h"
#include "testhttpserver.h"

#include <QtCore/QDirIterator>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QLineEdit>

class TestStartPage : public QObject
{
    Q_OBJECT

    TestHttpServer FServer;
    // The chapter's address on the site's one script; the second book names
    // the chapter first.
    static QString onebook(int book, int chapter)
    {
        return book == 101 ? QStringLiteral("/s/onebook.php?novelid=%1&chapterid=%2").arg(book).arg(chapter)
                           : QStringLiteral("/s/onebook.php?chapterid=%2&novelid=%1").arg(book).arg(chapter);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(QStringLiteral(LEKTO_FIXTURES)).isDir(), "the saved real pages are missing: " LEKTO_FIXTURES);
        for (int i = 1; i <= 3; ++i)
            FServer.route("/novel/book/" + QByteArray::number(i) + ".html",
                          "<title>第" + QByteArray::number(i) + "章 风起</title><p>正文</p>");
        FServer.route("/other/a.html", "<title>Other book</title>");
        FServer.route("/spaces.html", "<title>   </title>");
        FServer.route("/evil/title.html", "<title>&lt;script&gt;alert(1)&lt;/script&gt;&lt;a href=\"rc:del0\"&gt;x</title>");
        FServer.serveDirectory(QStringLiteral(LEKTO_FIXTURES));
        // One script serves every book of the site.
        for (const auto &[book, chapter] : {std::pair{101, 4}, {101, 5}, {202, 1}, {202, 2}})
            FServer.route(onebook(book, chapter).toLatin1(), QStringLiteral("<title>书%1 第%2章</title><p>正文</p>")
                                                                  .arg(book).arg(chapter).toUtf8());
    }

    void readingAndManagingABook();
    void commandsFromVisitedSitesDoNothing_data();
    void commandsFromVisitedSitesDoNothing();
    void typedCommands();
    void clearNeedsTwoYes_data();
    void clearNeedsTwoYes();
    void helpPageAndFattening();
    void titlesGoInAsText();
    void booksOfOneScriptOpenTheirChapters();
    void realPagesAreRecordedUnderTheirBook_data();
    void realPagesAreRecordedUnderTheirBook();
    void startPageShowsTwentyThousandEntries();
    void realNoteBoxFromTheStartPage();
    void realNoteBoxCancelChangesNothing_data();
    void realNoteBoxCancelChangesNothing();
};

void TestStartPage::readingAndManagingABook()
{
    LektoHarness h;
    TFLekto &w = h.open();
    for (int i = 1; i <= 3; ++i)
        QVERIFY(h.type(FServer.url(QStringLiteral("/novel/book/%1.html").arg(i))));
    QCOMPARE(h.bookTitles(), QStringList{"第3章 风起"});
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->PageName), QStringLiteral("3.html"));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->BookPath), QStringLiteral("127.0.0.1:%1/novel/book").arg(FServer.port()));

    w.BtnStart->click();
    QVERIFY(h.waitComplete(5));
    QVERIFY(w.pads->isVisible());
    QCOMPARE(w.EdUrl->text(), QStringLiteral("rc:GoStart"));
    QCOMPARE(w.windowTitle(), QStringLiteral("Lekto"));
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("第3章 风起")));

    QVERIFY(h.clickLink("rc:yangfei0"));
    QCOMPARE(h.fatteningTitles(), QStringList{"第3章 风起"});
    QCOMPARE(w.Timer1Tag, -1);
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("养肥中：")));
    QVERIFY(h.clickLink("rc:shuqian0"));
    QCOMPARE(h.bookTitles(), QStringList{"第3章 风起"});
    QVERIFY(h.clickLink("rc:yiyue0"));
    QCOMPARE(w.FLektoHis->Bookmarks()[0]->IsRead, 0);
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("【未阅】")));
    h.noteAnswers << QStringLiteral("我的书");
    QVERIFY(h.clickLink("rc:jianzhu0"));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->Note), QStringLiteral("我的书"));

    // Quit and start again: everything as it was left.
    w.close();
    h.window.reset();
    TFLekto &again = h.open();
    QCOMPARE(h.bookTitles(), QStringList{"第3章 风起"});
    QCOMPARE(fieldText(again.FLektoHis->Bookmarks()[0]->Note), QStringLiteral("我的书"));
    QCOMPARE(again.FLektoHis->Bookmarks()[0]->IsRead, 0);
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("我的书")));

    QVERIFY(h.clickLink("rc:Del0"));
    QCOMPARE(again.FLektoHis->Count(), 0);
    QCOMPARE(h.js("document.querySelector('h2').textContent").toString(), QStringLiteral("使用说明"));
    QVERIFY(h.errors.isEmpty());
}

void TestStartPage::commandsFromVisitedSitesDoNothing_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("halfPure");
    QTest::addColumn<QString>("click"); // element to click, if any
    const QByteArray link = "<title>h</title><a id=go href='rc:del1'>x</a>";
    QTest::newRow("link, pure mode") << link << false << "go";
    QTest::newRow("link, half-pure mode") << link << true << "go";
    QTest::newRow("link with target") << QByteArray("<title>h</title><a id=go href='rc:del1' target=_blank>x</a>") << true << "go";
    QTest::newRow("script") << QByteArray("<title>h</title><script>location.href='rc:del1'</script>") << true << "";
    QTest::newRow("meta refresh") << QByteArray("<title>h</title><meta http-equiv=refresh content='0;url=rc:del1'>") << false << "";
    QTest::newRow("form") << QByteArray("<title>h</title><form id=f action='rc:del1'></form><script>f.submit()</script>") << true << "";
    QTest::newRow("image") << QByteArray("<title>h</title><img src='rc:del1'>") << true << "";
    QTest::newRow("frame") << QByteArray("<title>h</title><iframe src='rc:del1'></iframe>") << true << "";
    QTest::newRow("fetch") << QByteArray("<title>h</title><script>fetch('rc:del1')</script>") << true << "";
    QTest::newRow("pop-up, pure mode") << QByteArray("<title>h</title><a id=go href='rc:del1' target=_blank>x</a>") << false << "go";
    QTest::newRow("window.open") << QByteArray("<title>h</title><script>window.open('rc:del1')</script>") << true << "";
    QTest::newRow("redirect") << QByteArray() << false << "";
}

void TestStartPage::commandsFromVisitedSitesDoNothing()
{
    QFETCH(QByteArray, html);
    QFETCH(bool, halfPure);
    QFETCH(QString, click);
    const QByteArray path = "/hostile/" + QByteArray(QTest::currentDataTag()).toPercentEncoding() + ".html";
    if (html.isEmpty())
        FServer.route(path, TestHttpServer::Response{302, "text/html", {}, {{"Location", "rc:del1"}}, false});
    else
        FServer.route(path, html);

    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/other/a.html")));
    if (halfPure) {
        w.pHalfClick();
        QVERIFY(h.waitComplete(3));
    }
    w.EdUrl->setText(FServer.url(QString::fromLatin1(path)));
    w.BtnGo->click();
    spin(1200);
    if (!click.isEmpty()) {
        h.js(QStringLiteral("document.getElementById('%1').click()").arg(click));
        spin(1200);
    }
    // rc:del1 would delete "Other book", or fail on a list of one.
    QVERIFY(h.bookTitles().contains("Other book"));
    QVERIFY(h.errors.isEmpty());
    QVERIFY(h.questions.isEmpty());
    QVERIFY(!w.WB1->ShowsOwnDocument());
}

void TestStartPage::typedCommands()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/other/a.html")));
    QVERIFY(h.type(FServer.url("/novel/book/1.html")));
    QCOMPARE(h.bookTitles(), (QStringList{"第1章 风起", "Other book"}));

    QVERIFY(h.type("RC:GOSTART"));
    QVERIFY(w.WB1->ShowsOwnDocument());
    QVERIFY(h.type("rc:del1"));
    QCOMPARE(h.bookTitles(), QStringList{"第1章 风起"});

    // Failures: nothing changes, nothing is armed, the view stays.
    w.Timer1Tag = 0;
    w.Timer1->stop();
    const int before = h.completions;
    for (const char *bad : {"rc:del5x", "rc:", "rc:del", "rc:nonsense"}) {
        w.EdUrl->setText(QString::fromLatin1(bad));
        w.BtnGo->click();
    }
    spin(500);
    QVERIFY(h.errors.isEmpty());
    w.EdUrl->setText("rc:del99");
    w.BtnGo->click();
    QVERIFY(waitUntil([&] { return !h.errors.isEmpty(); }));
    w.EdUrl->setText("rc:yangfei2147483648");
    w.BtnGo->click();
    QVERIFY(waitUntil([&] { return h.errors.size() == 2; }));
    spin(300);
    QCOMPARE(h.completions, before);
    QCOMPARE(w.Timer1Tag, 0);
    QCOMPARE(h.bookTitles(), QStringList{"第1章 风起"});
    QVERIFY(w.WB1->ShowsOwnDocument());

    // Only web addresses reach the system's browser, with their own letters.
    for (const char *open : {"rc:Open_HTTP://Example.COM/Book/A.html", "rc:open_file:///etc/passwd",
                             "rc:open_javascript:alert(1)", "rc:OPEN_https://example.com/x"}) {
        w.EdUrl->setText(QString::fromLatin1(open));
        w.BtnGo->click();
        spin(300); // one at a time: a newer load supersedes one the engine has not begun
    }
    QVERIFY(waitUntil([&] { return h.opened.size() == 2; }));
    spin(300);
    QCOMPARE(h.opened, (QStringList{"HTTP://Example.COM/Book/A.html", "https://example.com/x"}));
}

void TestStartPage::clearNeedsTwoYes_data()
{
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("cleared");
    QTest::newRow("no") << QList<bool>{false} << 1 << false;
    QTest::newRow("yes, then no") << QList<bool>{true, false} << 2 << false;
    QTest::newRow("yes twice") << QList<bool>{true, true} << 2 << true;
}

void TestStartPage::clearNeedsTwoYes()
{
    QFETCH(QList<bool>, answers);
    QFETCH(int, questions);
    QFETCH(bool, cleared);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/other/a.html")));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(3));
    w.Timer1Tag = 0;
    w.Timer1->stop();
    h.yesNoAnswers = answers;
    h.js("document.querySelector('a[href=\"rc:ClearBm\"]').click()");
    QVERIFY(waitUntil([&] { return h.questions.size() == questions; }));
    spin(500);
    QCOMPARE(h.questions.first(), QStringLiteral("警告|确定删除全部书签？"));
    if (questions > 1)
        QCOMPARE(h.questions[1], QStringLiteral("警告|删除后无法回复！真的确定？"));
    QCOMPARE(w.FLektoHis->Count() == 0, cleared);
    QCOMPARE(w.Timer1Tag, cleared ? -1 : 0);
    QCOMPARE(h.completions, cleared ? 4 : 3);
    if (cleared)
        QVERIFY(h.js("document.body.innerHTML").toString().indexOf("rc:GoStart") < 0); // help page without a way back
}

void TestStartPage::helpPageAndFattening()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/other/a.html")));
    QVERIFY(h.type("rc:ReadMe"));
    QVERIFY(!w.pads->isVisible());
    QVERIFY(h.js("document.body.innerHTML").toString().contains("<a href=\"rc:GoStart\">返回</a>"));
    QVERIFY(h.clickLink("rc:GoStart"));
    QVERIFY(h.clickLink("rc:yangfei0"));
    // Only a fattening list: the start page lists it, the help page has no way back.
    QVERIFY(h.js("document.body.textContent").toString().contains("Other book"));
    QVERIFY(h.clickLink("rc:ReadMe"));
    QVERIFY(!h.js("document.body.innerHTML").toString().contains("rc:GoStart"));

    // Switching mode on the help page shows the start page.
    w.pHalfClick();
    QVERIFY(waitUntil([&] { return h.js("document.body.textContent").toString().contains("养肥中"); }));
}

void TestStartPage::titlesGoInAsText()
{
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/spaces.html")));
    QVERIFY(h.type(FServer.url("/evil/title.html")));
    QCOMPARE(h.bookTitles(), (QStringList{"<script>alert(1)</script><a href=\"rc:del0\">x", "   "}));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(4));
    QCOMPARE(h.js("document.querySelectorAll('script').length").toInt(), 0);
    QCOMPARE(h.js("document.querySelectorAll('a[href=\"rc:del0\"]').length").toInt(), 0);
    QVERIFY(h.js("document.body.textContent").toString().contains("<script>alert(1)</script>"));
}

// Two books served by one script and read in turn are two entries, and the
// start page opens each at its own chapter, at its very address.
void TestStartPage::booksOfOneScriptOpenTheirChapters()
{
    LektoHarness h;
    TFLekto &w = h.open();
    for (const auto &[book, chapter] : {std::pair{101, 4}, {202, 1}, {101, 5}, {202, 2}})
        QVERIFY(h.type(FServer.url(onebook(book, chapter))));
    QCOMPARE(h.bookTitles(), (QStringList{"书202 第2章", "书101 第5章"}));
    for (const auto &[book, chapter] : {std::pair{101, 5}, {202, 2}}) {
        const int before = h.completions;
        w.BtnStart->click();
        QVERIFY(h.waitComplete(before + 1));
        const QString address = FServer.url(onebook(book, chapter));
        QVERIFY(h.mouseClickLink(address));
        QCOMPARE(w.EdUrl->text(), address);
        QCOMPARE(w.windowTitle(), QStringLiteral("书%1 第%2章").arg(book).arg(chapter));
    }
    QCOMPARE(h.bookTitles(), (QStringList{"书202 第2章", "书101 第5章"}));
    QVERIFY(h.errors.isEmpty());
}

void TestStartPage::realPagesAreRecordedUnderTheirBook_data()
{
    QTest::addColumn<QString>("file");
    for (const char *folder : {"novel-zh", "novel-en"}) {
        QDirIterator it(QStringLiteral(LEKTO_FIXTURES "/") + QLatin1String(folder), {"*.html"}, QDir::Files);
        QStringList files;
        while (it.hasNext())
            files << it.next();
        files.sort();
        for (const auto &f : files) {
            const QString rel = QString::fromLatin1(folder) + QLatin1Char('/') + QFileInfo(f).fileName();
            QTest::newRow(qPrintable(rel)) << rel;
        }
    }
}

void TestStartPage::realPagesAreRecordedUnderTheirBook()
{
    QFETCH(QString, file);
    LektoHarness h;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url(QLatin1Char('/') + file)));
    const QString seen = h.js("document.title").toString();
    QVERIFY(!seen.isEmpty());
    QCOMPARE(w.windowTitle(), seen);
    QCOMPARE(w.FLektoHis->Count(), 1);
    const THisRecord &r = *w.FLektoHis->Bookmarks()[0];
    QCOMPARE(fieldText(r.BookPath), QStringLiteral("127.0.0.1:%1/%2").arg(FServer.port()).arg(file.section('/', 0, 0)));
    QCOMPARE(fieldText(r.PageName), file.section('/', 1));
    // Stored as GB18030 and read back: the title as the reader saw it (cut to 255 bytes).
    QVERIFY(seen.startsWith(fieldText(r.Title)));
    // A page whose declared charset is wrong shows replacement characters to
    // the reader too; the store adds none of its own.
    QCOMPARE(fieldText(r.Title).contains(QChar::ReplacementCharacter), seen.contains(QChar::ReplacementCharacter));
    QVERIFY(fieldText(r.Title).size() >= std::min<qsizetype>(seen.size(), 60));
}

void TestStartPage::startPageShowsTwentyThousandEntries()
{
    LektoHarness h;
    {
        TLektoHistory seed(h.historyFile());
        for (int i = 0; i < 20000; ++i)
            seed.AddHis(QStringLiteral("http://site/book%1/chapter.html").arg(i), QStringLiteral("第%1章").arg(i));
        for (int i = 0; i < 500; ++i)
            seed.ToBm2(0);
        seed.SaveHis();
    }
    h.open(false);
    QCOMPARE(h.js("document.querySelectorAll('tr').length").toInt(), 20000);
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("第0章")));
    QVERIFY(h.js("document.body.innerHTML").toString().contains("rc:L2Del499"));
}

// The program's own input box, modal, opened from a click on the start page.
void TestStartPage::realNoteBoxFromTheStartPage()
{
    const auto realInput = Dialogs::inputText;
    LektoHarness h;
    Dialogs::inputText = realInput;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/other/a.html")));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(3));
    QString caption, label, proposed;
    QTimer::singleShot(500, [&] {
        if (auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            caption = box->windowTitle();
            label = box->labelText();
            proposed = box->textValue();
            box->setTextValue(QStringLiteral("真的好看"));
            box->accept();
        }
    });
    QVERIFY(h.clickLink("rc:jianzhu0"));
    QCOMPARE(caption, QStringLiteral("简单备注"));
    QCOMPARE(label, QStringLiteral("输入简注名称："));
    QCOMPARE(proposed, QStringLiteral("Other book"));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->Note), QStringLiteral("真的好看"));
    QVERIFY(h.js("document.body.textContent").toString().contains(QStringLiteral("真的好看")));
}

void TestStartPage::realNoteBoxCancelChangesNothing_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("取消") << false;
    QTest::newRow("Esc") << true;
}

// Cancel is no answer: a book without a note keeps none (the box proposes
// the title, which must not become the note), and the box is wide enough
// to show a chapter title.
void TestStartPage::realNoteBoxCancelChangesNothing()
{
    QFETCH(bool, escape);
    const auto realInput = Dialogs::inputText;
    LektoHarness h;
    Dialogs::inputText = realInput;
    TFLekto &w = h.open();
    QVERIFY(h.type(FServer.url("/novel/book/1.html")));
    w.BtnStart->click();
    QVERIFY(h.waitComplete(3));
    int width = 0;
    QString proposed;
    QTimer::singleShot(500, [&] {
        if (auto *box = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            width = box->width();
            proposed = box->textValue();
            box->setTextValue(QStringLiteral("不该保存"));
            if (escape) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                for (auto *b : box->findChildren<QPushButton *>())
                    if (b->text().contains(QStringLiteral("Cancel")) || b->text().contains(QStringLiteral("取消")))
                        b->click();
            }
        }
    });
    QVERIFY(h.clickLink("rc:jianzhu0"));
    QCOMPARE(proposed, QStringLiteral("第1章 风起"));
    QVERIFY2(width >= 480, qPrintable(QString::number(width)));
    QCOMPARE(fieldText(w.FLektoHis->Bookmarks()[0]->Note), QString());
    QCOMPARE(w.Timer1Tag, -1); // the command ran; it changed nothing
}

LEKTO_WEB_TEST_MAIN(TestStartPage)
#include "tst_startpage.moc"
