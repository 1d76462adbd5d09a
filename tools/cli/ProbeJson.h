#pragma once
// The machine-readable description of a probed file for "tovik-cli info --json": the
// container, its programs and its streams with their facts, in the shape of ffprobe's JSON
// output (format, programs, streams), so scripts written for one read the other.

#include "cli/Json.h"

namespace tovik {
class TCustomMediaProbe;
}

namespace tovik::cli {

// The description of the probe's open file.
TJson ProbeJson(TCustomMediaProbe& probe);

} // namespace tovik::cli
