#include "core/capture/SelectionCapture.h"

#include "QtPrinters.h"
#include "support/FakeAccessibility.h"
#include "support/FakeKeyEvents.h"
#include "support/FakePasteboard.h"
#include "support/FakeProcessRunner.h"
#include "support/FakeWorkspace.h"
#include "support/LogRecorder.h"
#include "support/ManualClock.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace vellicord {

void PrintTo(const CaptureError& error, std::ostream* out)
{
    *out << int(error.kind) << " \"" << error.detail.toStdString() << '"';
}

namespace {

PasteboardItem textItem(const QByteArray& text)
{
    return {{QStringLiteral("UTF8_STRING"), text}};
}

const PasteboardItem userItem{{QStringLiteral("UTF8_STRING"), QByteArray("what the user had")},
                              {QStringLiteral("application/x-custom"), QByteArray("\0binary\0", 8)}};

class SelectionCaptureTest : public ::testing::Test {
protected:
    FakePasteboard pasteboard;
    FakeWorkspace workspace;
    FakeAccessibility accessibility;
    FakeKeyEvents keys;
    FakeProcessRunner runner;
    ManualClock clock;
    LogRecorder log;

    void SetUp() override
    {
        workspace.frontmost = RunningApplication{4242, QStringLiteral("Editor"), QStringLiteral("org.example.Editor")};
        pasteboard.set({userItem});
        runner.programExists = false;
    }

    // The application answers the copy command with this number by putting the item on the clipboard.
    void answerCopy(int copyNumber, PasteboardItem item)
    {
        keys.onCopy = [this, copyNumber, item](int n) {
            if (n == copyNumber)
                pasteboard.set({item});
        };
    }

    SelectionCapture::Outcome capture()
    {
        SelectionCapture capture(CaptureServices{.pasteboard = pasteboard,
                                                 .workspace = workspace,
                                                 .accessibility = accessibility,
                                                 .keyEvents = keys,
                                                 .processRunner = runner,
                                                 .clock = clock});
        return capture.capture();
    }

    static CaptureResult result(const SelectionCapture::Outcome& outcome)
    {
        if (const auto* error = std::get_if<CaptureError>(&outcome))
            ADD_FAILURE() << "capture failed: " << error->errorDescription().toStdString();
        return std::get_if<CaptureResult>(&outcome) ? std::get<CaptureResult>(outcome) : CaptureResult{};
    }

    static CaptureError error(const SelectionCapture::Outcome& outcome)
    {
        EXPECT_TRUE(std::holds_alternative<CaptureError>(outcome));
        return std::get_if<CaptureError>(&outcome) ? std::get<CaptureError>(outcome) : CaptureError{};
    }
};

TEST_F(SelectionCaptureTest, OneCopyWhenTheApplicationAnswersTheFirst)
{
    answerCopy(1, textItem("  copied text \n"));
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"copied text");
    EXPECT_EQ(got.markdown, std::nullopt);
    EXPECT_EQ(got.appName, u"Editor");
    EXPECT_EQ(got.bundleID, u"org.example.Editor");
    EXPECT_EQ(keys.copies, 1);
    EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{userItem});
    EXPECT_EQ(pasteboard.writes, 1);
}

TEST_F(SelectionCaptureTest, SecondCopyWhenTheFirstIsIgnored)
{
    answerCopy(2, textItem("second time"));
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"second time");
    EXPECT_EQ(keys.copies, 2);
    EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{userItem});
    EXPECT_GE(clock.elapsed(), 800ms);
    EXPECT_LT(clock.elapsed(), 1000ms);
}

TEST_F(SelectionCaptureTest, NoChangeMeansNoRestoreAndAccessibilityText)
{
    accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral(" from accessibility ")}}};
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"from accessibility");
    EXPECT_EQ(got.markdown, std::nullopt);
    EXPECT_EQ(keys.copies, 2);
    EXPECT_EQ(pasteboard.writes, 0);
    EXPECT_EQ(clock.elapsed(), 1600ms);
}

TEST_F(SelectionCaptureTest, RestoreFailureBeatsEveryOtherOutcome)
{
    struct Case {
        const char* name;
        PasteboardItem copy;
    };
    const Case cases[]
        = {{"readable copy", textItem("text")}, {"unreadable copy", {{QStringLiteral("image/png"), "png"}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pasteboard.set({userItem});
        pasteboard.writesSucceed = false;
        log.lines.clear();
        keys.copies = 0;
        answerCopy(1, c.copy);
        EXPECT_EQ(error(capture()), CaptureError::clipboardRestoreFailed());
        EXPECT_TRUE(log.lines.contains(u"app: Capture: clipboard restore failed; capture was not saved"));
    }
}

TEST_F(SelectionCaptureTest, HtmlOnlyCopyGivesTheConvertedText)
{
    answerCopy(
        1,
        {{QStringLiteral("text/html"),
          QByteArray("<html><head><title>Page &amp; co</title></head><body><p><b>Bold</b> words</p></body></html>")}});
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"Bold words");
    EXPECT_EQ(got.sourceTitle, u"Page & co");
    EXPECT_EQ(got.markdown, u"**Bold** words");
}

TEST_F(SelectionCaptureTest, WhiteSpaceOnlyPlainTextGivesEmptyText)
{
    answerCopy(1, textItem(" \n\t "));
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"");
}

TEST_F(SelectionCaptureTest, PdfViewerRuleOnlyForTheChromiumFamily)
{
    struct Case {
        const char* name;
        QString bundleID;
        QString address;
        bool copyChanges;
        CaptureError::Kind expected;
    };
    const Case cases[] = {
        {"chrome pdf", QStringLiteral("com.google.Chrome"), QStringLiteral("https://x.test/a/Report.PDF"), false,
         CaptureError::Kind::chromePDF},
        {"brave pdf", QStringLiteral("com.brave.Browser"), QStringLiteral("file:///tmp/a.pdf"), false,
         CaptureError::Kind::chromePDF},
        {"safari pdf", QStringLiteral("com.apple.Safari"), QStringLiteral("https://x.test/a.pdf"), false,
         CaptureError::Kind::noSelection},
        {"letter case of the id", QStringLiteral("com.google.chrome"), QStringLiteral("https://x.test/a.pdf"), false,
         CaptureError::Kind::noSelection},
        {"chrome html page", QStringLiteral("com.google.Chrome"), QStringLiteral("https://x.test/a.pdf.html"), false,
         CaptureError::Kind::noSelection},
        {"chrome pdf, copy changed but unreadable", QStringLiteral("com.google.Chrome"),
         QStringLiteral("https://x.test/a.pdf"), true, CaptureError::Kind::noSelection},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pasteboard.set({userItem});
        workspace.frontmost->bundleIdentifier = c.bundleID;
        accessibility.chain = {{{QStringLiteral("AXURL"), c.address}}};
        keys.copies = 0;
        keys.onCopy = nullptr;
        if (c.copyChanges)
            answerCopy(1, {{QStringLiteral("image/png"), "png"}});
        EXPECT_EQ(error(capture()).kind, c.expected);
    }
}

TEST_F(SelectionCaptureTest, DiagnosticLineOfACaptureThatFoundNothing)
{
    const CaptureError failure = error(capture());
    const QString detail = QStringLiteral("app=Editor, pid=4242, pasteboardChanged=false, postCopyTextLength=-1, "
                                          "axSelectedText=no, pasteboardTypes=[UTF8_STRING, other]");
    EXPECT_EQ(failure, CaptureError::noSelection(detail));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("app: Capture failed in Editor: ") + detail))
        << log.lines.join(u'\n').toStdString();
}

TEST_F(SelectionCaptureTest, DiagnosticLineOfACopyWithNothingReadable)
{
    answerCopy(1,
               {{QStringLiteral("UTF8_STRING"), QByteArray()},
                {QStringLiteral("image/png"), "png"},
                {QStringLiteral("x-other"), "o"}});
    const CaptureError failure = error(capture());
    const QString detail = QStringLiteral("app=Editor, pid=4242, pasteboardChanged=true, postCopyTextLength=0, "
                                          "axSelectedText=no, pasteboardTypes=[UTF8_STRING, image/png, other]");
    EXPECT_EQ(failure, CaptureError::noSelection(detail));
    EXPECT_TRUE(
        log.lines.contains(QStringLiteral("app: Capture: pasteboard changed but nothing readable on it: ") + detail));
    EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{userItem});
}

TEST_F(SelectionCaptureTest, AccessibilityWalkStopsAfterTwelveElements)
{
    struct Case {
        const char* name;
        int foundAt; // 1 = the focused element
        bool found;
    };
    const Case cases[] = {{"focused element", 1, true},
                          {"third ancestor", 4, true},
                          {"twelfth element", 12, true},
                          {"thirteenth element", 13, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        accessibility.chain.clear();
        for (int i = 1; i <= 20; ++i) {
            QHash<QString, QString> attributes;
            if (i == c.foundAt)
                attributes.insert(QStringLiteral("AXSelectedText"), QStringLiteral("deep text"));
            accessibility.chain.append(attributes);
        }
        accessibility.elementsVisited = 0;
        const SelectionCapture::AXExtract extract = SelectionCapture::extractAX(accessibility, 1);
        EXPECT_EQ(extract.selectedText.has_value(), c.found);
        EXPECT_LE(accessibility.elementsVisited, SelectionCapture::maxAXElements);
    }
}

TEST_F(SelectionCaptureTest, PrimarySelectionOnlyWhenNoElementHasASelection)
{
    accessibility.primary = QStringLiteral("from primary");
    accessibility.chain = {{}, {{QStringLiteral("AXSelectedText"), QStringLiteral("from an ancestor")}}};
    EXPECT_EQ(SelectionCapture::extractAX(accessibility, 1).selectedText, u"from an ancestor");
    accessibility.chain = {{}, {}};
    EXPECT_EQ(SelectionCapture::extractAX(accessibility, 1).selectedText, u"from primary");
    accessibility.chain.clear();
    EXPECT_EQ(SelectionCapture::extractAX(accessibility, 1).selectedText, u"from primary");
    accessibility.primary = QString();
    EXPECT_EQ(SelectionCapture::extractAX(accessibility, 1).selectedText, std::nullopt);
    // A text that reports nothing selected: what PRIMARY still holds was selected before.
    accessibility.primary = QStringLiteral("cleared since");
    accessibility.chain = {{{QStringLiteral("AXSelectedText"), QString()}}, {}};
    EXPECT_EQ(SelectionCapture::extractAX(accessibility, 1).selectedText, std::nullopt);
}

TEST_F(SelectionCaptureTest, PrimaryAndWaitsFollowWhetherACopyCommandWasSent)
{
    using Chain = QList<QHash<QString, QString>>;
    const Chain silent{{}};
    const Chain nothingSelected{{{QStringLiteral("AXSelectedText"), QString()}}};
    const Chain placeholders{{{QStringLiteral("AXSelectedText"), QStringLiteral("\uFFFC\n\uFFFC")}}};
    const Chain password{{{QStringLiteral("AXSubrole"), QStringLiteral("AXSecureTextField")},
                          {QStringLiteral("AXSelectedText"), QStringLiteral("\u25CF\u25CF\u25CF")}}};
    struct Case {
        const char* name;
        bool hasCopyCommand;
        Chain chain;
        std::optional<QString> text; // nullopt: noSelection
        std::chrono::milliseconds elapsed;
    };
    const Case cases[] = {
        {"terminal that copies by selecting: PRIMARY at once", false, silent, QStringLiteral("in primary"), 0ms},
        {"such a terminal reporting no selection still has PRIMARY", false, nothingSelected,
         QStringLiteral("in primary"), 0ms},
        {"editor whose selection was cleared: no stale PRIMARY", true, nothingSelected, std::nullopt, 1600ms},
        {"application telling nothing: PRIMARY after the copies", true, silent, QStringLiteral("in primary"), 1600ms},
        {"page whose elements stand as placeholders: PRIMARY after the copies", true, placeholders,
         QStringLiteral("in primary"), 1600ms},
        {"password field: neither its mask nor a copy nor PRIMARY", true, password, std::nullopt, 0ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock fresh;
        keys.copies = 0;
        keys.hasCopyCommand = c.hasCopyCommand;
        accessibility.chain = c.chain;
        accessibility.primary = QStringLiteral("in primary");
        SelectionCapture capture(CaptureServices{.pasteboard = pasteboard,
                                                 .workspace = workspace,
                                                 .accessibility = accessibility,
                                                 .keyEvents = keys,
                                                 .processRunner = runner,
                                                 .clock = fresh});
        const SelectionCapture::Outcome outcome = capture.capture();
        if (c.text)
            EXPECT_EQ(result(outcome).text, *c.text);
        else
            EXPECT_EQ(error(outcome).kind, CaptureError::Kind::noSelection);
        EXPECT_EQ(fresh.elapsed(), c.elapsed);
        EXPECT_EQ(keys.copies, c.elapsed / 800ms);
        EXPECT_EQ(pasteboard.writes, 0);
    }
}

TEST_F(SelectionCaptureTest, AccessibilityKeepsTheFirstValueOfEachAttribute)
{
    accessibility.chain = {
        {{QStringLiteral("AXSelectedText"), QString()}, {QStringLiteral("AXURL"), QStringLiteral("not an address")}},
        {{QStringLiteral("AXSelectedText"), QStringLiteral("text")},
         {QStringLiteral("AXDocument"), QStringLiteral("file:///a.txt")}},
        {{QStringLiteral("AXSelectedText"), QStringLiteral("outer")},
         {QStringLiteral("AXURL"), QStringLiteral("https://b.test/")}},
    };
    const SelectionCapture::AXExtract extract = SelectionCapture::extractAX(accessibility, 1);
    EXPECT_EQ(extract.selectedText, u"text");
    EXPECT_EQ(extract.filePath, u"file:///a.txt");
    // The first address found was not one; no later one replaces it.
    EXPECT_EQ(extract.sourceURL, std::nullopt);
}

TEST_F(SelectionCaptureTest, PageTitleFromTheCopiedHtmlElseFromAccessibility)
{
    struct Case {
        const char* name;
        PasteboardItem copy;
        QList<QHash<QString, QString>> chain;
        std::optional<QString> title;
        std::chrono::milliseconds readTime{0}; // how long a busy application takes for each answer
        QString logged;
    };
    const Case cases[] = {
        {"copied html title wins",
         {{QStringLiteral("UTF8_STRING"), "t"}, {QStringLiteral("text/html"), "<title>From HTML</title><p>t</p>"}},
         {{{QStringLiteral("AXURL"), QStringLiteral("https://a.test/")},
           {QStringLiteral("AXTitle"), QStringLiteral("From page")}}},
         QStringLiteral("From HTML")},
        {"document name of the page",
         textItem("t"),
         {{},
          {{QStringLiteral("AXURL"), QStringLiteral("https://a.test/")},
           {QStringLiteral("AXTitle"), QStringLiteral(" From page ")}}},
         QStringLiteral("From page")},
        {"name of an element without an address",
         textItem("t"),
         {{{QStringLiteral("AXTitle"), QStringLiteral("Button")}},
          {{QStringLiteral("AXURL"), QStringLiteral("https://a.test/")}}},
         std::nullopt},
        // More than a second for the address; the time the copy needs is kept from the title.
        {"page that answers slowly",
         textItem("t"),
         {{},
          {{QStringLiteral("AXURL"), QStringLiteral("https://a.test/")},
           {QStringLiteral("AXTitle"), QStringLiteral("From page")}}},
         std::nullopt,
         250ms,
         QStringLiteral("app: Capture: Accessibility did not answer in time when asked for the page title; what it "
                        "had not told is left out")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pasteboard.set({userItem});
        keys.copies = 0;
        answerCopy(1, c.copy);
        accessibility.chain = c.chain;
        accessibility.clock = &clock;
        accessibility.readTime = c.readTime;
        log.lines.clear();
        const CaptureResult got = result(capture());
        EXPECT_EQ(got.sourceTitle, c.title);
        EXPECT_EQ(got.sourceURL, u"https://a.test/");
        EXPECT_EQ(log.lines.filter(u"in time"), c.logged.isEmpty() ? QStringList() : QStringList{c.logged});
    }
}

TEST_F(SelectionCaptureTest, ApplicationWithoutNameOrBundleIdentifier)
{
    workspace.frontmost = RunningApplication{7, std::nullopt, std::nullopt};
    runner.programExists = true;
    accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral("t")}}};
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.appName, u"Unknown App");
    EXPECT_EQ(got.bundleID, std::nullopt);
    EXPECT_TRUE(runner.runs.isEmpty());
}

TEST_F(SelectionCaptureTest, RefusalsBeforeTheClipboardIsTouched)
{
    struct Case {
        const char* name;
        bool trusted;
        bool frontmost;
        CaptureError expected;
        const char* logLine;
    };
    const Case cases[] = {
        {"not trusted", false, true, CaptureError::notTrusted(), "capture.error: Not trusted for accessibility"},
        {"no frontmost application", true, false, CaptureError::noFrontmostApp(),
         "capture.error: No frontmost application"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        accessibility.trusted = c.trusted;
        if (!c.frontmost)
            workspace.frontmost.reset();
        log.lines.clear();
        EXPECT_EQ(error(capture()), c.expected);
        EXPECT_EQ(log.lines, QStringList{QString::fromUtf8(c.logLine)});
        EXPECT_EQ(keys.copies, 0);
    }
}

TEST(CaptureErrorTest, EveryMessage)
{
    struct Case {
        CaptureError error;
        const char16_t* message;
    };
    const Case cases[] = {
        {CaptureError::noSelection(QStringLiteral("detail")), u"No text was selected in the frontmost application."},
        {CaptureError::notTrusted(), u"Vellicord needs Accessibility permission to read selected text."},
        {CaptureError::noFrontmostApp(), u"No frontmost application found."},
        {CaptureError::chromePDF(),
         u"Chrome\u2019s built-in PDF viewer can\u2019t be captured programmatically. Open the PDF in a PDF viewer (or "
         u"use right-click \u2192 Copy inside Chrome), then capture again."},
        {CaptureError::clipboardRestoreFailed(),
         u"Capture was not saved because Vellicord could not restore your clipboard. Copy the original content again."},
        {CaptureError::unreadableFormat(QStringLiteral("detail")),
         u"The frontmost application copied its selection in a format that could not be read."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.error.errorDescription(), QString::fromUtf16(c.message));
}

TEST_F(SelectionCaptureTest, LateCopyIsUndoneAtTheEnd)
{
    accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral("from accessibility")}}};
    bool late = false;
    pasteboard.beforeCountRead = [&] {
        // The application answers only after both waits gave up.
        if (!late && clock.elapsed() >= 1600ms) {
            late = true;
            pasteboard.set({textItem("late copy")});
        }
    };
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"from accessibility");
    EXPECT_TRUE(late);
    EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{userItem});
}

TEST_F(SelectionCaptureTest, LateCopyThatCannotBeUndoneFailsTheCapture)
{
    accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral("from accessibility")}}};
    pasteboard.writesSucceed = false;
    pasteboard.beforeCountRead = [&] {
        if (clock.elapsed() >= 1600ms && pasteboard.items.first() == userItem)
            pasteboard.set({textItem("late copy")});
    };
    EXPECT_EQ(error(capture()), CaptureError::clipboardRestoreFailed());
}

TEST_F(SelectionCaptureTest, UnsavableClipboardMeansNoCopyCommand)
{
    struct Case {
        const char* name;
        std::function<void(FakePasteboard&)> arrange;
    };
    const Case cases[] = {
        {"owner never answers", [](FakePasteboard& p) { p.answers = false; }},
        {"one target never answers",
         [](FakePasteboard& p) { p.silentTargets = {QStringLiteral("application/x-custom")}; }},
        {"item with no readable data",
         [](FakePasteboard& p) {
             p.refusedTargets = {QStringLiteral("UTF8_STRING"), QStringLiteral("application/x-custom")};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakePasteboard fresh;
        fresh.set({userItem});
        c.arrange(fresh);
        keys.copies = 0;
        keys.onCopy = [&](int) { fresh.set({textItem("copied")}); };
        accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral("selected")}}};
        SelectionCapture capture(CaptureServices{.pasteboard = fresh,
                                                 .workspace = workspace,
                                                 .accessibility = accessibility,
                                                 .keyEvents = keys,
                                                 .processRunner = runner,
                                                 .clock = clock});
        const SelectionCapture::Outcome outcome = capture.capture();
        EXPECT_EQ(result(outcome).text, u"selected");
        EXPECT_EQ(keys.copies, 0);
        EXPECT_EQ(fresh.writes, 0);
    }
}

TEST_F(SelectionCaptureTest, ChangeWhileTheSnapshotIsTakenIsNotLost)
{
    int reads = 0;
    pasteboard.beforeCountRead = [&] {
        // Another application copies between the snapshot and the reading of the count.
        if (++reads == 2)
            pasteboard.set({textItem("newer content")});
    };
    answerCopy(1, textItem("copied"));
    EXPECT_EQ(result(capture()).text, u"copied");
    EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{textItem("newer content")});
}

TEST_F(SelectionCaptureTest, SlowCopyIsCutAtTheTimeLimit)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds perRead; // how long the application takes to send each format
        QString text;
        bool limitLogged;
    };
    const Case cases[] = {
        {"copy sent in time", 100ms, QStringLiteral("copied"), false},
        {"copy trickling in increments", 5000ms, QStringLiteral("from accessibility"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock fresh;
        FakePasteboard slow;
        slow.set({userItem});
        slow.clock = &fresh;
        bool copied = false;
        // A read takes its time, up to the limit the capture set, where the pasteboard cuts it.
        slow.beforeRead = [&] {
            if (copied && slow.readLimit)
                fresh.advance(std::min(c.perRead,
                                       std::chrono::duration_cast<std::chrono::milliseconds>(std::max(
                                           *slow.readLimit - fresh.steadyNow(), Clock::TimePoint::duration{}))));
        };
        keys.onCopy = [&](int) {
            copied = true;
            slow.set({textItem("copied")});
        };
        accessibility.chain = {{{QStringLiteral("AXSelectedText"), QStringLiteral("from accessibility")}}};
        log.lines.clear();
        SelectionCapture capture(CaptureServices{.pasteboard = slow,
                                                 .workspace = workspace,
                                                 .accessibility = accessibility,
                                                 .keyEvents = keys,
                                                 .processRunner = runner,
                                                 .clock = fresh});
        EXPECT_EQ(result(capture.capture()).text, c.text);
        EXPECT_LE(fresh.elapsed(), SelectionCapture::timeLimit);
        EXPECT_EQ(slow.items, QList<PasteboardItem>{userItem});
        EXPECT_EQ(slow.readLimit, std::nullopt);
        EXPECT_EQ(log.lines.contains(u"app: Capture: time limit of 4 s reached while the copy was read; what had not "
                                     u"arrived is left out"),
                  c.limitLogged)
            << log.lines.join(u'\n').toStdString();
    }
}

TEST_F(SelectionCaptureTest, WhatArrivedOfACutShortTransferIsKept)
{
    using Chain = QList<QHash<QString, QString>>;
    const Chain selected{{{QStringLiteral("AXSelectedText"), QStringLiteral("from accessibility")}}};
    const QString copyLeftOut
        = QStringLiteral("app: Capture: the application stopped sending the copy; what had not arrived is left out");
    const QString selectionLeftOut = QStringLiteral(
        "app: Capture: the application stopped sending the selection; what had not arrived is left out");
    struct Case {
        const char* name;
        bool copyCutShort;
        Chain chain; // empty: the application tells Accessibility nothing
        bool hasCopyCommand;
        std::optional<QString> primary; // what arrived of PRIMARY before its owner stopped sending
        QString text;
        QString logged; // empty: nothing left out
    };
    const Case cases[] = {
        {"part of a copy, nothing else", true, {}, true, std::nullopt, QStringLiteral("cop"), copyLeftOut},
        {"part of a copy, all of the selection from accessibility", true, selected, true, std::nullopt,
         QStringLiteral("from accessibility"), copyLeftOut},
        {"part of the selection of a terminal without a copy command",
         false,
         {},
         false,
         QStringLiteral("in primary"),
         QStringLiteral("in primary"),
         selectionLeftOut},
        {"all of a copy", false, selected, true, std::nullopt, QStringLiteral("copied"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pasteboard.set({userItem});
        // The copy alone is sent slowly, not what the user had.
        const QString copyTarget = QStringLiteral("text/plain;charset=utf-8");
        pasteboard.cutShortTargets = c.copyCutShort ? QStringList{copyTarget} : QStringList{};
        answerCopy(1, {{copyTarget, QByteArray("copied")}});
        keys.copies = 0;
        keys.hasCopyCommand = c.hasCopyCommand;
        accessibility.chain = c.chain;
        accessibility.primary = c.primary;
        accessibility.primaryComplete = false;
        log.lines.clear();
        EXPECT_EQ(result(capture()).text, c.text);
        EXPECT_EQ(pasteboard.items, QList<PasteboardItem>{userItem});
        const QStringList leftOut = log.lines.filter(QStringLiteral("left out"));
        EXPECT_EQ(leftOut, c.logged.isEmpty() ? QStringList() : QStringList{c.logged});
    }
}

TEST_F(SelectionCaptureTest, BrowserSelectionWhenNothingElseGaveText)
{
    workspace.frontmost = RunningApplication{9, QStringLiteral("Safari"), QStringLiteral("com.apple.Safari")};
    runner.programExists = true;
    runner.result = {ProcessResult::Status::finished, QByteArray("  picked in page \n"), {}, {}};
    const CaptureResult got = result(capture());
    EXPECT_EQ(got.text, u"picked in page");
    EXPECT_EQ(got.markdown, std::nullopt);
    EXPECT_TRUE(log.lines.contains(u"app: Capture: using browser JS selection fallback for Safari"));
}

TEST_F(SelectionCaptureTest, UntrustedApplicationNameIsCleanedForTheLog)
{
    workspace.frontmost->localizedName = QStringLiteral("Evil\nCapture failed");
    const CaptureError failure = error(capture());
    EXPECT_TRUE(failure.detail.startsWith(u"app=Evil\uFFFDCapture failed, pid=4242"));
    for (const QString& line : log.lines)
        EXPECT_FALSE(line.contains(u'\n')) << line.toStdString();
}

} // namespace
} // namespace vellicord
