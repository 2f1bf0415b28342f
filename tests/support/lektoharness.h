#pragma once

#include "browserview.h"
#include "dialogs.h"
#include "eventwait.h"
#include "lekto.h"
#include "lektohistory.h"
#include "testmain.h"

#include <QtCore/QSettings>
#include <QtCore/QTemporaryDir>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWebEngineCore/QWebEnginePage>
#include <QtWebEngineCore/QWebEngineScript>

#include <memory>

// A main window on a history file of its own, with every dialog scripted:
// errors and messages are recorded, questions and the note box answered
// from queues, and addresses for the system's browser collected.
struct LektoHarness {
    QTemporaryDir dir;
    QStringList errors, messages, opened;
    bool desktopOpens = true; // whether the system's browser takes an address
    QList<bool> yesNoAnswers;         // answered in order; No when empty
    QStringList noteAnswers;          // "<cancel>" cancels
    QStringList questions;
    std::unique_ptr<TFLekto> window;
    int completions = 0;
    bool checksNewChapters = false;

    QString historyFile() const { return dir.filePath(QStringLiteral("LektoBookmarks.lkt")); }

    // The program's own dialogs, put back when the harness goes.
    decltype(Dialogs::errorReport) FErrorReport = Dialogs::errorReport;
    decltype(Dialogs::showMessage) FShowMessage = Dialogs::showMessage;
    decltype(Dialogs::askYesNo) FAskYesNo = Dialogs::askYesNo;
    decltype(Dialogs::inputText) FInputText = Dialogs::inputText;
    decltype(Dialogs::openExternal) FOpenExternal = Dialogs::openExternal;

    ~LektoHarness()
    {
        // Hidden first, and a moment given: the engine's compositor thread
        // once called into a view torn down while it still drew for it
        // ("pure virtual method called" as the next test's window came up).
        if (window && window->isVisible()) {
            window->hide();
            spin(30);
        }
        window.reset();
        Dialogs::errorReport = FErrorReport;
        Dialogs::showMessage = FShowMessage;
        Dialogs::askYesNo = FAskYesNo;
        Dialogs::inputText = FInputText;
        Dialogs::openExternal = FOpenExternal;
    }

    LektoHarness()
    {
        Dialogs::errorReport = [this](const QString &t) { errors << t; };
        Dialogs::showMessage = [this](const QString &c, const QString &t) { messages << c + QLatin1Char('|') + t; };
        Dialogs::askYesNo = [this](const QString &c, const QString &t) {
            questions << c + QLatin1Char('|') + t;
            return yesNoAnswers.isEmpty() ? false : yesNoAnswers.takeFirst();
        };
        Dialogs::inputText = [this](const QString &, const QString &, const QString &) -> std::optional<QString> {
            const QString a = noteAnswers.isEmpty() ? QStringLiteral("<cancel>") : noteAnswers.takeFirst();
            if (a == QLatin1String("<cancel>"))
                return std::nullopt;
            return a;
        };
        Dialogs::openExternal = [this](const QString &url) {
            opened << url;
            return desktopOpens;
        };
    }

    // Creates the window (which shows the start page) and waits for it.
    TFLekto &open(bool show = true)
    {
        // Books are asked for new chapters only where a test says so: the
        // answers would change the read marks other tests look at.
        {
            QSettings settings(dir.filePath(QStringLiteral("Lekto.ini")), QSettings::IniFormat);
            settings.setValue(QStringLiteral("newChapters/check"), checksNewChapters);
        }
        completions = 0;
        window = std::make_unique<TFLekto>(historyFile());
        CountCompletions(window->WB1, &completions);
        if (show) {
            window->resize(859, 591);
            window->show();
        }
        waitComplete(1);
        return *window;
    }

    bool waitComplete(int count, int ms = 20000)
    {
        return waitUntil([&] { return completions >= count; }, ms);
    }

    // Loads an address as the reader does and waits for its completion.
    bool type(const QString &text)
    {
        const int before = completions;
        window->EdUrl->setText(text);
        window->BtnGo->click();
        return waitComplete(before + 1);
    }

    QVariant js(const QString &script)
    {
        QVariant result;
        bool done = false;
        window->WB1->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                                           [&](const QVariant &r) { result = r; done = true; });
        waitUntil([&] { return done; }, 10000);
        return result;
    }

    // Clicks the first link of the page whose address is href (as the
    // reader would on the start page) and waits for the page to render again.
    bool clickLink(const QString &href)
    {
        const int before = completions;
        const bool found = js(QStringLiteral("(function(){var a=document.querySelector('a[href=\"%1\"]');"
                                             "if(!a)return false;a.click();return true;})()").arg(href)).toBool();
        return found && waitComplete(before + 1);
    }

    // The same with a real mouse click on the link, as a reader's: the engine
    // skips, on 后退, history entries that a page left without a gesture.
    bool mouseClickLink(const QString &href, Qt::MouseButton button = Qt::LeftButton)
    {
        return mouseClick(QStringLiteral("a[href=\"%1\"]").arg(href), button);
    }
    // Waits for the page it opens when it is a left click on a link or button;
    // expectPage false for a click that opens nothing (a text field).
    bool mouseClick(const QString &selector, Qt::MouseButton button = Qt::LeftButton, bool expectPage = true)
    {
        const QVariantList centre =
            js(QStringLiteral("(function(){var a=document.querySelector('%1');if(!a)return [];"
                              "a.scrollIntoView();var r=a.getBoundingClientRect();return [r.left+r.width/2,r.top+r.height/2];})()")
                   .arg(selector))
                .toList();
        QWidget *surface = window->WB1->focusProxy();
        if (centre.size() != 2 || !surface)
            return false;
        // The engine routes a click by what it has drawn: a page just loaded
        // may not have been drawn yet.
        spin(400);
        const int before = completions;
        const QPoint at(centre[0].toInt(), centre[1].toInt());
        // From elsewhere, as a hand on the mouse comes: the engine says which
        // link the pointer is on only when the pointer moves onto it.
        QTest::mouseMove(surface, at.x() > 5 ? QPoint(1, 1) : QPoint(surface->width() - 2, surface->height() - 2));
        spin(50);
        QTest::mouseMove(surface, at);
        spin(100); // the engine places the pointer before the press
        QTest::mouseClick(surface, button, {}, at);
        return button != Qt::LeftButton || !expectPage || waitComplete(before + 1);
    }

    QStringList bookTitles() const
    {
        QStringList out;
        for (const auto &r : window->FLektoHis->Bookmarks())
            out << fieldText(r->Title);
        return out;
    }
    QStringList fatteningTitles() const
    {
        QStringList out;
        for (const auto &r : window->FLektoHis->L2())
            out << fieldText(r->Title);
        return out;
    }
};
