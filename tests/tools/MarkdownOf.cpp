// markdown-of FILE: the Markdown a capture keeps when an .html or .rtf file's bytes are the
// formatted content on the clipboard, written exactly as it would be stored (no line feed added).
// Prints nothing and exits with status 1 when the converter refuses the file or it gives no
// Markdown; status 2 for a file it cannot read or of another kind.
#include "core/capture/CaptureLog.h"
#include "core/capture/Clipboard.h"
#include "core/capture/SelectionCapture.h"
#include "core/richtext/RtfReader.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

using namespace vellicord;

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: markdown-of FILE.html|FILE.rtf\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString suffix = QFileInfo(path).suffix().toLower();
    QFile file(path);
    if ((suffix != u"html" && suffix != u"htm" && suffix != u"rtf") || !file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "markdown-of: %s: not a readable .html or .rtf file\n", argv[1]);
        return 2;
    }
    // Only the Markdown goes out; the capture's log lines would mix with it.
    CaptureLog::setSink([](CaptureLog::Channel, CaptureLog::Level, const QString&) {});
    const QByteArray bytes = file.readAll();
    const std::optional<AttributedText> text
        = suffix == u"rtf" ? RtfReader::read(bytes) : Clipboard::attributedString(bytes);
    const std::optional<QString> markdown = SelectionCapture::markdownFrom(text);
    if (!markdown)
        return 1;
    const QByteArray utf8 = markdown->toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    return 0;
}
