// JSON values built in memory and written as text: objects keep their members in the order
// given, and every string is written in ASCII (other characters as \u escapes), so the text
// reads the same whatever code page shows it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace capture {

class json_value {
public:
    static json_value object();
    static json_value array();
    static json_value text(const std::wstring& value);
    // Bytes of a device's own text (ATA, SCSI, CSMI), each read as the character of that value.
    static json_value bytes(const std::string& value);
    static json_value number(std::uint64_t value);
    static json_value boolean(bool value);
    // A number written as a hexadecimal string ("0x0040"), as descriptions write hardware values.
    static json_value hex(std::uint64_t value, int digits);

    // Object members and array items; both return *this.
    json_value& add(const std::string& key, json_value value);
    json_value& push(json_value value);
    bool empty() const { return items_.empty(); }

    // Two-space indentation; objects and arrays of plain values fill lines of up to 100 columns.
    std::string to_text() const;

private:
    enum class kind { object, array, literal };
    kind kind_ = kind::literal;
    std::string literal_;                                   // the value's JSON text
    std::vector<std::pair<std::string, json_value>> items_; // keys empty in arrays

    bool nested() const;
    void write(std::string& out, std::size_t indent, std::size_t column) const;
};

} // namespace capture
