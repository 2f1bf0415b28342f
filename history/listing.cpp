// The start page's history listing.
#include "lektohistory.h"

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Stored texts come from web pages: escaped, a title can neither break the
// start page nor plant links or scripts in it.
QString esc(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

struct RowWords {
    const char *del, *move, *moveLabel, *read, *note;
};
const RowWords kBookmarkRow{"rc:Del", "rc:yangfei", "养肥", "rc:yiyue", "rc:jianzhu"};
const RowWords kFatteningRow{"rc:L2Del", "rc:shuqian", "书签", "rc:fyiyue", "rc:fjianzhu"};

void appendRow(QString &out, const THisRecord &r, int i, const RowWords &w)
{
    const QString n = QString::number(i);
    const QString c = r.IsRead == 1 ? QStringLiteral("<font color=#800080>") : QStringLiteral("<font color=#0000FF>");
    const QString label = r.IsRead == 1 ? QStringLiteral("【已阅】") : QStringLiteral("【未阅】");
    const QString a = QStringLiteral("<a href=\"http://") + esc(fieldText(r.BookPath)) + QLatin1Char('/')
        + esc(fieldText(r.PageName)) + QStringLiteral("\">");
    const QString note = fieldText(r.Note);
    const QString notePart = note.isEmpty() ? QString() : a + c + esc(note) + QStringLiteral("</font></a>");

    out += QStringLiteral("<tr height=26><td>") + n + QStringLiteral("</td>");
    out += QStringLiteral("<td><a href=\"") + QLatin1String(w.del) + n + QStringLiteral("\">") + c
        + QStringLiteral("删除</font></a>&nbsp;</td>");
    out += QStringLiteral("<td><a href=\"") + QLatin1String(w.move) + n + QStringLiteral("\">") + c
        + QString::fromUtf8(w.moveLabel) + QStringLiteral("</font></a>&nbsp;</td>");
    out += QStringLiteral("<td>") + formatVisitTime(r.visitTime()) + QStringLiteral("&nbsp;</td>");
    out += QStringLiteral("<td><a href=\"") + QLatin1String(w.read) + n
        + QStringLiteral("\" style='text-decoration:none'>") + c + label + QStringLiteral("</font></a></td>");
    out += QStringLiteral("<td><a href=\"") + QLatin1String(w.note) + n
        + QStringLiteral("\" style='text-decoration:none'>") + c + QStringLiteral("简注</font></a>&gt;&nbsp;")
        + notePart + QStringLiteral("&nbsp;</td><td>");
    out += a + c + esc(fieldText(r.Title)) + QStringLiteral("</font></a></td></font></tr>") + kCrLf;
}

} // namespace

QString TLektoHistory::GetHisHtmCode() const
{
    if (FList.empty() && FL2.empty())
        return QString();

    const QString markRead = QStringLiteral("<a href=\"rc:xyiyue\";'>全标记为<font color=#800080>已阅</font></a>");
    const QString markUnread = QStringLiteral("&nbsp;<a href=\"rc:xweiyue\">全标记为<font color=#0000FF>未阅</font></a>");
    const QString unreadFirst = QStringLiteral("&nbsp;<a href=\"rc:weiyuetiqian\">未阅排序提前</a>");

    QString out;
    out.reserve(qsizetype(FList.size() + FL2.size()) * 900 + 1024);
    if (!FList.empty()) {
        out += QStringLiteral("<h3>") + markRead + kCrLf;
        out += markUnread + kCrLf;
        out += unreadFirst + QStringLiteral("</h3>") + kCrLf;
    }
    out += QStringLiteral("<b><span style='font-size:15.0pt;'>自动书签：</span></b>") + kCrLf;
    out += QStringLiteral("<table>") + kCrLf;
    for (size_t i = 0; i < FList.size(); ++i)
        appendRow(out, *FList[i], int(i), kBookmarkRow);
    out += QStringLiteral("</table>") + kCrLf;
    if (!FL2.empty()) {
        out += QStringLiteral("<p><b><span style='font-size:15.0pt;'>养肥中：</span></b>") + kCrLf;
        out += QStringLiteral("<table>") + kCrLf;
        for (size_t i = 0; i < FL2.size(); ++i)
            appendRow(out, *FL2[i], int(i), kFatteningRow);
    }
    out += QStringLiteral("</table>") + kCrLf;
    out += QStringLiteral("<H3><a href=\"rc:ClearBm\" style='background:#D9D9D9;'><font color=black>全部删除</font></a>") + kCrLf;
    out += QStringLiteral("&nbsp;&nbsp;") + markRead + kCrLf;
    out += markUnread + kCrLf;
    out += unreadFirst + kCrLf;
    return out;
}
