#include "hisrecord.h"

#include "textcodec.h"

#include <QtCore/QtEndian>

#include <cmath>
#include <cstring>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr qint64 kMsPerDay = 86400000;
}

double THisRecord::visitTime() const
{
    quint64 bits = qFromLittleEndian<quint64>(VisitTime);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

void THisRecord::setVisitTime(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, VisitTime);
}

QByteArray fieldBytes(const unsigned char *field)
{
    return QByteArray(reinterpret_cast<const char *>(field + 1), field[0]);
}

QString fieldText(const unsigned char *field)
{
    return HistoryText::decode(reinterpret_cast<const char *>(field + 1), field[0]);
}

void setFieldBytes(unsigned char *field, const QByteArray &bytes)
{
    const int n = int(std::min<qsizetype>(bytes.size(), 255));
    std::memset(field, 0, 256);
    field[0] = static_cast<unsigned char>(n);
    std::memcpy(field + 1, bytes.constData(), size_t(n));
}

void setFieldText(unsigned char *field, const QString &text)
{
    setFieldBytes(field, HistoryText::encode(text));
}

double toDayCount(const QDateTime &local)
{
    const qint64 days = kEpoch.daysTo(local.date());
    const qint64 ms = local.time().msecsSinceStartOfDay();
    return double(days) + double(ms) / double(kMsPerDay);
}

QDateTime fromDayCount(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return QDateTime(kEpoch, QTime(0, 0));
    // The whole part counts days, the fraction (taken without sign) the time.
    double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * double(kMsPerDay));
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        whole += days < 0 ? -1 : 1;
    }
    return QDateTime(kEpoch.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString formatVisitTime(double days)
{
    const QDateTime t = fromDayCount(days);
    const QDate d = t.date();
    const QTime tm = t.time();
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(d.month(), 2, 10, QLatin1Char('0'))
        .arg(d.day(), 2, 10, QLatin1Char('0'))
        .arg(tm.hour(), 2, 10, QLatin1Char('0'))
        .arg(tm.minute(), 2, 10, QLatin1Char('0'))
        .arg(tm.second(), 2, 10, QLatin1Char('0'));
}
