#pragma once

#include <QWidget>

class QLabel;

namespace vellicord {

class Store;

// Stands in the main window until the library browser takes its place: how many captures the
// library holds, or why the library cannot be shown.
class LibraryPlaceholderView final : public QWidget {
    Q_OBJECT
public:
    explicit LibraryPlaceholderView(Store& store, QWidget* parent = nullptr);

    QString headline() const;
    QString detail() const;

private:
    void refresh();

    Store& store_;
    QLabel* headline_;
    QLabel* detail_;
};

} // namespace vellicord
