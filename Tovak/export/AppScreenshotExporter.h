#pragma once

#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

namespace vellicord {

// The command-line export of interface surfaces to PNG files. This part reads its options; the
// renderings themselves are not in this build yet, so an export ends with renderFailed.
namespace AppScreenshotExporter {

class ExportError final : public std::exception {
public:
    enum class Kind { missingOutputPath, missingSurfacesDirectory, renderFailed, encodeFailed };

    explicit ExportError(Kind kind) : kind_(kind) {}
    Kind kind() const { return kind_; }
    QString description() const;
    const char* what() const noexcept override { return "export error"; }

private:
    Kind kind_;
};

// The argument after the first "-exportUISurfaces" or "-exportStorageFailureSurfaces", as an
// absolute, cleaned directory path; none without either option; throws missingSurfacesDirectory
// when the option is the last argument.
std::optional<QString> requestedSurfacesDirectory(const QStringList& arguments);
// The same for "-exportSampleScreenshot"; throws missingOutputPath.
std::optional<QString> requestedOutputURL(const QStringList& arguments);

void exportSurfaces(const QString& directory);
void exportSampleScreenshot(const QString& file);

} // namespace AppScreenshotExporter
} // namespace vellicord
