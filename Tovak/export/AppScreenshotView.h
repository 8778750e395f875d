#pragma once

#include <QUuid>
#include <QWidget>

#include <memory>

namespace vellicord {

class Clock;
class ContentViewState;
class Desktop;
class IconCache;
class LibrarySelectionList;
class Pasteboard;
class Scheduler;
class Store;

// The sample main window: the library's captures under "Captured Passages", one of them selected.
// The selection is fixed; nothing here can be changed.
class AppScreenshotView final : public QWidget {
    Q_OBJECT
public:
    struct Services {
        Store& store;
        Pasteboard& pasteboard;
        Scheduler& scheduler;
        Clock& clock;
        Desktop& desktop;
    };

    AppScreenshotView(Services services, const QUuid& selectedID, QWidget* parent = nullptr);
    ~AppScreenshotView() override;

    LibrarySelectionList* list() const { return list_; }

private:
    std::unique_ptr<ContentViewState> state_;
    std::unique_ptr<IconCache> icons_;
    LibrarySelectionList* list_ = nullptr;
};

} // namespace vellicord
