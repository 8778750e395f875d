#pragma once

#include "Tovak/kit/ViewServices.h"
#include "support/FakeAccessibility.h"
#include "support/FakeDesktop.h"
#include "support/FakePasteboard.h"
#include "support/FakeSaveDialog.h"
#include "support/TemporaryLibrary.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace vellicord {

// What a view under test receives: a Store over a library in a temporary folder (the file given,
// or none), and fakes of the desktop's services. `ViewFakes fakes; SomeView view(fakes.services());`
struct ViewFakes : TemporaryLibrary {
    explicit ViewFakes(const QByteArray& libraryFile = {})
    {
        if (!libraryFile.isEmpty())
            writeAll(libraryPath, libraryFile);
        store = open();
    }

    ViewServices services()
    {
        return ViewServices{
            .store = *store,
            .pasteboard = clipboard ? *clipboard : pasteboard,
            .scheduler = time,
            .clock = time,
            .defaults = defaults,
            .desktop = desktop,
            .accessibility = accessibility,
            .shortcutDisplay = [this] { return shortcut; },
            .requestCapture = [this] { ++captureRequests; },
            .fileSystem = files,
            .chooseSaveFile
            = [this](QWidget& view, const ViewServices::SaveFileRequest& request,
                     ViewServices::SaveFileAnswer answer) { saveDialog.run(view, request, std::move(answer)); },
            .runModal =
                [this](QDialog& sheet) {
                    sheets.append(&sheet);
                    sheet.show();
                    if (answerSheet)
                        answerSheet(sheet);
                },
        };
    }

    std::unique_ptr<Store> store;
    FakePasteboard pasteboard;
    Pasteboard* clipboard = nullptr; // the X server's, say, in place of the fake
    FakeDesktop desktop;
    FakeAccessibility accessibility;
    FakeSaveDialog saveDialog;
    QString shortcut = QStringLiteral("Ctrl+Alt+Super+C");
    int captureRequests = 0;
    // Every sheet put up, in order (null once it is gone), and what answers each as it comes up.
    QList<QPointer<QDialog>> sheets;
    std::function<void(QDialog&)> answerSheet;
};

} // namespace vellicord
