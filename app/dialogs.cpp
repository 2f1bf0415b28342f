#include "dialogs.h"

#include "lektoerror.h"

#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtWidgets/QInputDialog>
#include <QtWidgets/QMessageBox>

namespace Dialogs {

std::function<void(const QString &)> errorReport = [](const QString &text) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("错误！"), text, QMessageBox::Ok);
    box.exec();
};

std::function<void(const QString &, const QString &)> showMessage = [](const QString &caption, const QString &text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.exec();
};

std::function<bool(const QString &, const QString &)> askYesNo = [](const QString &caption, const QString &text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
};

std::function<QString(const QString &, const QString &, const QString &)> inputText =
    [](const QString &caption, const QString &prompt, const QString &proposed) {
        bool ok = false;
        const QString text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, proposed, &ok);
        return ok ? text : proposed;
    };

std::function<void(const QString &)> openExternal = [](const QString &url) {
    QDesktopServices::openUrl(QUrl(url));
};

void reportException(std::exception_ptr e)
{
    QString text;
    try {
        std::rethrow_exception(e);
    } catch (const ELektoError &err) {
        text = err.message();
    } catch (const std::exception &err) {
        text = QString::fromLocal8Bit(err.what());
    } catch (...) {
        text = QStringLiteral("未知错误");
    }
    try {
        errorReport(text);
    } catch (...) {
        // Nothing is left to report a failing report with.
    }
}

} // namespace Dialogs
