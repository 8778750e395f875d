#pragma once

#include "Tovak/library/SidebarItem.h"

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace vellicord {

class CappedLabel;
class SymbolView;

// Fills the list area when no capture is visible: an empty library, an empty group or source, or
// a search without results. Words its message by what is shown; changes nothing.
class EmptyStateView final : public QWidget {
    Q_OBJECT
public:
    struct Content {
        bool isFiltering = false;
        bool needsAccessibility = false;
        QString searchText; // as typed, untrimmed
        std::optional<SidebarItem> sidebarSelection;
        QString hotkeyDisplay;
    };

    explicit EmptyStateView(QWidget* parent = nullptr);

    void setContent(const Content& content);
    const Content& content() const { return content_; }

    static QString symbolName(const Content& content);
    static QString title(const Content& content);
    // A long query appears only by its beginning, cut between characters and followed by "…".
    static QString subtitle(const Content& content);

    QSize sizeHint() const override;

Q_SIGNALS:
    void enableAccessibilityRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    Content content_;
    SymbolView* symbol_ = nullptr;
    QLabel* title_ = nullptr;
    CappedLabel* subtitle_ = nullptr;
    QPushButton* enableAccessibility_ = nullptr;
};

} // namespace vellicord
