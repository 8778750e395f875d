#include "Tovak/export/StorageFailureSurfaceCanvas.h"

#include "Tovak/library/UnavailableLibraryView.h"

#include <QFrame>
#include <QHBoxLayout>

namespace vellicord {

StorageFailureSurfaceCanvas::StorageFailureSurfaceCanvas(StorePersistenceStatus status, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("StorageFailureSurfaceCanvas"));
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(sidebarWidth);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    layout->addWidget(divider);
    if (const std::optional<LibraryRecoveryPresentation> recovery = status.unavailableLibraryPresentation()) {
        auto* unavailable = new UnavailableLibraryView(*recovery, this);
        unavailable->setFixedSize(300, 600);
        layout->addWidget(unavailable, 0, Qt::AlignVCenter);
    }
    layout->addStretch(1);
}

} // namespace vellicord
