#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace vellicord {

// One section of a grouped form: a title above a rounded box whose rows are divided by thin
// lines. Rows that are hidden take no room and draw no divider.
class FormSection final : public QWidget {
public:
    explicit FormSection(const QString& title, QWidget* parent = nullptr);

    // A row of its own content.
    QWidget* addRow(QWidget* content);
    // A labelled row: the label on the left, the content on the right.
    QWidget* addRow(const QString& label, QWidget* content);

private:
    class Box;
    Box* box_;
    QVBoxLayout* rows_;
};

} // namespace vellicord
