#include "Tovak/composer/DraftSession.h"

#include "QtPrinters.h"
#include "Tovak/composer/PromptFixture.h"
#include "core/composition/ContextComposer.h"
#include "core/library/FileLogger.h"
#include "support/ManualSerialQueue.h"
#include "support/ViewFakes.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

// A prompt of one entry per text (e1, e2, ...) over a real Store, and its session; no widget.
struct Session : ViewFakes {
    QUuid draftID;
    QList<QUuid> entries;
    std::unique_ptr<DraftSession> session;

    explicit Session(const QStringList& texts = {QStringLiteral("First source"), QStringLiteral("Second source")},
                     const std::function<void(ContextDraft&)>& edit = {})
    {
        const ContextDraft draft = test::storePrompt(*this, texts, edit);
        draftID = draft.id;
        for (const ContextDraftEntry& entry : draft.entries)
            entries.append(entry.id);
        session = std::make_unique<DraftSession>(services(), draftID);
    }

    DraftSession& operator*() const { return *session; }
    DraftSession* operator->() const { return session.get(); }
    ContextDraft draft() const { return *store->findDraft(draftID); }
    QString order() const
    {
        QStringList names;
        for (const ContextDraftEntry& e : draft().entries)
            names.append(QStringLiteral("e%1").arg(entries.indexOf(e.id) + 1));
        return names.join(u' ');
    }
    QString clipboard() { return QString::fromUtf8(pasteboard.dataForType(PasteboardType::string).bytes); }
    static void turn() { QCoreApplication::processEvents(); }
};

// Three sources of 10,000 tokens each against a budget of 16,384: each message carries one.
QStringList threeLargeSources()
{
    return {QString(40000, u'a'), QString(40000, u'b'), QString(40000, u'c')};
}

void onSmallModel(ContextDraft& d)
{
    d.modelProfileID = QStringLiteral("local-16k");
}

TEST(DraftSession, EveryEditStoresEvenWhenNothingChangedButDropsThatMoveNothing)
{
    Session s({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    const QUuid missing = QUuid::createUuid();
    const QUuid e1 = s.entries[0], e3 = s.entries[2];
    const struct {
        const char* name;
        std::function<void(DraftSession&)> edit;
        bool stored;
    } cases[] = {
        {"toggle a missing entry", [&](DraftSession& d) { d.togglePin(missing); }, true},
        {"move the first up", [&](DraftSession& d) { d.move(e1, -1); }, true},
        {"move the last down", [&](DraftSession& d) { d.move(e3, +1); }, true},
        {"remove a missing entry", [&](DraftSession& d) { d.remove(missing); }, true},
        {"note a missing entry", [&](DraftSession& d) { d.setNote(missing, QStringLiteral("x")); }, true},
        {"trim a missing entry", [&](DraftSession& d) { d.applyTrim(missing, QStringLiteral("x")); }, true},
        {"drop without a dragged entry", [&](DraftSession& d) { d.moveEntry(std::nullopt, e1); }, false},
        {"drop onto itself", [&](DraftSession& d) { d.moveEntry(e1, e1); }, false},
        {"drop onto another", [&](DraftSession& d) { d.moveEntry(e1, e3); }, true},
    };
    for (const auto& c : cases) {
        s.time.advance(1s);
        c.edit(*s);
        EXPECT_EQ(s.draft().updatedAt == s.time.now(), c.stored) << c.name;
    }
    EXPECT_EQ(s.order(), QStringLiteral("e2 e3 e1"));
}

// Once the draft is gone, nothing brings it back and nothing lands in the library or the
// defaults; the actions that need the draft say so.
TEST(DraftSession, AGoneDraftTakesNoAction)
{
    Session s;
    const QUuid e1 = s.entries[0];
    s.store->deleteDraft(s.draftID);
    Session::turn();
    EXPECT_EQ(s->draft(), std::nullopt);
    const qsizetype captures = s.store->selections().size();
    s->toggleInclude(e1);
    s->setNote(e1, QStringLiteral("note"));
    s->change([](ContextDraft& d) { d.task = QStringLiteral("lost"); });
    s->removeExcludedSources();
    EXPECT_FALSE(s->addImported(QStringLiteral("Pasted")));
    EXPECT_FALSE(s->saveTemplate(QStringLiteral("Kept")));
    EXPECT_EQ(s->reduceToFit(), QString());
    EXPECT_EQ(s->exportFileName(), std::nullopt);
    s->copyPrompt();
    s->copySource(e1, DraftSession::CopyAs::plain);
    EXPECT_TRUE(s.store->drafts().isEmpty());
    EXPECT_EQ(s.store->selections().size(), captures);
    EXPECT_TRUE(s->customTemplates().isEmpty());
    EXPECT_EQ(s.pasteboard.writes, 0);
    EXPECT_FALSE(s->showCopied());
}

// The draft shown follows the library once per turn of the event loop, one signal saying what
// moved; the composer's own state is announced as it changes.
TEST(DraftSession, ShowsTheLibraryOncePerTurnAndSaysWhatMoved)
{
    using Change = DraftSession::Change;
    Session s;
    QStringList changes;
    QObject::connect(s.session.get(), &DraftSession::changed,
                     [&](DraftSession::Changes what) { changes.append(QString::number(what.toInt())); });
    const auto said = [&] { return std::exchange(changes, {}).join(u' '); };
    const auto number = [](DraftSession::Changes what) { return QString::number(what.toInt()); };

    for (const char* task : {"one", "two", "three"})
        s->change([&](ContextDraft& d) { d.task = QString::fromUtf8(task); });
    EXPECT_EQ(s->draft()->task, QStringLiteral("Summarise.")) << "shown at the next turn";
    Session::turn();
    EXPECT_EQ(said(), number(Change::draft));
    EXPECT_EQ(s->draft()->task, QStringLiteral("three"));
    EXPECT_TRUE(s->composed().text.contains(QStringLiteral("three")));

    s->setNote(s.entries[0], QStringLiteral("n"));
    s.store->add(Selection(QUuid::createUuid(), QStringLiteral("new"), std::nullopt, QStringLiteral("Mail"),
                           std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, s.time.now()));
    Session::turn();
    EXPECT_EQ(said(), number(Change::draft | Change::captures));
    const QUuid group = s.store->addGroup(QStringLiteral("G"), QStringLiteral("#000000"))->id;
    s.store->addToGroup(group, {s.draft().entries[0].selectionID});
    Session::turn();
    EXPECT_EQ(said(), QString()) << "a capture's groups are nothing a prompt shows";

    s->setNotice(QStringLiteral("Trim applied."));
    s->setUsePreamble(false);
    s->copyPrompt();
    EXPECT_EQ(said(), QStringList({number(Change::notice), number(Change::preamble), number(Change::copied)})
                          .join(u' '))
        << "at once";
    EXPECT_FALSE(s->composed().text.contains(ContextComposer::defaultPreamble()));
    EXPECT_EQ(s.clipboard(), s->composed().text);
}

TEST(DraftSession, NoticeGoesFourSecondsAfterItWasSetUnlessItChanged)
{
    const std::optional<QString> none;
    const QString a = QStringLiteral("Applied template “Summary”."), b = QStringLiteral("Trim applied.");
    struct Step {
        int at; // milliseconds
        std::optional<std::optional<QString>> set;
        std::optional<QString> expected;
    };
    const struct {
        const char* name;
        QList<Step> steps;
    } cases[] = {
        {"alone", {{0, a, a}, {3999, {}, a}, {4000, {}, none}}},
        {"the same again does not extend it", {{0, a, a}, {2000, a, a}, {4000, {}, none}}},
        {"a new text has its own 4 s", {{0, a, a}, {2000, b, b}, {4000, {}, b}, {6000, {}, none}}},
        {"cleared and set again", {{0, a, a}, {1000, none, none}, {2000, a, a}, {4000, {}, none}}},
    };
    for (const auto& c : cases) {
        Session s;
        int now = 0;
        for (const Step& step : c.steps) {
            s.time.advance(std::chrono::milliseconds(step.at - now));
            now = step.at;
            if (step.set)
                s->setNotice(*step.set);
            EXPECT_EQ(s->notice(), step.expected) << c.name << " at " << step.at;
        }
        s->setNotice(a);
        s.session.reset();
        s.time.advance(5s); // the session went first: its timer touches nothing
    }
}

// A trim applied after the source's capture left the library while its sheet was up: there is no
// text to compare with, so any text but a blank one becomes the source's own.
TEST(DraftSession, TrimOfASourceWhoseCaptureWentKeepsTheTextOrClearsOnBlank)
{
    const std::optional<QString> none;
    const struct {
        const char* name;
        QString edited;
        const char* notice;
        std::optional<QString> stored;
    } cases[] = {
        {"the text it showed", QStringLiteral("Long"), "Trim applied.", QStringLiteral("Long")},
        {"blank", QStringLiteral(" \n\t"), "Trim cleared — using the captured source again.", none},
    };
    for (const auto& c : cases) {
        Session s({QStringLiteral("Long")}, [](ContextDraft& d) {
            d.entries[0].customText = QStringLiteral("Short");
            d.entries[0].selectionID = QUuid::createUuid();
        });
        s.time.advance(1s);
        s->applyTrim(s.entries[0], c.edited);
        EXPECT_EQ(s->notice(), QString::fromUtf8(c.notice)) << c.name;
        EXPECT_EQ(s.draft().entries[0].customText, c.stored) << c.name;
        EXPECT_EQ(s.draft().updatedAt, s.time.now()) << c.name;
    }
}

TEST(DraftSession, ReduceToFitStoresTheDraftOnlyWhenItsEntriesChange)
{
    const struct {
        const char* name;
        QStringList texts;
        bool pinAll;
        bool stored;
        const char* feedback;
    } cases[] = {
        {"over budget", threeLargeSources(), false, true,
         "Removed 2 optional sources. Now within the estimated budget."},
        {"only pinned sources", threeLargeSources(), true, false,
         "Still over budget by an estimated 13,650 tokens. Shorten the task, turn off the preamble, trim pinned "
         "sources, or export."},
        {"already fits", {QStringLiteral("short")}, false, false, "Already within the estimated budget."},
    };
    for (const auto& c : cases) {
        Session s(c.texts, [&](ContextDraft& d) {
            onSmallModel(d);
            for (ContextDraftEntry& e : d.entries)
                e.pin = c.pinAll;
        });
        const qsizetype before = s.draft().entries.size();
        s.time.advance(1s);
        EXPECT_EQ(s->reduceToFit(), QString::fromUtf8(c.feedback)) << c.name;
        EXPECT_EQ(s.draft().updatedAt == s.time.now(), c.stored) << c.name;
        EXPECT_EQ(s.draft().entries.size(), c.stored ? 1 : before) << c.name;
    }
}

TEST(DraftSession, CopySplitReportsOnlyWhatTheClipboardTook)
{
    const QString earlier = QStringLiteral("on the clipboard before");
    const QString notice = QStringLiteral(
        "Message token counts are estimates. Paste each message separately without its separator label.");
    const struct {
        const char* name;
        QString task;
        bool clipboardTakes;
        const char* feedback; // followed by the notice when it ends in a blank
        bool copied;
    } cases[] = {
        {"three messages", QStringLiteral("Compare."), true, "Copied 3 messages to the clipboard. ", true},
        {"a task too long for any message", QString(70000, u't'), true,
         "Cannot split within this estimated budget. Shorten the task, turn off the preamble, trim oversized "
         "sources, or export.",
         false},
        {"a clipboard that refuses", QStringLiteral("Compare."), false,
         "The messages could not be copied to the clipboard.", false},
    };
    for (const auto& c : cases) {
        Session s(threeLargeSources(), [&](ContextDraft& d) {
            onSmallModel(d);
            d.task = c.task;
        });
        s->copyPrompt(); // an earlier copy still shows Copied
        ASSERT_TRUE(s->showCopied()) << c.name;
        s.pasteboard.set({PasteboardItem{{QStringLiteral("UTF8_STRING"), earlier.toUtf8()}}});
        s.pasteboard.writesSucceed = c.clipboardTakes;
        QString expected = QString::fromUtf8(c.feedback);
        if (expected.endsWith(u' '))
            expected += notice;
        EXPECT_EQ(s->copySplit(), expected) << c.name;
        EXPECT_EQ(s->showCopied(), c.copied) << c.name;
        const QString clipboard = s.clipboard();
        if (!c.copied) {
            EXPECT_EQ(clipboard, earlier) << c.name;
            continue;
        }
        // Each message under its label, in the order of the sources, each one whole.
        const QStringList parts = clipboard.split(
            QRegularExpression(QStringLiteral("—— MESSAGE \\d OF 3 · [\\d,]+ tokens ——\n\n")), Qt::SkipEmptyParts);
        ASSERT_EQ(parts.size(), 3) << c.name;
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(parts[i].contains(threeLargeSources()[i])) << c.name << i;
            EXPECT_TRUE(parts[i].contains(QStringLiteral("Compare."))) << c.name << i << ": each repeats the task";
        }
        EXPECT_TRUE(clipboard.startsWith(QStringLiteral("—— MESSAGE 1 OF 3 · ")));
    }
}

TEST(DraftSession, CopiedLastsFromTheEarliestCopyAndOnlyForACopyTheClipboardTook)
{
    Session s({QStringLiteral("A source")}, [](ContextDraft& d) { d.previewText = QStringLiteral("Edited prompt"); });
    s->copyPrompt();
    EXPECT_EQ(s.clipboard(), QStringLiteral("Edited prompt")) << "the edited preview, not the generated text";
    s.time.advance(500ms);
    s->copyPrompt();
    s.time.advance(899ms);
    EXPECT_TRUE(s->showCopied());
    s.time.advance(1ms);
    EXPECT_FALSE(s->showCopied()) << "1.4 s after the first copy, not the second";

    s.pasteboard.writesSucceed = false;
    s->copyPrompt();
    EXPECT_FALSE(s->showCopied()) << "a copy the clipboard refused is not confirmed";
    s.pasteboard.writesSucceed = true;
    s->copyPrompt();
    s.session.reset(); // a session gone before its Copied time runs out is not touched
    s.time.advance(2s);
}

// The capture as captured, never the prompt's trimmed text or its note.
TEST(DraftSession, CopySourceCopiesTheCaptureAsCaptured)
{
    Session s({QStringLiteral("Plain **bold**")}, [](ContextDraft& d) {
        d.entries[0].customText = QStringLiteral("trimmed");
        d.entries[0].note = QStringLiteral("a note");
    });
    for (const auto format : {DraftSession::CopyAs::markdown, DraftSession::CopyAs::plain}) {
        s.pasteboard.set({});
        s->copySource(s.entries[0], format);
        EXPECT_EQ(s.clipboard(), QStringLiteral("Plain **bold**")) << int(format);
    }
}

TEST(DraftSession, SafeFileNameKeepsLettersDigitsAndInnerBlanks)
{
    const struct {
        const char* name;
        const char* expected;
    } cases[] = {
        {"Notes 2026/01/02 10:30", "Notes 2026-01-02 10-30"},
        {"Ünïcödé Привет 東京 ٣٤", "Ünïcödé Привет 東京 ٣٤"},
        {"", "prompt"},
        {"   ", "prompt"},
        {"...", "---"},
        {"  padded  ", "padded"},
        {"\tleading tab", "-leading tab"},
        {"keep_under-score  double", "keep_under-score  double"},
        {"emoji 👍🏽 and e\u0301", "emoji - and e\u0301"},
        {"สรุป😀ผล", "สรุป-ผล"},
        {"line\nbreak", "line-break"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DraftSession::safeFileName(QString::fromUtf8(c.name)), QString::fromUtf8(c.expected)) << c.name;
    Session s({}, [](ContextDraft& d) { d.name = QStringLiteral("Review: 2026/01/02"); });
    EXPECT_EQ(s->exportFileName(), QStringLiteral("Review- 2026-01-02.md"));
}

TEST(DraftSession, ExportWritesTheTextWholeOrSaysWhy)
{
    Session s;
    ManualSerialQueue logQueue;
    FileLogger logger(s.files, logQueue, s.time);
    FileLogger::setShared(&logger);
    ASSERT_TRUE(logger.start());
    const QString text = QStringLiteral("Edited — prompt ü\n");
    const QString target = s.folder.filePath(QStringLiteral("exported.md"));
    TemporaryLibrary::writeAll(target, "old content");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    const QString fresh = s.folder.filePath(QStringLiteral("fresh.md"));
    const mode_t umask = ::umask(022);
    using Op = FaultyFileSystem::Operation;
    const struct {
        const char* name;
        QString path;
        std::optional<Op> failing;
        const char* content; // of the file afterwards
        bool failed;
    } steps[] = {
        {"write fails half-way", target, Op::write, "old content", true},
        {"rename fails", target, Op::rename, "old content", true},
        {"exported", target, std::nullopt, "Edited — prompt ü\n", false},
        {"folder flush fails after the rename", target, Op::syncFolder, "Edited — prompt ü\n", true},
        {"a new file", fresh, std::nullopt, "Edited — prompt ü\n", false},
    };
    for (const auto& step : steps) {
        s.files.clearFailures();
        if (step.failing)
            s.files.fail(*step.failing, target, EIO);
        s->exportPrompt(step.path, text);
        EXPECT_EQ(TemporaryLibrary::readAll(step.path), QByteArray(step.content)) << step.name;
        EXPECT_EQ(s->exportError(), step.failed ? std::optional(DraftSession::exportFailedText) : std::nullopt)
            << step.name;
    }
    ::umask(umask);
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0644)) << "a document the user saved";
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t(0640)) << "a file replaced keeps its mode";
    logQueue.runDue();
    FileLogger::setShared(nullptr);
    const QString log = QString::fromUtf8(
        TemporaryLibrary::readAll(FileLogger::directory(s.files) + QStringLiteral("/vellicord.log")));
    EXPECT_EQ(log.count(QStringLiteral("Prompt export failed: ")), 3) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Prompt export failed: Could not write ") + target)) << log.toStdString();
}

} // namespace
