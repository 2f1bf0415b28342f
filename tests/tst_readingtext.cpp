// The reading view's plain parts: the rules for text adverts, the reader's
// own rules file, the settings and the view's HTML.
#include "readingtext.h"

#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

using namespace Reading;

class TestReadingText : public QObject
{
    Q_OBJECT

private slots:
    void builtInRules_data();
    void builtInRules();
    void userRules_data();
    void userRules();
    void badRuleIsReportedAndOthersHold();
    void settingsRoundTrip();
    void settingsOutOfRange_data();
    void settingsOutOfRange();
    void articleEscapesAndLabels();
    void answerChecked_data();
    void answerChecked();
    void themesCycle();
};

void TestReadingText::builtInRules_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cleaned"); // empty: the line goes
    QTest::newRow("story line") << "　　他推开门，走了进去。" << "他推开门，走了进去。";
    QTest::newRow("source line breaks between hanzi") << "他推开门 走了进去。" << "他推开门走了进去。";
    QTest::newRow("english spaces kept") << "  He  opened the door. " << "He opened the door.";
    QTest::newRow("remember domain alone") << "请记住本站域名：biquge.com.tw" << "";
    QTest::newRow("remember book domain") << "请记住本书首发域名：www.biquge.com。" << "";
    QTest::newRow("one second") << "天才一秒记住本站地址：[xbiquge.la]" << "";
    QTest::newRow("remember at a line's end") << "他点了点头。请记住本站域名：biquge.com" << "他点了点头。";
    QTest::newRow("newest address") << "最新网址：m.biquge.com" << "";
    QTest::newRow("mobile users") << "手机用户请浏览m.biquge.com阅读，更优质的阅读体验。" << "";
    QTest::newRow("lone address") << "www.biquge.com.tw" << "";
    QTest::newRow("lone address with scheme") << "https://m.xs.cc/book/1.html" << "";
    QTest::newRow("address inside a sentence stays") << "他在 example.com 上看到了消息。" << "他在 example.com 上看到了消息。";
    QTest::newRow("not finished") << "（本章未完，请点击下一页继续阅读）" << "";
    QTest::newRow("story mentions remembering") << "请记住，他说。" << "请记住，他说。";
    QTest::newRow("punctuation only left") << "　　……" << "……";
    QTest::newRow("spaces only") << "\u00a0\u3000 " << "";
}

void TestReadingText::builtInRules()
{
    QFETCH(QString, line);
    QFETCH(QString, cleaned);
    TRules rules;
    QCOMPARE(rules.CleanLine(line), cleaned);
    const QStringList expected = cleaned.isEmpty() ? QStringList{"正文。"} : QStringList{cleaned, "正文。"};
    QCOMPARE(rules.Clean({line, QStringLiteral("正文。")}), expected);
}

void TestReadingText::userRules_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("plain text") << "笔趣阁最快更新\n" << "笔趣阁最快更新" << "";
    QTest::newRow("plain text is not a pattern") << "a.c\n" << "abc a.c" << "abc";
    QTest::newRow("regular expression") << "/本站.{0,6}更新[！!]?/\n" << "他走了。本站第一时间更新！" << "他走了。";
    QTest::newRow("comments and blank lines") << "# 说明\n\n   \n/x+/\n" << "# 说明" << "# 说明";
    QTest::newRow("crlf and bom") << "\ufeff广告一\r\n广告二\r\n" << "广告一广告二" << "";
    QTest::newRow("part of a line") << "（求收藏）" << "他笑了（求收藏）。" << "他笑了。";
}

void TestReadingText::userRules()
{
    QFETCH(QString, file);
    QFETCH(QString, line);
    QFETCH(QString, cleaned);
    TRules rules;
    rules.SetUserRules(file);
    QVERIFY(rules.Errors().isEmpty());
    QCOMPARE(rules.CleanLine(line), cleaned);
}

void TestReadingText::badRuleIsReportedAndOthersHold()
{
    TRules rules;
    rules.SetUserRules(QStringLiteral("广告甲\n/([未闭合/\n/^/\n广告乙\n"));
    QCOMPARE(rules.UserRuleCount(), 2);
    QCOMPARE(rules.Errors().size(), 2);
    QCOMPARE(rules.Errors()[0].line, 2);
    QCOMPARE(rules.Errors()[0].rule, QStringLiteral("/([未闭合/"));
    QVERIFY(!rules.Errors()[0].message.isEmpty());
    QCOMPARE(rules.Errors()[1].line, 3); // matches nothing, so everywhere
    QCOMPARE(rules.Clean({"广告甲", "正文。广告乙", "下文。"}), (QStringList{"正文。", "下文。"}));
}

void TestReadingText::settingsRoundTrip()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Lekto.ini");
    TSettings s;
    s.enabled = true;
    s.style = {TTheme::Night, TFontFace::Kai, 24, 2.1, 42, 1.2};
    {
        QSettings q(file, QSettings::IniFormat);
        q.setValue("window/maximized", false); // what else the file holds stays
        s.Save(q);
    }
    QSettings q(file, QSettings::IniFormat);
    const TSettings back = TSettings::Load(q);
    QCOMPARE(back.enabled, true);
    QVERIFY(back.style == s.style);
    QCOMPARE(q.value("window/maximized").toBool(), false);

    QSettings empty(dir.filePath("none.ini"), QSettings::IniFormat);
    const TSettings fresh = TSettings::Load(empty);
    QCOMPARE(fresh.enabled, false);
    QVERIFY(fresh.style == TStyle());
    QCOMPARE(fresh.style.widthChars, 36);
    QCOMPARE(fresh.style.lineHeight, 1.9);
}

void TestReadingText::settingsOutOfRange_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("expected");
    QTest::newRow("narrow") << "width" << "5" << "width" << 24.0;
    QTest::newRow("wide") << "width" << "999" << "width" << 60.0;
    QTest::newRow("width no number") << "width" << "abc" << "width" << 36.0;
    QTest::newRow("tight lines") << "lineHeight" << "0.5" << "lineHeight" << 1.4;
    QTest::newRow("loose lines") << "lineHeight" << "9" << "lineHeight" << 2.4;
    QTest::newRow("line height no number") << "lineHeight" << "nan" << "lineHeight" << 1.9;
    QTest::newRow("theme unknown") << "theme" << "17" << "theme" << 0.0;
    QTest::newRow("font unknown") << "font" << "-3" << "font" << 0.0;
    QTest::newRow("tiny font") << "fontPx" << "2" << "fontPx" << 12.0;
}

void TestReadingText::settingsOutOfRange()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, field);
    QFETCH(double, expected);
    QTemporaryDir dir;
    QSettings q(dir.filePath("Lekto.ini"), QSettings::IniFormat);
    q.setValue("reading/" + key, value);
    const TStyle s = TSettings::Load(q).style;
    const QHash<QString, double> got{{"width", s.widthChars},      {"lineHeight", s.lineHeight}, {"theme", double(int(s.theme))},
                                     {"font", double(int(s.font))}, {"fontPx", s.fontPx}};
    QCOMPARE(got.value(field), expected);
}

void TestReadingText::articleEscapesAndLabels()
{
    TChapter c;
    c.found = true;
    c.title = "第1章 <b>&";
    c.next = QUrl("http://a.example/1_2.html?x=1&y=\"2\"");
    c.nextIsPage = true;
    c.contents = QUrl("http://a.example/");
    const QString html = ArticleHtml(c, {"一<script>alert(1)</script>", "二"});
    QVERIFY(html.contains("第1章 &lt;b&gt;&amp;"));
    QVERIFY(html.contains("一&lt;script&gt;"));
    QVERIFY(!html.contains("<script>"));
    QVERIFY(html.contains("href=\"http://a.example/1_2.html?x=1&amp;y=%222%22\" rel=\"next\">下一页</a>"));
    QVERIFY(html.contains("<span class=\"lekto-off\">上一章</span>")); // no previous: no link
    QCOMPARE(html.count("<p>"), 2);
    QCOMPARE(html.count("lekto-bar"), 2);
}

void TestReadingText::answerChecked_data()
{
    QTest::addColumn<QVariant>("answer");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("hasNext");
    const QString lines = QString("字").repeated(400);
    auto a = [&](const char *state, int chars, const char *next) {
        return QVariant(QVariantList{state, "题", QStringList{lines}, chars, next, "", "", false, false});
    };
    QTest::newRow("found") << a("found", 400, "http://a.example/2.html") << true << true;
    QTest::newRow("too short") << a("found", 120, "http://a.example/2.html") << false << true;
    QTest::newRow("not found") << a("none", 0, "") << false << false;
    QTest::newRow("script link dropped") << a("found", 400, "javascript:alert(1)") << true << false;
    QTest::newRow("not a list") << QVariant(QStringLiteral("found")) << false << false;
    QTest::newRow("short list") << QVariant(QVariantList{"found", "题"}) << false << false;
}

void TestReadingText::answerChecked()
{
    QFETCH(QVariant, answer);
    QFETCH(bool, found);
    QFETCH(bool, hasNext);
    const TChapter c = TChapter::FromAnswer(answer);
    QCOMPARE(c.found, found);
    QCOMPARE(!c.next.isEmpty(), hasNext);
}

void TestReadingText::themesCycle()
{
    QStringList names;
    TTheme t = TTheme::Day;
    for (int i = 0; i < 5; ++i, t = NextTheme(t))
        names << ThemeName(t);
    QCOMPARE(names, (QStringList{"白天", "护眼", "羊皮纸", "夜间", "白天"}));
    // Night text is light grey on dark, never pure white.
    QVERIFY(QString(Colours(TTheme::Night).text).compare("#ffffff", Qt::CaseInsensitive) != 0);
    QVERIFY(Css(TStyle{TTheme::Night}).contains(Colours(TTheme::Night).background));
    QVERIFY(OwnPageCss(TTheme::Day).isEmpty());
    QVERIFY(!OwnPageCss(TTheme::Night).isEmpty());
}

QTEST_GUILESS_MAIN(TestReadingText)
#include "tst_readingtext.moc"
