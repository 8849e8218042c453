// TOML date-time values: offset date-time, local date-time, local date, local time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace toml {

struct Date {
    uint16_t year = 0;
    uint8_t month = 1;
    uint8_t day = 1;
    bool operator==(const Date&) const = default;
};

struct Time {
    uint8_t hour = 0;
    uint8_t minute = 0;
    std::optional<uint8_t> second;
    std::optional<uint32_t> nanosecond;
    bool operator==(const Time&) const = default;
};

struct Offset {
    bool is_z = false;     // written as the letter Z
    int16_t minutes = 0;   // minutes east of UTC; meaningful when !is_z
    static Offset z() { return Offset{true, 0}; }
    static Offset custom(int16_t m) { return Offset{false, m}; }
    bool operator==(const Offset&) const = default;
};

// The time comes first: this order packs the three parts into 28 bytes.
struct Datetime {
    std::optional<Time> time;
    std::optional<Date> date;
    std::optional<Offset> offset;
    bool operator==(const Datetime&) const = default;
};
static_assert(sizeof(Datetime) == 28 && alignof(Datetime) == 4);

struct DatetimeParseError {
    const char* what = nullptr;      // "date", "time", "offset", "date-time" or none
    const char* expected = nullptr;  // description of what should have come, or none
    std::string message() const;
};

// Parses exactly one date-time (nothing before or after). On failure returns
// nullopt and fills `err`.
std::optional<Datetime> parse_datetime(std::string_view text, DatetimeParseError& err);

// Display form: appends to `out`.
void render_date(const Date& d, std::string& out);
void render_time(const Time& t, std::string& out);
void render_offset(const Offset& o, std::string& out);
void render_datetime(const Datetime& dt, std::string& out);
std::string to_string(const Datetime& dt);

}  // namespace toml
