#pragma once

#include "core/library/ContextDraftEntry.h"
#include "core/library/ModelProfile.h"
#include "core/library/Selection.h"

#include <QStringList>
#include <QUuid>
#include <QWidget>

#include <cstdint>
#include <optional>

class QCheckBox;
class QLineEdit;
class QMenu;
class QToolButton;
class QVBoxLayout;

namespace vellicord {

class DraftSession;
class TextBinding;

// One source of a prompt in the draft pane: whether it takes part, its headline, its size in
// tokens and where it came from, badges for what was done to it, its note, a grip to drag it into
// place and its options. The row changes nothing itself: every edit goes to the session by the
// entry's id, and the pane shows the stored result; what needs the pane (the trim sheet, the drag
// itself) the row asks for by a signal. The whole row is where a dragged source of the same prompt
// is dropped: entering it moves the dragged source to its place.
class ComposeEntryRow final : public QWidget {
    Q_OBJECT
public:
    ComposeEntryRow(DraftSession& session, const QUuid& entryID, QWidget* parent);
    ~ComposeEntryRow() override;

    // Shows the entry as stored, with its capture, the prompt's model and its place among all the
    // prompt's entries (rows or not). Only what changed is redone: the token estimate is kept for
    // as long as the entry's text, its capture and the model stay the same.
    void setEntry(const ContextDraftEntry& entry, const Selection& selection, const ModelProfile& profile,
                  qsizetype index, qsizetype entryCount);

    QUuid entryID() const { return entryID_; }
    const ContextDraftEntry& entry() const { return entry_; }
    const Selection& selection() const { return selection_; }
    // The canonical form of the capture's source identifier: captures of one source count once.
    const QString& sourceKey() const { return sourceKey_; }

    // What the row shows.
    QString title() const;
    QString tokenText() const;
    QString sourceText() const;
    QStringList badges() const;
    // The opacity of all but the include box.
    qreal opacity() const;
    bool showsNote() const { return showsNote_; }
    QLineEdit* noteField() const { return noteField_; }
    QCheckBox* includeBox() const { return include_; }
    QWidget* grip() const;
    QToolButton* optionsButton() const { return options_; }

    // The options menu and the context menu as they open now; each closes and goes on its own,
    // and with the row.
    QMenu* makeOptionsMenu();
    QMenu* makeContextMenu();

    // The longest part of a headline that is laid out; the rest could never be seen in a row.
    static constexpr qsizetype headlineLimit = 300;

Q_SIGNALS:
    void trimRequested(const QUuid& entryID);
    // The grip was dragged far enough to start a drag.
    void dragRequested(const QUuid& entryID);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    class Summary;
    class Grip;

    void setShowsNote(bool shows);
    void showNote();
    void showState();
    void includeClicked();
    void applyColors();
    // A drag of this prompt's source that the session started, and nothing else: text or captures
    // dragged from anywhere else are refused, so that no source application takes them for moved.
    bool carriesEntryDrag(const QDropEvent& event) const;

    DraftSession& session_;
    const QUuid entryID_;
    ContextDraftEntry entry_;
    Selection selection_;
    QString profileID_;
    qsizetype index_ = 0;
    qsizetype entryCount_ = 0;
    bool hasEntry_ = false;
    QString headline_; // its first headlineLimit characters
    QString sourceKey_;

    // The token estimate and what it was made from.
    struct TokenKey {
        QString text;
        QString markdown;
        std::optional<QString> customText;
        bool verbatim = false;
        double charsPerToken = 0;
    };
    std::optional<TokenKey> tokenKey_;
    int64_t tokens_ = 0;

    bool showsNote_ = false;
    QCheckBox* include_ = nullptr;
    QWidget* body_ = nullptr;
    QVBoxLayout* column_ = nullptr;
    Summary* summary_ = nullptr;
    Grip* grip_ = nullptr;
    QToolButton* options_ = nullptr;
    QLineEdit* noteField_ = nullptr;
    TextBinding* noteBinding_ = nullptr;
};

} // namespace vellicord
