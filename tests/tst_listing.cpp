// The start page's listing is built the fast way; these tests hold it to the
// plain way, piece by piece through iconv and QDateTime, byte for byte, on
// stored texts of every kind (GBK, four-byte GB18030, bytes that are no
// character at all) and on visit times of every kind.
#include "lektohistory.h"
#include "textcodec.h"

#include <QtCore/QRandomGenerator>
#include <QtCore/QTemporaryDir>
#include <QtCore/QtEndian>
#include <QtTest/QtTest>

#include <iconv.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// iconv over the whole text, one byte becoming U+FFFD where it finds no character.
QString plainDecode(const QByteArray &bytes)
{
    static iconv_t cd = iconv_open("UTF-16LE", "GB18030");
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QString out(bytes.size(), Qt::Uninitialized);
    char *in = const_cast<char *>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char *outPtr = reinterpret_cast<char *>(out.data());
    size_t outLeft = size_t(out.size()) * 2;
    while (inLeft > 0) {
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) != size_t(-1) || errno == E2BIG || outLeft < 2)
            break;
        const char16_t rep = 0xFFFD;
        std::memcpy(outPtr, &rep, 2);
        outPtr += 2;
        outLeft -= 2;
        ++in;
        --inLeft;
    }
    out.truncate((outPtr - reinterpret_cast<char *>(out.data())) / 2);
    return out;
}

QString plainField(const unsigned char *field)
{
    return plainDecode(QByteArray(reinterpret_cast<const char *>(field + 1), field[0]));
}

QString plainTime(double days)
{
    const QDateTime t = fromDayCount(days);
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(t.date().year(), 4, 10, QLatin1Char('0'))
        .arg(t.date().month(), 2, 10, QLatin1Char('0'))
        .arg(t.date().day(), 2, 10, QLatin1Char('0'))
        .arg(t.time().hour(), 2, 10, QLatin1Char('0'))
        .arg(t.time().minute(), 2, 10, QLatin1Char('0'))
        .arg(t.time().second(), 2, 10, QLatin1Char('0'));
}

QString esc(const QString &text)
{
    QString out;
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

QString plainRow(const THisRecord &r, int i, bool fattening)
{
    const QString n = QString::number(i);
    const QString c = r.IsRead == 1 ? QStringLiteral("<font color=#800080>") : QStringLiteral("<font color=#0000FF>");
    const QString a = QStringLiteral("<a href=\"http://") + esc(plainField(r.BookPath)) + "/" + esc(plainField(r.PageName)) + "\">";
    const QString note = plainField(r.Note);
    return QStringLiteral("<tr height=26><td>") + n + "</td>" + "<td><a href=\"" + (fattening ? "rc:L2Del" : "rc:Del") + n
        + "\">" + c + "删除</font></a>&nbsp;</td>" + "<td><a href=\"" + (fattening ? "rc:shuqian" : "rc:yangfei") + n + "\">"
        + c + (fattening ? "书签" : "养肥") + "</font></a>&nbsp;</td>" + "<td>" + plainTime(r.visitTime()) + "&nbsp;</td>"
        + "<td><a href=\"" + (fattening ? "rc:fyiyue" : "rc:yiyue") + n + "\" style='text-decoration:none'>" + c
        + (r.IsRead == 1 ? "【已阅】" : "【未阅】") + "</font></a></td>" + "<td><a href=\""
        + (fattening ? "rc:fjianzhu" : "rc:jianzhu") + n + "\" style='text-decoration:none'>" + c + "简注</font></a>&gt;&nbsp;"
        + (note.isEmpty() ? QString() : a + c + esc(note) + "</font></a>") + "&nbsp;</td><td>" + a + c
        + esc(plainField(r.Title)) + "</font></a></td></font></tr>\r\n";
}

QString plainListing(const TLektoHistory &h)
{
    if (h.Bookmarks().empty() && h.L2().empty())
        return QString();
    const QString markRead = QStringLiteral("<a href=\"rc:xyiyue\";'>全标记为<font color=#800080>已阅</font></a>");
    const QString markUnread = QStringLiteral("&nbsp;<a href=\"rc:xweiyue\">全标记为<font color=#0000FF>未阅</font></a>");
    const QString unreadFirst = QStringLiteral("&nbsp;<a href=\"rc:weiyuetiqian\">未阅排序提前</a>");
    QString out;
    if (!h.Bookmarks().empty())
        out += "<h3>" + markRead + "\r\n" + markUnread + "\r\n" + unreadFirst + "</h3>\r\n";
    out += QStringLiteral("<b><span style='font-size:15.0pt;'>自动书签：</span></b>\r\n<table>\r\n");
    for (size_t i = 0; i < h.Bookmarks().size(); ++i)
        out += plainRow(*h.Bookmarks()[i], int(i), false);
    out += "</table>\r\n";
    if (!h.L2().empty()) {
        out += QStringLiteral("<p><b><span style='font-size:15.0pt;'>养肥中：</span></b>\r\n<table>\r\n");
        for (size_t i = 0; i < h.L2().size(); ++i)
            out += plainRow(*h.L2()[i], int(i), true);
    }
    out += "</table>\r\n";
    out += QStringLiteral("<H3><a href=\"rc:ClearBm\" style='background:#D9D9D9;'><font color=black>全部删除</font></a>\r\n");
    out += "&nbsp;&nbsp;" + markRead + "\r\n" + markUnread + "\r\n" + unreadFirst + "\r\n";
    return out;
}

// Stored texts of every kind: GBK, four-byte GB18030, and what is no character.
QByteArray randomText(QRandomGenerator &rng)
{
    static const QList<QByteArray> pieces = {
        "ch", "/", "12.html", "<", "&", "\"", "'", ">", " ", "\xB5\xDA\xD2\xBB\xD5\xC2", // 第一章
        "\x81\x30\x81\x30",                                                            // U+0080
        "\x95\x32\x82\x36",                                                            // U+1F600, a pair
        "\x80", "\xFF", "\x81", "\x81\x7F", "\x81\x30", "\xA1\xA1", "\xFE\xFE", "\x00"};
    QByteArray text;
    const int n = int(rng.bounded(12));
    for (int i = 0; i < n; ++i) {
        if (rng.bounded(4) == 0)
            text += char(rng.bounded(256)); // any byte at all
        else
            text += pieces[int(rng.bounded(qsizetype(pieces.size())))];
    }
    return text.left(255);
}

void setField(unsigned char *field, const QByteArray &bytes)
{
    std::memset(field, 0, 256);
    field[0] = static_cast<unsigned char>(bytes.size());
    std::memcpy(field + 1, bytes.constData(), size_t(bytes.size()));
}

THisRecord randomRecord(QRandomGenerator &rng)
{
    static const QList<double> times = {0.0, 42070.37847222222, 46387.99999999, 46387.999999999999, -1.25, -0.5,
                                        2958465.99999, 2958466.0, -693593.0, 3.1e6, std::numeric_limits<double>::quiet_NaN(),
                                        std::numeric_limits<double>::infinity(), 45000.5000000058};
    THisRecord r{};
    setField(r.BookPath, randomText(rng));
    setField(r.PageName, randomText(rng));
    setField(r.Title, randomText(rng));
    setField(r.Note, rng.bounded(3) == 0 ? randomText(rng) : QByteArray());
    r.setVisitTime(rng.bounded(2) == 0 ? times[int(rng.bounded(qsizetype(times.size())))]
                                       : 36000.0 + rng.generateDouble() * 20000.0);
    r.IsRead = static_cast<unsigned char>(rng.bounded(3)); // 2: neither mark, drawn unread
    return r;
}

} // namespace

class TestListing : public QObject
{
    Q_OBJECT

    QTemporaryDir FDir;

    // A history file holding these records, loaded.
    std::unique_ptr<TLektoHistory> historyOf(const QList<THisRecord> &bookmarks, const QList<THisRecord> &fattening)
    {
        const QString path = FDir.filePath(QStringLiteral("LektoBookmarks.lkt"));
        QByteArray bytes("\1");
        if (!fattening.isEmpty()) {
            char count[4];
            qToLittleEndian(qint32(fattening.size()), count);
            bytes.append(count, 4);
        }
        for (const auto *list : {&fattening, &bookmarks})
            for (const THisRecord &r : *list)
                bytes.append(reinterpret_cast<const char *>(&r), kHisRecordSize);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return nullptr;
        f.close();
        return std::make_unique<TLektoHistory>(path);
    }

private slots:
    void initTestCase()
    {
        // Local time without a summer hour that the clock skips: the plain
        // way would move a time in it, the listing shows it as stored.
        qputenv("TZ", "UTC");
    }

    void decodeIsIconvs_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QByteArray("host/book/12");
        QTest::newRow("gbk") << QByteArray("\xB5\xDA\xD2\xBB\xD5\xC2 \xB7\xE7\xC6\xF0");
        QTest::newRow("four bytes") << QByteArray("a\x81\x30\x81\x30\x95\x32\x82\x36z");
        QTest::newRow("lead byte at the end") << QByteArray("ab\xB5");
        QTest::newRow("lead before a digit") << QByteArray("\x81\x30x");
        QTest::newRow("lead before 0x7F") << QByteArray("\x81\x7F");
        QTest::newRow("0x80 and 0xFF") << QByteArray("\x80z\xFF");
        QTest::newRow("nul") << QByteArray("a\0b", 3);
        QTest::newRow("every pair") << [] {
            QByteArray all;
            for (int lead = 0x81; lead <= 0xFE; ++lead)
                for (int trail = 0x40; trail <= 0xFE; ++trail)
                    all += char(lead), all += char(trail);
            return all;
        }();
        QRandomGenerator rng(12);
        for (int i = 0; i < 40; ++i) {
            QByteArray b;
            for (int k = 0, n = int(rng.bounded(255)); k < n; ++k)
                b += char(rng.bounded(256));
            QTest::addRow("random %d", i) << b;
        }
    }
    void decodeIsIconvs()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(HistoryText::decode(bytes.constData(), int(bytes.size())), plainDecode(bytes));
    }

    void listingIsThePlainOne_data()
    {
        QTest::addColumn<int>("bookmarks");
        QTest::addColumn<int>("fattening");
        QTest::addColumn<int>("seed");
        QTest::newRow("bookmarks only") << 40 << 0 << 1;
        QTest::newRow("fattening only") << 0 << 40 << 2;
        QTest::newRow("both, many") << 1500 << 300 << 3;
    }
    void listingIsThePlainOne()
    {
        QFETCH(int, bookmarks);
        QFETCH(int, fattening);
        QFETCH(int, seed);
        QRandomGenerator rng{quint32(seed)};
        QList<THisRecord> b, f;
        for (int i = 0; i < bookmarks; ++i)
            b << randomRecord(rng);
        for (int i = 0; i < fattening; ++i)
            f << randomRecord(rng);
        const auto h = historyOf(b, f);
        QVERIFY(h);
        QCOMPARE(int(h->Bookmarks().size()), bookmarks);
        const QString fast = h->GetHisHtmCode();
        const QString plain = plainListing(*h);
        if (fast != plain) {
            qsizetype at = 0;
            while (at < fast.size() && at < plain.size() && fast[at] == plain[at])
                ++at;
            QFAIL(qPrintable(QStringLiteral("differs at %1:\n%2\n%3").arg(at).arg(fast.mid(at - 80, 200), plain.mid(at - 80, 200))));
        }
    }

    // A row with the longest texts, every unit escaped, fits the page.
    void longestRows()
    {
        THisRecord r{};
        for (unsigned char *field : {r.BookPath, r.PageName, r.Title, r.Note})
            setField(field, QByteArray(255, '"'));
        r.IsRead = 1;
        const auto h = historyOf(QList<THisRecord>(50, r), QList<THisRecord>(50, r));
        QVERIFY(h);
        const QString fast = h->GetHisHtmCode();
        QCOMPARE(fast, plainListing(*h));
        QCOMPARE(fast.count(QStringLiteral("&quot;")), 100 * 6 * 255);
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
