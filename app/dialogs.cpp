#include "dialogs.h"

#include "lektoerror.h"

#include <QtCore/QFileInfo>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtPrintSupport/QPrintDialog>
#include <QtPrintSupport/QPrinter>
#include <QtWidgets/QFileDialog>
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

std::function<std::optional<QString>(const QString &, const QString &, const QString &)> inputText =
    [](const QString &caption, const QString &prompt, const QString &proposed) -> std::optional<QString> {
        QInputDialog box;
        box.setWindowTitle(caption);
        box.setLabelText(prompt);
        box.setInputMode(QInputDialog::TextInput);
        box.setTextValue(proposed);
        // Wide enough for a chapter title: the proposal is usually one.
        box.resize(480, box.sizeHint().height());
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue();
    };

QUrl ExternalUrl(const QString &address)
{
    const QUrl url(address);
    if (!url.scheme().isEmpty() && url.isValid())
        return url;
    return QUrl::fromUserInput(address);
}

std::function<bool(const QString &)> openExternal = [](const QString &url) {
    return QDesktopServices::openUrl(ExternalUrl(url));
};

std::function<std::optional<QString>(const QString &, const QString &)> saveFileName =
    [](const QString &caption, const QString &proposedPath) -> std::optional<QString> {
        QFileDialog box(nullptr, caption);
        box.setAcceptMode(QFileDialog::AcceptSave);
        box.setFileMode(QFileDialog::AnyFile);
        box.setOption(QFileDialog::DontConfirmOverwrite);
        box.setDirectory(QFileInfo(proposedPath).absolutePath());
        box.selectFile(QFileInfo(proposedPath).fileName());
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
            return std::nullopt;
        return box.selectedFiles().constFirst();
    };

std::function<bool(QPrinter &)> printDialog = [](QPrinter &printer) {
    QPrintDialog box(&printer);
    return box.exec() == QDialog::Accepted;
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
