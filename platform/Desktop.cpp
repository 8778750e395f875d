#include "platform/Desktop.h"

#include <QUrl>

namespace vellicord {

bool Desktop::isOpenable(const QString& address)
{
    // Strict parsing, so that text a tolerant parse would repair (spaces, stray percent signs) is
    // refused rather than opened as something the user did not write.
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return false;
    // QUrl keeps schemes in lower case, so "HTTPS:" is accepted like "https:".
    const QString scheme = url.scheme();
    if (scheme == u"mailto")
        return true;
    return (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

bool Desktop::isRevealable(const QString& path)
{
    // A captured path is another application's text: a NUL would cut it short on its way to the file system.
    return path.startsWith(u'/') && !path.contains(QChar(u'\0'));
}

} // namespace vellicord
