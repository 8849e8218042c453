#include "refs/nesting_guard.hpp"

#include <algorithm>
#include <string>

namespace quillon {

Error too_deeply_nested() {
    return Error::value_error("nesting too deep: a TOML document holds at most " +
                              std::to_string(toml::kMaxNesting) + " levels of tables and arrays");
}

Result<ConvertingLevel> ConvertingLevel::enter() {
    int level = IncomingNesting::converting + 1;
    if (level > toml::kMaxNesting) return too_deeply_nested();
    IncomingNesting::converting = level;
    IncomingNesting::height = std::max(IncomingNesting::height, level);
    return ConvertingLevel();
}

Status note_copied_height(int height) {
    int reach = std::max(IncomingNesting::converting, 0) + height;
    if (reach > toml::kMaxNesting) return too_deeply_nested();
    IncomingNesting::height = std::max(IncomingNesting::height, reach);
    return ok_status();
}

Status admit_incoming(size_t depth) {
    if (depth + static_cast<size_t>(IncomingNesting::height) > static_cast<size_t>(toml::kMaxNesting))
        return too_deeply_nested();
    return ok_status();
}

}  // namespace quillon
