#include "lektoerror.h"
#include "historyfiles.h"
#include "lektohistory.h"
#include "textcodec.h"

#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray record(const QByteArray &gbkTitle, unsigned char isRead = 1)
{
    QByteArray r(kHisRecordSize, '\0');
    r[8] = 4;
    r.replace(9, 4, "host");
    r[520] = char(gbkTitle.size());
    r.replace(521, gbkTitle.size(), gbkTitle);
    r[1032] = char(isRead);
    return r;
}

QByteArray count(qint32 n)
{
    QByteArray c(4, '\0');
    qToLittleEndian(n, c.data());
    return c;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir FDir;
    QString path(const QString &name = QStringLiteral("LektoBookmarks.lkt")) const { return FDir.filePath(name); }
    QStringList FMessages;
    TLektoHistory::TMessageSink sink()
    {
        return [this](const QString &caption, const QString &text) { FMessages << caption + QLatin1Char('|') + text; };
    }

private slots:
    void init()
    {
        FMessages.clear();
        for (const auto &e : QDir(FDir.path()).entryList(QDir::Files))
            QFile::remove(FDir.filePath(e));
    }

    void addHisRecordsOnlyHttp_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<int>("entries");
        QTest::newRow("start page") << "about:blank" << 0;
        QTest::newRow("local file") << "file:///home/a.html" << 0;
        QTest::newRow("command") << "rc:del0" << 0;
        QTest::newRow("upper-case scheme") << "HTTP://host/a.html" << 0;
        QTest::newRow("http") << "http://host/a.html" << 1;
        QTest::newRow("https") << "https://host/a.html" << 1;
    }
    void addHisRecordsOnlyHttp()
    {
        QFETCH(QString, url);
        QFETCH(int, entries);
        TLektoHistory h(path());
        h.AddHis(url, QStringLiteral("t"));
        QCOMPARE(h.Count(), entries);
    }

    void addHisFollowsTheBook()
    {
        TLektoHistory h(path());
        h.AddHis("http://host/a/1.html", "Chapter 1");
        h.AddHis("http://other/x/1.html", "Other");
        h.BmYiyue(1);
        h.SetNoteInput([](const QString &) { return QStringLiteral("我的书"); });
        h.BmJianzhu(false, 1);
        const double before = h.Bookmarks()[1]->visitTime();
        h.AddHis("https://host/a/2.html", "Chapter 2");
        QCOMPARE(h.Count(), 2);
        const THisRecord &r = *h.Bookmarks()[0];
        QCOMPARE(fieldText(r.PageName), QStringLiteral("2.html"));
        QCOMPARE(fieldText(r.Title), QStringLiteral("Chapter 2"));
        QCOMPARE(fieldText(r.Note), QStringLiteral("我的书"));
        QCOMPARE(r.IsRead, 1);
        QVERIFY(r.visitTime() >= before);
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"Chapter 2", "Other"}));

        // Letter case of the book path matters.
        h.AddHis("http://HOST/a/3.html", "Shouting");
        QCOMPARE(h.Count(), 3);
    }

    void fattenedBookComesBackWithItsNote()
    {
        TLektoHistory h(path());
        h.AddHis("http://host/a/1.html", "A1");
        h.AddHis("http://host/b/1.html", "B1");
        h.SetNoteInput([](const QString &) { return QStringLiteral("养着"); });
        h.BmJianzhu(false, 1); // A
        h.ToBm2(1);
        h.Bm2Yiyue(0);
        QCOMPARE(h.L2().size(), size_t(1));
        QCOMPARE(h.L2()[0]->IsRead, 0);
        h.AddHis("http://host/a/7.html", "A7");
        QVERIFY(h.L2().empty());
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"A7", "B1"}));
        QCOMPARE(fieldText(h.Bookmarks()[0]->Note), QStringLiteral("养着"));
        QCOMPARE(h.Bookmarks()[0]->IsRead, 1);
    }

    void movesKeepTheRecord()
    {
        TLektoHistory h(path());
        for (const char *b : {"a", "b", "c"})
            h.AddHis(QStringLiteral("http://host/%1/1.html").arg(b), QString::fromLatin1(b));
        h.BmYiyue(0);
        const THisRecord *moved = h.Bookmarks()[0].get();
        const QByteArray image(reinterpret_cast<const char *>(moved), kHisRecordSize);
        h.ToBm2(0);
        QCOMPARE(h.L2()[0].get(), moved);
        h.ToShuqian(0);
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"b", "a", "c"}));
        QCOMPARE(h.Bookmarks()[2].get(), moved);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(moved), kHisRecordSize), image);
    }

    void readMarks()
    {
        TLektoHistory h(path());
        h.AddHis("http://host/a/1.html", "a");
        QCOMPARE(h.Bookmarks()[0]->IsRead, 1);
        h.BmYiyue(0);
        QCOMPARE(h.Bookmarks()[0]->IsRead, 0);
        h.BmYiyue(0);
        QCOMPARE(h.Bookmarks()[0]->IsRead, 1);
        h.ToBm2(0);
        h.AddHis("http://host/b/1.html", "b");
        h.xWeiyue(0);
        QCOMPARE(h.Bookmarks()[0]->IsRead + h.L2()[0]->IsRead, 0);
        h.xWeiyue(1);
        QCOMPARE(h.Bookmarks()[0]->IsRead + h.L2()[0]->IsRead, 2);
    }

    void unreadFirstIsStable()
    {
        TLektoHistory h(path());
        // AddHis puts the newest first, so add D, C, B, A.
        for (const char *b : {"D", "C", "B", "A"})
            h.AddHis(QStringLiteral("http://host/%1/1.html").arg(b), QString::fromLatin1(b));
        h.BmYiyue(0); // A unread
        h.BmYiyue(2); // C unread
        for (const char *b : {"z", "y", "x"})
            h.AddHis(QStringLiteral("http://f/%1/1.html").arg(b), QString::fromLatin1(b));
        h.BmYiyue(2); // z unread; the list is x y z A B C D
        for (int i = 0; i < 3; ++i)
            h.ToBm2(0);
        h.weiyuetiqian();
        QCOMPARE(titles(h.Bookmarks()), (QStringList{"A", "C", "B", "D"}));
        QCOMPARE(titles(h.L2()), (QStringList{"z", "x", "y"}));
    }

    void notes_data()
    {
        QTest::addColumn<QString>("existing");
        QTest::addColumn<QString>("answer"); // "<cancel>" answers the proposal
        QTest::addColumn<QString>("proposed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("cancel without note changes nothing") << "" << "<cancel>" << "第一章" << "";
        QTest::newRow("cancel keeps the note") << "旧" << "<cancel>" << "旧" << "旧";
        QTest::newRow("empty answer removes the note") << "旧" << "" << "旧" << "";
        QTest::newRow("new note") << "" << "新" << "第一章" << "新";
    }
    void notes()
    {
        QFETCH(QString, existing);
        QFETCH(QString, answer);
        QFETCH(QString, proposed);
        QFETCH(QString, stored);
        TLektoHistory h(path());
        h.AddHis("http://host/a/1.html", QStringLiteral("第一章"));
        setFieldText(h.Bookmarks()[0]->Note, existing);
        QString asked;
        h.SetNoteInput([&](const QString &p) -> std::optional<QString> {
            asked = p;
            if (answer == "<cancel>")
                return std::nullopt;
            return answer;
        });
        h.BmJianzhu(false, 0);
        QCOMPARE(asked, proposed);
        QCOMPARE(fieldText(h.Bookmarks()[0]->Note), stored);
    }

    // The note box is modal: while it is open, queued commands run and may
    // move or delete entries. The answer goes to the book it was asked for.
    void noteFollowsItsBookWhileTheBoxIsOpen_data()
    {
        QTest::addColumn<int>("meanwhile");
        QTest::addColumn<QStringList>("notes"); // bookmarks then "|" then fattening, after the answer
        QTest::newRow("nothing happens") << 0 << QStringList{"", "注", "", "|"};
        QTest::newRow("the entry is deleted") << 1 << QStringList{"", "", "|"};
        QTest::newRow("an entry before it is deleted") << 2 << QStringList{"注", "", "|"};
        QTest::newRow("the entry is fattened") << 3 << QStringList{"", "", "|", "注"};
        QTest::newRow("everything is cleared") << 4 << QStringList{"|"};
    }
    void noteFollowsItsBookWhileTheBoxIsOpen()
    {
        QFETCH(int, meanwhile);
        QFETCH(QStringList, notes);
        TLektoHistory h(path());
        h.AddHis("http://host/c/1.html", "c");
        h.AddHis("http://host/b/1.html", "b");
        h.AddHis("http://host/a/1.html", "a"); // a, b, c
        h.SetNoteInput([&](const QString &) -> std::optional<QString> {
            switch (meanwhile) {
            case 1: h.DelHis(1); break;
            case 2: h.DelHis(0); break;
            case 3: h.ToBm2(1); break;
            case 4: h.ClearBM(); break;
            default: break;
            }
            return QStringLiteral("注");
        });
        h.BmJianzhu(false, 1); // b
        QStringList got;
        for (const auto &r : h.Bookmarks())
            got << fieldText(r->Note);
        got << "|";
        for (const auto &r : h.L2())
            got << fieldText(r->Note);
        QCOMPARE(got, notes);
    }

    void indexOutsideListChangesNothing_data()
    {
        QTest::addColumn<int>("op");
        QTest::addColumn<int>("idx");
        const char *names[] = {"DelHis", "DelBm2", "ToBm2", "ToShuqian", "BmYiyue", "Bm2Yiyue", "BmJianzhu", "BmJianzhu L2"};
        for (int op = 0; op < 8; ++op) {
            QTest::addRow("%s -1", names[op]) << op << -1;
            QTest::addRow("%s past end", names[op]) << op << 2;
        }
    }
    void indexOutsideListChangesNothing()
    {
        QFETCH(int, op);
        QFETCH(int, idx);
        TLektoHistory h(path());
        h.AddHis("http://host/a/1.html", "a");
        h.AddHis("http://host/b/1.html", "b");
        h.ToBm2(0);
        h.AddHis("http://host/c/1.html", "c");
        h.ToBm2(0); // bookmarks: a; fattening: b, c
        h.AddHis("http://host/d/1.html", "d"); // bookmarks: d, a
        bool asked = false;
        h.SetNoteInput([&](const QString &p) { asked = true; return p; });
        const auto before = titles(h.Bookmarks()) + QStringList{"|"} + titles(h.L2());
        const std::function<void()> ops[] = {
            [&] { h.DelHis(idx); }, [&] { h.DelBm2(idx); }, [&] { h.ToBm2(idx); }, [&] { h.ToShuqian(idx); },
            [&] { h.BmYiyue(idx); }, [&] { h.Bm2Yiyue(idx); }, [&] { h.BmJianzhu(false, idx); }, [&] { h.BmJianzhu(true, idx); }};
        QVERIFY_THROWS_EXCEPTION(ELektoError, ops[op]());
        QCOMPARE(titles(h.Bookmarks()) + QStringList{"|"} + titles(h.L2()), before);
        QVERIFY(!asked);
    }

    void fileForms_data()
    {
        QTest::addColumn<int>("bookmarks");
        QTest::addColumn<int>("fattening");
        QTest::addColumn<int>("length"); // -1: no file
        QTest::newRow("one bookmark") << 1 << 0 << 1041;
        QTest::newRow("one of each") << 1 << 1 << 2085;
        QTest::newRow("one fattening") << 0 << 1 << 1045;
        QTest::newRow("several") << 3 << 2 << 5 + 5 * 1040;
        QTest::newRow("empty") << 0 << 0 << -1;
    }
    void fileForms()
    {
        QFETCH(int, bookmarks);
        QFETCH(int, fattening);
        QFETCH(int, length);
        writeBytes(path(), QByteArray("\1") + record("old"));
        QByteArray images;
        {
            TLektoHistory h(path());
            h.ClearBM();
            for (int i = 0; i < bookmarks + fattening; ++i)
                h.AddHis(QStringLiteral("http://host/%1/第%1章.html").arg(i), QStringLiteral("标题 %1").arg(i));
            for (int i = 0; i < fattening; ++i)
                h.ToBm2(0);
            if (fattening > 0)
                h.Bm2Yiyue(0);
            for (const THisList *l : {&h.L2(), &h.Bookmarks()})
                for (const auto &r : *l)
                    images += QByteArray(reinterpret_cast<const char *>(r.get()), kHisRecordSize);
            h.SaveHis();
        }
        QCOMPARE(QFileInfo::exists(path()), length >= 0);
        if (length < 0)
            return;
        const QByteArray bytes = fileBytes(path());
        QCOMPARE(bytes.size(), length);
        QCOMPARE(bytes.right(images.size()), images);
        TLektoHistory back(path(), sink());
        QVERIFY(FMessages.isEmpty());
        QCOMPARE(int(back.Bookmarks().size()), bookmarks);
        QCOMPARE(int(back.L2().size()), fattening);
        back.SaveHis();
        QCOMPARE(fileBytes(path()), bytes);
    }

    void gbkBytesReadBack()
    {
        // "第一章" in GBK, as the old program wrote it on Chinese Windows.
        writeBytes(path(), QByteArray("\1") + record("\xB5\xDA\xD2\xBB\xD5\xC2"));
        TLektoHistory h(path());
        QCOMPARE(fieldText(h.Bookmarks()[0]->Title), QStringLiteral("第一章"));
        QCOMPARE(fieldText(h.Bookmarks()[0]->BookPath), QStringLiteral("host"));
    }

    void textsAreCutAtCharacterBoundaries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("short") << QStringLiteral("第一章 开始") << QStringLiteral("第一章 开始");
        QTest::newRow("300 latin") << QString(300, 'a') << QString(255, 'a');
        QTest::newRow("200 chinese") << QString(200, QChar(0x7B2C)) << QString(127, QChar(0x7B2C));
        QTest::newRow("odd byte left") << QStringLiteral("a") + QString(200, QChar(0x7B2C)) << QStringLiteral("a") + QString(127, QChar(0x7B2C));
        const QString emoji = QString::fromUcs4(U"\U0001F600");
        QString emojis;
        for (int i = 0; i < 100; ++i)
            emojis += emoji;
        QString emojiStored;
        for (int i = 0; i < 63; ++i) // 4 bytes each
            emojiStored += emoji;
        QTest::newRow("four-byte characters") << emojis << emojiStored;
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("x") << QString(QChar::ReplacementCharacter) + QStringLiteral("x");
    }
    void textsAreCutAtCharacterBoundaries()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        THisRecord r{};
        setFieldText(r.Title, text);
        QVERIFY(r.Title[0] <= 255);
        QCOMPARE(fieldText(r.Title), stored);
    }

    void unknownFormatIsKeptAside()
    {
        const QByteArray original = QByteArray("\2") + record("x") + "tail";
        writeBytes(path(), original);
        writeBytes(path("LektoBookmarks.lkt.damaged"), "an earlier backup");
        TLektoHistory h(path(), sink());
        QCOMPARE(FMessages, QStringList{QStringLiteral("错误！|数据文件版本无法识别！")});
        QCOMPARE(h.Count(), 0);
        QCOMPARE(fileBytes(path()), original); // untouched until a save
        h.AddHis("http://host/a/1.html", "a");
        h.SaveHis();
        QCOMPARE(h.BackupFileName(), path("LektoBookmarks.lkt.damaged.1"));
        QCOMPARE(fileBytes(h.BackupFileName()), original);
        QCOMPARE(fileBytes(path("LektoBookmarks.lkt.damaged")), QByteArray("an earlier backup"));
        QCOMPARE(fileBytes(path()).size(), 1041);
        h.SaveHis(); // the backup is made once
        QCOMPARE(QDir(FDir.path()).entryList(QDir::Files).size(), 3);
    }

    // A file that cannot be opened cannot be copied, but it can be moved
    // aside whole; saves then go on. Root reads everything, so the case runs
    // as an unprivileged user in a child process.
    void unreadableFileIsMovedAsideAndSavesGoOn()
    {
        QTemporaryDir shared(QStringLiteral("/tmp/lekto-unreadable-XXXXXX"));
        QVERIFY(shared.isValid());
        QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
        const QString file = shared.filePath(QStringLiteral("LektoBookmarks.lkt"));
        const QByteArray original = QByteArray("\1") + record("x");
        const auto scenario = [&]() -> int {
            writeBytes(file, original);
            if (!QFile::setPermissions(file, QFileDevice::Permissions()))
                return 10;
            QStringList messages;
            TLektoHistory h(file, [&](const QString &c, const QString &t) { messages << c + QLatin1Char('|') + t; });
            if (messages.size() != 1 || !messages[0].startsWith(QStringLiteral("错误！|无法读取数据文件"))
                || !messages[0].contains(file + QStringLiteral(".damaged")))
                return 11;
            h.AddHis("http://host/a/1.html", "a");
            try {
                h.SaveHis();
                h.SaveHis();
            } catch (...) {
                return 12;
            }
            return h.BackupFileName() == file + QStringLiteral(".damaged") ? 0 : 13;
        };
        if (::geteuid() != 0) {
            QCOMPARE(scenario(), 0);
        } else {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                const int rc = (::setgid(65534) == 0 && ::setuid(65534) == 0) ? scenario() : 20;
                ::_exit(rc);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
        }
        QCOMPARE(fileBytes(file + QStringLiteral(".damaged")), original);
        QCOMPARE(fileBytes(file).size(), 1041);
        QVERIFY(!QFileInfo::exists(file + QStringLiteral(".damaged.1")));
    }

    // A folder where the file should be is not ours to move: every save
    // fails with a clear error, and the lists stay as they are.
    void folderInTheWayFailsSavesAndKeepsTheLists()
    {
        QVERIFY(QDir().mkpath(path()));
        TLektoHistory h(path(), sink());
        QCOMPARE(FMessages.size(), 1);
        h.AddHis("http://host/a/1.html", "a");
        for (int i = 0; i < 2; ++i)
            QVERIFY_THROWS_EXCEPTION(ELektoError, h.SaveHis());
        QVERIFY(QFileInfo(path()).isDir());
        QCOMPARE(titles(h.Bookmarks()), QStringList{"a"});
        QVERIFY(QDir(path()).removeRecursively());
        h.SaveHis();
        QCOMPARE(fileBytes(path()).size(), 1041);
    }

    void damagedFilesAreRejectedAndKept_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("short record") << QByteArray("\1") + record("x").left(700);
        QTest::newRow("length 3 modulo 1040") << QByteArray("\1") + record("x") + "ab";
        QTest::newRow("count zero") << QByteArray("\1") + count(0) + record("x");
        QTest::newRow("count negative") << QByteArray("\1") + count(-3) + record("x");
        QTest::newRow("count past the end") << QByteArray("\1") + count(2) + record("x");
        QTest::newRow("huge count") << QByteArray("\1") + count(0x7fffffff) + record("x");
        QTest::newRow("count alone") << QByteArray("\1") + count(1);
    }
    void damagedFilesAreRejectedAndKept()
    {
        QFETCH(QByteArray, bytes);
        writeBytes(path(), bytes);
        TLektoHistory h(path(), sink());
        QCOMPARE(FMessages.size(), 1);
        QCOMPARE(h.Count() + int(h.L2().size()), 0);
        h.SaveHis(); // both lists empty: no history file remains, but the bytes do
        QVERIFY(!QFileInfo::exists(path()));
        QCOMPARE(fileBytes(h.BackupFileName()), bytes);
    }

    void failedSaveKeepsThePreviousFile()
    {
        {
            TLektoHistory h(path());
            h.AddHis("http://host/a/1.html", "a");
            h.SaveHis();
        }
        const QByteArray before = fileBytes(path());
        TLektoHistory h(path());
        for (int i = 0; i < 5; ++i)
            h.AddHis(QStringLiteral("http://host/%1/1.html").arg(i), "x");

        // A full disk, even for root: the file size limit makes writes fail.
        struct rlimit old;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 3000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool failed = false;
        try {
            h.SaveHis();
        } catch (const ELektoError &e) {
            failed = e.message().contains(path());
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, previous);
        QVERIFY(failed);
        QCOMPARE(fileBytes(path()), before);
        QCOMPARE(QDir(FDir.path()).entryList(QDir::Files), QStringList{"LektoBookmarks.lkt"});

        h.SaveHis(); // with room again it goes through
        QCOMPARE(fileBytes(path()).size(), 1 + 6 * 1040);
    }

    void saveIntoMissingFolderIsReported()
    {
        TLektoHistory h(FDir.filePath("no/such/folder/LektoBookmarks.lkt"));
        h.AddHis("http://host/a/1.html", "a");
        QVERIFY_THROWS_EXCEPTION(ELektoError, h.SaveHis());
    }

    void listingWorkedExample()
    {
        TLektoHistory h(path());
        h.AddHis("http://host/book/12/345.html", "Chapter 1");
        h.Bookmarks()[0]->setVisitTime(toDayCount(QDateTime(QDate(2015, 3, 7), QTime(9, 5, 0))));
        const QString row = QStringLiteral(
            "<tr height=26><td>0</td><td><a href=\"rc:Del0\"><font color=#800080>删除</font></a>&nbsp;</td>"
            "<td><a href=\"rc:yangfei0\"><font color=#800080>养肥</font></a>&nbsp;</td><td>2015-03-07 09:05:00&nbsp;</td>"
            "<td><a href=\"rc:yiyue0\" style='text-decoration:none'><font color=#800080>【已阅】</font></a></td>"
            "<td><a href=\"rc:jianzhu0\" style='text-decoration:none'><font color=#800080>简注</font></a>&gt;&nbsp;&nbsp;</td>"
            "<td><a href=\"http://host/book/12/345.html\"><font color=#800080>Chapter 1</font></a></td></font></tr>");
        const QStringList lines = h.GetHisHtmCode().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 12 + 1); // the last line ends with CR LF too
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines[0], QStringLiteral("<h3><a href=\"rc:xyiyue\";'>全标记为<font color=#800080>已阅</font></a>"));
        QCOMPARE(lines[3], QStringLiteral("<b><span style='font-size:15.0pt;'>自动书签：</span></b>"));
        QCOMPARE(lines[5], row);
        QCOMPARE(lines[6], QStringLiteral("</table>"));
        QCOMPARE(lines[7], QStringLiteral("</table>")); // no fattening section, its end tag stays
        QCOMPARE(lines[8], QStringLiteral("<H3><a href=\"rc:ClearBm\" style='background:#D9D9D9;'><font color=black>全部删除</font></a>"));
        QCOMPARE(lines[11], QStringLiteral("&nbsp;<a href=\"rc:weiyuetiqian\">未阅排序提前</a>"));
    }

    void listingSections()
    {
        TLektoHistory h(path());
        QCOMPARE(h.GetHisHtmCode(), QString());
        for (int i = 0; i < 13; ++i)
            h.AddHis(QStringLiteral("http://host/%1/1.html").arg(i), QStringLiteral("t%1").arg(i));
        for (int i = 0; i < 13; ++i)
            h.ToBm2(0);
        h.Bm2Yiyue(12);
        const QString code = h.GetHisHtmCode();
        QVERIFY(!code.contains("rc:xyiyue\";'>全标记为<font color=#800080>已阅</font></a>\r\n&nbsp;<a href=\"rc:xweiyue\">全标记为<font color=#0000FF>未阅</font></a>\r\n&nbsp;<a href=\"rc:weiyuetiqian\">未阅排序提前</a></h3>"));
        QVERIFY(code.startsWith("<b><span style='font-size:15.0pt;'>自动书签：</span></b>\r\n<table>\r\n</table>\r\n"
                                "<p><b><span style='font-size:15.0pt;'>养肥中：</span></b>\r\n<table>\r\n"));
        for (const char *link : {"rc:L2Del12", "rc:shuqian12", "rc:fyiyue12", "rc:fjianzhu12"})
            QVERIFY2(code.contains(QStringLiteral("\"%1\"").arg(QLatin1String(link))), link);
        QVERIFY(code.contains("<a href=\"rc:fyiyue12\" style='text-decoration:none'><font color=#0000FF>【未阅】"));
        QVERIFY(code.contains("<a href=\"rc:shuqian0\"><font color=#800080>书签</font></a>"));
        h.DelBm2(0);
        QVERIFY(!h.GetHisHtmCode().contains("rc:L2Del12\""));
    }

    void listingEscapesStoredTexts()
    {
        TLektoHistory h(path());
        h.AddHis("http://evil/\"><script>x()</script>/p'<.html", "<a href=\"rc:del0\">&amp;</a>");
        h.SetNoteInput([](const QString &) { return QStringLiteral("<img src=x onerror=alert(1)>"); });
        h.BmJianzhu(false, 0);
        const QString code = h.GetHisHtmCode();
        QVERIFY(!code.contains("<script"));
        QVERIFY(!code.contains("<img"));
        QVERIFY(!code.contains("<a href=\"rc:del0\""));
        QVERIFY(code.contains("&lt;a href=&quot;rc:del0&quot;&gt;&amp;amp;&lt;/a&gt;"));
        QVERIFY(code.contains("&lt;img src=x onerror=alert(1)&gt;"));
        QVERIFY(code.contains("<a href=\"http://evil/&quot;&gt;&lt;script&gt;x()&lt;/script&gt;/p&#39;&lt;.html\">"));
    }

    void timeFormat_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        QTest::newRow("example") << QDateTime(QDate(2015, 3, 7), QTime(9, 5, 0)) << "2015-03-07 09:05:00";
        QTest::newRow("last second") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999)) << "2026-12-31 23:59:59";
        QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << "1899-12-30 00:00:00";
    }
    void timeFormat()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QCOMPARE(formatVisitTime(toDayCount(time)), text);
        QCOMPARE(fromDayCount(toDayCount(time)), time);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
