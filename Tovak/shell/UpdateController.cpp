#include "Tovak/shell/UpdateController.h"

#include "Tovak/shell/UpdatePolicy.h"
#include "platform/Updater.h"

#include <QMessageBox>

namespace vellicord {

UpdateController::UpdateController(const BundleInfo& bundle, UpdaterFactory factory)
{
    if (factory && UpdatePolicy::canStartUpdater(bundle))
        updater_ = factory(bundle);
}

UpdateController::~UpdateController() = default;

QString UpdateController::unavailableTitle()
{
    return QStringLiteral("Updates are unavailable in this build");
}

QString UpdateController::unavailableText()
{
    return QStringLiteral("Please check ") + UpdatePolicy::vendorSiteDomain
        + QStringLiteral(" for the current release.");
}

void UpdateController::checkForUpdates(QWidget* parent)
{
    if (updater_) {
        updater_->checkForUpdates();
        return;
    }
    QMessageBox box(QMessageBox::Information, unavailableTitle(), unavailableTitle(),
                    QMessageBox::Ok, parent);
    box.setInformativeText(unavailableText());
    box.exec();
}

} // namespace vellicord
