// Turning chapters with ← and →, and the next chapter fetched ahead while
// the reader reads in pure mode.
#include "lekto.h"

#include "dialogs.h"
#include "startaddress.h"

void TFLekto::TurnChapter(TChapterDirection direction)
{
    const quint64 serial = WB1->NavigationSerial();
    WB1->FindChapterLinks([this, direction, serial](const TChapterLinks &links) {
        Dialogs::guarded([&] {
            // The page went somewhere with the key itself: its own script
            // turned the chapter, and a second turn would skip one.
            if (links.leftWithTheKey || WB1->NavigationSerial() != serial)
                return;
            // The arrows scroll a page that is wider than the view.
            if (links.scrollsSideways)
                return;
            const QUrl &to = links.toward(direction);
            if (to.isEmpty())
                return;
            // A second press while the chapter is on its way asks nothing new.
            if (FLastTurn.document == links.document && FLastTurn.to == to && WB1->IsLoading())
                return;
            FLastTurn = {links.document, to};
            WB1->OpenChapter(to, links);
        });
    });
}

void TFLekto::ChapterPageComplete()
{
    const THtmlDocument2 *doc = WB1->Doc2();
    if (!FChapterPrefetch || !IsPureMode() || !doc || doc->IsErrorPage || isBlankAddress(doc->URL)) {
        WB1->StopPrefetch();
        return;
    }
    // Its links were found as it completed.
    WB1->Prefetch(doc->chapter);
}
