#pragma once

#include "core/library/LibraryRecoveryPresentation.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace vellicord {

class SymbolView;

// Takes the browser's place when the library file cannot be opened or has a newer format: what
// happened, what the user can do, and for an unreadable file a way to its folder.
class UnavailableLibraryView final : public QWidget {
    Q_OBJECT
public:
    explicit UnavailableLibraryView(LibraryRecoveryPresentation recovery, QWidget* parent = nullptr);

    void setRecovery(LibraryRecoveryPresentation recovery);

    QSize sizeHint() const override;

Q_SIGNALS:
    void revealLibraryFolderRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    QWidget* stack_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* reveal_ = nullptr;
};

} // namespace vellicord
