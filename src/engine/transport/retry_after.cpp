#include "engine/transport/retry_after.h"

#include <algorithm>

#include "sys/decimal_number.h"
#include "sys/text.h"

namespace zel {

namespace {

// Beyond any wait the program would honour; keeps the arithmetic far from
// overflow whatever a server writes.
constexpr std::uint64_t kLargestSeconds = std::uint64_t{1} << 40;

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

class Cursor {
  public:
    explicit Cursor(const std::string& text) : text_(text) {}
    bool AtEnd() const { return at_ >= text_.size(); }
    void SkipBlanks() {
        while (!AtEnd() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    bool Expect(char c) {
        if (AtEnd() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    // Exactly `digits` digits (or 1 to `digits` when loose).
    bool Number(std::size_t digits, bool loose, int* value) {
        const std::string window = text_.substr(0, std::min(text_.size(), at_ + digits));
        std::uint64_t number = 0;
        std::size_t read = ReadDecimalDigits(window, at_, number);
        if (read == 0 || (!loose && read != digits)) return false;
        *value = static_cast<int>(number);
        return true;
    }
    // Letters up to the next non-letter.
    std::string Word() {
        std::size_t start = at_;
        while (!AtEnd() && ((text_[at_] >= 'A' && text_[at_] <= 'Z') ||
                            (text_[at_] >= 'a' && text_[at_] <= 'z')))
            ++at_;
        return text_.substr(start, at_ - start);
    }

  private:
    const std::string& text_;
    std::size_t at_ = 0;
};

int MonthNumber(const std::string& name) {
    for (int i = 0; i < 12; ++i)
        if (SameTextNoCase(name, kMonths[i])) return i + 1;
    return 0;
}

bool IsDayName(const std::string& name) {
    static const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const kLongDays[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                            "Friday", "Saturday", "Sunday"};
    for (int i = 0; i < 7; ++i)
        if (SameTextNoCase(name, kDays[i]) || SameTextNoCase(name, kLongDays[i])) return true;
    return false;
}

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Time(Cursor& c, int* hour, int* minute, int* second) {
    return c.Number(2, false, hour) && c.Expect(':') && c.Number(2, false, minute) &&
           c.Expect(':') && c.Number(2, false, second) && *hour < 24 && *minute < 60 &&
           *second < 61;
}

bool Compose(int year, int month, int day, int hour, int minute, int second,
             std::int64_t* unixSeconds) {
    static const int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1]) return false;
    *unixSeconds =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
        hour * 3600 + minute * 60 + second;
    return true;
}

}  // namespace

bool ParseHttpDate(const std::string& text, std::int64_t* unixSeconds) {
    Cursor c(text);
    c.SkipBlanks();
    if (!IsDayName(c.Word())) return false;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (c.Expect(',')) {
        c.SkipBlanks();
        std::string monthName;
        if (!c.Number(2, false, &day)) return false;
        if (c.Expect('-')) {  // Sunday, 06-Nov-94 08:49:37 GMT
            monthName = c.Word();
            if (!c.Expect('-') || !c.Number(2, false, &year)) return false;
            // Two-digit years: the nearer century, as the standard asks.
            year += year < 70 ? 2000 : 1900;
        } else {  // Sun, 06 Nov 1994 08:49:37 GMT
            if (!c.Expect(' ')) return false;
            monthName = c.Word();
            if (!c.Expect(' ') || !c.Number(4, false, &year)) return false;
        }
        month = MonthNumber(monthName);
        if (!c.Expect(' ') || !Time(c, &hour, &minute, &second) || !c.Expect(' ') ||
            c.Word() != "GMT")
            return false;
    } else {  // Sun Nov  6 08:49:37 1994
        if (!c.Expect(' ')) return false;
        month = MonthNumber(c.Word());
        if (!c.Expect(' ')) return false;
        c.SkipBlanks();
        if (!c.Number(2, true, &day) || !c.Expect(' ') || !Time(c, &hour, &minute, &second) ||
            !c.Expect(' ') || !c.Number(4, false, &year))
            return false;
    }
    c.SkipBlanks();
    if (!c.AtEnd()) return false;
    return Compose(year, month, day, hour, minute, second, unixSeconds);
}

bool ParseRetryAfter(const std::string& text, std::int64_t nowUnixSeconds, std::int64_t* seconds) {
    std::uint64_t delay = 0;
    if (ParseDecimal(text, UINT64_MAX, delay)) {  // the reader holds a huge number at its largest
        *seconds = static_cast<std::int64_t>(std::min(delay, kLargestSeconds));
        return true;
    }
    std::int64_t when = 0;
    if (!ParseHttpDate(text, &when)) return false;
    *seconds = when > nowUnixSeconds ? when - nowUnixSeconds : 0;
    return true;
}

}  // namespace zel
