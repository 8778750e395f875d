#pragma once

#include <QUuid>
#include <QWidget>

#include <memory>

class QLabel;

namespace vellicord {

class Clock;
class ContentViewState;
class Defaults;
class Desktop;
class IconCache;
class Pasteboard;
class Scheduler;
class SidebarModel;
class SidebarView;
class Store;

// The main window recomposed from its parts for an image: the sidebar beside the library browser
// or the empty library, at any size, without a window, a toolbar or live state. The real views
// with fixed inputs; every action they offer does nothing.
class UISurfaceCanvas final : public QWidget {
    Q_OBJECT
public:
    struct Mode {
        enum class Kind { library, emptyLibrary };
        Kind kind;
        QUuid id; // library: the capture selected and inspected

        static Mode library(const QUuid& selectionID) { return {Kind::library, selectionID}; }
        static Mode emptyLibrary() { return {Kind::emptyLibrary, {}}; }
    };

    // What the canvas draws from; all outlive it.
    struct Services {
        Store& store;
        Pasteboard& pasteboard;
        Scheduler& scheduler;
        Clock& clock;
        Desktop& desktop;
        Defaults& templateDefaults;
    };

    UISurfaceCanvas(Services services, Mode mode, QWidget* parent = nullptr);
    ~UISurfaceCanvas() override;

    const ContentViewState& state() const { return *state_; }
    SidebarView* sidebar() const { return sidebar_; }

    static constexpr char16_t hotkeyDisplay[] = u"⌥⇧C";

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* inspectorPlaceholder(QWidget* parent);
    void applyColors();
    QWidget* buildLibrary(QWidget* parent);
    QWidget* buildEmptyLibrary(QWidget* parent);

    Services services_;
    Mode mode_;
    std::unique_ptr<ContentViewState> state_;
    std::unique_ptr<SidebarModel> sidebarModel_;
    std::unique_ptr<IconCache> icons_;
    SidebarView* sidebar_ = nullptr;
    QLabel* placeholderText_ = nullptr;
};

} // namespace vellicord
