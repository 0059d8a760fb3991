#include "json_text.h"

#include <cstdio>
#include <type_traits>

namespace capture {
namespace {

constexpr std::size_t line_width = 100;

void escape_unit(std::string& out, std::uint32_t unit) {
    char text[8] = {};
    std::snprintf(text, sizeof text, "\\u%04x", static_cast<unsigned>(unit));
    out += text;
}

// One character (a code point) as JSON text; above U+FFFF as a UTF-16 surrogate pair.
void escape(std::string& out, std::uint32_t code) {
    if (code == '"' || code == '\\') {
        out += '\\';
        out += static_cast<char>(code);
    } else if (code >= 0x20 && code < 0x7F) {
        out += static_cast<char>(code);
    } else if (code > 0xFFFF) {
        code -= 0x10000;
        escape_unit(out, 0xD800 + (code >> 10));
        escape_unit(out, 0xDC00 + (code & 0x3FF));
    } else {
        escape_unit(out, code);
    }
}

std::string quoted(const std::string& key) {
    std::string out(1, '"');
    for (const char ch : key) {
        escape(out, static_cast<unsigned char>(ch));
    }
    out += '"';
    return out;
}

// Appends a line break and `width` blanks. Built by appending, never by adding temporaries:
// GCC 12 at -O3 warns of impossible overlaps in string additions.
void new_line(std::string& out, std::size_t width) {
    out += '\n';
    out.append(width, ' ');
}

} // namespace

json_value json_value::object() {
    json_value value;
    value.kind_ = kind::object;
    return value;
}

json_value json_value::array() {
    json_value value;
    value.kind_ = kind::array;
    return value;
}

json_value json_value::text(const std::wstring& value) {
    json_value result;
    result.literal_.assign(1, '"');
    for (const wchar_t ch : value) {
        // Windows' wide text is UTF-16: its surrogates pass through as the units they are.
        escape(result.literal_,
               static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(ch)));
    }
    result.literal_ += '"';
    return result;
}

json_value json_value::bytes(const std::string& value) {
    json_value result;
    result.literal_ = quoted(value);
    return result;
}

json_value json_value::number(std::uint64_t value) {
    json_value result;
    result.literal_ = std::to_string(value);
    return result;
}

json_value json_value::boolean(bool value) {
    json_value result;
    result.literal_ = value ? "true" : "false";
    return result;
}

json_value json_value::hex(std::uint64_t value, int digits) {
    char text[24] = {};
    std::snprintf(text, sizeof text, "\"0x%0*llX\"", digits,
                  static_cast<unsigned long long>(value));
    json_value result;
    result.literal_ = text;
    return result;
}

json_value& json_value::add(const std::string& key, json_value value) {
    items_.emplace_back(key, std::move(value));
    return *this;
}

json_value& json_value::push(json_value value) {
    items_.emplace_back(std::string(), std::move(value));
    return *this;
}

bool json_value::nested() const {
    for (const auto& [key, item] : items_) {
        if (item.kind_ != kind::literal) {
            return true;
        }
    }
    return false;
}

std::string json_value::to_text() const {
    std::string out;
    write(out, 0, 0);
    out += '\n';
    return out;
}

void json_value::write(std::string& out, std::size_t indent, std::size_t column) const {
    if (kind_ == kind::literal) {
        out += literal_;
        return;
    }
    const char open = kind_ == kind::object ? '{' : '[';
    const char close = kind_ == kind::object ? '}' : ']';
    if (items_.empty()) {
        out += open;
        out += close;
        return;
    }
    // Each member's key (none in an array) and, for a plain value, the value.
    std::vector<std::string> keys;
    for (const auto& [key, item] : items_) {
        keys.push_back(kind_ == kind::object ? quoted(key) : std::string());
        if (kind_ == kind::object) {
            keys.back() += ": ";
        }
    }
    const std::size_t margin = indent + 2;
    if (!nested()) {
        // Plain values: on this line when they fit, else filling lines below.
        std::string line(1, open);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            line += i == 0 ? " " : ", ";
            line += keys[i];
            line += items_[i].second.literal_;
        }
        line += ' ';
        line += close;
        if (column + line.size() <= line_width) {
            out += line;
            return;
        }
        out += open;
        new_line(out, margin);
        std::size_t used = margin;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const bool last = i + 1 == items_.size();
            const std::size_t length =
                keys[i].size() + items_[i].second.literal_.size() + (last ? 0 : 1);
            if (used > margin && used + 1 + length > line_width) {
                new_line(out, margin);
                used = margin;
            } else if (used > margin) {
                out += ' ';
                ++used;
            }
            out += keys[i];
            out += items_[i].second.literal_;
            if (!last) {
                out += ',';
            }
            used += length;
        }
        new_line(out, indent);
        out += close;
        return;
    }
    out += open;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        new_line(out, margin);
        out += keys[i];
        items_[i].second.write(out, margin, margin + keys[i].size());
        if (i + 1 < items_.size()) {
            out += ',';
        }
    }
    new_line(out, indent);
    out += close;
}

} // namespace capture
