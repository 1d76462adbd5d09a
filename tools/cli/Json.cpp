#include "cli/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tovik::cli {

namespace {

// The length of the well-formed UTF-8 sequence at text[i], 0 when it is not one.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    uint32_t minimum = 0;
    uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (code < minimum || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

void Indent(std::string& out, int depth) {
    out += '\n';
    out.append(static_cast<size_t>(depth) * 2, ' ');
}

} // namespace

TJson& TJson::Set(const std::string& key, TJson value) {
    auto* object = std::get_if<TObject>(&value_);
    if (!object)
        throw std::logic_error("TJson::Set on a value that is not an object");
    for (auto& [name, existing] : *object)
        if (name == key) {
            existing = std::move(value);
            return *this;
        }
    object->emplace_back(key, std::move(value));
    return *this;
}

TJson& TJson::Append(TJson value) {
    auto* array = std::get_if<TArray>(&value_);
    if (!array)
        throw std::logic_error("TJson::Append on a value that is not an array");
    array->push_back(std::move(value));
    return *this;
}

std::string TJson::Text() const {
    std::string out;
    Write(out, 0);
    return out;
}

void TJson::Write(std::string& out, int depth) const {
    if (std::holds_alternative<std::monostate>(value_)) {
        out += "null";
    } else if (const bool* flag = std::get_if<bool>(&value_)) {
        out += *flag ? "true" : "false";
    } else if (const int64_t* integer = std::get_if<int64_t>(&value_)) {
        out += std::to_string(*integer);
    } else if (const double* number = std::get_if<double>(&value_)) {
        // JSON has no infinities or NaN.
        if (!std::isfinite(*number)) {
            out += "null";
        } else {
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", *number);
            // The shortest text that reads back the same keeps documents tidy.
            for (int digits = 1; digits <= 17; ++digits) {
                char shorter[40];
                std::snprintf(shorter, sizeof shorter, "%.*g", digits, *number);
                if (std::strtod(shorter, nullptr) == *number) {
                    std::snprintf(text, sizeof text, "%s", shorter);
                    break;
                }
            }
            out += text;
        }
    } else if (const std::string* text = std::get_if<std::string>(&value_)) {
        out += JsonQuoted(*text);
    } else if (const TArray* array = std::get_if<TArray>(&value_)) {
        if (array->empty()) {
            out += "[]";
            return;
        }
        out += '[';
        for (size_t i = 0; i < array->size(); ++i) {
            if (i > 0)
                out += ',';
            Indent(out, depth + 1);
            (*array)[i].Write(out, depth + 1);
        }
        Indent(out, depth);
        out += ']';
    } else if (const TObject* object = std::get_if<TObject>(&value_)) {
        if (object->empty()) {
            out += "{}";
            return;
        }
        out += '{';
        for (size_t i = 0; i < object->size(); ++i) {
            if (i > 0)
                out += ',';
            Indent(out, depth + 1);
            out += JsonQuoted((*object)[i].first);
            out += ": ";
            (*object)[i].second.Write(out, depth + 1);
        }
        Indent(out, depth);
        out += '}';
    }
}

std::string JsonQuoted(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD in place of the stray byte
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
    return out;
}

} // namespace tovik::cli
