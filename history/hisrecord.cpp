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

namespace {

// The date and the milliseconds of the day that a day count stands for.
void dayParts(double days, QDate &date, int &ms)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) {
        date = kEpoch;
        ms = 0;
        return;
    }
    // The whole part counts days, the fraction (taken without sign) the time.
    double whole = std::trunc(days);
    qint64 m = std::llround(std::fabs(days - whole) * double(kMsPerDay));
    if (m >= kMsPerDay) {
        m -= kMsPerDay;
        whole += days < 0 ? -1 : 1;
    }
    date = kEpoch.addDays(qint64(whole));
    ms = int(m);
}

char16_t *putDigits(char16_t *out, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char16_t(u'0' + value % 10);
        value /= 10;
    }
    return out + width;
}

} // namespace

QDateTime fromDayCount(double days)
{
    QDate date;
    int ms = 0;
    dayParts(days, date, ms);
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms));
}

// The clock time as stored: a time that the local clock skipped (the hour a
// summer time begins) is shown as it was recorded, not moved by the zone.
int putVisitTime(char16_t *out, double days)
{
    QDate date;
    int ms = 0;
    dayParts(days, date, ms);
    int y = 0, mo = 0, d = 0;
    date.getDate(&y, &mo, &d);
    if (y < 1000 || y > 9999) {
        // Years of other widths, which no real visit has, are written by Qt.
        const QString text = QStringLiteral("%1-%2-%3 %4:%5:%6")
                                 .arg(y, 4, 10, QLatin1Char('0'))
                                 .arg(mo, 2, 10, QLatin1Char('0'))
                                 .arg(d, 2, 10, QLatin1Char('0'))
                                 .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                                 .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
        const int n = int(std::min<qsizetype>(text.size(), kVisitTimeMaxUnits));
        std::memcpy(out, text.constData(), size_t(n) * 2);
        return n;
    }
    char16_t *p = putDigits(out, y, 4);
    *p++ = u'-';
    p = putDigits(p, mo, 2);
    *p++ = u'-';
    p = putDigits(p, d, 2);
    *p++ = u' ';
    p = putDigits(p, ms / 3600000, 2);
    *p++ = u':';
    p = putDigits(p, ms / 60000 % 60, 2);
    *p++ = u':';
    p = putDigits(p, ms / 1000 % 60, 2);
    return int(p - out);
}

QString formatVisitTime(double days)
{
    char16_t buffer[kVisitTimeMaxUnits];
    return QString(reinterpret_cast<const QChar *>(buffer), putVisitTime(buffer, days));
}
