#include <winsim/json_fields.h>

namespace winsim {

std::uint64_t to_number(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        return value.get<std::uint64_t>();
    }
    if (value.is_number_integer()) {
        return static_cast<std::uint64_t>(value.get<std::int64_t>());
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? 1 : 0;
    }
    if (value.is_string()) {
        const auto text = value.get<std::string>();
        std::size_t used = 0;
        try {
            const auto number = std::stoull(text, &used, 0);
            if (used == text.size()) {
                return number;
            }
        } catch (const std::exception&) {
        }
        throw description_error("not a number: \"" + text + "\"");
    }
    throw description_error("not a number: " + value.dump());
}

occurrence occurrence::from(const nlohmann::json& rule) {
    occurrence result;
    result.nth = field<std::uint32_t>(rule, "nth", 1);
    result.times = field<std::uint32_t>(rule, "times", 1);
    return result;
}

bool occurrence::count() {
    ++seen;
    return seen >= nth && seen - nth < times;
}

} // namespace winsim
