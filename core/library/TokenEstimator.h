#pragma once

#include "core/library/ModelProfile.h"

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vellicord {

namespace TokenEstimator {

// 0 for empty text; else characters (grapheme clusters) / charsPerToken, rounded up.
// A profile whose charsPerToken is not a positive finite number counts 4 characters per token.
int64_t estimate(QStringView text, const ModelProfile& profile);
// The same for a known number of characters.
int64_t estimateForCharacters(int64_t characters, double charsPerToken);
// The whole number with the current locale's digit grouping, never abbreviated.
QString format(int64_t count);

} // namespace TokenEstimator
} // namespace vellicord
