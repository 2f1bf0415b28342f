// The reading view on the real engine: the saved chapter pages at their own
// addresses, and small pages made for each case.
#include "chaptersite.h"

#include <QtCore/QProcess>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QToolButton>

#include "readingpanel.h"

using namespace ChapterSite;

namespace {

// A story line of some length, numbered so each is told apart.
QByteArray storyLine(int n)
{
    return "第" + QByteArray::number(n) + "段：夜色渐深，窗外的雨还没有停，他把书页轻轻翻过，灯下的字一行一行地亮起来。";
}

QByteArray siteChrome()
{
    return "<div class=nav><a href='/'>首页</a> <a href='/top.html'>排行榜</a> <a href='/full.html'>全本小说</a></div>"
           "<div class=tool><span>选择背景颜色：</span><a href='#'>绿</a><a href='#'>白</a><span>选择字体大小：</span>"
           "<a href='#'>大</a><a href='#'>小</a> <a href='/mark'>加入书签</a></div>";
}

// A chapter in <br>-separated lines, with the site's ad lines among them.
QByteArray brChapter(int n, const QByteArray &extraLines = {})
{
    QByteArray body = "<html><head><title>第" + QByteArray::number(n) + "章 夜雨_某书_某某小说网</title>"
                      "<style>body{font-size:12px;background:#ff0}</style></head><body>" + siteChrome()
                      + "<div class=bookname><h1>第" + QByteArray::number(n) + "章 夜雨</h1>"
                      "<a href='" + QByteArray::number(n - 1) + ".html'>上一章</a> ← <a href='index.html'>章节目录</a> → "
                      "<a href='" + QByteArray::number(n + 1) + ".html'>下一章</a></div><div id=content>";
    for (int i = 1; i <= 12; ++i) {
        body += "&nbsp;&nbsp;&nbsp;&nbsp;" + storyLine(i) + "<br><br>";
        if (i == 3)
            body += "&nbsp;&nbsp;&nbsp;&nbsp;请记住本站域名：read.example.com<br><br>";
        if (i == 6)
            body += "手机用户请浏览m.read.example.com阅读，更优质的阅读体验。<br><br>";
        if (i == 9)
            body += extraLines;
    }
    body += "</div><div class=hot><h3>热门推荐</h3><a href='/b/9.html'>别的书</a></div></body></html>";
    return body;
}

// A chapter in paragraphs, inside wrappers.
QByteArray pChapter()
{
    QByteArray body = "<title>第二章 旧信 - 英文也行</title>" + siteChrome()
                      + "<main><article><header><h2 class=chapter-title>第二章 旧信</h2></header>"
                        "<div class=chapter-body><div class=inner>";
    for (int i = 1; i <= 10; ++i)
        body += "<p>　　" + storyLine(i) + "</p>";
    body += "</div></div></article><nav><a href='1.html'>上一章</a> <a href='./'>目录</a> <a href='3.html'>下一章</a></nav></main>";
    return body;
}

// One page of two of a chapter sent in pages.
QByteArray pagedChapter(int page)
{
    const QByteArray p = QByteArray::number(page);
    QByteArray body = "<title>第五章 远行（" + p + "/2）</title><h1>第五章 远行（" + p + "/2）</h1><div id=chaptercontent>";
    for (int i = 1; i <= 8; ++i)
        body += storyLine(page * 100 + i) + "<br>";
    if (page == 1)
        body += "本章未完，请点击下一页继续阅读<br>";
    body += "</div>";
    body += page == 1 ? "<a href='4.html'>上一章</a> <a href='index.html'>目录</a> <a href='5_2.html'>下一页</a>"
                      : "<a href='5.html'>上一页</a> <a href='index.html'>目录</a> <a href='6.html'>下一章</a>";
    return body;
}

QByteArray indexPage()
{
    QByteArray body = "<title>某书最新章节列表</title><h1>某书</h1><p>作者：某某　简介：一本书。</p><dl>";
    for (int i = 1; i <= 40; ++i)
        body += "<dd><a href='" + QByteArray::number(i) + ".html'>第" + QByteArray::number(i) + "章 夜雨之后的很长的章节名字</a></dd>";
    body += "</dl><a href='index_2.html'>下一页</a>";
    return body;
}

const char *const kReader = "document.getElementById('lekto-reader')";

} // namespace

class TestReadingView : public ChapterSiteTest
{
    Q_OBJECT

private slots:
    void initTestCase();
    void savedChapters_data();
    void savedChapters();
    void savedIndexPagesLeftAlone_data();
    void savedIndexPagesLeftAlone();
    void ownPages_data();
    void ownPages();
    void userRulesAndBadRule();
    void keysFromThePage();
    void everythingKeepsWorking();
    void printsTheView();
    void settingsKeptAcrossRestart();
    void settingsPanelFromHelpAndCorner();
    void halfPureMode();

private:
    // The view's title, paragraphs and bar links ([text=href]) as shown.
    struct Shown {
        bool present = false;
        QString title;
        QStringList paragraphs, bar;
    };
    Shown shown(LektoHarness &h)
    {
        const QVariantList v =
            h.js(QStringLiteral("(function(){var a=%1;if(!a)return [];var t=a.querySelector('h1');"
                                "return [t?t.textContent:'',[].map.call(a.querySelectorAll('.lekto-text p'),function(p){return p.textContent;}),"
                                "[].map.call(a.querySelectorAll('.lekto-bottom a'),function(x){return x.textContent+'='+x.href;})];})()")
                     .arg(QLatin1String(kReader)))
                .toList();
        if (v.size() != 3)
            return {};
        return {true, v[0].toString(), v[1].toStringList(), v[2].toStringList()};
    }
    // Opens the window with the view on, the rules file written first.
    TFLekto &openReading(LektoHarness &h, const QByteArray &rules = {})
    {
        if (!rules.isNull()) {
            QFile f(h.dir.filePath(QString::fromLatin1(Reading::TRules::kFileName)));
            f.open(QIODevice::WriteOnly);
            f.write(rules);
        }
        TFLekto &w = h.open();
        w.resize(1280, 800);
        if (!w.FReading.enabled)
            w.ToggleReadingView();
        return w;
    }
};

void TestReadingView::initTestCase()
{
    serveSites();
    // The saved page has no charset of its own; its site says UTF-8.
    FProxy.route("http://book.zongheng.com/chapter/672340/37010929.html",
                 TestHttpServer::Response{200, "text/html; charset=utf-8", fixture("novel-zh/zongheng-jianlai-ch14.html"), {}, false});
    for (int n = 1; n <= 3; ++n)
        FProxy.route("http://read.example.com/br/" + QByteArray::number(n) + ".html", brChapter(n));
    FProxy.route("http://read.example.com/p/2.html", pChapter());
    FProxy.route("http://read.example.com/paged/5.html", pagedChapter(1));
    FProxy.route("http://read.example.com/paged/5_2.html", pagedChapter(2));
    FProxy.route("http://read.example.com/br/index.html", indexPage());
    FProxy.route("http://read.example.com/short/1.html",
                 "<title>短</title><div id=content>只有一句话。</div><a href='2.html'>下一章</a>");
    FProxy.route("http://read.example.com/rules/1.html",
                 brChapter(1, "本站首发，转载必究<br><br>　　他笑了【求月票，求推荐】。<br><br>"));
}

void TestReadingView::savedChapters_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("paragraphs");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QStringList>("absent"); // the site's furniture
    const Chapter *c = kChapters;
    QTest::newRow("biquge (GBK, <br> lines)") << c[0].address << "第四章 队友（求收藏！！！）" << 89 << "“主神殿开启！请轮回者做好准备！”"
                                              << "【所有轮回者确认！开始本次任务！】" << QStringList{"投推荐票", "加入书签", "笔趣阁"};
    QTest::newRow("999wx (gb2312, text beside the site's rows)")
        << c[1].address << "22.第22章 活下去的理由" << 20 << "正午，一棵香樟树孤零零地站在蜿蜒的小路旁"
        << "至少胡义为自己重新找到了一个应该活下去的理由。" << QStringList{"选择背景颜色", "选择字体大小", "加入书签", "报告错误", "温馨提示"};
    QTest::newRow("zongheng (UTF-8, <p>)") << c[2].address << "第十四章 五月初五" << 71 << "年轻道人已经想好一大堆措辞"
                                          << "走在泥瓶巷里的少年，好像想起了谁，一下子就泪流满面了。" << QStringList{"捧场", "月票", "剑来最新章节"};
    QTest::newRow("royalroad (English, nested blocks)") << c[3].address << "ONE HUNDRED TWO: What kind of wordchain?" << 222 << "102"
                                                       << "I’ll do all manner of favors for you, baby brother." << QStringList{"Report Chapter", "Fiction Page"};
    QTest::newRow("ao3 (English)") << c[4].address << "Chapter 1: Greetings of a Cryptid" << 103 << "Izuku was struggling to understand"
                                  << "dealing with him again in another week." << QStringList{"Chapter Text", "Kudos", "Work Search"};
    QTest::newRow("hostednovel (English, footnotes)") << c[5].address << "LGS - Chapter 1 - The Black Ox Speaks" << 70
                                                     << "Under the pitch-black sky" << "2 chapters a day." << QStringList{"Sign in", "Bookmark"};
}

void TestReadingView::savedChapters()
{
    QFETCH(QString, address);
    QFETCH(QString, title);
    QFETCH(int, paragraphs);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(QStringList, absent);
    LektoHarness h;
    TFLekto &w = openReading(h);
    QVERIFY(h.type(address));
    const Shown s = shown(h);
    QVERIFY2(s.present, qPrintable(address));
    QCOMPARE(s.title, title);
    QCOMPARE(s.paragraphs.size(), paragraphs);
    QVERIFY2(s.paragraphs.first().startsWith(first), qPrintable(s.paragraphs.first()));
    QVERIFY2(s.paragraphs.last().contains(last), qPrintable(s.paragraphs.last()));
    // The bars lead where the page's own links do, and where the keys turn.
    const Chapter &c = *std::find_if(std::begin(kChapters), std::end(kChapters), [&](const Chapter &x) { return address == x.address; });
    const QString bar = s.bar.join('\n');
    QVERIFY2(bar.contains(QStringLiteral("=") + c.next), qPrintable(bar));
    if (*c.previous)
        QVERIFY2(bar.contains(QStringLiteral("=") + c.previous), qPrintable(bar));
    // What the reader sees is the view alone.
    const QString seen = h.js("document.body.innerText").toString();
    for (const QString &word : absent)
        QVERIFY2(!seen.contains(word), qPrintable(word));
    // The page is still the site's page: its address and its own title.
    QCOMPARE(w.EdUrl->text(), address);
    QCOMPARE(w.windowTitle(), h.js("document.title").toString());
    QVERIFY(w.WB1->Doc2() && w.WB1->Doc2()->chapter.next == QUrl(c.next));
    QVERIFY(w.BtnReading->isVisible());
    QVERIFY(h.errors.isEmpty());
}

void TestReadingView::savedIndexPagesLeftAlone_data()
{
    QTest::addColumn<QString>("address");
    for (const Chapter &c : kChapters)
        if (!*c.next && !*c.previous)
            QTest::newRow(c.file) << c.address;
}

void TestReadingView::savedIndexPagesLeftAlone()
{
    QFETCH(QString, address);
    LektoHarness h;
    TFLekto &w = openReading(h);
    QVERIFY(h.type(address));
    QVERIFY(!h.js(QStringLiteral("!!%1").arg(QLatin1String(kReader))).toBool());
    QVERIFY(!w.WB1->ShowsReadingView());
    QVERIFY(!w.BtnReading->isVisible());
    QVERIFY(!w.pHint->Caption().contains(QStringLiteral("没有找到")));
}

void TestReadingView::ownPages_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("view");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<QStringList>("labels"); // the bottom bar's links
    QTest::addColumn<QString>("hint");
    QStringList twelve;
    for (int i = 1; i <= 12; ++i)
        twelve << QString::fromUtf8(storyLine(i));
    QStringList ten = twelve.mid(0, 10);
    QStringList paged;
    for (int i = 1; i <= 8; ++i)
        paged << QString::fromUtf8(storyLine(100 + i));
    QTest::newRow("<br> lines, ad lines removed") << "http://read.example.com/br/2.html" << true << "第2章 夜雨" << twelve
                                                  << QStringList{"上一章", "目录", "下一章"} << "";
    QTest::newRow("<p> in wrappers") << "http://read.example.com/p/2.html" << true << "第二章 旧信" << ten
                                     << QStringList{"上一章", "目录", "下一章"} << "";
    QTest::newRow("in pages") << "http://read.example.com/paged/5.html" << true << "第五章 远行（1/2）" << paged
                              << QStringList{"上一章", "目录", "下一页"} << "";
    QTest::newRow("index page") << "http://read.example.com/br/index.html" << false << "" << QStringList() << QStringList() << "";
    QTest::newRow("text not found") << "http://read.example.com/short/1.html" << false << "" << QStringList() << QStringList()
                                    << "阅读视图：没有找到本章的正文，网页按原样显示。";
}

void TestReadingView::ownPages()
{
    QFETCH(QString, address);
    QFETCH(bool, view);
    QFETCH(QString, title);
    QFETCH(QStringList, paragraphs);
    QFETCH(QStringList, labels);
    QFETCH(QString, hint);
    LektoHarness h;
    TFLekto &w = openReading(h);
    const QString before = h.js("1").toString();
    QVERIFY(h.type(address));
    const Shown s = shown(h);
    QCOMPARE(s.present, view);
    QCOMPARE(w.WB1->ShowsReadingView(), view);
    if (view) {
        QCOMPARE(s.title, title);
        QCOMPARE(s.paragraphs, paragraphs);
        QStringList got;
        for (const QString &b : s.bar)
            got << b.section('=', 0, 0);
        QCOMPARE(got, labels);
    } else {
        // The page as it is, its own text shown.
        QVERIFY(!h.js("document.body.innerText").toString().isEmpty());
    }
    if (!hint.isEmpty())
        QCOMPARE(w.pHint->Caption(), hint);
    QVERIFY(h.errors.isEmpty());
    QVERIFY(h.messages.isEmpty());
}

void TestReadingView::userRulesAndBadRule()
{
    LektoHarness h;
    TFLekto &w = openReading(h, "# 我的规则\n本站首发，转载必究\n/([坏的/\n/【求月票[^】]*】/\n");
    Q_UNUSED(w);
    QVERIFY(h.type("http://read.example.com/rules/1.html"));
    QVERIFY(waitUntil([&] { return !h.messages.isEmpty(); }, 5000));
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].startsWith(QStringLiteral("警告|")), qPrintable(h.messages[0]));
    QVERIFY2(h.messages[0].contains(QStringLiteral("第3行 /([坏的/")), qPrintable(h.messages[0]));
    const Shown s = shown(h);
    QVERIFY(s.present);
    QCOMPARE(s.paragraphs.size(), 13);
    QVERIFY(!s.paragraphs.join('\n').contains(QStringLiteral("本站首发")));
    QVERIFY(s.paragraphs.contains(QStringLiteral("他笑了。")));
    // The file is the reader's: left as written.
    QFile f(h.dir.filePath(QString::fromLatin1(Reading::TRules::kFileName)));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("/([坏的/"));
    f.close();
    // Said once, not at every page.
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    spin(200);
    QCOMPARE(h.messages.size(), 1);
    // The file mended, the next page takes it as it is now.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("/第1段：[^，]*，/\n");
    f.close();
    QVERIFY(h.type("http://read.example.com/rules/1.html"));
    const Shown mended = shown(h);
    QVERIFY(mended.paragraphs.first().startsWith(QStringLiteral("窗外的雨还没有停")));
    QVERIFY(mended.paragraphs.join('\n').contains(QStringLiteral("本站首发")));
    QCOMPARE(h.messages.size(), 1);
}

void TestReadingView::keysFromThePage()
{
    LektoHarness h;
    TFLekto &w = h.open();
    w.resize(1280, 800);
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    QVERIFY(!shown(h).present);
    const QString site = h.js("getComputedStyle(document.body).backgroundColor").toString();
    press(w, Qt::Key_F9);
    QVERIFY(waitUntil([&] { return w.WB1->ShowsReadingView(); }, 5000));
    QVERIFY(w.FReading.enabled);
    QCOMPARE(shown(h).paragraphs.size(), 12);
    QCOMPARE(h.js("getComputedStyle(document.body).backgroundColor").toString(), QStringLiteral("rgb(255, 255, 255)"));
    const QStringList themes{"rgb(204, 232, 207)", "rgb(244, 236, 216)", "rgb(28, 30, 33)", "rgb(255, 255, 255)"};
    for (const QString &colour : themes) {
        press(w, Qt::Key_F9, Qt::ShiftModifier);
        QVERIFY(waitUntil([&] { return h.js("getComputedStyle(document.body).backgroundColor").toString() == colour; }, 5000));
    }
    // Off: the site's page as it was, its style sheet back.
    press(w, Qt::Key_F9);
    QVERIFY(waitUntil([&] { return !shown(h).present; }, 5000));
    QVERIFY(!w.FReading.enabled);
    QVERIFY(!w.WB1->ShowsReadingView());
    QCOMPARE(h.js("getComputedStyle(document.body).backgroundColor").toString(), site);
    QVERIFY(h.js("document.body.innerText").toString().contains(QStringLiteral("选择字体大小")));
    QVERIFY(h.errors.isEmpty());
}

void TestReadingView::everythingKeepsWorking()
{
    LektoHarness h;
    TFLekto &w = openReading(h);
    w.resize(900, 500);
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    QVERIFY(w.WB1->ShowsReadingView());
    // History: the chapter's own address and title.
    QCOMPARE(h.bookTitles(), QStringList{"第1章 夜雨_某书_某某小说网"});
    // Find: the view's text, once per line (the site's hidden copy not counted).
    int active = -1, count = -1;
    w.WB1->FindText(QStringLiteral("第7段"), false, [&](int a, int c) { active = a; count = c; });
    QVERIFY(waitUntil([&] { return count >= 0; }, 5000));
    QCOMPARE(count, 1);
    w.WB1->StopFinding();
    // Zoom scales the view.
    const double width = h.js(QStringLiteral("%1.getBoundingClientRect().width").arg(QLatin1String(kReader))).toDouble();
    w._ZoomProc(150);
    QVERIFY(waitUntil([&] { return h.js("window.innerWidth").toInt() < 700; }, 5000));
    QVERIFY(shown(h).present);
    w._ZoomProc(100);
    QVERIFY(waitUntil([&] {
        return qAbs(h.js(QStringLiteral("%1.getBoundingClientRect().width").arg(QLatin1String(kReader))).toDouble() - width) < 1;
    }, 5000));
    // → turns to the next chapter, which shows in the view as well.
    h.js("window.scrollTo(0, document.documentElement.scrollHeight / 2)");
    QVERIFY(waitUntil([&] { return w.WB1->ScrollRatio() > 0.2; }, 5000));
    const int place = h.js("window.scrollY").toInt();
    int before = h.completions;
    press(w, Qt::Key_Right);
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(w.EdUrl->text(), QStringLiteral("http://read.example.com/br/2.html"));
    QCOMPARE(shown(h).title, QStringLiteral("第2章 夜雨"));
    QCOMPARE(h.js("window.scrollY").toInt(), 0);
    // 后退 goes back to the chapter, in the view, at the place left.
    before = h.completions;
    w.WB1->GoBack();
    QVERIFY(h.waitComplete(before + 1));
    QCOMPARE(shown(h).title, QStringLiteral("第1章 夜雨"));
    QVERIFY(place > 0);
    QVERIFY(waitUntil([&] { return h.js("window.scrollY").toInt() == place; }, 5000));
    // Full screen shows it too.
    w.BtnFullClick();
    QVERIFY(w.IsFullScreen());
    QVERIFY(shown(h).present);
    w.LeaveFullScreen();
    QVERIFY(h.errors.isEmpty());
}

void TestReadingView::printsTheView()
{
    QTemporaryDir folder;
    auto saved = Dialogs::printDialog;
    const QString pdf = folder.filePath(QStringLiteral("章节.pdf"));
    Dialogs::printDialog = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    auto restore = qScopeGuard([&] { Dialogs::printDialog = saved; });
    LektoHarness h;
    TFLekto &w = openReading(h);
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    w.PrintPage();
    QVERIFY(waitUntil([&] { return !w.IsPrinting() && QFileInfo(pdf).size() > 0; }, 30000));
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("第12段")), qPrintable(text.left(300)));
    QVERIFY(!text.contains(QStringLiteral("选择字体大小")));
    QVERIFY(!text.contains(QStringLiteral("请记住本站域名")));
}

void TestReadingView::settingsKeptAcrossRestart()
{
    LektoHarness h;
    {
        TFLekto &w = openReading(h);
        w.NextReadingTheme();
        w.NextReadingTheme();
        w.NextReadingTheme();
        Reading::TStyle style = w.FReading.style;
        style.widthChars = 44;
        style.lineHeight = 2.2;
        w.SetReadingStyle(style);
        w.close();
        h.window.reset();
    }
    TFLekto &w = h.open();
    QVERIFY(w.FReading.enabled);
    QCOMPARE(w.FReading.style.theme, Reading::TTheme::Night);
    QCOMPARE(w.FReading.style.widthChars, 44);
    QCOMPARE(w.FReading.style.lineHeight, 2.2);
    // Our own start page is dark at night.
    QVERIFY(h.js("getComputedStyle(document.body).filter").toString().contains(QStringLiteral("invert")));
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    QVERIFY(w.WB1->ShowsReadingView());
    QCOMPARE(h.js("getComputedStyle(document.body).backgroundColor").toString(), QStringLiteral("rgb(28, 30, 33)"));
    QCOMPARE(h.js(QStringLiteral("getComputedStyle(%1).lineHeight").arg(QLatin1String(kReader))).toString(), QStringLiteral("44px"));
    QSettings ini(h.dir.filePath(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("reading/width")).toInt(), 44);
}

// The panel opens from the help page's link and from the view's corner;
// each change shows in the view at once.
void TestReadingView::settingsPanelFromHelpAndCorner()
{
    LektoHarness h;
    TFLekto &w = openReading(h);
    w.ShowReadMe();
    QVERIFY(h.waitComplete(2));
    QVERIFY(h.js("(function(){var a=document.querySelector('a[href=\"rc:ReadingSettings\"]');if(!a)return false;a.click();return true;})()").toBool());
    QVERIFY(waitUntil([&] { return w.FReadingPanel && w.FReadingPanel->isVisible(); }, 5000));
    w.FReadingPanel->close();
    QVERIFY(h.type("http://read.example.com/br/1.html"));
    QVERIFY(w.BtnReading->isVisible());
    QTest::mouseClick(w.BtnReading, Qt::LeftButton);
    QVERIFY(w.FReadingPanel->isVisible());
    w.FReadingPanel->CbTheme->setCurrentIndex(1);
    QVERIFY(waitUntil([&] { return h.js("getComputedStyle(document.body).backgroundColor").toString() == "rgb(204, 232, 207)"; }, 5000));
    w.FReadingPanel->SeWidth->setValue(24);
    w.FReadingPanel->SeSize->setValue(20);
    QVERIFY(waitUntil([&] {
        return h.js(QStringLiteral("getComputedStyle(%1).maxWidth").arg(QLatin1String(kReader))).toString() == "480px";
    }, 5000));
    QCOMPARE(w.FReading.style.theme, Reading::TTheme::EyeCare);
    // Turned off from the panel, as F9 does.
    w.FReadingPanel->CkEnabled->setChecked(false);
    QVERIFY(waitUntil([&] { return !shown(h).present; }, 5000));
    QVERIFY(!w.FReading.enabled);
    QVERIFY(h.errors.isEmpty());
}

// The page's own scripts run in half-pure mode; the view is the same.
void TestReadingView::halfPureMode()
{
    LektoHarness h;
    TFLekto &w = openReading(h);
    const int before = h.completions;
    w.pHalfClick();
    h.waitComplete(before + 1);
    QVERIFY(!w.IsPureMode());
    QVERIFY(h.type("http://read.example.com/br/3.html"));
    const Shown s = shown(h);
    QVERIFY(s.present);
    QCOMPARE(s.title, QStringLiteral("第3章 夜雨"));
    QCOMPARE(s.paragraphs.size(), 12);
    QVERIFY(h.errors.isEmpty());
}

LEKTO_WEB_TEST_MAIN(TestReadingView)
#include "tst_readingview.moc"
