#pragma once

#include "Tovak/kit/ViewServices.h"

#include <QUuid>
#include <QWidget>

#include <memory>

class QLabel;

namespace vellicord {

class ContentViewState;
class IconCache;
class SidebarModel;
class SidebarView;

// The main window recomposed from its parts for an image: the sidebar beside the library browser,
// the composer or the empty library, at any size, without a window, a toolbar or live state. The real views
// with fixed inputs; every action they offer does nothing.
class UISurfaceCanvas final : public QWidget {
    Q_OBJECT
public:
    struct Mode {
        enum class Kind { library, compose, emptyCompose, emptyLibrary };
        Kind kind;
        QUuid id; // library: the capture selected and inspected; compose: the prompt

        static Mode library(const QUuid& selectionID) { return {Kind::library, selectionID}; }
        static Mode compose(const QUuid& draftID) { return {Kind::compose, draftID}; }
        static Mode emptyCompose(const QUuid& draftID) { return {Kind::emptyCompose, draftID}; }
        static Mode emptyLibrary() { return {Kind::emptyLibrary, {}}; }
    };

    // The composer reads its task templates from the services' defaults.
    UISurfaceCanvas(ViewServices services, Mode mode, QWidget* parent = nullptr);
    ~UISurfaceCanvas() override;

    const ContentViewState& state() const { return *state_; }
    SidebarView* sidebar() const { return sidebar_; }

    // The shortcut every image shows: Alt+Shift+C, whatever the user chose.
    static QString hotkeyDisplay();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* inspectorPlaceholder(QWidget* parent);
    void applyColors();
    QWidget* buildLibrary(QWidget* parent);
    QWidget* buildEmptyLibrary(QWidget* parent);
    QWidget* buildComposer(QWidget* parent);

    ViewServices services_;
    Mode mode_;
    std::unique_ptr<ContentViewState> state_;
    std::unique_ptr<SidebarModel> sidebarModel_;
    std::unique_ptr<IconCache> icons_;
    SidebarView* sidebar_ = nullptr;
    QLabel* placeholderText_ = nullptr;
};

} // namespace vellicord
