// Coming back to a book as it was left: the place inside its last page, and
// the window as the reader sized it.
#include "lekto.h"

#include "bookkey.h"
#include "dialogs.h"
#include "lektohistory.h"
#include "startaddress.h"
#include "windowplacement.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QSettings>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>

namespace {

// The book a page is kept under: the history's own key.
QString bookOf(const QString &page)
{
    return BookKey::Split(page).book;
}

} // namespace

QRect PlaceOnScreens(const QRect &saved, const QString &savedScreen, const QList<TScreenArea> &screens)
{
    if (screens.isEmpty() || !saved.isValid())
        return saved;
    const TScreenArea *screen = &screens.first();
    for (const TScreenArea &s : screens)
        if (s.name == savedScreen) {
            screen = &s;
            break;
        }
    const QRect area = screen->available;
    QRect r(saved.topLeft(), saved.size().boundedTo(area.size()));
    // Kept as it was while it lies on the screen; otherwise centred on it.
    if (!area.contains(r)) {
        if (area.intersected(r).width() < r.width() / 2 || area.intersected(r).height() < r.height() / 2)
            r.moveCenter(area.center());
        r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
        r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    }
    return r;
}

QString TFLekto::SideFile(const QString &name) const
{
    return QFileInfo(FHistoryFile).dir().filePath(name);
}

void TFLekto::LoadReadingPlaces()
{
    const QString file = SideFile(QString::fromLatin1(TReadingPlaces::kFileName));
    if (!FPlaces.Load(file))
        Dialogs::showMessage(QStringLiteral("警告"),
                             QStringLiteral("无法读取阅读位置文件“%1”，已改名为“%1.bad”。\n书签不受影响，各书的阅读位置将重新记录。")
                                 .arg(QDir::toNativeSeparators(file)));
    WB1->OnLeavePage = [this](TBrowserView *, const THtmlDocument2 &doc, double ratio) { RememberPlace(doc, ratio); };
}

void TFLekto::RememberPlace(const THtmlDocument2 &doc, double ratio)
{
    // Pages of the history only: our own pages and pages that failed are none.
    if (doc.IsErrorPage || doc.title.isEmpty() || isBlankAddress(doc.URL) || !doc.URL.startsWith(QLatin1String("http")))
        return;
    // A look at the contents leaves the book at its chapter, and the place
    // in that chapter with it.
    if (ChapterLinks::IsContentsPage(doc.chapter, FContentsOf.value(bookOf(doc.URL))))
        return;
    // Written with the history, whose save every page read arms anyway; the
    // save's timer stays the history's own.
    FPlaces.Remember(bookOf(doc.URL), doc.URL, ratio, QDateTime::currentMSecsSinceEpoch());
}

void TFLekto::SaveReadingPlaces()
{
    if (!FPlaces.Changed())
        return;
    FPlaces.Save(SideFile(QString::fromLatin1(TReadingPlaces::kFileName)));
    FPlaces.MarkSaved();
}

void TFLekto::ResumePlaceIfAsked()
{
    const QString asked = FResumeAddress;
    FResumeAddress.clear();
    const THtmlDocument2 *doc = WB1->Doc2();
    if (asked.isEmpty() || !doc || doc->IsErrorPage || doc->URL != asked)
        return;
    const auto place = FPlaces.Find(bookOf(doc->URL));
    if (place && place->page == doc->URL && place->ratio > 0)
        WB1->ScrollToRatio(place->ratio);
}

void TFLekto::SaveWindowPlacement()
{
    QSettings settings(SideFile(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
    // Full-screen reading is not kept: the window as it was before it.
    const bool fullScreen = IsFullScreen();
    const bool maximized = fullScreen ? FSaveMaximized : isMaximized();
    QRect bounds = fullScreen && !maximized ? FSaveBounds : (maximized ? normalGeometry() : geometry());
    if (!bounds.isValid())
        bounds = FSaveBounds;
    settings.setValue(QStringLiteral("window/maximized"), maximized);
    if (bounds.isValid())
        settings.setValue(QStringLiteral("window/bounds"), bounds);
    if (const QScreen *s = screen())
        settings.setValue(QStringLiteral("window/screen"), s->name());
    settings.sync();
}

void TFLekto::ShowWithSavedPlacement()
{
    QSettings settings(SideFile(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
    const QRect saved = settings.value(QStringLiteral("window/bounds")).toRect();
    const bool maximized = settings.value(QStringLiteral("window/maximized"), true).toBool();
    QList<TScreenArea> screens;
    if (QScreen *primary = QGuiApplication::primaryScreen())
        screens << TScreenArea{primary->name(), primary->availableGeometry()};
    for (QScreen *s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            screens << TScreenArea{s->name(), s->availableGeometry()};
    if (saved.isValid()) {
        const QRect bounds = PlaceOnScreens(saved, settings.value(QStringLiteral("window/screen")).toString(), screens);
        setGeometry(bounds);
    }
    if (maximized || !saved.isValid())
        showMaximized();
    else
        showNormal();
}
