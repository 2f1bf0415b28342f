#pragma once

#include <QtCore/QString>
#include <QtCore/QUrl>

#include <exception>
#include <functional>
#include <optional>

class QPrinter;

// Everything the program asks of the person or hands to the desktop goes
// through these hooks: message boxes owned by no window, the note input box,
// the system's web browser. Tests replace them with scripted answers.
namespace Dialogs {

extern std::function<void(const QString &text)> errorReport;                       // caption "错误！"
extern std::function<void(const QString &caption, const QString &text)> showMessage; // OK button
extern std::function<bool(const QString &caption, const QString &text)> askYesNo;    // true for Yes
// The confirmed text, or nothing when the person cancels.
extern std::function<std::optional<QString>(const QString &caption, const QString &prompt, const QString &proposed)>
    inputText;
// True when the desktop took the address; the caller tells the reader otherwise.
extern std::function<bool(const QString &url)> openExternal;
// The standard save dialog, opened on proposedPath; the path chosen, or
// nothing when the person cancels. It does not ask about replacing a file:
// the caller does, with askYesNo.
extern std::function<std::optional<QString>(const QString &caption, const QString &proposedPath)> saveFileName;
// The standard print dialog (printers, print to a PDF file); true when the
// person prints, with the printer set up as chosen.
extern std::function<bool(QPrinter &printer)> printDialog;

// What the system's browser is given for an address as a reader writes it:
// one without a scheme ("www.qidian.com") is a web address, as the shell
// took it, not a file name relative to nowhere.
QUrl ExternalUrl(const QString &address);

// The application's general error report for an exception caught at a handler's boundary.
void reportException(std::exception_ptr e);

// Runs a handler; whatever it throws is reported and goes no further.
template <class F>
void guarded(F &&f) noexcept
{
    try {
        f();
    } catch (...) {
        reportException(std::current_exception());
    }
}

} // namespace Dialogs
