#pragma once

#include <QString>

namespace vellicord {

// The export's throwaway folders, in the temporary folder the environment names.
namespace TemporaryFolder {

// Makes a new folder only its owner can enter, never one that was there before, named the prefix,
// a dot and six letters or digits, in $TMPDIR (or /tmp when it is unset or empty). Throws
// FileSystemError when that folder does not exist or cannot be written, or when its name is not
// UTF-8, which the Qt file functions the export uses in it would misread.
QString makePrivate(const QString& prefix);

} // namespace TemporaryFolder
} // namespace vellicord
