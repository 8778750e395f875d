#pragma once

#include <QObject>
#include <QString>

class QTimer;
class QWidget;

namespace vellicord {

class Defaults;

// Keeps a window's frame in the defaults under its autosave name ("VellicordMainWindow"):
// restored when the autosave starts, saved shortly after each move or resize and when the window
// is hidden. A saved frame that no longer fits any screen is put back on one by Qt.
class FrameAutosave final : public QObject {
public:
    // Restores the saved frame, if any; answers whether one was restored through restored().
    FrameAutosave(QWidget& window, Defaults& defaults, QString name);

    bool restored() const { return restored_; }
    void save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    Defaults& defaults_;
    QString name_;
    QTimer* pending_;
    bool restored_ = false;
};

} // namespace vellicord
