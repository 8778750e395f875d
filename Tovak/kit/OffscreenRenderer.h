#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class QWidget;

namespace vellicord {

// Draws a widget, laid out at a size, into an image at a scale (device pixel ratio), without
// showing it on a screen.
namespace OffscreenRenderer {

// An invalid size means the widget's size hint. The image is size × scale pixels.
QImage render(QWidget& widget, QSize size, qreal scale);
// Renders and writes a PNG; answers the error's description on failure.
std::optional<QString> writePng(QWidget& widget, QSize size, qreal scale, const QString& path);

} // namespace OffscreenRenderer
} // namespace vellicord
