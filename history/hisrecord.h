#pragma once

#include <QtCore/QByteArray>
#include <QtCore/QDateTime>
#include <QtCore/QString>

#include <cstdint>

// One history entry: the same 1040 bytes in memory and in the history file.
// Integers and the double are little-endian; each text is a length byte and
// up to 255 bytes of GB18030.
struct THisRecord {
    unsigned char VisitTime[8]; // days since 1899-12-30 00:00, the fraction the time of day
    unsigned char BookPath[256];
    unsigned char PageName[256];
    unsigned char Title[256];
    unsigned char Note[256];
    unsigned char IsRead;       // 1 read, 0 unread
    unsigned char Reserved[7];

    double visitTime() const;
    void setVisitTime(double value);
};
static_assert(sizeof(THisRecord) == 1040, "the record is the file's 1040-byte image");

constexpr int kHisRecordSize = 1040;

// Text fields.
QString fieldText(const unsigned char *field);
QByteArray fieldBytes(const unsigned char *field);
void setFieldBytes(unsigned char *field, const QByteArray &bytes); // at most 255 bytes
void setFieldText(unsigned char *field, const QString &text);

// Date and time as days since 1899-12-30, to the millisecond.
double toDayCount(const QDateTime &local);
QDateTime fromDayCount(double days);
// "yyyy-mm-dd hh:nn:ss"
QString formatVisitTime(double days);
// The same text written to out; answers the number of units written.
constexpr int kVisitTimeMaxUnits = 32;
int putVisitTime(char16_t *out, double days);
