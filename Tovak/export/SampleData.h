#pragma once

#include "core/library/Selection.h"

#include <QDateTime>
#include <QList>

namespace vellicord {

// Six captures from six applications, for the sample screenshot and for a first look at an empty
// library ("-showWindowOnLaunch").
namespace SampleData {

// The fixed time the screenshot's dates are counted from: 2026-09-01T10:30:00Z.
QDateTime screenshotReferenceDate();

// The six samples, newest first, dated at fixed distances before now, each with a new id.
QList<Selection> sampleSelections(const QDateTime& now);

} // namespace SampleData
} // namespace vellicord
