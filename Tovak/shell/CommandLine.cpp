#include "Tovak/shell/CommandLine.h"

#include "Tovak/export/AppScreenshotExporter.h"

namespace vellicord::CommandLine {
namespace {

void writeLine(std::FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> dispatch(const QStringList& arguments, const Exports& exports, std::FILE* out, std::FILE* err)
{
    if (arguments.contains(QStringLiteral("-verifyLists"))) {
        writeLine(err, QStringLiteral("List verification requires a debug build."));
        return 1;
    }
    if (arguments.contains(QStringLiteral("-verifyPromptUX"))) {
        writeLine(err, QStringLiteral("UI verification requires a debug build."));
        return 1;
    }
    try {
        if (const auto directory = AppScreenshotExporter::requestedSurfacesDirectory(arguments)) {
            exports.surfaces(*directory);
            writeLine(out, QStringLiteral("==> UI surfaces: ") + *directory);
            return 0;
        }
        if (const auto file = AppScreenshotExporter::requestedOutputURL(arguments)) {
            exports.sampleScreenshot(*file);
            writeLine(out, QStringLiteral("==> sample screenshot: ") + *file);
            return 0;
        }
    } catch (const AppScreenshotExporter::ExportError& error) {
        writeLine(err, QStringLiteral("error: ") + error.description());
        return 1;
    } catch (const std::exception& error) {
        writeLine(err, QStringLiteral("error: ") + QString::fromLocal8Bit(error.what()));
        return 1;
    }
    return std::nullopt;
}

} // namespace vellicord::CommandLine
