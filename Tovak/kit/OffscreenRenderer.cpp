#include "Tovak/kit/OffscreenRenderer.h"

#include <QCoreApplication>
#include <QImageWriter>
#include <QLayout>
#include <QWidget>

namespace vellicord::OffscreenRenderer {

QImage render(QWidget& widget, QSize size, qreal scale)
{
    const bool wasHidden = widget.isHidden();
    widget.setAttribute(Qt::WA_DontShowOnScreen, true);
    widget.ensurePolished();
    if (!size.isValid())
        size = widget.sizeHint().expandedTo(widget.minimumSizeHint());
    widget.resize(size);
    // Layouts settle only for a visible widget; shown off screen, it is laid out as on screen.
    widget.show();
    if (QLayout* layout = widget.layout())
        layout->activate();
    QCoreApplication::sendPostedEvents();
    widget.resize(size);

    QImage image(QSize(qRound(size.width() * scale), qRound(size.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(),
                  QWidget::DrawWindowBackground | QWidget::DrawChildren);
    if (wasHidden)
        widget.hide();
    widget.setAttribute(Qt::WA_DontShowOnScreen, false);
    return image;
}

std::optional<QString> writePng(QWidget& widget, QSize size, qreal scale, const QString& path)
{
    const QImage image = render(widget, size, scale);
    if (image.isNull())
        return QStringLiteral("The view could not be drawn.");
    QImageWriter writer(path, "png");
    if (!writer.write(image))
        return writer.errorString();
    return std::nullopt;
}

} // namespace vellicord::OffscreenRenderer
