#pragma once
// Encoder names of the 0.6-era libraries that today's libraries spell differently, so that
// profiles, settings and option texts written with the old names keep working. The codec
// lookup (FindCodec) resolves every encoder name through this table.

#include "media/LibraryBindings.h"

#include <string>

namespace tovik {

// Today's name of an encoder: the first candidate of the rename table that this build has,
// or the name itself when the table does not list it (or no candidate is present).
std::string CurrentEncoderName(const std::string& name);

// The encoder of that name (after the rename) and media type. Null on failure, with error
// "Unknown encoder '%s'" or "Invalid encoder type '%s'" (the name as given).
const AVCodec* FindEncoderByName(const std::string& name, AVMediaType type, std::string& error);

} // namespace tovik
