// Parsing and display of TOML date-times.
#include "datetime.hpp"

#include <cstdlib>

namespace toml {

namespace {

enum class DtTok : unsigned char { Digits, Dash, Colon, Dot, Separator, Space, Z, Plus, Other, End };

struct DtToken {
    DtTok kind;
    std::string_view text;  // the digits of a Digits token
};

// Reads the text front to back; `Other` swallows the rest of the input.
class DtLexer {
public:
    explicit DtLexer(std::string_view s) : s_(s) {}

    DtToken next() {
        DtToken t = peek();
        pos_ = after_;
        return t;
    }

    DtToken peek() {
        if (pos_ >= s_.size()) {
            after_ = pos_;
            return {DtTok::End, {}};
        }
        char c = s_[pos_];
        after_ = pos_ + 1;
        switch (c) {
            case '-': return {DtTok::Dash, {}};
            case ':': return {DtTok::Colon, {}};
            case '.': return {DtTok::Dot, {}};
            case 'T': case 't': return {DtTok::Separator, {}};
            case ' ': return {DtTok::Space, {}};
            case 'Z': case 'z': return {DtTok::Z, {}};
            case '+': return {DtTok::Plus, {}};
            default: break;
        }
        if (c >= '0' && c <= '9') {
            size_t e = pos_;
            while (e < s_.size() && s_[e] >= '0' && s_[e] <= '9') ++e;
            after_ = e;
            return {DtTok::Digits, s_.substr(pos_, e - pos_)};
        }
        after_ = s_.size();
        return {DtTok::Other, {}};
    }

private:
    std::string_view s_;
    size_t pos_ = 0;
    size_t after_ = 0;
};

// Value of a digit run that is short enough (callers check the length first).
unsigned digits_value(std::string_view d) {
    unsigned v = 0;
    for (char c : d) v = v * 10 + static_cast<unsigned>(c - '0');
    return v;
}

bool is_leap_year(unsigned y) { return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0); }

unsigned days_in_month(unsigned year, unsigned month) {
    switch (month) {
        case 2: return is_leap_year(year) ? 29 : 28;
        case 4: case 6: case 9: case 11: return 30;
        default: return 31;
    }
}

struct Failure {};  // unwinds the parse; the details are already in the error

class DtParser {
public:
    DtParser(std::string_view text, DatetimeParseError& err) : lex_(text), err_(err) {}

    std::optional<Datetime> run() {
        Datetime dt;
        DtToken first = lex_.peek();
        if (first.kind != DtTok::Digits) return fail(nullptr, "year or hour");
        // Look one token past the first number to decide between date and time.
        DtLexer probe = lex_;
        probe.next();
        DtTok second = probe.peek().kind;
        if (second == DtTok::Dash) {
            if (!parse_date(dt)) return std::nullopt;
            DtTok after = lex_.peek().kind;
            if (after == DtTok::End) return dt;
            if (after != DtTok::Separator && after != DtTok::Space)
                return fail("date-time", "`T` between date and time");
            lex_.next();
        } else if (second != DtTok::Colon) {
            return fail(nullptr, "`-` (YYYY-MM) or `:` (HH:MM)");
        }
        if (!parse_time(dt)) return std::nullopt;
        if (!parse_offset(dt)) return std::nullopt;
        if (lex_.peek().kind != DtTok::End) return fail(nullptr, nullptr);
        return dt;
    }

private:
    std::nullopt_t fail(const char* what, const char* expected) {
        err_.what = what;
        err_.expected = expected;
        return std::nullopt;
    }

    // Reads a number of exactly `width` digits; `missing` names it when absent.
    bool number(const char* what, const char* missing, size_t width, const char* wrong_width,
                unsigned& value) {
        DtToken t = lex_.peek();
        if (t.kind != DtTok::Digits) {
            fail(what, missing);
            return false;
        }
        lex_.next();
        if (t.text.size() != width) {
            fail(what, wrong_width);
            return false;
        }
        value = digits_value(t.text);
        return true;
    }

    bool expect(DtTok kind, const char* what, const char* expected) {
        if (lex_.peek().kind != kind) {
            fail(what, expected);
            return false;
        }
        lex_.next();
        return true;
    }

    bool parse_date(Datetime& dt) {
        unsigned year, month, day;
        if (!number("date", "year", 4, "a four-digit year (YYYY)", year)) return false;
        lex_.next();  // the dash, already seen
        if (!number("date", "month", 2, "a two-digit month (MM)", month)) return false;
        if (month < 1 || month > 12) {
            fail("date", "month between 01 and 12");
            return false;
        }
        if (!expect(DtTok::Dash, "date", "`-` (MM-DD)")) return false;
        if (!number("date", "day", 2, "a two-digit day (DD)", day)) return false;
        unsigned last = days_in_month(year, month);
        if (day < 1 || day > last) {
            static const char* const kDayRange[] = {"day between 01 and 28", "day between 01 and 29",
                                                    "day between 01 and 30", "day between 01 and 31"};
            fail("date", kDayRange[last - 28]);
            return false;
        }
        dt.date = Date{static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)};
        return true;
    }

    bool parse_time(Datetime& dt) {
        unsigned hour, minute, second;
        Time t;
        if (!number("time", "hour", 2, "a two-digit hour (HH)", hour)) return false;
        if (hour > 23) {
            fail("time", "hour between 00 and 23");
            return false;
        }
        if (!expect(DtTok::Colon, "time", "`:` (HH:MM)")) return false;
        if (!number("time", "minute", 2, "a two-digit minute (MM)", minute)) return false;
        if (minute > 59) {
            fail("time", "minute between 00 and 59");
            return false;
        }
        t.hour = static_cast<uint8_t>(hour);
        t.minute = static_cast<uint8_t>(minute);
        if (lex_.peek().kind == DtTok::Colon) {
            lex_.next();
            if (!number("time", "second", 2, "a two-digit second (SS)", second)) return false;
            if (second > 60) {
                fail("time", "second between 00 and 60");
                return false;
            }
            t.second = static_cast<uint8_t>(second);
            if (lex_.peek().kind == DtTok::Dot) {
                lex_.next();
                DtToken frac = lex_.peek();
                if (frac.kind != DtTok::Digits) {
                    fail("time", "nanosecond");
                    return false;
                }
                lex_.next();
                // Digits past the ninth are dropped, not rounded.
                uint32_t ns = 0;
                for (size_t i = 0; i < 9; ++i) {
                    ns = ns * 10 + (i < frac.text.size() ? static_cast<uint32_t>(frac.text[i] - '0') : 0);
                }
                t.nanosecond = ns;
            }
        }
        dt.time = t;
        return true;
    }

    bool parse_offset(Datetime& dt) {
        DtTok k = lex_.peek().kind;
        if (k == DtTok::End) return true;
        if (k == DtTok::Z) {
            lex_.next();
            dt.offset = Offset::z();
            return true;
        }
        if (k != DtTok::Plus && k != DtTok::Dash) {
            fail("offset", "`Z`, +OFFSET, -OFFSET");
            return false;
        }
        lex_.next();
        unsigned hours, minutes;
        if (!number("offset", "hour", 2, "a two-digit hour (HH)", hours)) return false;
        if (hours > 23) {
            fail("offset", "hours between 00 and 23");
            return false;
        }
        if (!expect(DtTok::Colon, "offset", "`:` (HH:MM)")) return false;
        if (!number("offset", "minute", 2, "a two-digit minute (MM)", minutes)) return false;
        if (minutes > 59) {
            fail("offset", "minutes between 00 and 59");
            return false;
        }
        int total = static_cast<int>(hours * 60 + minutes);
        dt.offset = Offset::custom(static_cast<int16_t>(k == DtTok::Dash ? -total : total));
        return true;
    }

    DtLexer lex_;
    DatetimeParseError& err_;
};

void put_digits(unsigned v, int width, std::string& out) {
    char buf[10];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + v % 10);
        v /= 10;
    }
    out.append(buf, static_cast<size_t>(width));
}

}  // namespace

std::string DatetimeParseError::message() const {
    std::string m = "invalid ";
    m += what ? what : "datetime";
    if (expected) {
        m += ", expected ";
        m += expected;
    }
    return m;
}

namespace {

// The usual spellings, read in one straight pass: YYYY-MM-DD, HH:MM[:SS[.F+]]
// and the two joined by T, t or a space, with Z, z or +HH:MM/-HH:MM after a
// time that follows a date. Anything else, out-of-range fields included, is
// left to the full parser (which also explains what is wrong).
class QuickDatetime {
public:
    explicit QuickDatetime(std::string_view s) : s_(s) {}

    bool run(Datetime& dt) {
        if (at(4) == '-') {
            if (!date(dt)) return false;
            if (i_ == s_.size()) return true;
            char sep = s_[i_];
            if (sep != 'T' && sep != 't' && sep != ' ') return false;
            ++i_;
            if (!time(dt)) return false;
            if (!offset(dt)) return false;
        } else if (!time(dt)) {
            return false;
        }
        return i_ == s_.size();
    }

private:
    char at(size_t k) const { return i_ + k < s_.size() ? s_[i_ + k] : '\0'; }
    static bool digit(char c) { return c >= '0' && c <= '9'; }
    // Exactly `width` digits at the cursor (the caller checks what follows).
    bool number(size_t width, unsigned& value) {
        value = 0;
        for (size_t k = 0; k < width; ++k) {
            char c = at(k);
            if (!digit(c)) return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        i_ += width;
        return true;
    }
    bool literal(char c) {
        if (at(0) != c) return false;
        ++i_;
        return true;
    }

    bool date(Datetime& dt) {
        unsigned year, month, day;
        if (!number(4, year) || !literal('-') || !number(2, month) || !literal('-') || !number(2, day)) {
            return false;
        }
        if (digit(at(0)) || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month)) return false;
        dt.date = Date{static_cast<uint16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day)};
        return true;
    }

    bool time(Datetime& dt) {
        unsigned hour, minute;
        if (!number(2, hour) || !literal(':') || !number(2, minute)) return false;
        if (hour > 23 || minute > 59) return false;
        Time t;
        t.hour = static_cast<uint8_t>(hour);
        t.minute = static_cast<uint8_t>(minute);
        if (literal(':')) {
            unsigned second;
            if (!number(2, second) || second > 60) return false;
            t.second = static_cast<uint8_t>(second);
            if (literal('.')) {
                if (!digit(at(0))) return false;
                uint32_t ns = 0;
                size_t k = 0;
                for (; digit(at(k)); ++k) {
                    if (k < 9) ns = ns * 10 + static_cast<uint32_t>(at(k) - '0');
                }
                for (size_t pad = k; pad < 9; ++pad) ns *= 10;
                i_ += k;
                t.nanosecond = ns;
            }
        }
        if (digit(at(0))) return false;
        dt.time = t;
        return true;
    }

    bool offset(Datetime& dt) {
        char c = at(0);
        if (c == '\0') return true;
        if (c == 'Z' || c == 'z') {
            ++i_;
            dt.offset = Offset::z();
            return true;
        }
        if (c != '+' && c != '-') return false;
        ++i_;
        unsigned hours, minutes;
        if (!number(2, hours) || !literal(':') || !number(2, minutes)) return false;
        if (hours > 23 || minutes > 59) return false;
        int total = static_cast<int>(hours * 60 + minutes);
        dt.offset = Offset::custom(static_cast<int16_t>(c == '-' ? -total : total));
        return true;
    }

    std::string_view s_;
    size_t i_ = 0;
};

}  // namespace

std::optional<Datetime> parse_datetime(std::string_view text, DatetimeParseError& err) {
    err = DatetimeParseError{};
    Datetime quick;
    if (QuickDatetime(text).run(quick)) return quick;
    return DtParser(text, err).run();
}

void render_date(const Date& d, std::string& out) {
    put_digits(d.year, 4, out);
    out += '-';
    put_digits(d.month, 2, out);
    out += '-';
    put_digits(d.day, 2, out);
}

void render_time(const Time& t, std::string& out) {
    put_digits(t.hour, 2, out);
    out += ':';
    put_digits(t.minute, 2, out);
    if (!t.second && !t.nanosecond) return;
    out += ':';
    put_digits(t.second.value_or(0), 2, out);
    if (!t.nanosecond) return;
    out += '.';
    char buf[9];
    uint32_t ns = *t.nanosecond;
    for (int i = 8; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + ns % 10);
        ns /= 10;
    }
    size_t len = 9;
    while (len > 0 && buf[len - 1] == '0') --len;
    if (len == 0) len = 1;
    out.append(buf, len);
}

void render_offset(const Offset& o, std::string& out) {
    if (o.is_z) {
        out += 'Z';
        return;
    }
    int m = o.minutes;
    out += m < 0 ? '-' : '+';
    unsigned a = static_cast<unsigned>(std::abs(m));
    put_digits(a / 60, 2, out);
    out += ':';
    put_digits(a % 60, 2, out);
}

void render_datetime(const Datetime& dt, std::string& out) {
    if (dt.date) render_date(*dt.date, out);
    if (dt.date && dt.time) out += 'T';
    if (dt.time) render_time(*dt.time, out);
    if (dt.offset) render_offset(*dt.offset, out);
}

std::string to_string(const Datetime& dt) {
    std::string out;
    out.reserve(40);
    render_datetime(dt, out);
    return out;
}

}  // namespace toml
