#pragma once

// The reading view's side that needs no engine: the reader's settings, the
// rules that take text adverts out of a chapter, and the view's own HTML and
// style sheet. Plain QtCore.
#include <QtCore/QList>
#include <QtCore/QRegularExpression>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QUrl>
#include <QtCore/QVariant>

#include <optional>

class QSettings;

namespace Reading {

enum class TTheme { Day, EyeCare, Sepia, Night };
constexpr int kThemeCount = 4;
// 白天, 护眼, 羊皮纸, 夜间: the order Shift+F9 goes through.
QString ThemeName(TTheme theme);
TTheme NextTheme(TTheme theme);

enum class TFontFace { Serif, Sans, Kai };
QString FontName(TFontFace face);

struct TStyle {
    TTheme theme = TTheme::Day;
    TFontFace font = TFontFace::Serif;
    int fontPx = 20;
    double lineHeight = 1.9;
    int widthChars = 36;            // the text column, in characters of the font
    double paragraphSpacing = 0.4;  // between paragraphs, in lines of text

    static constexpr int kMinWidth = 24, kMaxWidth = 60;
    static constexpr int kMinFontPx = 12, kMaxFontPx = 40;
    static constexpr double kMinLineHeight = 1.4, kMaxLineHeight = 2.4;
    static constexpr double kMaxParagraphSpacing = 2.0;

    // Within the ranges above: a value out of range (a hand-edited file) is
    // brought to the nearest allowed one, a value that is no number to the default.
    TStyle clamped() const;
    bool operator==(const TStyle &) const = default;
};

// Whether the view is on, and how it looks, in the program's settings file.
struct TSettings {
    bool enabled = false;
    TStyle style;

    static TSettings Load(QSettings &settings);
    void Save(QSettings &settings) const;
};

// One rule for text adverts: a plain text, or a regular expression written
// between slashes (/最新网址.*/). What it matches is taken out of a line; a
// line left with nothing but spaces and punctuation goes.
struct TRule {
    QString source; // as written
    QRegularExpression pattern;
};

struct TRuleError {
    int line = 0; // counted from 1 in the reader's file
    QString rule, message;
};

class TRules
{
public:
    // The built-in rules only.
    TRules();
    static const QList<TRule> &BuiltIn();
    // The reader's own rules, one a line; empty lines and lines beginning
    // with "#" are none. A rule that does not compile is left out and said
    // in errors; the others hold.
    void SetUserRules(const QString &text);
    const QList<TRuleError> &Errors() const { return FErrors; }
    int UserRuleCount() const { return FUser.size(); }
    // The name of the reader's file, beside the history.
    static constexpr const char *kFileName = "LektoReadingRules.txt";
    // What the file says when Lekto creates it: how rules are written.
    static QString FileTemplate();

    // The lines of a chapter, cleaned: spaces and indents at either end go,
    // spaces between Chinese characters (the source's line breaks) go,
    // adverts go, and lines left empty go.
    QStringList Clean(const QStringList &lines) const;
    QString CleanLine(const QString &line) const;

private:
    QList<TRule> FUser;
    QList<TRuleError> FErrors;
};

// A chapter as the page gave it: its title, its lines, and its neighbours.
struct TChapter {
    bool found = false;   // the page holds a chapter's text
    bool already = false; // the page shows the reading view already
    QString title;
    QStringList lines;
    int chars = 0; // characters of running text found
    QUrl next, previous, contents;
    bool nextIsPage = false, previousIsPage = false; // 下一页/上一页 rather than a chapter

    // From the page script's answer ([state, title, lines, chars, next,
    // previous, contents, nextIsPage, previousIsPage]); not found when the
    // answer is not one.
    static TChapter FromAnswer(const QVariant &answer);
};
// How much running text makes a chapter.
constexpr int kMinChapterChars = 300;

// The view's HTML, put into the page's body; addresses are escaped.
QString ArticleHtml(const TChapter &chapter, const QStringList &cleanLines);
// The view's style sheet for the style.
QString Css(const TStyle &style);
// The colours of a theme: background, text, and the bars' text.
struct TColours {
    const char *background, *text, *muted, *link, *bar;
};
TColours Colours(TTheme theme);
// For the program's own pages (start page, help, errors) in the night
// theme; empty for the other themes, which leave them as they are.
QString OwnPageCss(TTheme theme);

} // namespace Reading
