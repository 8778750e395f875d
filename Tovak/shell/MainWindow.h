#pragma once

#include <QMainWindow>

#include <memory>
#include <vector>

class QKeyEvent;

namespace vellicord {

class AppActions;
class ContentView;
class Desktop;
struct ViewServices;

// The main window: its frame (title, sizes, the frame kept under "VellicordMainWindow", centred
// the first time), the menu bar over the application's actions, and the content view. Made once
// and kept; closing it only hides it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const ViewServices& services, AppActions& actions, QWidget* parent = nullptr);
    ~MainWindow() override;

    ContentView* contentView() const { return content_; }

    // Puts the window's sheets (and theirs) above it, the last one active: raised over its sheet,
    // the window would hide it and, blocked by it, take no click. Done whenever the window comes
    // forward, by a request of ours or by the window manager.
    void raiseSheets();

    // Keys typed into the window while a request is on its way to its content (the window being
    // shown) are held, and handed on in order once it has arrived, to whatever then has the
    // keyboard: the query typed right after Control-F reaches the search field, not the list or
    // the sidebar's type-ahead. Keys with Control, Alt or Meta go through as ever. Holds nest.
    void holdTyping();
    void releaseTyping();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Desktop& desktop_;
    ContentView* content_;
    int typingHolds_ = 0;
    std::vector<std::unique_ptr<QKeyEvent>> heldKeys_;
};

} // namespace vellicord
