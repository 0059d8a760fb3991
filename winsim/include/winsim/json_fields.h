// Reading machine-description values: numbers may be JSON numbers or strings
// ("0x4D014", "42"), so descriptions can write hardware values in hexadecimal.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace winsim {

struct description_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::uint64_t to_number(const nlohmann::json& value);

template <typename T> T field(const nlohmann::json& object, const char* key, T fallback) {
    if (!object.is_object() || !object.contains(key) || object.at(key).is_null()) {
        return fallback;
    }
    if constexpr (std::is_same_v<T, bool>) {
        return object.at(key).get<bool>();
    } else if constexpr (std::is_same_v<T, std::string>) {
        return object.at(key).get<std::string>();
    } else {
        return static_cast<T>(to_number(object.at(key)));
    }
}

template <typename T>
std::optional<T> optional_field(const nlohmann::json& object, const char* key) {
    if (!object.is_object() || !object.contains(key) || object.at(key).is_null()) {
        return std::nullopt;
    }
    return field<T>(object, key, T{});
}

// How many times a rule fires: on the nth matching event (from 1) and the
// times-1 events after it.
struct occurrence {
    std::uint32_t nth = 1;
    std::uint32_t times = 1;
    std::uint32_t seen = 0;

    static occurrence from(const nlohmann::json& rule);
    // Counts one matching event; true when the rule fires for it.
    bool count();
};

// Every fault rule must show: one whose answer is a clean completion (no failure a caller can
// see) is accepted only when it says so with "data": "none" (the command completes without
// moving data), so a rule meant to fail never silently turns a request into a success. Throws,
// naming the rule by `where` and its text, for one that does not say so, or for a "data" other
// than "none"; returns whether the rule says "data": "none".
bool moves_no_data(const nlohmann::json& rule, const std::string& where, bool completes_cleanly,
                   const char* clean_because);

} // namespace winsim
