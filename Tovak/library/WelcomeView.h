#pragma once

#include <QDialog>

#include <functional>

class QPushButton;

namespace vellicord {

// The first-run sheet: the brand mark, three steps (grant access, select and capture, compose
// prompts) and "Get Started", which closes it (Return does too).
class WelcomeView final : public QDialog {
public:
    // openAccessibilitySettings: what the first step's button does; empty does nothing.
    WelcomeView(bool needsAccessibility, const QString& hotkeyDisplay,
                std::function<void()> openAccessibilitySettings = {}, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QPushButton* getStartedButton() const { return getStarted_; }
    // The settings button of the first step; null when it is not shown.
    QPushButton* settingsButton() const { return settings_; }

    static QString captureStepText(const QString& hotkeyDisplay);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* step(const QString& title, const QString& text, const QString& symbol,
                  bool needsSettingsButton);
    void applyColors();

    std::function<void()> openAccessibilitySettings_;
    QPushButton* getStarted_ = nullptr;
    QPushButton* settings_ = nullptr;
    QList<QWidget*> secondary_;
};

} // namespace vellicord
