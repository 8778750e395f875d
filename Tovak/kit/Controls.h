#pragma once

#include <QMargins>
#include <QString>

class QColor;
class QFont;
class QLabel;
class QPushButton;
class QWidget;

namespace vellicord {

// The few control looks the views share beyond the Fusion defaults.
namespace Controls {

enum class Size { regular, small };

// A bordered push button that taking the focus never makes a window's default button; the small
// size has the smaller text of a banner's button.
QPushButton* button(const QString& title, Size size, QWidget* parent);
// The filled button in the accent colour that stands for a view's main action; it draws itself
// from the palette, so it follows the appearance, and fades while disabled.
QPushButton* prominentButton(const QString& title, QWidget* parent);
// The button that Return presses in a dialog, at the regular size; the control style fills it like
// a main action.
QPushButton* defaultButton(const QString& title, QWidget* parent);
// Gives a label (or any widget drawing its text in WindowText) one text colour.
void tint(QWidget& widget, const QColor& color);
// A label that shows its text as it is, never as rich text: captured names and texts may hold
// anything.
QLabel* plainLabel(const QString& text, const QFont& font, QWidget* parent);
// The content in a frame of its own, inset by the margins.
QWidget* padded(QWidget* content, const QMargins& margins, QWidget* parent);

} // namespace Controls
} // namespace vellicord
