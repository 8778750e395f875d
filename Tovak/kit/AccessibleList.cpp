#include "Tovak/kit/AccessibleList.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QWindow>

namespace vellicord {

namespace {

// The view's actions, kept as a child of the view, where the factory finds them, and whether a
// change of its current row waits to be told.
class RowActions final : public QObject {
public:
    RowActions(QAbstractItemView& view, AccessibleList::Actions actions)
        : QObject(&view)
        , actions(std::move(actions))
        , view_(view)
    {
    }

    void currentChanged()
    {
        if (focusToTell_ || !QAccessible::isActive())
            return;
        focusToTell_ = true;
        QMetaObject::invokeMethod(this, &RowActions::tellFocus, Qt::QueuedConnection);
    }

    AccessibleList::Actions actions;

private:
    void tellFocus()
    {
        focusToTell_ = false;
        const QModelIndex current = view_.currentIndex();
        if (!view_.hasFocus() || !current.isValid() || !QAccessible::isActive())
            return;
        QAccessibleEvent event(&view_, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }

    QAbstractItemView& view_;
    bool focusToTell_ = false;
};

RowActions* actionsOf(const QObject& view)
{
    for (QObject* child : view.children()) {
        if (auto* actions = dynamic_cast<RowActions*>(child))
            return actions;
    }
    return nullptr;
}

class RowInterface final : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowInterface(QAbstractItemView& view, RowActions& actions, int row)
        : view_(&view)
        , actions_(&actions)
        , row_(row)
    {
    }

    int row() const { return row_; }
    const QAbstractItemView* view() const { return view_; }
    QModelIndex index() const
    {
        const QAbstractItemModel* model = view_ ? view_->model() : nullptr;
        return model ? model->index(row_, 0, view_->rootIndex()) : QModelIndex();
    }

    bool isValid() const override { return index().isValid(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString&) override {}

    QString text(QAccessible::Text kind) const override
    {
        const QModelIndex at = index();
        if (kind == QAccessible::Name) {
            const QString name = at.data(Qt::AccessibleTextRole).toString();
            return name.isEmpty() ? at.data(Qt::DisplayRole).toString() : name;
        }
        if (kind == QAccessible::Description)
            return at.data(Qt::AccessibleDescriptionRole).toString();
        return QString();
    }

    QRect rect() const override
    {
        const QRect shown = view_ ? view_->visualRect(index()) : QRect();
        if (shown.isNull())
            return {};
        return QRect(view_->viewport()->mapToGlobal(shown.topLeft()), shown.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        const QModelIndex at = index();
        if (!at.isValid())
            return state;
        const QRect viewport(view_->viewport()->mapToGlobal(QPoint()), view_->viewport()->size());
        state.invisible = !view_->isVisible() || !viewport.intersects(rect());
        state.selected = view_->selectionModel() && view_->selectionModel()->isSelected(at);
        state.focused = view_->hasFocus() && view_->currentIndex() == at;
        const Qt::ItemFlags flags = at.flags();
        if (flags & Qt::ItemIsSelectable) {
            state.selectable = true;
            state.focusable = true;
            state.extSelectable = view_->selectionMode() == QAbstractItemView::ExtendedSelection;
            state.multiSelectable = view_->selectionMode() == QAbstractItemView::MultiSelection;
        }
        state.disabled = !(flags & Qt::ItemIsEnabled);
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        return actions_ && isValid() && actions_->actions.names ? actions_->actions.names(row_) : QStringList();
    }

    void doAction(const QString& name) override
    {
        if (actionNames().contains(name))
            actions_->actions.run(row_, name);
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QAbstractItemView> view_;
    QPointer<RowActions> actions_;
    int row_;
};

// The list: its rows are the model's, not the view's child widgets (viewport, scroll bars).
class ListInterface final : public QAccessibleWidget {
public:
    ListInterface(QAbstractItemView& view, RowActions& actions)
        : QAccessibleWidget(&view, QAccessible::List)
        , actions_(&actions)
    {
        // A row object stands for a row by its number: when rows come, go or move, they are made anew.
        if (QAbstractItemModel* model = view.model()) {
            const auto forget = [this] { forgetRows(); };
            QObject::connect(model, &QAbstractItemModel::modelReset, &watcher_, forget);
            QObject::connect(model, &QAbstractItemModel::layoutChanged, &watcher_, forget);
            QObject::connect(model, &QAbstractItemModel::rowsInserted, &watcher_, forget);
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, &watcher_, forget);
            QObject::connect(model, &QAbstractItemModel::rowsMoved, &watcher_, forget);
        }
    }
    ~ListInterface() override { forgetRows(); }

    QAbstractItemView& view() const { return *static_cast<QAbstractItemView*>(widget()); }

    int childCount() const override
    {
        const QAbstractItemModel* model = view().model();
        return model ? model->rowCount(view().rootIndex()) : 0;
    }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount() || !actions_)
            return nullptr;
        if (const auto known = rows_.constFind(index); known != rows_.cend())
            return QAccessible::accessibleInterface(*known);
        auto* row = new RowInterface(view(), *actions_, index);
        rows_.insert(index, QAccessible::registerAccessibleInterface(row));
        return row;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* row = dynamic_cast<const RowInterface*>(child);
        return row && row->view() == &view() ? row->row() : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QModelIndex index = view().indexAt(view().viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? child(index.row()) : nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        const QModelIndex current = view().currentIndex();
        return view().hasFocus() && current.isValid() ? child(current.row()) : nullptr;
    }

private:
    void forgetRows()
    {
        const QHash<int, QAccessible::Id> rows = std::exchange(rows_, {});
        for (const QAccessible::Id id : rows)
            QAccessible::deleteAccessibleInterface(id);
    }

    QPointer<RowActions> actions_;
    QObject watcher_;
    mutable QHash<int, QAccessible::Id> rows_;
};

QAccessibleInterface* listFactory(const QString& className, QObject* object)
{
    auto* view = qobject_cast<QAbstractItemView*>(object);
    // Asked once per class up the view's hierarchy: the first, most derived, answer is ours.
    if (!view || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    RowActions* actions = actionsOf(*view);
    return actions ? new ListInterface(*view, *actions) : nullptr;
}

} // namespace

void AccessibleList::attach(QAbstractItemView& view, Actions actions)
{
    static const bool installed = [] {
        QAccessible::installFactory(listFactory);
        return true;
    }();
    Q_UNUSED(installed);
    new RowActions(view, std::move(actions));
    // The toolkit's list object, made while the view was being built, gives way to ours.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&view);
    if (made && !dynamic_cast<ListInterface*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void AccessibleList::currentChanged(QAbstractItemView& view)
{
    if (RowActions* actions = actionsOf(view))
        actions->currentChanged();
}

} // namespace vellicord
