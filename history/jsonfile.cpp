#include "jsonfile.h"

#include "lektoerror.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QJsonDocument>
#include <QtCore/QSaveFile>

namespace JsonFile {

bool Read(const QString &fileName, QJsonObject &out, int version)
{
    out = {};
    QFile f(fileName);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.read(64 * 1024 * 1024), &error);
    f.close();
    // A store of another version is not guessed at: it is rebuilt.
    if (error.error != QJsonParseError::NoError || !doc.isObject()
        || (version >= 0 && doc.object().value(QStringLiteral("version")).toInt() != version)) {
        QFile::remove(fileName + QStringLiteral(".bad"));
        QFile::rename(fileName, fileName + QStringLiteral(".bad"));
        return false;
    }
    out = doc.object();
    return true;
}

void Write(const QString &fileName, const QJsonObject &object)
{
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    // Unbuffered: through its buffer, a short write to a full disk passes
    // for success and a cut file would be committed.
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(bytes) != bytes.size() || !f.commit())
        throw ELektoError(QStringLiteral("无法保存“%1”：%2").arg(QDir::toNativeSeparators(fileName), f.errorString()));
}

} // namespace JsonFile
