#include "Tovak/shell/SettingsView.h"

#include "Tovak/kit/FormSection.h"
#include "Tovak/kit/FrameAutosave.h"
#include "Tovak/kit/ProgressSpinner.h"
#include "Tovak/kit/SymbolLabel.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/ToggleSwitch.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/ShortcutRecorder.h"
#include "platform/LoginItem.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace vellicord {
namespace {

const QString failureNote = QStringLiteral("Vellicord could not update launch at login.");

void setColor(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget.setPalette(palette);
}

// A path in at most two lines: broken where the first line is full, shortened in the middle of
// the second line when it is still too long.
class PathLabel final : public QLabel {
public:
    PathLabel(QString path, QWidget* parent) : QLabel(parent), path_(std::move(path))
    {
        setTextInteractionFlags(Qt::TextSelectableByMouse);
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        setMinimumWidth(80);
        setText(path_);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QLabel::resizeEvent(event);
        const QFontMetrics metrics(font());
        const int width = std::max(event->size().width() - 2, 20);
        if (metrics.horizontalAdvance(path_) <= width) {
            setText(path_);
            return;
        }
        qsizetype split = path_.size();
        while (split > 1 && metrics.horizontalAdvance(path_.left(split)) > width)
            --split;
        setText(path_.left(split) + u'\n'
                + metrics.elidedText(path_.mid(split), Qt::ElideMiddle, width));
    }
    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(path_) + 2, metrics.height() * 2};
    }
    QSize minimumSizeHint() const override { return {80, QFontMetrics(font()).height() * 2}; }

private:
    QString path_;
};

} // namespace

SettingsView::SettingsView(SnapshotValues values, QWidget* parent)
    : SettingsView(std::optional(std::move(values)), Services{}, parent)
{
}

SettingsView::SettingsView(Services services, QWidget* parent)
    : SettingsView(std::nullopt, std::move(services), parent)
{
}

SettingsView* SettingsView::makeWindow(Services services, Defaults& defaults)
{
    auto* view = new SettingsView(std::move(services));
    view->setObjectName(QStringLiteral("VellicordSettingsWindow"));
    view->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                         | Qt::WindowMaximizeButtonHint);
    view->setWindowTitle(QStringLiteral("Settings"));
    view->setMinimumSize(440, 300);
    view->resize(520, 360);
    new FrameAutosave(*view, defaults, QStringLiteral("VellicordSettingsWindow"));
    return view;
}

SettingsView::SettingsView(std::optional<SnapshotValues> values, Services services, QWidget* parent)
    : QWidget(parent)
    , snapshot_(std::move(values))
    , services_(std::move(services))
{
    if (snapshot_) {
        combo_ = HotKeyCombo::defaultCombo();
        launchAtLogin_ = snapshot_->launchAtLogin;
    } else {
        if (services_.hotKeys)
            combo_ = services_.hotKeys->currentCombo();
        launchAtLogin_ = services_.loginItem
            && services_.loginItem->status() == LoginItem::Status::enabled;
        if (services_.hotKeys) {
            recorder_ = new ShortcutRecorder(*services_.hotKeys, this);
            // The keyboard is ours while recording: a combination another client holds would
            // otherwise go to that client, and the recorder would never hear of it.
            connect(recorder_, &ShortcutRecorder::recordingChanged, this, [this](bool recording) {
                if (recording)
                    grabKeyboard();
                else
                    releaseKeyboard();
                refresh();
            });
            connect(recorder_, &ShortcutRecorder::recorded, this, [this](const HotKeyCombo& combo) {
                combo_ = combo;
                refresh();
            });
            connect(recorder_, &ShortcutRecorder::failed, this, [this](const QString& message) {
                signError_ = message;
                refresh();
            });
        }
    }
    setMinimumSize(440, 300);
    build();
    refresh();
}

SettingsView::~SettingsView() = default;

QSize SettingsView::sizeHint() const
{
    return {520, 360};
}

bool SettingsView::isRecording() const
{
    return recorder_ && recorder_->isRecording();
}

void SettingsView::build()
{
    setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(18);

    auto* capture = new FormSection(QStringLiteral("Capture"), this);
    shortcutButton_ = new QPushButton(this);
    shortcutButton_->setToolTip(QStringLiteral("Click, then press your new shortcut"));
    shortcutButton_->setFont(TextStyles::body());
    shortcutButton_->setMinimumWidth(96);
    connect(shortcutButton_, &QPushButton::clicked, this, [this] { startRecording(); });
    recordingRow_ = new QWidget(this);
    auto* recording = new QHBoxLayout(recordingRow_);
    recording->setContentsMargins(0, 0, 0, 0);
    recording->setSpacing(6);
    recording->addWidget(new ProgressSpinner(14, recordingRow_));
    auto* prompt = new QLabel(QStringLiteral("Press a shortcut…"), recordingRow_);
    tint(prompt, &ThemeColors::secondaryLabel);
    recording->addWidget(prompt);
    // As tall as the button it replaces, so that the row keeps its height.
    recordingRow_->setMinimumHeight(shortcutButton_->sizeHint().height());
    auto* shortcutContent = new QWidget(this);
    auto* shortcutLayout = new QHBoxLayout(shortcutContent);
    shortcutLayout->setContentsMargins(0, 0, 0, 0);
    shortcutLayout->addWidget(shortcutButton_);
    shortcutLayout->addWidget(recordingRow_);
    capture->addRow(QStringLiteral("Global shortcut"), shortcutContent);

    errorLabel_ = new SymbolLabel(QStringLiteral("exclamationmark.triangle.fill"), QString(),
                                  TextStyles::caption(), QColor(), this);
    tint(errorLabel_, &ThemeColors::red);
    errorRow_ = capture->addRow(errorLabel_);
    auto* explanation = new QLabel(
        QStringLiteral("While Vellicord is running, this shortcut saves the selected text to your "
                       "library. Press Escape to cancel recording."),
        this);
    explanation->setFont(TextStyles::caption());
    explanation->setWordWrap(true);
    tint(explanation, &ThemeColors::secondaryLabel);
    capture->addRow(explanation);
    layout->addWidget(capture);

    auto* general = new FormSection(QStringLiteral("General"), this);
    loginSwitch_ = new ToggleSwitch(this);
    loginSwitch_->setChecked(launchAtLogin_);
    loginSwitch_->setAccessibleName(QStringLiteral("Launch Vellicord at login"));
    connect(loginSwitch_, &ToggleSwitch::toggled, this, [this](bool on) {
        launchAtLogin_ = on;
        applyLaunchAtLogin(on);
    });
    general->addRow(QStringLiteral("Launch Vellicord at login"), loginSwitch_);
    noteLabel_ = new SymbolLabel(QStringLiteral("info.circle"), QString(), TextStyles::caption(),
                                 QColor(), this);
    tint(noteLabel_, &ThemeColors::secondaryLabel);
    noteRow_ = general->addRow(noteLabel_);

    auto* path = new PathLabel(snapshot_ ? snapshot_->libraryPath : services_.libraryPath, this);
    path->setFont(TextStyles::caption());
    tint(path, &ThemeColors::secondaryLabel);
    general->addRow(QStringLiteral("Library"), path);
    auto* version = new QLabel(snapshot_ ? snapshot_->version : services_.version, this);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tint(version, &ThemeColors::secondaryLabel);
    general->addRow(QStringLiteral("Version"), version);
    layout->addWidget(general);
    layout->addStretch(1);
    applyColors();
}

void SettingsView::tint(QWidget* widget, QColor ThemeColors::*color)
{
    tinted_.emplace_back(widget, color);
}

void SettingsView::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    for (auto [widget, color] : tinted_) {
        if (auto* label = dynamic_cast<SymbolLabel*>(widget))
            label->setColor(colors.*color);
        else
            setColor(*widget, colors.*color);
    }
}

void SettingsView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && !tinted_.empty())
        applyColors();
    // Another window took the focus: the keys the user types now are for it.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        stopRecording();
    QWidget::changeEvent(event);
}

void SettingsView::refresh()
{
    const bool recording = isRecording();
    shortcutButton_->setText(snapshot_ ? snapshot_->shortcut : combo_.display());
    shortcutButton_->setVisible(!recording);
    recordingRow_->setVisible(recording);
    errorLabel_->setText(signError_.value_or(QString()));
    errorRow_->setVisible(signError_.has_value());
    noteLabel_->setText(launchAtLoginNote_.value_or(QString()));
    noteRow_->setVisible(launchAtLoginNote_.has_value());
    update();
}

void SettingsView::startRecording()
{
    if (!recorder_)
        return;
    signError_.reset();
    recorder_->start();
    refresh();
}

void SettingsView::stopRecording()
{
    if (recorder_)
        recorder_->stop();
}

void SettingsView::applyLaunchAtLogin(bool wanted)
{
    LoginItem* item = services_.loginItem;
    if (!item)
        return;
    const LoginItem::Status status = item->status();
    std::optional<QString> error;
    if (wanted) {
        if (status == LoginItem::Status::enabled)
            return;
        error = item->registerItem();
        // An autostart entry takes effect at the next login; the desktop asks no one to approve it.
        if (!error)
            launchAtLoginNote_.reset();
    } else {
        if (status == LoginItem::Status::enabled || status == LoginItem::Status::requiresApproval)
            error = item->unregisterItem();
        if (!error)
            launchAtLoginNote_.reset();
    }
    if (error) {
        if (services_.log)
            services_.log(QStringLiteral("Launch at login update failed: ") + *error);
        launchAtLoginNote_ = failureNote;
    }
    refresh();
}

void SettingsView::hideEvent(QHideEvent* event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

void SettingsView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::colors(palette()).formBackground);
}

} // namespace vellicord
