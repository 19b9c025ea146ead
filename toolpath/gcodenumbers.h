#ifndef TAVO_TOOLPATH_GCODENUMBERS_H
#define TAVO_TOOLPATH_GCODENUMBERS_H

// The letters, blanks and numbers of a G-code line, read in place: the
// reader's inner loop, where QByteArray::toDouble's copy and locale would
// cost more than the rest of the work.

#include <QtGlobal>

namespace gcodenumbers {

inline constexpr double powersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline int upperLetter(char c)
{
    const int u = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    return u >= 'A' && u <= 'Z' ? u : 0;
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A G-code number: optional sign, digits, optional point and digits. It ends
// at the line's end, a blank, a comment or the next word's letter. Returns
// the position after it, or null when it is malformed. Up to 18 digits the
// value is the digits as a whole number divided by a power of ten, both
// exact, so it is the correctly rounded value, as strtod would give.
inline const char* parseNumber(const char* p, const char* end, double* value)
{
    const char* begin = p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    quint64 mantissa = 0;
    int digits = 0;
    int decimals = 0;
    while (p < end && isDigit(*p)) {
        mantissa = mantissa * 10 + quint64(*p - '0');
        ++digits;
        ++p;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && isDigit(*p)) {
            mantissa = mantissa * 10 + quint64(*p - '0');
            ++digits;
            ++decimals;
            ++p;
        }
    }
    if (digits == 0)
        return nullptr;
    if (p < end && !isBlank(*p) && *p != ';' && !upperLetter(*p))
        return nullptr;
    if (Q_LIKELY(digits <= 18)) {
        const double magnitude = double(mantissa) / powersOfTen[decimals];
        *value = negative ? -magnitude : magnitude;
    } else {
        bool ok = false;
        *value = QByteArray(begin, int(p - begin)).toDouble(&ok);
        if (!ok)
            return nullptr;
    }
    return p;
}

// The same number, scanned where a line end is known to lie ahead, so no
// bound needs checking: every loop stops at the line end, which is no digit.
// Only the forms the writers produce; anything else gives null and the line
// is read the general way.
inline const char* scanNumber(const char* p, double* value)
{
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    quint64 mantissa = 0;
    const char* digits = p;
    while (isDigit(*p))
        mantissa = mantissa * 10 + quint64(*p++ - '0');
    std::ptrdiff_t count = p - digits;
    int decimals = 0;
    if (*p == '.') {
        const char* fraction = ++p;
        while (isDigit(*p))
            mantissa = mantissa * 10 + quint64(*p++ - '0');
        decimals = int(p - fraction);
        count += decimals;
    }
    if (count == 0 || count > 18)
        return nullptr;
    double magnitude = double(mantissa);
    if (decimals > 0)
        magnitude /= powersOfTen[decimals];
    *value = negative ? -magnitude : magnitude;
    return p;
}

inline const char* wordEnd(const char* p, const char* end)
{
    ++p;
    while (p < end && !isBlank(*p) && *p != ';' && !upperLetter(*p))
        ++p;
    return p;
}

} // namespace gcodenumbers

#endif
