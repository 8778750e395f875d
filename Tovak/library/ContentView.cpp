#include "Tovak/library/ContentView.h"

#include "Tovak/library/LibraryPlaceholderView.h"
#include "Tovak/library/WelcomeView.h"
#include "core/library/Store.h"
#include "platform/Accessibility.h"
#include "platform/Desktop.h"

#include <QShowEvent>
#include <QVBoxLayout>

namespace vellicord {

ContentView::ContentView(ViewServices services, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , library_(new LibraryPlaceholderView(services_.store, this))
{
    setObjectName(QStringLiteral("ContentView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(library_);
}

WelcomeView* ContentView::welcomeSheet() const
{
    return welcome_;
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (services_.store.selections().isEmpty() && services_.store.canModifyLibrary())
        showWelcome();
}

void ContentView::showWelcome()
{
    if (welcome_)
        return;
    // Whether access is missing is read as the sheet is made, so it says what is true now.
    Desktop* desktop = &services_.desktop;
    auto* welcome = new WelcomeView(
        !services_.accessibility.isProcessTrusted(),
        services_.shortcutDisplay ? services_.shortcutDisplay() : QString(),
        [desktop] { desktop->openAccessibilitySettings(); }, window());
    welcome->setAttribute(Qt::WA_DeleteOnClose);
    welcome->setWindowModality(Qt::WindowModal);
    welcome_ = welcome;
    welcome->open();
}

} // namespace vellicord
