#pragma once

#include "Tovak/kit/ViewServices.h"

#include <QUuid>
#include <QWidget>

class QLabel;
class QSplitter;
class QStackedWidget;

namespace vellicord {

class ComposeDraftPane;
class ComposePreviewPane;

// The composer of one prompt: the draft pane and the preview side by side, split by a divider
// the user can drag but never so far that a pane goes (the draft pane keeps 300 pixels, the
// preview 360). While the library cannot be changed the draft pane does not react; the preview
// goes on showing, copying and exporting the prompt. When the prompt is gone, only "Prompt not
// found" is shown. The panes keep the composer's state: the notice in the draft pane, the
// preamble switch, the Copied state and the export warning in the preview. Main thread.
class ComposeView final : public QWidget {
public:
    ComposeView(ViewServices services, const QUuid& draftID, bool usePreamble = true, QWidget* parent = nullptr);
    ~ComposeView() override;

    QUuid draftID() const { return draftID_; }
    bool showsDraft() const;
    // The panes, once the prompt was found.
    ComposeDraftPane* draftPane() const { return draftPane_; }
    ComposePreviewPane* previewPane() const { return previewPane_; }
    QSplitter* splitter() const { return split_; }
    QLabel* notFoundLabel() const { return notFound_; }

    static constexpr int draftPaneMinimumWidth = 300;
    static constexpr int draftPaneIdealWidth = 380;
    static constexpr int previewMinimumWidth = 360;
    static constexpr int previewIdealWidth = 520;

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildPanes();
    void scheduleRefresh();
    void refresh();

    ViewServices services_;
    const QUuid draftID_;
    const bool usePreamble_;
    bool refreshPending_ = false;
    QStackedWidget* pages_ = nullptr;
    QLabel* notFound_ = nullptr;
    QSplitter* split_ = nullptr;
    ComposeDraftPane* draftPane_ = nullptr;
    ComposePreviewPane* previewPane_ = nullptr;
};

} // namespace vellicord
