#pragma once

#include "Tovak/kit/ViewServices.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <optional>

namespace vellicord {

// Stands for the save dialog: records what each request offered and answers with the path set
// (none: cancelled), at once or, while held, when the test says so. An answer to a view that is
// gone is dropped, as the real dialog drops it.
class FakeSaveDialog {
public:
    QList<ViewServices::SaveFileRequest> requests;
    std::optional<QString> choice;
    bool hold = false;

    void run(QObject& view, const ViewServices::SaveFileRequest& request, ViewServices::SaveFileAnswer answer)
    {
        requests.append(request);
        pending_ = {QPointer<QObject>(&view), std::move(answer)};
        if (!hold)
            answerPending();
    }

    bool isUp() const { return bool(pending_.answer); }

    // The held dialog closes with the choice.
    void answerPending()
    {
        Pending pending = std::exchange(pending_, {});
        if (pending.answer && pending.view)
            pending.answer(choice);
    }

private:
    struct Pending {
        QPointer<QObject> view;
        ViewServices::SaveFileAnswer answer;
    };
    Pending pending_;
};

} // namespace vellicord
