#include "filechoice.h"

#include <QtWidgets/QFileDialog>

namespace FileChoice {

std::function<QString(QWidget *, const QString &)> openFile = [](QWidget *parent, const QString &filter) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("打开"), QString(), filter, nullptr,
                                        QFileDialog::HideNameFilterDetails);
};

} // namespace FileChoice
