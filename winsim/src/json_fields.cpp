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

bool moves_no_data(const nlohmann::json& rule, const std::string& where, bool completes_cleanly,
                   const char* clean_because) {
    const std::string named = where + " " + rule.dump();
    const bool no_data = rule.is_object() && rule.contains("data");
    if (no_data && rule.at("data") != "none") {
        throw description_error(named + ": \"data\" can only be \"none\"");
    }
    if (completes_cleanly && !no_data) {
        throw description_error(named + " changes nothing a caller can see (" + clean_because +
                                "); a rule meant to complete cleanly without moving data says "
                                "\"data\": \"none\"");
    }
    return no_data;
}

bool occurrence::count() {
    ++seen;
    return seen >= nth && seen - nth < times;
}

} // namespace winsim
