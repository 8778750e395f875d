#include "Tovak/export/TemporaryFolder.h"

#include "platform/FileSystem.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <cstdlib>

namespace vellicord::TemporaryFolder {

QString makePrivate(const QString& prefix)
{
    // TMPDIR as it stands: QDir::tempPath() answers "" for a folder that is not there, and the
    // folders would be made at the root instead.
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty())
        base = "/tmp";
    while (base.size() > 1 && base.endsWith('/'))
        base.chop(1);
    const QString action = QStringLiteral("Could not create a folder in the temporary folder");
    if (QString::fromUtf8(base).toUtf8() != base)
        throw FileSystemError(action, NativePath::decode(base), EILSEQ);
    QByteArray path = base + '/' + prefix.toUtf8() + ".XXXXXX";
    if (!::mkdtemp(path.data()))
        throw FileSystemError(action, NativePath::decode(base), errno);
    return QString::fromUtf8(path);
}

} // namespace vellicord::TemporaryFolder
