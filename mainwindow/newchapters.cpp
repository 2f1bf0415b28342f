// Which books have new chapters: each book's contents page is asked in the
// background, its chapters after the reader's place counted, and the count
// shown beside the book on the start page.
#include "lekto.h"

#include "bookkey.h"
#include "contentslist.h"
#include "dialogs.h"
#include "lektoerror.h"
#include "lektohistory.h"
#include "textcodec.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSet>
#include <QtCore/QSettings>

#include <cstring>

namespace {

// A history entry found by its book, and where it stands.
struct TEntry {
    THisRecord *record = nullptr;
    bool fattening = false; // in the list of books set aside
    int index = -1;
};

TEntry findEntry(const TLektoHistory &history, const QString &book)
{
    // Compared as stored: a scan over the bytes costs next to nothing even
    // for tens of thousands of entries, and needs no map kept in step.
    const QByteArray key = HistoryText::encode(book);
    const auto scan = [&](const THisList &list, bool fattening) -> TEntry {
        for (size_t i = 0; i < list.size(); ++i) {
            const THisRecord &r = *list[i];
            if (r.BookPath[0] == key.size() && std::memcmp(r.BookPath + 1, key.constData(), size_t(key.size())) == 0)
                return {list[i].get(), fattening, int(i)};
        }
        return {};
    };
    if (TEntry e = scan(history.Bookmarks(), false); e.record)
        return e;
    return scan(history.L2(), true);
}

// The address the reader's place in a book is: its last page.
QString placeOf(const THisRecord &r)
{
    return QStringLiteral("http://") + BookKey::Address(fieldText(r.BookPath), fieldText(r.PageName));
}

// Where a book's chapters are listed: the page its chapters name as their
// contents, else the book's own address (on most sites the contents page).
QUrl contentsOf(const QString &book, const TUpdateStore::TBook *known)
{
    if (known && !known->contents.isEmpty())
        return QUrl(known->contents);
    if (book.contains(QLatin1Char('?')))
        return QUrl(QStringLiteral("http://") + book);
    return QUrl(QStringLiteral("http://") + book + QLatin1Char('/'));
}

QString bookRowCommand(const TEntry &e)
{
    return (e.fattening ? QStringLiteral("rc:L2Del") : QStringLiteral("rc:Del")) + QString::number(e.index);
}

// Puts the counts into the start page: after each book's title in its row,
// "新N章" with the newest chapter's title on hover; gone where nothing is new.
// A book found new just now is shown unread as the history has it now.
// The rows are found in one pass over the page: a query for each book
// walked the whole page each time (19 s for 2,000 books in 20,000 rows).
const char *const kShowCounts = R"JS((function(rows){
if(location.protocol!=='lekto:')return;
const at=new Map();
if(rows.length===1){const a=document.querySelector('a[href="'+rows[0].row+'"]');if(a)at.set(rows[0].row,a);}
else{const want=new Set(rows.map(r=>r.row));
 for(const a of document.querySelectorAll('a[href^="rc:"]')){const h=a.getAttribute('href');if(want.has(h)&&!at.has(h))at.set(h,a);}}
for(const r of rows){
 const a=at.get(r.row);const tr=a&&a.closest('tr');if(!tr)continue;
 const td=tr.cells[tr.cells.length-1];let s=td.querySelector('span.lekto-new');
 if(r.count>0){if(!s){s=document.createElement('span');s.className='lekto-new';
  s.style.cssText='color:#D9480F;font-weight:bold;margin-left:0.6em;white-space:nowrap';td.appendChild(s);}
  s.textContent='新'+r.count+'章';s.title=r.title;}
 else if(s)s.remove();
 if(r.unread){for(const f of tr.querySelectorAll('font')){if(f.getAttribute('color')==='#800080')f.setAttribute('color','#0000FF');
  if(f.textContent==='【已阅】')f.textContent='【未阅】';}}
}})(%1))JS";

// The command that checks again, beside the commands at the top of each list.
const char *const kCheckLinks = R"JS((function(){
if(location.protocol!=='lekto:'||document.getElementById('lekto-check'))return;
const link=id=>{const a=document.createElement('a');a.href='rc:gengxin';a.id=id;a.textContent='检查更新';return a;};
const bulk=document.querySelector('h3 a[href="rc:weiyuetiqian"]');
if(bulk){const a=link('lekto-check');bulk.after(a);a.before('\u00a0');}
for(const b of document.querySelectorAll('b')){if(b.textContent.trim()==='养肥中：'){const a=link('lekto-check2');b.after(a);a.before('\u00a0\u00a0');break;}}
})())JS";

} // namespace

void TFLekto::LoadNewChapterStore()
{
    QSettings settings(SideFile(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
    FChecksNewChapters = settings.value(QStringLiteral("newChapters/check"), true).toBool();
    const QString file = SideFile(QString::fromLatin1(TUpdateStore::kFileName));
    // A store that cannot be read is set aside and learned again: what it
    // held comes back with the next answers, so the reader is not bothered.
    if (!FUpdates.Load(file))
        qWarning("the store of new chapters could not be read; kept as %s.bad, started afresh", qPrintable(file));
}

void TFLekto::SaveNewChapterStore()
{
    // Books gone from the history (deleted, 全部删除) go from the store too,
    // whether or not books are being asked.
    QSet<QString> books;
    for (const THisList *list : {&FLektoHis->Bookmarks(), &FLektoHis->L2()})
        for (const auto &r : *list)
            books.insert(fieldText(r->BookPath));
    FUpdates.KeepOnly(books);
    if (!FUpdates.Changed())
        return;
    FUpdates.Save(SideFile(QString::fromLatin1(TUpdateStore::kFileName)));
    FUpdates.MarkSaved();
}

void TFLekto::StartPageComplete()
{
    if (FLektoHis->Count() == 0 && FLektoHis->L2().empty())
        return; // the help shows in its place
    WB1->RunInOwnDocument(QString::fromUtf8(kCheckLinks));
    ShowNewChapterCounts();
    CheckNewChapters(false);
}

void TFLekto::CheckNewChapters(bool now)
{
    if (!FChecksNewChapters || FShutDown || FClosed)
        return;
    if (!FUpdateChecker) {
        FUpdateChecker = new TUpdateChecker(this);
        FUpdateChecker->SetUserAgent(WB1->UserAgent());
        connect(FUpdateChecker, &TUpdateChecker::Answered, this,
                [this](const TUpdateChecker::TAnswer &a) { Dialogs::guarded([&] { NewChaptersAnswered(a); }); });
    }
    const qint64 time = QDateTime::currentMSecsSinceEpoch();
    QSet<QString> books;
    QList<TUpdateChecker::TJob> jobs;
    for (const THisList *list : {&FLektoHis->Bookmarks(), &FLektoHis->L2()}) {
        for (const auto &r : *list) {
            const QString book = fieldText(r->BookPath);
            if (book.isEmpty() || books.contains(book))
                continue;
            books.insert(book);
            const TUpdateStore::TBook *known = FUpdates.Find(book);
            const QString place = ContentsList::Bare(placeOf(*r));
            const bool moved = known && known->place != place;
            // A count that cannot be made again here (the list is not at
            // hand and the reader read on) asks at once, and whole.
            const bool stale = moved && !FChapterLists.contains(book) && place != known->newest;
            // A site that fails is not asked again at every look: once a
            // minute at most, even for a count that has to be made again.
            if (!now && known && time - known->checked < (stale ? 60 * 1000 : kCheckEveryMs))
                continue;
            // A history of thousands of books is asked for the ones read
            // last (the lists are newest first): the rest wait for the next look.
            if (jobs.size() >= kMostBooksAsked)
                continue;
            TUpdateChecker::TJob job{book, contentsOf(book, known), {}, {}};
            if (known && !stale && known->fetched == job.contents.toString()) {
                job.etag = known->etag;
                job.lastModified = known->lastModified;
            }
            jobs.append(job);
        }
    }
    FUpdates.KeepOnly(books);
    for (auto it = FChapterLists.begin(); it != FChapterLists.end();)
        it = books.contains(it.key()) ? std::next(it) : FChapterLists.erase(it);
    if (FUpdates.Changed())
        ScheduleSave();
    // A book already being asked is not asked twice.
    FUpdateChecker->Check(jobs);
}

void TFLekto::NewChaptersAnswered(const TUpdateChecker::TAnswer &a)
{
    const TEntry entry = findEntry(*FLektoHis, a.book);
    if (!entry.record)
        return; // deleted meanwhile
    TUpdateStore::TBook &b = FUpdates.Book(a.book);
    // Asked, answered or not: the next look is in half an hour (or at
    // 检查更新). A site that could not be asked shows nothing, and no box.
    b.checked = QDateTime::currentMSecsSinceEpoch();
    ScheduleSave();
    if (a.status == 0)
        return;
    const ContentsList::TChapters *list = nullptr;
    if (a.status == 200) {
        const QUrl base = a.answeredFrom.isValid() ? a.answeredFrom : a.contents;
        const ContentsList::TChapters parsed = ContentsList::Parse(ContentsList::Decode(a.body, a.contentType),
                                                                   base.toString(), a.book);
        list = &*FChapterLists.insert(a.book, parsed);
        b.fetched = a.contents.toString();
        b.etag = a.etag;
        b.lastModified = a.lastModified;
        b.length = int(parsed.links.size());
        b.newest = parsed.links.isEmpty() ? QString() : parsed.links.last();
        b.newestTitle = parsed.newestTitle;
    } else if (const auto it = FChapterLists.constFind(a.book); it != FChapterLists.constEnd()) {
        list = &*it;
    }
    const QString place = ContentsList::Bare(placeOf(*entry.record));
    int count = -1;
    if (list) {
        count = ContentsList::NewAfter(*list, place);
    } else if (place == b.newest) {
        count = 0;
    } else if (place == b.place) {
        count = b.count; // unchanged, and the reader has not moved
    } else {
        // Unchanged, but the reader read on meanwhile and the list is not at
        // hand: what was known stays, and the next look asks for the page whole.
        b.etag.clear();
        b.lastModified.clear();
        return;
    }
    b.place = place;
    b.count = count;
    // Found new once, the book is brought to the reader's notice once: a
    // book they mark read again stays so until a later chapter comes.
    bool marked = false;
    if (count > 0 && b.marked != b.newest) {
        b.marked = b.newest;
        if (entry.record->IsRead != 0) {
            entry.record->IsRead = 0;
            marked = true;
        }
    }
    ScheduleSave();
    ShowNewChapterCounts(a.book, marked);
}

void TFLekto::ShowNewChapterCounts(const QString &book, bool markedUnread)
{
    if (!FShowsStartPage || !WB1->ShowsOwnDocument())
        return;
    QJsonArray rows;
    const auto add = [&](const QString &key, const TEntry &e) {
        const TUpdateStore::TBook *b = FUpdates.Find(key);
        if (!b || !e.record)
            return;
        // What is shown is made for the place the reader has now.
        const QString place = ContentsList::Bare(placeOf(*e.record));
        int count = b->place == place ? b->count : -1;
        if (const auto it = FChapterLists.constFind(key); it != FChapterLists.constEnd())
            count = ContentsList::NewAfter(*it, place);
        rows.append(QJsonObject{{QStringLiteral("row"), bookRowCommand(e)},
                                {QStringLiteral("count"), count},
                                {QStringLiteral("title"), b->newestTitle},
                                {QStringLiteral("unread"), markedUnread}});
    };
    if (!book.isEmpty()) {
        add(book, findEntry(*FLektoHis, book));
    } else {
        for (const bool fattening : {false, true}) {
            const THisList &list = fattening ? FLektoHis->L2() : FLektoHis->Bookmarks();
            for (size_t i = 0; i < list.size(); ++i) {
                const QString key = fieldText(list[i]->BookPath);
                if (FUpdates.Find(key))
                    add(key, TEntry{list[i].get(), fattening, int(i)});
            }
        }
    }
    if (rows.isEmpty())
        return;
    WB1->RunInOwnDocument(QString::fromUtf8(kShowCounts).arg(QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Compact))));
}
