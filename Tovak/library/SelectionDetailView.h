#pragma once

#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/Store.h"

#include <QLocale>
#include <QTimeZone>
#include <QWidget>

#include <chrono>
#include <optional>
#include <utility>

class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace vellicord {

class CappedLabel;
class Desktop;
class DisplayTextMeasurer;
class FormSection;
class IconCache;
class Pasteboard;
class RichMarkdownView;
class Scheduler;
class SymbolView;

// The inspector of one capture, the right-hand pane of the library window: a header (the source
// application's icon, a title, the source and the date), the passage as it was formatted on the
// page, the capture's groups and its provenance, and a footer of actions (copy in either form,
// add to a group or to the prompt, and more). Every change goes through the Store; the host
// deletes. Dates are written in the locale and time zone given, never the machine's unasked.
//
// It follows the Store by what each change names: a change that leaves the capture, its groups
// and the active prompt alone touches nothing here, and the passage is laid out again only when
// the capture's Markdown changed, so a selection in it survives. Main thread only.
class SelectionDetailView final : public QWidget {
    Q_OBJECT
public:
    struct Services {
        Store& store;
        Pasteboard& pasteboard;
        Scheduler& scheduler;
        Desktop& desktop;
        IconCache& icons;
    };

    // How long a copy button shows "Copied" after each copy.
    static constexpr std::chrono::milliseconds copiedDuration{1400};

    SelectionDetailView(Services services, QLocale dateLocale, QTimeZone dateTimeZone, QWidget* parent = nullptr);
    ~SelectionDetailView() override;

    // Shows the capture with this id; none, or an id of no capture, shows nothing.
    void setSelectionID(const std::optional<QUuid>& id);
    std::optional<QUuid> selectionID() const;

    // What the view shows, as a reader (or a test) finds it.
    QString recordTitle() const;
    std::pair<QString, QString> sourceInfo() const; // text, symbol
    QString headerDate() const;
    // The provenance rows shown, label and value ("Prompt" gives "Included" or "Not included").
    QList<std::pair<QString, QString>> provenance() const;
    QString promptSymbol() const;
    QStringList groupNames() const;
    RichMarkdownView& passage() const { return *passage_; }
    bool isInActivePrompt() const { return inPrompt_; }

    // The footer's row in use: the wide one with titles, or the compact one of symbols.
    bool showsWideFooter() const;
    QPushButton* copyMarkdownButton() const;
    QPushButton* copyPlainButton() const;
    QPushButton* promptButton() const;
    QPushButton* groupButton() const; // wide row only
    QPushButton* moreButton() const;
    // Built afresh each time they open (aboutToShow).
    QMenu* groupMenu() const { return groupMenu_; }
    QMenu* moreMenu() const { return moreMenu_; }
    bool copiedMarkdown() const { return copiedMarkdown_; }
    bool copiedPlain() const { return copiedPlain_; }

    void copyMarkdown();
    void copyPlain();
    void copyAllFromSource();
    void addToPrompt();

Q_SIGNALS:
    void deleteRequested(const QUuid& id);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildBody();
    QWidget* buildFooter();
    QPushButton* footerButton(bool prominent, QWidget* parent);
    QPushButton* menuButton(const QString& title, const QString& symbol, const QString& help, QMenu* menu,
                            QWidget* parent);

    void reshowChangedCapture(const Store::SelectionsChange& change);
    void showCapture(const Selection& selection, bool fresh);
    void showPassage(const Selection& selection);
    void showGroups();
    void showPrompt();
    void showFooter();
    void chooseFooterRow();
    void fitScrollingPassage();
    void retint();
    void fillGroupMenu(QMenu& menu);
    void fillMoreMenu();
    void flash(bool SelectionDetailView::*copied);
    QList<SelectionGroup> groups() const;
    QString formattedCaptureDate(bool full) const;

    Services services_;
    QLocale dateLocale_;
    QTimeZone dateTimeZone_;
    std::unique_ptr<DisplayTextMeasurer> measurer_;
    std::optional<Selection> selection_;
    std::optional<std::pair<Utf8Text, Utf8Text>> passageFrom_; // the text and Markdown the passage shows
    QList<SelectionGroup> shownGroups_;
    bool inPrompt_ = false;
    bool copiedMarkdown_ = false;
    bool copiedPlain_ = false;

    QLabel* icon_ = nullptr;
    CappedLabel* title_ = nullptr;
    SymbolView* sourceSymbol_ = nullptr;
    CappedLabel* source_ = nullptr;
    QLabel* date_ = nullptr;
    QScrollArea* body_ = nullptr;
    RichMarkdownView* passage_ = nullptr;
    FormSection* groupsSection_ = nullptr;
    QVBoxLayout* groupRows_ = nullptr;
    struct Row {
        QLabel* label;
        QWidget* value;
    };
    Row application_{};
    Row sourceRow_{};
    Row fileRow_{};
    Row captured_{};
    Row length_{};
    Row prompt_{};
    SymbolView* promptSymbol_ = nullptr;
    CappedLabel* promptText_ = nullptr;

    QStackedWidget* footerRows_ = nullptr;
    QWidget* wideRow_ = nullptr;
    QWidget* compactRow_ = nullptr;
    QPushButton* markdownWide_ = nullptr;
    QPushButton* plainWide_ = nullptr;
    QPushButton* promptWide_ = nullptr;
    QPushButton* groupWide_ = nullptr;
    QPushButton* moreWide_ = nullptr;
    QPushButton* markdownCompact_ = nullptr;
    QPushButton* plainCompact_ = nullptr;
    QPushButton* promptCompact_ = nullptr;
    QPushButton* moreCompact_ = nullptr;
    QMenu* groupMenu_ = nullptr;
    QMenu* moreMenu_ = nullptr;
};

} // namespace vellicord
