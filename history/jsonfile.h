#pragma once

#include <QtCore/QJsonObject>
#include <QtCore/QString>

// The small JSON stores kept beside the history.
namespace JsonFile {

// Reads the object in fileName into out; a missing file is an empty object.
// False when the file cannot be opened, or cannot be read as an object (or,
// with version >= 0, is of another version): such a file is kept aside as
// fileName.bad, out of the way of the next save.
bool Read(const QString &fileName, QJsonObject &out, int version = -1);
// Written whole or not at all; throws ELektoError naming the file.
void Write(const QString &fileName, const QJsonObject &object);

} // namespace JsonFile
