#include "effects/TaskDescription.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <stdexcept>
#include <variant>
#include <vector>

namespace tovik {

namespace {

using TJson = nlohmann::json;

// Raised to 2 when a change makes older readers misread a description.
constexpr int kFormatVersion = 1;

template <class TRecord>
using TMember =
    std::variant<std::string TRecord::*, int32_t TRecord::*, int64_t TRecord::*,
                 uint32_t TRecord::*, float TRecord::*, double TRecord::*, bool TRecord::*>;

template <class TRecord> struct TField {
    const char* Name;
    TMember<TRecord> Member;
};

// Every field of each record, by the name it has in the code.
const std::vector<TField<TInputOptions>>& InputFields() {
    using T = TInputOptions;
    static const std::vector<TField<T>> fields = {{"FileName", &T::FileName},
                                                  {"FormatName", &T::FormatName},
                                                  {"StartTime", &T::StartTime},
                                                  {"ProgramId", &T::ProgramId},
                                                  {"OptionText", &T::OptionText}};
    return fields;
}

const std::vector<TField<TOutputOptions>>& OutputFields() {
    using T = TOutputOptions;
    static const std::vector<TField<T>> fields = {
        {"FileName", &T::FileName},
        {"FormatName", &T::FormatName},
        {"PacketSize", &T::PacketSize},
        {"MuxRate", &T::MuxRate},
        {"MuxDelay", &T::MuxDelay},
        {"MuxPreload", &T::MuxPreload},
        {"AudioCodec", &T::AudioCodec},
        {"AudioPreset", &T::AudioPreset},
        {"DisableAudio", &T::DisableAudio},
        {"Volume", &T::Volume},
        {"AudioChannels", &T::AudioChannels},
        {"AudioSampleRate", &T::AudioSampleRate},
        {"AudioBitRate", &T::AudioBitRate},
        {"AudioBitRateTolerance", &T::AudioBitRateTolerance},
        {"AudioLanguage", &T::AudioLanguage},
        {"AudioSync", &T::AudioSync},
        {"AudioTag", &T::AudioTag},
        {"VideoCodec", &T::VideoCodec},
        {"VideoPreset", &T::VideoPreset},
        {"DisableVideo", &T::DisableVideo},
        {"FrameRate", &T::FrameRate},
        {"FrameSize", &T::FrameSize},
        {"AspectRatio", &T::AspectRatio},
        {"CropTop", &T::CropTop},
        {"CropBottom", &T::CropBottom},
        {"CropLeft", &T::CropLeft},
        {"CropRight", &T::CropRight},
        {"GopSize", &T::GopSize},
        {"VideoBitRate", &T::VideoBitRate},
        {"MaxRate", &T::MaxRate},
        {"MinRate", &T::MinRate},
        {"BitRateTolerance", &T::BitRateTolerance},
        {"BufferSize", &T::BufferSize},
        {"VideoSync", &T::VideoSync},
        {"VideoTag", &T::VideoTag},
        {"VideoFilters", &T::VideoFilters},
        {"VideoLanguage", &T::VideoLanguage},
        {"SubtitleCodec", &T::SubtitleCodec},
        {"SubtitlePreset", &T::SubtitlePreset},
        {"DisableSubtitle", &T::DisableSubtitle},
        {"SubtitleLanguage", &T::SubtitleLanguage},
        {"InputSync", &T::InputSync},
        {"CopyTimestamps", &T::CopyTimestamps},
        {"StartTime", &T::StartTime},
        {"Duration", &T::Duration},
        {"Timestamp", &T::Timestamp},
        {"Year", &T::Year},
        {"Track", &T::Track},
        {"Title", &T::Title},
        {"Author", &T::Author},
        {"RightsNote", &T::RightsNote},
        {"Comment", &T::Comment},
        {"Album", &T::Album},
        {"Genre", &T::Genre},
        {"Target", &T::Target},
        {"TargetNorm", &T::TargetNorm},
        {"TargetFallbackNorm", &T::TargetFallbackNorm},
        {"CustomHook", &T::CustomHook},
        {"Join", &T::Join},
        {"OptionText", &T::OptionText}};
    return fields;
}

const std::vector<TField<TFontSpec>>& FontFields() {
    using T = TFontSpec;
    static const std::vector<TField<T>> fields = {
        {"Name", &T::Name},     {"Size", &T::Size},           {"Bold", &T::Bold},
        {"Italic", &T::Italic}, {"Underline", &T::Underline}, {"StrikeOut", &T::StrikeOut},
        {"Color", &T::Color}};
    return fields;
}

const std::vector<TField<TWmRec>>& LayerFields() {
    using T = TWmRec;
    static const std::vector<TField<T>> fields = {{"Kind", &T::Kind},
                                                  {"Text", &T::Text},
                                                  {"TextLeft", &T::TextLeft},
                                                  {"TextTop", &T::TextTop},
                                                  {"TextWidth", &T::TextWidth},
                                                  {"TextHeight", &T::TextHeight},
                                                  {"TextOpacity", &T::TextOpacity},
                                                  {"BackColor", &T::BackColor},
                                                  {"BackFilled", &T::BackFilled},
                                                  {"PictureFile", &T::PictureFile},
                                                  {"PictureLeft", &T::PictureLeft},
                                                  {"PictureTop", &T::PictureTop},
                                                  {"PictureWidth", &T::PictureWidth},
                                                  {"PictureHeight", &T::PictureHeight},
                                                  {"PictureOpacity", &T::PictureOpacity},
                                                  {"StartSecond", &T::StartSecond},
                                                  {"EndSecond", &T::EndSecond}};
    return fields;
}

const std::vector<TField<TJobEffects>>& EffectFields() {
    using T = TJobEffects;
    static const std::vector<TField<T>> fields = {{"Brightness", &T::Brightness},
                                                  {"Contrast", &T::Contrast},
                                                  {"Saturation", &T::Saturation},
                                                  {"Exposure", &T::Exposure}};
    return fields;
}

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("Task description: " + what);
}

bool IsUtf8(const std::string& text) {
    try {
        (void)TJson(text).dump();
        return true;
    } catch (const TJson::type_error&) {
        return false;
    }
}

// A text as a JSON string; one that is not UTF-8 (a file name from an old disc, say) as
// {"hex": "..."}, so that its bytes come back exactly.
TJson TextValue(const std::string& text) {
    if (IsUtf8(text))
        return text;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return TJson{{"hex", hex}};
}

std::string ReadText(const TJson& value, const std::string& where) {
    if (value.is_string())
        return value.get<std::string>();
    const auto hex = value.is_object() ? value.find("hex") : value.end();
    if (!value.is_object() || hex == value.end() || !hex->is_string())
        Fail(where + " must be a text");
    const auto& digits = hex->get_ref<const std::string&>();
    const auto nibble = [&](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        Fail(where + " holds a character that is not a hexadecimal digit");
    };
    if (digits.size() % 2 != 0)
        Fail(where + " must have an even number of hexadecimal digits");
    std::string text;
    text.reserve(digits.size() / 2);
    for (size_t i = 0; i < digits.size(); i += 2)
        text += static_cast<char>(nibble(digits[i]) * 16 + nibble(digits[i + 1]));
    return text;
}

template <class TRecord>
TJson WriteRecord(const TRecord& record, const std::vector<TField<TRecord>>& fields) {
    TJson object = TJson::object();
    for (const TField<TRecord>& field : fields)
        std::visit(
            [&](auto member) {
                using TValue = std::remove_cvref_t<decltype(record.*member)>;
                if constexpr (std::is_same_v<TValue, std::string>)
                    object[field.Name] = TextValue(record.*member);
                else
                    object[field.Name] = record.*member;
            },
            field.Member);
    return object;
}

// An integer of the field's type, refusing fractions and values outside its range.
template <class TInteger> TInteger ReadInteger(const TJson& value, const std::string& where) {
    if (!value.is_number_integer())
        Fail(where + " must be a whole number");
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        if (number > static_cast<uint64_t>(std::numeric_limits<TInteger>::max()))
            Fail(where + " is out of range");
        return static_cast<TInteger>(number);
    }
    const auto number = value.get<int64_t>();
    if (number < static_cast<int64_t>(std::numeric_limits<TInteger>::min()) ||
        (number > 0 && static_cast<uint64_t>(number) >
                           static_cast<uint64_t>(std::numeric_limits<TInteger>::max())))
        Fail(where + " is out of range");
    return static_cast<TInteger>(number);
}

template <class TRecord>
void ReadRecord(const TJson& object, TRecord& record, const std::vector<TField<TRecord>>& fields,
                const std::string& path) {
    if (!object.is_object())
        Fail(path + " must be an object");
    for (const TField<TRecord>& field : fields) {
        const auto found = object.find(field.Name);
        if (found == object.end())
            continue;
        const TJson& value = *found;
        const std::string where = path + "." + field.Name;
        std::visit(
            [&](auto member) {
                using TValue = std::remove_cvref_t<decltype(record.*member)>;
                if constexpr (std::is_same_v<TValue, std::string>) {
                    record.*member = ReadText(value, where);
                } else if constexpr (std::is_same_v<TValue, bool>) {
                    if (!value.is_boolean())
                        Fail(where + " must be true or false");
                    record.*member = value.template get<bool>();
                } else if constexpr (std::is_floating_point_v<TValue>) {
                    if (!value.is_number())
                        Fail(where + " must be a number");
                    record.*member = static_cast<TValue>(value.template get<double>());
                } else {
                    record.*member = ReadInteger<TValue>(value, where);
                }
            },
            field.Member);
    }
}

} // namespace

std::string WriteTaskDescription(const TTaskDescription& task) {
    TJson layers = TJson::array();
    for (const auto& layer : task.Effects.Overlays) {
        if (!layer)
            continue;
        TJson written = WriteRecord(*layer, LayerFields());
        written["Font"] = WriteRecord(layer->Font, FontFields());
        layers.push_back(std::move(written));
    }
    TJson effects = WriteRecord(task.Effects, EffectFields());
    effects["Overlays"] = std::move(layers);
    const TJson document = {{"version", kFormatVersion},
                            {"Input", WriteRecord(task.Input, InputFields())},
                            {"Output", WriteRecord(task.Output, OutputFields())},
                            {"Effects", std::move(effects)}};
    return document.dump();
}

TTaskDescription ReadTaskDescription(const std::string& text) {
    TJson document;
    try {
        document = TJson::parse(text);
    } catch (const TJson::exception& error) { // syntax, or a number beyond a double
        Fail(std::string("not JSON (") + error.what() + ")");
    }
    if (!document.is_object())
        Fail("must be an object");
    if (const auto version = document.find("version"); version != document.end()) {
        if (ReadInteger<int32_t>(*version, "version") > kFormatVersion)
            Fail("written by a newer version of the program");
    }
    TTaskDescription task;
    if (const auto input = document.find("Input"); input != document.end())
        ReadRecord(*input, task.Input, InputFields(), "Input");
    if (const auto output = document.find("Output"); output != document.end())
        ReadRecord(*output, task.Output, OutputFields(), "Output");
    if (const auto effects = document.find("Effects"); effects != document.end()) {
        ReadRecord(*effects, task.Effects, EffectFields(), "Effects");
        if (const auto layers = effects->find("Overlays"); layers != effects->end()) {
            if (!layers->is_array())
                Fail("Effects.Overlays must be a list");
            for (size_t index = 0; index < layers->size(); ++index) {
                const std::string path = "Effects.Overlays[" + std::to_string(index) + "]";
                const TJson& written = (*layers)[index];
                auto layer = std::make_shared<TWmRec>();
                ReadRecord(written, *layer, LayerFields(), path);
                if (const auto font = written.find("Font"); font != written.end())
                    ReadRecord(*font, layer->Font, FontFields(), path + ".Font");
                if (layer->Kind != TWmRec::kText && layer->Kind != TWmRec::kPicture)
                    Fail(path + ".Kind must be 0 (text) or 1 (picture)");
                task.Effects.Overlays.push_back(std::move(layer));
            }
        }
    }
    return task;
}

} // namespace tovik
