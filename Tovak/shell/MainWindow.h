#pragma once

#include <QMainWindow>

namespace vellicord {

class AppActions;
class ContentView;
struct ViewServices;

// The main window: its frame (title, sizes, the frame kept under "VellicordMainWindow", centred
// the first time), the menu bar over the application's actions, and the content view. Made once
// and kept; closing it only hides it.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const ViewServices& services, AppActions& actions, QWidget* parent = nullptr);

    ContentView* contentView() const { return content_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    ContentView* content_;
};

} // namespace vellicord
