#pragma once
// Helpers shared by the probe's fact readers and its description text.

#include "media/LibraryBindings.h"

#include <cstdint>
#include <string>

namespace tovik::probe_detail {

int32_t ClampToInt32(int64_t value);
// The value of key in metadata; "" when absent.
std::string MetadataValue(const AVDictionary* metadata, const char* key);
// The number a text starts with ("3/12" gives 3, "2019-05-01" gives 2019); 0 when none.
int32_t LeadingNumber(const std::string& text);
// The "creation_time" entry as seconds since 1970-01-01 UTC; 0 when none or unreadable.
int64_t CreationTime(const AVDictionary* metadata);
// A zero denominator becomes the numerator, or 1 when that is zero too.
AVRational RepairedTimeBase(AVRational timeBase);
// A value in stream units as microseconds; -1 for the no-timestamp value.
int64_t StreamToMicroseconds(int64_t value, AVRational timeBase);

} // namespace tovik::probe_detail
