#pragma once

#include "Tovak/kit/ViewServices.h"

#include <QPointer>
#include <QWidget>

namespace vellicord {

class LibraryPlaceholderView;
class WelcomeView;

// The main window's content: owns the window's presentation state and the sheets over it, and
// shows the library. Made once, with the window; every change to the library goes through the
// Store. Main thread only.
class ContentView final : public QWidget {
    Q_OBJECT
public:
    explicit ContentView(ViewServices services, QWidget* parent = nullptr);

    // The welcome sheet, while it is up.
    WelcomeView* welcomeSheet() const;

protected:
    // Each time the content comes on screen, an empty library that can be changed is greeted.
    void showEvent(QShowEvent* event) override;

private:
    void showWelcome();

    ViewServices services_;
    LibraryPlaceholderView* library_;
    QPointer<WelcomeView> welcome_;
};

} // namespace vellicord
