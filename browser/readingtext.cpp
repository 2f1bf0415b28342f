#include "readingtext.h"

#include <QtCore/QSettings>

#include <algorithm>
#include <cmath>

namespace Reading {
namespace {

// The adverts sites put into a chapter's text as lines of their own or at a
// line's end. Each takes the advert, its address with it, and nothing of
// the story around it.
const char *const kBuiltIn[] = {
    // 请记住本站域名：xxx.com / 请记住本书首发域名：xxx。/ 天才一秒记住本站地址：[xxx]
    R"(/(?:天才)?(?:一秒)?(?:请您?)?(?:一秒)?记住本(?:站|书首发|书)?(?:的)?(?:域名|网址|地址)\s*[:：]?\s*[\[【(（]?\s*[A-Za-z0-9.:/_\-]*\s*[\]】)）]?\s*[。.！!]?/)",
    // 最新网址：xxx.com
    R"(/(?:本站)?最新(?:网址|地址|域名)\s*[:：]\s*[A-Za-z0-9.:/_\-]*\s*[。.！!]?/)",
    // 手机用户请浏览m.xxx.com阅读，更优质的阅读体验。
    R"(/手机用户请(?:浏览|访问|到)\s*[A-Za-z0-9.:/_\-]+\s*阅读(?:[，,]?[^。！!\n]{0,20}[。！!])?/)",
    // 本章未完，请点击下一页继续阅读
    R"(/[（(]?本章未完[，,]?\s*请点击下一页继续阅读[。！!]?[)）]?/)",
    // A line that is only an address.
    R"(/^\s*(?:https?://)?(?:[A-Za-z0-9-]+\.)+(?:com|net|org|cc|tw|la|info|me|co|cn|xyz|io|top|vip|so|org\.cn|com\.cn)(?::\d+)?(?:/\S*)?\s*$/)",
};

const QString kPunctuation = QStringLiteral("\\s\\x{00a0}\\x{3000}，。、；：？！…—·,.;:?!\\-_()（）\\[\\]【】《》<>\"'“”‘’");

// A rule as written: /.../ is a regular expression, anything else plain text.
std::optional<TRule> compile(const QString &written, QString *error)
{
    QRegularExpression re;
    if (written.size() >= 2 && written.startsWith(QLatin1Char('/')) && written.endsWith(QLatin1Char('/')))
        re.setPattern(written.mid(1, written.size() - 2));
    else
        re.setPattern(QRegularExpression::escape(written));
    re.setPatternOptions(QRegularExpression::UseUnicodePropertiesOption);
    if (!re.isValid()) {
        if (error)
            *error = re.errorString() + QStringLiteral("（第%1个字符）").arg(re.patternErrorOffset() + 1);
        return std::nullopt;
    }
    if (re.match(QString()).hasMatch() && written.startsWith(QLatin1Char('/'))) {
        // A rule that matches nothing at all would match everywhere: no text
        // would be taken, but it says nothing either.
        if (error)
            *error = QStringLiteral("规则可以匹配空文字");
        return std::nullopt;
    }
    return TRule{written, re};
}

QString escapeHtml(const QString &s)
{
    return s.toHtmlEscaped();
}

QString attribute(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded).toHtmlEscaped();
}

double number(const QVariant &v, double fallback)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : fallback;
}

} // namespace

QString ThemeName(TTheme theme)
{
    switch (theme) {
    case TTheme::Day: return QStringLiteral("白天");
    case TTheme::EyeCare: return QStringLiteral("护眼");
    case TTheme::Sepia: return QStringLiteral("羊皮纸");
    case TTheme::Night: return QStringLiteral("夜间");
    }
    return {};
}

TTheme NextTheme(TTheme theme)
{
    return TTheme((int(theme) + 1) % kThemeCount);
}

QString FontName(TFontFace face)
{
    switch (face) {
    case TFontFace::Serif: return QStringLiteral("宋体（衬线）");
    case TFontFace::Sans: return QStringLiteral("黑体（无衬线）");
    case TFontFace::Kai: return QStringLiteral("楷体");
    }
    return {};
}

TStyle TStyle::clamped() const
{
    TStyle s = *this;
    const TStyle d;
    if (int(s.theme) < 0 || int(s.theme) >= kThemeCount)
        s.theme = d.theme;
    if (int(s.font) < 0 || int(s.font) > int(TFontFace::Kai))
        s.font = d.font;
    s.fontPx = std::clamp(s.fontPx, kMinFontPx, kMaxFontPx);
    s.widthChars = std::clamp(s.widthChars, kMinWidth, kMaxWidth);
    s.lineHeight = std::isfinite(s.lineHeight) ? std::clamp(s.lineHeight, kMinLineHeight, kMaxLineHeight) : d.lineHeight;
    s.paragraphSpacing =
        std::isfinite(s.paragraphSpacing) ? std::clamp(s.paragraphSpacing, 0.0, kMaxParagraphSpacing) : d.paragraphSpacing;
    // Tenths are all a reader sets; a stored 1.8999999 reads back as 1.9.
    s.lineHeight = std::round(s.lineHeight * 10) / 10;
    s.paragraphSpacing = std::round(s.paragraphSpacing * 10) / 10;
    return s;
}

TSettings TSettings::Load(QSettings &settings)
{
    TSettings out;
    const TStyle d;
    settings.beginGroup(QStringLiteral("reading"));
    out.enabled = settings.value(QStringLiteral("enabled"), false).toBool();
    TStyle &s = out.style;
    s.theme = TTheme(settings.value(QStringLiteral("theme"), int(d.theme)).toInt());
    s.font = TFontFace(settings.value(QStringLiteral("font"), int(d.font)).toInt());
    s.fontPx = settings.value(QStringLiteral("fontPx"), d.fontPx).toInt();
    if (s.fontPx == 0)
        s.fontPx = d.fontPx;
    s.widthChars = settings.value(QStringLiteral("width"), d.widthChars).toInt();
    if (s.widthChars == 0)
        s.widthChars = d.widthChars;
    s.lineHeight = number(settings.value(QStringLiteral("lineHeight"), d.lineHeight), d.lineHeight);
    s.paragraphSpacing = number(settings.value(QStringLiteral("paragraphSpacing"), d.paragraphSpacing), d.paragraphSpacing);
    settings.endGroup();
    s = s.clamped();
    return out;
}

void TSettings::Save(QSettings &settings) const
{
    const TStyle s = style.clamped();
    settings.beginGroup(QStringLiteral("reading"));
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("theme"), int(s.theme));
    settings.setValue(QStringLiteral("font"), int(s.font));
    settings.setValue(QStringLiteral("fontPx"), s.fontPx);
    settings.setValue(QStringLiteral("width"), s.widthChars);
    settings.setValue(QStringLiteral("lineHeight"), s.lineHeight);
    settings.setValue(QStringLiteral("paragraphSpacing"), s.paragraphSpacing);
    settings.endGroup();
}

TRules::TRules() = default;

const QList<TRule> &TRules::BuiltIn()
{
    static const QList<TRule> rules = [] {
        QList<TRule> out;
        for (const char *r : kBuiltIn)
            if (auto rule = compile(QString::fromUtf8(r), nullptr))
                out << *rule;
        return out;
    }();
    return rules;
}

void TRules::SetUserRules(const QString &text)
{
    FUser.clear();
    FErrors.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (i == 0 && line.startsWith(QChar(0xfeff)))
            line.remove(0, 1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString error;
        if (auto rule = compile(line, &error))
            FUser << *rule;
        else
            FErrors << TRuleError{i + 1, line, error};
    }
}

QString TRules::FileTemplate()
{
    return QStringLiteral(
        "# Lekto 阅读视图的广告过滤规则：每行一条。\n"
        "# 普通文字：章节正文中出现这段文字的地方都会删去。\n"
        "# 两个斜杠之间的文字是正则表达式，例如：/本站最新网址[:：]\\S+/\n"
        "# 删去后只剩标点或空白的行整行删去。以 # 开头的行是说明，不起作用。\n");
}

QString TRules::CleanLine(const QString &line) const
{
    static const QRegularExpression spaces(QStringLiteral("[\\s\\x{00a0}\\x{3000}\\x{200b}\\x{feff}]+"));
    static const QRegularExpression betweenCjk(
        QStringLiteral("(?<=[\\x{2e80}-\\x{9fff}\\x{f900}-\\x{faff}\\x{ff00}-\\x{ffef}\\x{3000}-\\x{303f}]) "
                       "(?=[\\x{2e80}-\\x{9fff}\\x{f900}-\\x{faff}\\x{ff00}-\\x{ffef}\\x{3000}-\\x{303f}])"));
    static const QRegularExpression nothingLeft(QStringLiteral("^[") + kPunctuation + QStringLiteral("]*$"));
    QString s = line;
    s.replace(spaces, QStringLiteral(" "));
    s = s.trimmed();
    s.replace(betweenCjk, QString());
    if (s.isEmpty())
        return {};
    bool took = false;
    for (const QList<TRule> *list : {&BuiltIn(), &FUser})
        for (const TRule &r : *list) {
            if (!r.pattern.match(s).hasMatch())
                continue;
            s.remove(r.pattern);
            took = true;
        }
    if (took) {
        s = s.trimmed();
        if (nothingLeft.match(s).hasMatch())
            return {};
    }
    return s;
}

QStringList TRules::Clean(const QStringList &lines) const
{
    QStringList out;
    out.reserve(lines.size());
    for (const QString &line : lines)
        if (QString s = CleanLine(line); !s.isEmpty())
            out << s;
    return out;
}

TChapter TChapter::FromAnswer(const QVariant &answer)
{
    TChapter c;
    const QVariantList a = answer.toList();
    if (a.size() != 9)
        return c;
    const QString state = a[0].toString();
    c.already = state == QLatin1String("shown");
    c.found = c.already || state == QLatin1String("found");
    c.title = a[1].toString().simplified();
    c.lines = a[2].toStringList();
    c.chars = a[3].toInt();
    auto web = [](const QVariant &v) {
        const QUrl u(v.toString());
        return u.isValid() && (u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("https")) ? u : QUrl();
    };
    c.next = web(a[4]);
    c.previous = web(a[5]);
    c.contents = web(a[6]);
    c.nextIsPage = a[7].toBool();
    c.previousIsPage = a[8].toBool();
    if (c.found && !c.already && c.chars < kMinChapterChars)
        c.found = false;
    return c;
}

QString ArticleHtml(const TChapter &chapter, const QStringList &cleanLines)
{
    auto link = [](const QUrl &url, const QString &words, const char *rel) {
        if (url.isEmpty())
            return QStringLiteral("<span class=\"lekto-off\">%1</span>").arg(words);
        return QStringLiteral("<a href=\"%1\" rel=\"%2\">%3</a>").arg(attribute(url), QLatin1String(rel), words);
    };
    const QString dot = QStringLiteral("<span class=\"lekto-dot\">·</span>");
    const QString bar = link(chapter.previous, chapter.previousIsPage ? QStringLiteral("上一页") : QStringLiteral("上一章"), "prev")
        + dot + link(chapter.contents, QStringLiteral("目录"), "contents") + dot
        + link(chapter.next, chapter.nextIsPage ? QStringLiteral("下一页") : QStringLiteral("下一章"), "next");
    QString html;
    html.reserve(cleanLines.size() * 8 + chapter.chars * 2 + 1024);
    html += QStringLiteral("<nav class=\"lekto-bar lekto-top\">") + bar + QStringLiteral("</nav>");
    if (!chapter.title.isEmpty())
        html += QStringLiteral("<h1 class=\"lekto-title\">") + escapeHtml(chapter.title) + QStringLiteral("</h1>");
    html += QStringLiteral("<div class=\"lekto-text\">");
    for (const QString &line : cleanLines)
        html += QStringLiteral("<p>") + escapeHtml(line) + QStringLiteral("</p>");
    html += QStringLiteral("</div><nav class=\"lekto-bar lekto-bottom\">") + bar + QStringLiteral("</nav>");
    return html;
}

TColours Colours(TTheme theme)
{
    switch (theme) {
    case TTheme::Day: return {"#ffffff", "#222222", "#8a8a8a", "#2b5797", "#f2f2f2"};
    case TTheme::EyeCare: return {"#cce8cf", "#1f2f22", "#5f7a63", "#255a3a", "#bcdcbf"};
    case TTheme::Sepia: return {"#f4ecd8", "#4b3a2a", "#8f7a62", "#7a4b1e", "#e9dec4"};
    case TTheme::Night: return {"#1c1e21", "#a9adb2", "#6c7077", "#7fa3c8", "#25282c"};
    }
    return Colours(TTheme::Day);
}

QString Css(const TStyle &input)
{
    const TStyle s = input.clamped();
    const TColours c = Colours(s.theme);
    QString family;
    switch (s.font) {
    case TFontFace::Serif:
        family = QStringLiteral("'Noto Serif CJK SC','Source Han Serif SC','Source Han Serif CN','SimSun','Songti SC',serif");
        break;
    case TFontFace::Sans:
        family = QStringLiteral("'Noto Sans CJK SC','Source Han Sans SC','Source Han Sans CN','Microsoft YaHei','PingFang SC',sans-serif");
        break;
    case TFontFace::Kai:
        family = QStringLiteral("'AR PL UKai CN','AR PL KaitiM GB','KaiTi','STKaiti','Kaiti SC',serif");
        break;
    }
    // Every rule is !important: the site's own style sheets, switched off
    // while the view shows, may be put back by its scripts.
    return QStringLiteral(
               "html.lekto-reading,html.lekto-reading body{background:%1!important;color:%2!important;"
               "margin:0!important;padding:0!important;border:0!important;width:auto!important;min-width:0!important;"
               "max-width:none!important;height:auto!important;zoom:normal;filter:none!important;text-align:left!important}"
               "html.lekto-reading body>:not(#lekto-reader){display:none!important}"
               "#lekto-reader{display:block!important;box-sizing:content-box!important;max-width:%3em!important;"
               "margin:0 auto!important;padding:0.6em 1.5em 3em!important;font-family:%4!important;font-size:%5px!important;"
               "font-weight:400!important;font-style:normal!important;line-height:%6!important;color:%2!important;"
               "background:transparent!important;letter-spacing:0!important;word-spacing:normal!important;"
               "text-align:justify!important;overflow-wrap:break-word!important;float:none!important;position:static!important}"
               "#lekto-reader .lekto-title{font-size:1.35em!important;font-weight:600!important;line-height:1.5!important;"
               "text-align:center!important;margin:1.2em 0 1.2em!important;text-indent:0!important;color:%2!important}"
               "#lekto-reader .lekto-text p{margin:0 0 %7em!important;padding:0!important;text-indent:2em!important;"
               "font:inherit!important;color:inherit!important;background:transparent!important}"
               "#lekto-reader .lekto-bar{display:block!important;text-align:center!important;font-family:%4!important;"
               "font-size:0.8em!important;line-height:2.4!important;color:%8!important;background:%9!important;"
               "border-radius:4px!important;margin:0.4em 0!important;padding:0 0.5em!important}"
               "#lekto-reader .lekto-top{font-size:0.7em!important;line-height:2!important;background:transparent!important}"
               "#lekto-reader .lekto-bottom{font-size:0.9em!important;line-height:2.8!important;margin-top:2em!important}"
               "#lekto-reader .lekto-bar a{color:%10!important;text-decoration:none!important;padding:0 1em!important;"
               "background:transparent!important}"
               "#lekto-reader .lekto-bar a:hover{text-decoration:underline!important}"
               "#lekto-reader .lekto-off{color:%8!important;opacity:0.6;padding:0 1em!important}"
               "#lekto-reader .lekto-dot{color:%8!important}"
               "#lekto-reader ::selection{background:%10;color:%1}"
               "@media print{html.lekto-reading,html.lekto-reading body{background:#fff!important;color:#000!important}"
               "#lekto-reader{color:#000!important}#lekto-reader .lekto-bar{display:none!important}}")
        .arg(QLatin1String(c.background), QLatin1String(c.text), QString::number(s.widthChars), family,
             QString::number(s.fontPx), QString::number(s.lineHeight, 'g', 3),
             QString::number(s.paragraphSpacing * s.lineHeight, 'g', 3), QLatin1String(c.muted), QLatin1String(c.bar))
        .arg(QLatin1String(c.link));
}

QString OwnPageCss(TTheme theme)
{
    if (theme != TTheme::Night)
        return {};
    // The pages keep their own colours, turned round: what was set apart
    // (read and unread, links) stays apart. The canvas is dark from the start.
    return QStringLiteral("html{background:#1f1f1f!important}"
                          "body{filter:invert(0.88) hue-rotate(180deg);background:#fff;min-height:100vh;margin:0;padding:8px;"
                          "box-sizing:border-box}");
}

} // namespace Reading
