#include "Tovak/shell/CommandLine.h"

#include "Tovak/export/AppScreenshotExporter.h"
#include "platform/NativePath.h"

namespace vellicord::CommandLine {
namespace {

QString hex(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

// One line, whatever the bytes: a path may hold any byte but "/" and NUL, a line feed too. Control
// characters, bytes that are not UTF-8 and the backslash are written as escapes ("\n", "\x1B",
// "\xE9", "\u0085", "\\"), as in a C string; the rest as it is.
void writeLine(std::FILE* stream, QByteArrayView bytes)
{
    const QString text = NativePath::decode(bytes);
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\\')
            line += QStringLiteral("\\\\");
        else if (c == u'\n')
            line += QStringLiteral("\\n");
        else if (c == u'\t')
            line += QStringLiteral("\\t");
        else if (c == u'\r')
            line += QStringLiteral("\\r");
        else if (c < 0x20 || c == 0x7F)
            line += QStringLiteral("\\x") + hex(c, 2);
        else if (c >= 0x80 && c <= 0x9F)
            line += QStringLiteral("\\u") + hex(c, 4);
        else if (QChar::isLowSurrogate(c) && (i == 0 || !text[i - 1].isHighSurrogate()))
            line += QStringLiteral("\\x") + hex(c & 0xFF, 2); // a byte that is not UTF-8
        else
            line += QChar(c);
    }
    const QByteArray out = line.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stream);
    std::fflush(stream);
}

} // namespace

std::optional<int> dispatch(const QStringList& arguments, const Exports& exports, std::FILE* out, std::FILE* err)
{
    if (arguments.contains(QStringLiteral("-verifyLists"))) {
        writeLine(err, "List verification requires a debug build.");
        return 1;
    }
    if (arguments.contains(QStringLiteral("-verifyPromptUX"))) {
        writeLine(err, "UI verification requires a debug build.");
        return 1;
    }
    try {
        if (const auto directory = AppScreenshotExporter::requestedSurfacesDirectory(arguments)) {
            exports.surfaces(*directory);
            writeLine(out, "==> UI surfaces: " + NativePath::encode(*directory));
            return 0;
        }
        if (const auto file = AppScreenshotExporter::requestedOutputURL(arguments)) {
            exports.sampleScreenshot(*file);
            writeLine(out, "==> sample screenshot: " + NativePath::encode(*file));
            return 0;
        }
    } catch (const AppScreenshotExporter::ExportError& error) {
        writeLine(err, "error: " + error.description().toUtf8());
        return 1;
    } catch (const std::exception& error) {
        writeLine(err, QByteArray("error: ") + error.what());
        return 1;
    }
    return std::nullopt;
}

} // namespace vellicord::CommandLine
