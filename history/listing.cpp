// The start page's history listing.
//
// A history of tens of thousands of entries gives a page of tens of megabytes,
// built whenever the start page is shown: the page is written straight into
// one buffer, texts decoded and escaped in place, with no string made per
// piece along the way.
#include "bookkey.h"
#include "lektohistory.h"
#include "textcodec.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

using namespace std::literals;

// Writes UTF-16 text at the end of a string whose room it grows as needed.
class TPageWriter
{
public:
    explicit TPageWriter(qsizetype expected) { grow(expected); }

    // Room for n more units.
    void ensure(qsizetype n)
    {
        if (FEnd - FPos < n)
            grow(n);
    }

    // Inlined, a piece of known length is copied without a call.
    void put(std::u16string_view s)
    {
        std::memcpy(FPos, s.data(), s.size() * sizeof(char16_t));
        FPos += s.size();
    }

    void putNumber(int value)
    {
        char16_t digits[12];
        int n = 0;
        unsigned v = unsigned(value);
        do {
            digits[n++] = char16_t(u'0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n > 0)
            *FPos++ = digits[--n];
    }

    void putVisitTime(double days) { FPos += ::putVisitTime(FPos, days); }

    // A stored text, decoded, escaped: a title can neither break the start
    // page nor plant links or scripts in it.
    void putText(const unsigned char *field)
    {
        // Addresses are mostly ASCII, which is its own decoding; from the
        // first byte that is not, which starts a character, the rest is decoded.
        const auto *bytes = reinterpret_cast<const char *>(field + 1);
        const int length = field[0];
        int i = 0;
        for (; i < length && static_cast<unsigned char>(bytes[i]) < 0x80; ++i)
            putEscaped(char16_t(bytes[i]));
        if (i == length)
            return;
        char16_t text[256];
        const int n = HistoryText::decodeTo(text, bytes + i, length - i);
        for (int k = 0; k < n; ++k)
            putEscaped(text[k]);
    }

    void putEscaped(char16_t c)
    {
        switch (c) {
        case u'&': put(u"&amp;"sv); break;
        case u'<': put(u"&lt;"sv); break;
        case u'>': put(u"&gt;"sv); break;
        case u'"': put(u"&quot;"sv); break;
        case u'\'': put(u"&#39;"sv); break;
        default: *FPos++ = c;
        }
    }

    QString take()
    {
        FOut.truncate(FPos - begin());
        FPos = FEnd = nullptr;
        return std::move(FOut);
    }

private:
    char16_t *begin() { return reinterpret_cast<char16_t *>(FOut.data()); }

    void grow(qsizetype n)
    {
        const qsizetype used = FPos ? FPos - begin() : 0;
        FOut.resize(std::max(used + n, FOut.size() * 2));
        FPos = begin() + used;
        FEnd = begin() + FOut.size();
    }

    QString FOut;
    char16_t *FPos = nullptr;
    char16_t *FEnd = nullptr;
};

// The most a text gives once escaped ("&quot;" for every unit), and the most
// a row gives: its fixed pieces, two page links with their address, the note
// and the title.
constexpr qsizetype kMaxText = 255 * 6;
constexpr qsizetype kMaxRow = 1024 + 6 * kMaxText;
// What a row of an ordinary entry gives, to size the page once.
constexpr qsizetype kTypicalRow = 640;

struct BookmarkRow {
    static constexpr std::u16string_view del = u"rc:Del"sv, move = u"rc:yangfei"sv, moveLabel = u"养肥"sv,
                                          read = u"rc:yiyue"sv, note = u"rc:jianzhu"sv;
};
struct FatteningRow {
    static constexpr std::u16string_view del = u"rc:L2Del"sv, move = u"rc:shuqian"sv, moveLabel = u"书签"sv,
                                          read = u"rc:fyiyue"sv, note = u"rc:fjianzhu"sv;
};
struct ReadColour {
    static constexpr std::u16string_view font = u"<font color=#800080>"sv, label = u"【已阅】"sv;
};
struct UnreadColour {
    static constexpr std::u16string_view font = u"<font color=#0000FF>"sv, label = u"【未阅】"sv;
};

void putPageLink(TPageWriter &w, const THisRecord &r)
{
    w.put(u"<a href=\"http://"sv);
    // A book named in its address's query stands beside its pages: its
    // address is not the folder above them. A question mark is never part
    // of a multi-byte character, so the bytes tell.
    if (std::memchr(r.BookPath + 1, '?', r.BookPath[0]) != nullptr) {
        const QString address = BookKey::Address(fieldText(r.BookPath), fieldText(r.PageName));
        for (const QChar c : address)
            w.putEscaped(c.unicode());
    } else {
        w.putText(r.BookPath);
        w.put(u"/"sv);
        w.putText(r.PageName);
    }
    w.put(u"\">"sv);
}

// A command link of a row: its keyword with the row's position, then the
// row's colour. Inlined, so that its pieces stay of known length.
template <class Colour>
[[gnu::always_inline]] inline void putCommand(TPageWriter &w, std::u16string_view keyword, int i, std::u16string_view close)
{
    w.put(keyword);
    w.putNumber(i);
    w.put(close);
    w.put(Colour::font);
}

// Every piece of a row of its list and colour is known here, and copied as such.
template <class Words, class Colour>
void putRow(TPageWriter &w, const THisRecord &r, int i)
{
    constexpr std::u16string_view plain = u"\">"sv, undecorated = u"\" style='text-decoration:none'>"sv;
    w.ensure(kMaxRow);
    w.put(u"<tr height=26><td>"sv);
    w.putNumber(i);
    w.put(u"</td><td><a href=\""sv);
    putCommand<Colour>(w, Words::del, i, plain);
    w.put(u"删除</font></a>&nbsp;</td><td><a href=\""sv);
    putCommand<Colour>(w, Words::move, i, plain);
    w.put(Words::moveLabel);
    w.put(u"</font></a>&nbsp;</td><td>"sv);
    w.putVisitTime(r.visitTime());
    w.put(u"&nbsp;</td><td><a href=\""sv);
    putCommand<Colour>(w, Words::read, i, undecorated);
    w.put(Colour::label);
    w.put(u"</font></a></td><td><a href=\""sv);
    putCommand<Colour>(w, Words::note, i, undecorated);
    w.put(u"简注</font></a>&gt;&nbsp;"sv);
    if (r.Note[0] != 0) {
        putPageLink(w, r);
        w.put(Colour::font);
        w.putText(r.Note);
        w.put(u"</font></a>"sv);
    }
    w.put(u"&nbsp;</td><td>"sv);
    putPageLink(w, r);
    w.put(Colour::font);
    w.putText(r.Title);
    w.put(u"</font></a></td></font></tr>\r\n"sv);
}

template <class Words>
void putRows(TPageWriter &w, const THisList &list)
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i]->IsRead == 1)
            putRow<Words, ReadColour>(w, *list[i], int(i));
        else
            putRow<Words, UnreadColour>(w, *list[i], int(i));
    }
}

constexpr std::u16string_view kMarkRead = u"<a href=\"rc:xyiyue\";'>全标记为<font color=#800080>已阅</font></a>"sv;
constexpr std::u16string_view kMarkUnread = u"&nbsp;<a href=\"rc:xweiyue\">全标记为<font color=#0000FF>未阅</font></a>"sv;
constexpr std::u16string_view kUnreadFirst = u"&nbsp;<a href=\"rc:weiyuetiqian\">未阅排序提前</a>"sv;
// The three commands on every entry, on three lines.
void putBulkCommands(TPageWriter &w, std::u16string_view before, std::u16string_view after)
{
    w.put(before);
    w.put(kMarkRead);
    w.put(u"\r\n"sv);
    w.put(kMarkUnread);
    w.put(u"\r\n"sv);
    w.put(kUnreadFirst);
    w.put(after);
}

// Room for every line that is not a row.
constexpr qsizetype kMaxFixedLines = 2048;

} // namespace

QString TLektoHistory::GetHisHtmCode() const
{
    if (FList.empty() && FL2.empty())
        return QString();

    TPageWriter w(qsizetype(FList.size() + FL2.size()) * kTypicalRow + kMaxFixedLines);
    w.ensure(kMaxFixedLines);
    if (!FList.empty())
        putBulkCommands(w, u"<h3>"sv, u"</h3>\r\n"sv);
    w.put(u"<b><span style='font-size:15.0pt;'>自动书签：</span></b>\r\n<table>\r\n"sv);
    putRows<BookmarkRow>(w, FList);
    w.ensure(kMaxFixedLines);
    w.put(u"</table>\r\n"sv);
    if (!FL2.empty()) {
        w.put(u"<p><b><span style='font-size:15.0pt;'>养肥中：</span></b>\r\n<table>\r\n"sv);
        putRows<FatteningRow>(w, FL2);
    }
    w.ensure(kMaxFixedLines);
    w.put(u"</table>\r\n"sv);
    w.put(u"<H3><a href=\"rc:ClearBm\" style='background:#D9D9D9;'><font color=black>全部删除</font></a>\r\n"sv);
    putBulkCommands(w, u"&nbsp;&nbsp;"sv, u"\r\n"sv);
    return w.take();
}
