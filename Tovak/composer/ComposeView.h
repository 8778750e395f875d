#pragma once

#include "Tovak/composer/DraftSession.h"
#include "Tovak/kit/ViewServices.h"

#include <QUuid>
#include <QWidget>

#include <memory>

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
// found" is shown. The composer's state (the notice, the preamble switch, the Copied state, the
// export warning) lives in the draft's session, which both panes show. Main thread.
class ComposeView final : public QWidget {
public:
    ComposeView(ViewServices services, const QUuid& draftID, bool usePreamble = true, QWidget* parent = nullptr);
    ~ComposeView() override;

    QUuid draftID() const { return session_->draftID(); }
    DraftSession& session() const { return *session_; }
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
    void refresh();

    ViewServices services_;
    // Made before the panes and let go of after them.
    std::unique_ptr<DraftSession> session_;
    QStackedWidget* pages_ = nullptr;
    QLabel* notFound_ = nullptr;
    QSplitter* split_ = nullptr;
    ComposeDraftPane* draftPane_ = nullptr;
    ComposePreviewPane* previewPane_ = nullptr;
};

} // namespace vellicord
