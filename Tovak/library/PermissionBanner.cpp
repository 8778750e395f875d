#include "Tovak/library/PermissionBanner.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Material.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace vellicord {
namespace {

const QString message
    = QStringLiteral("Vellicord can’t read selections yet. Grant Accessibility access to enable capture.");

} // namespace

PermissionBanner::PermissionBanner(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    layout->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 16, &ThemeColors::orange, this),
                      0, Qt::AlignVCenter);
    auto* label = new QLabel(message, this);
    label->setTextFormat(Qt::PlainText);
    label->setFont(TextStyles::callout());
    label->setWordWrap(true);
    layout->addWidget(label, 1, Qt::AlignVCenter);
    auto* settings = Controls::button(QStringLiteral("Open Settings"), Controls::Size::small, this);
    connect(settings, &QPushButton::clicked, this, &PermissionBanner::openSettingsRequested);
    layout->addWidget(settings, 0, Qt::AlignVCenter);
    setAccessibleName(message);
}

void PermissionBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Material::paintRegular(painter, rect(), 8, palette());
}

} // namespace vellicord
