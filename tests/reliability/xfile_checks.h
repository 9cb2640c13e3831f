// Checks of an exported .x text that hold for every file the exporter reports as
// written, however the export went: the structure closes and every number is finite.
#pragma once

#include <string>

namespace korvo::reliability {

// "" when every "{" outside quoted text is closed by a "}" in order; otherwise what
// is wrong and at which line.
std::string braceFault(const std::string& text);

// "" when no number is written as nan or inf (any case, any sign); otherwise the line
// that holds one.
std::string nonFiniteFault(const std::string& text);

}  // namespace korvo::reliability
