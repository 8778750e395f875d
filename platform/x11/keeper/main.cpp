// vellicord-clipboard WINDOW: serves the clipboard content on standard input in place of WINDOW,
// the clipboard window of a Vellicord that is ending, until another client owns the clipboard.
#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/X11SelectionServer.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

using namespace vellicord;

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    char* end = nullptr;
    const unsigned long previousOwner = std::strtoul(argv[1], &end, 10);
    if (!end || *end != '\0')
        return 2;
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return 1;
    const std::optional<PasteboardItem> item = ClipboardKeeper::decode(input.readAll());
    input.close();
    if (!item || item->isEmpty())
        return 1;
    X11SelectionServer server("CLIPBOARD");
    if (!server.take(*item, xcb_window_t(previousOwner)))
        return 1;
    server.serve();
    return 0;
}
