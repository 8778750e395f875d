#pragma once

namespace vellicord {

// An updater that checks the vendor's feed and installs offered updates the application's update
// policy lets through. This build carries no feed, so none is ever made.
class Updater {
public:
    virtual ~Updater() = default;
    virtual void checkForUpdates() = 0;
};

} // namespace vellicord
