#pragma once

#include <QtCore/QString>

// Where the history file and the custom links folder live: the program's own
// folder, so that a copied program folder carries its data; when that folder
// cannot be written, or belongs to an installed program (whose folder is
// shared by every user and owned by the package manager, even when this user
// could write to it, as root can), the per-user data folder.
QString LektoDataDir();
// The choice itself, for given folders; userDir is created when chosen.
QString ChooseDataDir(const QString &programDir, const QString &userDir);
// The desktop entry, relative to the program's folder, where the install rules
// put it: its presence there marks an installed program.
QString InstalledMarker();
