#include "Tovak/export/AppScreenshotExporter.h"

#include <QDir>

namespace vellicord::AppScreenshotExporter {
namespace {

std::optional<QString> readOption(const QStringList& arguments, const QStringList& names,
                                  ExportError::Kind missing)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (!names.contains(arguments[i]))
            continue;
        if (i + 1 == arguments.size())
            throw ExportError(missing);
        // Taken as it stands, even when it looks like another option.
        return QDir::cleanPath(QDir::current().absoluteFilePath(arguments[i + 1]));
    }
    return std::nullopt;
}

} // namespace

QString ExportError::description() const
{
    switch (kind_) {
    case Kind::missingOutputPath:
        return QStringLiteral("Provide an output path after -exportSampleScreenshot.");
    case Kind::missingSurfacesDirectory:
        return QStringLiteral("Provide an output directory after -exportUISurfaces.");
    case Kind::renderFailed:
        return QStringLiteral("SwiftUI did not render the temporary Vellicord sample view.");
    case Kind::encodeFailed:
        return QStringLiteral("The rendered bitmap could not be encoded as PNG.");
    }
    return {};
}

std::optional<QString> requestedSurfacesDirectory(const QStringList& arguments)
{
    return readOption(arguments,
                      {QStringLiteral("-exportUISurfaces"), QStringLiteral("-exportStorageFailureSurfaces")},
                      ExportError::Kind::missingSurfacesDirectory);
}

std::optional<QString> requestedOutputURL(const QStringList& arguments)
{
    return readOption(arguments, {QStringLiteral("-exportSampleScreenshot")},
                      ExportError::Kind::missingOutputPath);
}

void exportSurfaces(const QString&)
{
    throw ExportError(ExportError::Kind::renderFailed);
}

void exportSampleScreenshot(const QString&)
{
    throw ExportError(ExportError::Kind::renderFailed);
}

} // namespace vellicord::AppScreenshotExporter
