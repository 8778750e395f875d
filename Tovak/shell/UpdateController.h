#pragma once

#include "Tovak/shell/BundleInfo.h"

#include <functional>
#include <memory>

class QWidget;

namespace vellicord {

class Updater;

// Starts the updater when the bundle carries the vendor's feed configuration, and answers
// "Check for Updates…": a check, or the alert that this build has no updater.
class UpdateController {
public:
    using UpdaterFactory = std::function<std::unique_ptr<Updater>(const BundleInfo&)>;

    // factory: makes the updater once the configuration is found valid; none in this build.
    explicit UpdateController(const BundleInfo& bundle, UpdaterFactory factory = {});
    ~UpdateController();

    bool hasUpdater() const { return updater_ != nullptr; }
    void checkForUpdates(QWidget* parent = nullptr);

    static QString unavailableTitle();
    static QString unavailableText();

private:
    std::unique_ptr<Updater> updater_;
};

} // namespace vellicord
