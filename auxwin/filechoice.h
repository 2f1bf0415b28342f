#pragma once

#include <QtCore/QString>

#include <functional>

class QWidget;

// The file-open dialog, behind a hook that tests replace with a scripted
// answer, as the message boxes are.
namespace FileChoice {

// The chosen file's path, or an empty string when the person cancels.
// filter: one "name (patterns)" entry, shown by its name only.
extern std::function<QString(QWidget *parent, const QString &filter)> openFile;

} // namespace FileChoice
