#include "Tovak/export/SnapshotFixture.h"

#include "Tovak/export/TemporaryFolder.h"
#include "core/library/PromptTemplates.h"
#include "core/library/Store.h"
#include "platform/Defaults.h"
#include "platform/FileSystem.h"
#include "platform/SerialQueue.h"

#include <QDir>
#include <QUuid>

namespace vellicord {

SnapshotFixture::SnapshotFixture(const ExportServices& services, Clock& clock,
                                 const std::optional<QByteArray>& contents)
    : suiteName_(QStringLiteral("VellicordSnapshot.") + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
    , directory_(TemporaryFolder::makePrivate(QStringLiteral("VellicordSnapshot")))
{
    try {
        defaults_ = services.makeDefaults(suiteName_, directory_);
        defaults_->setBool(QString::fromLatin1(Store::collectIntoActiveDraftKey), false);
        PromptTemplates::saveCustom(QList<PromptTemplate>(), *defaults_);
        const QString library = directory_ + u'/' + QLatin1String(libraryFileName);
        if (contents)
            services.fileSystem.writeAtomically(library, *contents);
        saveQueue_ = services.makeSaveQueue();
        store_ = std::make_unique<Store>(library,
                                         Store::Services{.fileSystem = services.fileSystem,
                                                         .defaults = *defaults_,
                                                         .saveQueue = *saveQueue_,
                                                         .scheduler = services.scheduler,
                                                         .clock = clock});
    } catch (...) {
        cleanUp();
        throw;
    }
}

SnapshotFixture::~SnapshotFixture()
{
    cleanUp();
}

void SnapshotFixture::cleanUp()
{
    if (store_) {
        store_->saveNow();
        store_.reset();
    }
    saveQueue_.reset();
    defaults_.reset();
    removeFolder();
}

void SnapshotFixture::removeFolder()
{
    if (!directory_.isEmpty())
        QDir(directory_).removeRecursively();
    directory_.clear();
}

} // namespace vellicord
