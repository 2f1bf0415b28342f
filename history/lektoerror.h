#pragma once

#include <QtCore/QString>

#include <stdexcept>

// An error that abandons the operation under way; the handler that catches it
// shows its text in the application's error report.
class ELektoError : public std::runtime_error
{
public:
    explicit ELektoError(const QString &message) : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString &message() const { return FMessage; }

private:
    QString FMessage;
};
