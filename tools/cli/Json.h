#pragma once
// A small JSON value for the machine-readable output of tovik-cli: objects keep their keys in
// the order they were set, so the documents read like ffprobe's.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace tovik::cli {

class TJson {
public:
    using TArray = std::vector<TJson>;
    using TObject = std::vector<std::pair<std::string, TJson>>;

    TJson() = default; // null
    TJson(bool value) : value_(value) {}
    TJson(int value) : value_(static_cast<int64_t>(value)) {}
    TJson(int64_t value) : value_(value) {}
    TJson(double value) : value_(value) {}
    TJson(std::string value) : value_(std::move(value)) {}
    TJson(const char* value) : value_(std::string(value)) {}

    static TJson Array() { return TJson(TArray()); }
    static TJson Object() { return TJson(TObject()); }

    // Object: sets key (replacing an earlier value); returns *this for chaining.
    TJson& Set(const std::string& key, TJson value);
    // Array: appends.
    TJson& Append(TJson value);

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    // The text, indented by two spaces a level, without a final line break.
    std::string Text() const;

private:
    explicit TJson(TArray value) : value_(std::move(value)) {}
    explicit TJson(TObject value) : value_(std::move(value)) {}
    void Write(std::string& out, int depth) const;

    std::variant<std::monostate, bool, int64_t, double, std::string, TArray, TObject> value_;
};

// text as a JSON string literal with its quotes. Bytes that are not UTF-8 (file names and
// tags may hold any) become U+FFFD, so the document is always valid.
std::string JsonQuoted(const std::string& text);

} // namespace tovik::cli
