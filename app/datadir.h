#pragma once

#include <QtCore/QString>

// Where the history file and the custom links folder live: the program's own
// folder, so that a copied program folder carries its data; when that folder
// cannot be written (an installed program), the per-user data folder.
QString LektoDataDir();
// The choice itself, for given folders; userDir is created when chosen.
QString ChooseDataDir(const QString &programDir, const QString &userDir);
