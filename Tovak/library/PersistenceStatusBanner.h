#pragma once

#include "core/library/StorePersistenceStatus.h"

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace vellicord {

class SymbolView;

// Reports the state of the library file above the list or the composer: restored from its
// backup, unreadable, of a newer format, without a fresh backup, or not saved.
class PersistenceStatusBanner final : public QWidget {
    Q_OBJECT
public:
    struct Presentation {
        QString symbol;
        bool warning; // orange; otherwise green
        QString title;
        QString message;
        bool canReveal;
    };

    explicit PersistenceStatusBanner(StorePersistenceStatus status, QWidget* parent = nullptr);

    void setStatus(StorePersistenceStatus status);
    StorePersistenceStatus status() const { return status_; }

    static Presentation presentation(StorePersistenceStatus status);

Q_SIGNALS:
    void revealLibraryFolderRequested();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColors();

    StorePersistenceStatus status_;
    SymbolView* symbol_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
    QWidget* revealRow_ = nullptr;
};

} // namespace vellicord
