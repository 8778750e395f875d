#include "Tovak/export/AppScreenshotExporter.h"

#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/export/AppScreenshotView.h"
#include "Tovak/export/DetachedPasteboard.h"
#include "Tovak/export/SampleClock.h"
#include "Tovak/export/SampleData.h"
#include "Tovak/export/SnapshotAccessibility.h"
#include "Tovak/export/SnapshotDesktop.h"
#include "Tovak/export/SnapshotFixture.h"
#include "Tovak/export/StorageFailureSurfaceCanvas.h"
#include "Tovak/export/UISurfaceCanvas.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/EmptyStateView.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/NameSheet.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/WelcomeView.h"
#include "Tovak/shell/SettingsView.h"
#include "core/library/ModelProfile.h"
#include "core/library/Store.h"
#include "platform/FileSystem.h"
#include "platform/NativePath.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QImageWriter>
#include <QTimeZone>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace vellicord::AppScreenshotExporter {
namespace {

const QString storageFailureOption = QStringLiteral("-exportStorageFailureSurfaces");
const QString hotkey = UISurfaceCanvas::hotkeyDisplay();
const QString sampleGroupName = QStringLiteral("Swift research");
const QString sampleGroupColor = QStringLiteral("#245BD7");
// A group of no library: the empty state of a scope that holds nothing.
const QUuid unknownGroupID = QUuid(QStringLiteral("00000000-0000-0000-0000-000000000001"));
// Where a library lives on this platform, in a sample home folder.
const QString sampleLibraryPath = QStringLiteral("/home/alex/.local/share/Vellicord/Vellicord.json");
// PNG states its density in pixels per metre: 72 points per inch, times the scale.
constexpr double pointsPerMetre = 72.0 / 0.0254;

// The argument after the first of the names, as it stands, even when it looks like another option.
std::optional<QString> optionArgument(const QStringList& arguments, const QStringList& names, ExportError::Kind missing)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (!names.contains(arguments[i]))
            continue;
        // An empty argument names no place; taken as the current folder, it would be written over.
        if (i + 1 == arguments.size() || arguments[i + 1].isEmpty())
            throw ExportError(missing);
        return arguments[i + 1];
    }
    return std::nullopt;
}

// The path made absolute and cleaned, its bytes kept: the current folder is read as bytes too,
// as Qt would read it as UTF-8 and put U+FFFD in place of what is not.
QString absolutePath(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    char* const current = ::getcwd(nullptr, 0);
    if (!current)
        throw FileSystemError(QStringLiteral("Could not read the current folder for"), path, errno);
    const QString folder = NativePath::decode(current);
    std::free(current);
    return QDir::cleanPath(folder + u'/' + path);
}

// A path written as a folder's: "DIR/", "DIR/." or "..".
bool namesFolder(const QString& path)
{
    const QString last = path.section(u'/', -1);
    return last.isEmpty() || last == u"." || last == u"..";
}

// What is at the path, where something is: the image may only replace a file.
std::optional<mode_t> typeAt(const QString& path)
{
    struct stat info;
    if (::stat(NativePath::encode(path).constData(), &info) != 0)
        return std::nullopt;
    return info.st_mode & S_IFMT;
}

void stopIfInterrupted(const ExportServices& services)
{
    if (services.interrupted())
        throw ExportError(ExportError::Kind::interrupted);
}

// The views' services in the export: a clock at the samples' time, no clipboard, no application
// icons, no access to other applications; nothing the views offer to do reaches anything.
struct Stage {
    SampleClock clock;
    DetachedPasteboard pasteboard;
    SnapshotDesktop desktop;
    SnapshotAccessibility accessibility;
    IconCache icons{desktop};
};

// Task templates are read from the fixture's own defaults, never from the user's.
ViewServices viewServices(Stage& stage, const ExportServices& services, SnapshotFixture& fixture)
{
    return ViewServices{
        .store = fixture.store(),
        .pasteboard = stage.pasteboard,
        .scheduler = services.scheduler,
        .clock = stage.clock,
        .defaults = fixture.defaults(),
        .desktop = stage.desktop,
        .accessibility = stage.accessibility,
        .shortcutDisplay = [] { return hotkey; },
        .requestCapture = [] {},
        .fileSystem = services.fileSystem,
        .chooseSaveFile = [](QWidget&, const ViewServices::SaveFileRequest&, const ViewServices::SaveFileAnswer&) {},
        .runModal = [](QDialog&) {},
    };
}

struct Context {
    Stage& stage;
    const ExportServices& services;
    SnapshotFixture& populated;
    SnapshotFixture& empty;
    QUuid firstID;
    QUuid draftID;
    QUuid emptyDraftID;
};

struct Surface {
    const char* file;
    std::function<std::unique_ptr<QWidget>(Context&)> view;
    QSize size;
    Appearance appearance = Appearance::light;
    // A change of the library made just before the view is built.
    std::function<void(Context&)> before = {};
};

struct StorageFailure {
    QString name;
    QByteArray contents;
    StorePersistenceStatus expected;
};

const StorageFailure storageFailures[] = {
    {QStringLiteral("unreadable"), QByteArrayLiteral("unreadable fixture"), StorePersistenceStatus::unreadablePrimary},
    {QStringLiteral("incompatible"), QByteArrayLiteral("{\"version\":999}"),
     StorePersistenceStatus::incompatibleVersion},
};

QString storageFailureFile(const StorageFailure& failure, Appearance appearance)
{
    return QStringLiteral("library-") + failure.name
        + (appearance == Appearance::light ? QStringLiteral("-light.png") : QStringLiteral("-dark.png"));
}

std::unique_ptr<QWidget> emptyState(bool isFiltering, const QString& searchText, const SidebarItem& scope)
{
    auto view = std::make_unique<EmptyStateView>();
    view->setContent(EmptyStateView::Content{.isFiltering = isFiltering,
                                             .needsAccessibility = false,
                                             .searchText = searchText,
                                             .sidebarSelection = scope,
                                             .hotkeyDisplay = hotkey});
    return view;
}

std::unique_ptr<QWidget> canvas(Context& c, SnapshotFixture& fixture, UISurfaceCanvas::Mode mode)
{
    return std::make_unique<UISurfaceCanvas>(viewServices(c.stage, c.services, fixture), mode);
}

std::unique_ptr<QWidget> libraryCanvas(Context& c)
{
    return canvas(c, c.populated, UISurfaceCanvas::Mode::library(c.firstID));
}

std::unique_ptr<QWidget> composeCanvas(Context& c)
{
    return canvas(c, c.populated, UISurfaceCanvas::Mode::compose(c.draftID));
}

// The prompt's text edited by hand: from then on it is that text, whatever its sources say.
void editPreview(Context& c, const QString& text)
{
    std::optional<ContextDraft> draft = c.populated.store().findDraft(c.draftID);
    if (!draft)
        throw ExportError(ExportError::Kind::renderFailed);
    draft->previewText = text;
    c.populated.store().updateDraft(*draft);
}

// The catalogue, in the order its files are written; the storage-failure images follow it.
const std::vector<Surface>& catalogue()
{
    static const std::vector<Surface> surfaces{
        {"library-wide.png", libraryCanvas, QSize(1120, 660)},
        {"library-compact.png", libraryCanvas, QSize(980, 600)},
        {"compose-wide.png", composeCanvas, QSize(1280, 760)},
        {"compose-compact.png", composeCanvas, QSize(980, 600)},
        {"library-dark.png", libraryCanvas, QSize(1120, 660), Appearance::dark},
        {"compose-dark.png", composeCanvas, QSize(1280, 760), Appearance::dark},
        {"detail.png",
         [](Context& c) {
             auto view = std::make_unique<SelectionDetailView>(
                 SelectionDetailView::Services{.store = c.populated.store(),
                                               .pasteboard = c.stage.pasteboard,
                                               .scheduler = c.services.scheduler,
                                               .desktop = c.stage.desktop,
                                               .icons = c.stage.icons},
                 QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc());
             view->setSelectionID(c.firstID);
             return view;
         },
         QSize(420, 660)},
        {"settings.png",
         [](Context&) {
             return std::make_unique<SettingsView>(
                 SettingsView::SnapshotValues{.shortcut = hotkey,
                                              .launchAtLogin = false,
                                              .libraryPath = sampleLibraryPath,
                                              .version = QStringLiteral("1.0.0 (1)")});
         },
         QSize(520, 380)},
        {"welcome.png", [](Context&) { return std::make_unique<WelcomeView>(true, hotkey); }, QSize(520, 520)},
        {"empty-library.png", [](Context& c) { return canvas(c, c.empty, UISurfaceCanvas::Mode::emptyLibrary()); },
         QSize(980, 600)},
        {"empty-compose.png",
         [](Context& c) { return canvas(c, c.empty, UISurfaceCanvas::Mode::emptyCompose(c.emptyDraftID)); },
         QSize(980, 600)},
        {"compose-edited-compact.png", composeCanvas, QSize(980, 600), Appearance::light,
         [](Context& c) {
             editPreview(c,
                         QStringLiteral("Compare these sources.\n\nThis passage is edited only in this prompt.\n"
                                        "Keep the library version unchanged."));
         }},
        {"compose-edited-empty.png", composeCanvas, QSize(980, 600), Appearance::light,
         [](Context& c) { editPreview(c, QStringLiteral("")); }},
        {"empty-search.png",
         [](Context&) { return emptyState(true, QStringLiteral("actors"), SidebarItem::allSelections()); },
         QSize(500, 360)},
        {"empty-scope.png", [](Context&) { return emptyState(true, QString(), SidebarItem::group(unknownGroupID)); },
         QSize(500, 360)},
        {"sheet-trim.png",
         [](Context& c) {
             return std::make_unique<EntryTrimSheet>(ModelProfile::gpt4o(),
                                                     c.populated.store().findByID(c.firstID)->text, nullptr);
         },
         QSize(520, 380)},
        {"sheet-import.png",
         [](Context&) {
             return std::make_unique<ImportSheet>(
                 QStringLiteral("First imported paragraph.\n\nSecond imported paragraph."), nullptr);
         },
         QSize(540, 420)},
        {"sheet-save-template.png",
         [](Context&) { return std::make_unique<SaveTemplateSheet>(QStringLiteral("Research summary"), nullptr); },
         QSize(340, 180)},
        {"sheet-new-group.png",
         [](Context&) {
             return std::make_unique<NameSheet>(QStringLiteral("New Group"), QStringLiteral("Create"),
                                                QStringLiteral("Research"));
         },
         QSize(360, 190)},
    };
    return surfaces;
}

// The samples, newest first at the front of the library, and the group "Swift research" of the
// first sample and the first from Terminal; none when the library refuses the group.
std::optional<QList<Selection>> addSamplesAndGroup(Store& store)
{
    const QList<Selection> samples = SampleData::sampleSelections(SampleData::screenshotReferenceDate());
    for (auto sample = samples.crbegin(); sample != samples.crend(); ++sample)
        store.add(*sample);
    if (samples.isEmpty())
        return samples;
    const std::optional<SelectionGroup> group
        = store.createGroup(sampleGroupName, sampleGroupColor, {samples.first().id});
    if (!group)
        return std::nullopt;
    for (const Selection& sample : samples) {
        if (sample.appName == u"Terminal") {
            store.addToGroup(group->id, {sample.id});
            break;
        }
    }
    return samples;
}

void exportStorageFailureSurfaces(const QString& directory, const ExportServices& services, Stage& stage)
{
    services.fileSystem.createDirectories(directory);
    for (const StorageFailure& failure : storageFailures) {
        SnapshotFixture fixture(services, stage.clock, failure.contents);
        if (fixture.store().persistenceStatus() != failure.expected || !fixture.store().selections().isEmpty())
            throw ExportError(ExportError::Kind::renderFailed);
        for (const Appearance appearance : {Appearance::light, Appearance::dark}) {
            stopIfInterrupted(services);
            StorageFailureSurfaceCanvas canvas(fixture.store().persistenceStatus());
            render(canvas, QSize(980, 600), 1, appearance, directory + u'/' + storageFailureFile(failure, appearance),
                   services.fileSystem);
        }
    }
}

} // namespace

QString ExportError::description() const
{
    switch (kind_) {
    case Kind::missingOutputPath: return QStringLiteral("Provide an output path after -exportSampleScreenshot.");
    case Kind::missingSurfacesDirectory: return QStringLiteral("Provide an output directory after -exportUISurfaces.");
    case Kind::renderFailed: return QStringLiteral("SwiftUI did not render the temporary Vellicord sample view.");
    case Kind::encodeFailed: return QStringLiteral("The rendered bitmap could not be encoded as PNG.");
    case Kind::outputIsFolder:
        return QStringLiteral("Provide a file path after -exportSampleScreenshot, not a folder.");
    case Kind::outputIsNotAFile:
        return QStringLiteral("Provide a file path after -exportSampleScreenshot, not a device, pipe or socket.");
    case Kind::interrupted: return QStringLiteral("The export was interrupted.");
    case Kind::fontsMissing:
        return QStringLiteral("The fonts the images are drawn with are missing or unreadable: DejaVu Sans, DejaVu "
                              "Sans Mono and DejaVu Serif, regular and bold (the package fonts-dejavu-core).");
    }
    return {};
}

std::optional<QString> requestedSurfacesDirectory(const QStringList& arguments)
{
    const std::optional<QString> path
        = optionArgument(arguments, {QStringLiteral("-exportUISurfaces"), storageFailureOption},
                         ExportError::Kind::missingSurfacesDirectory);
    return path ? std::optional(absolutePath(*path)) : std::nullopt;
}

std::optional<QString> requestedOutputURL(const QStringList& arguments)
{
    const std::optional<QString> path
        = optionArgument(arguments, {QStringLiteral("-exportSampleScreenshot")}, ExportError::Kind::missingOutputPath);
    if (!path)
        return std::nullopt;
    // Cleaned, "shots/" would become a file named "shots".
    const std::optional<mode_t> type = typeAt(absolutePath(*path));
    if (namesFolder(*path) || type == S_IFDIR)
        throw ExportError(ExportError::Kind::outputIsFolder);
    if (type && type != S_IFREG)
        throw ExportError(ExportError::Kind::outputIsNotAFile);
    return absolutePath(*path);
}

void render(QWidget& view, QSize size, int scale, Appearance appearance, const QString& path, FileSystem& files)
{
    QWidget frame;
    frame.setAutoFillBackground(true);
    frame.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    Theme::apply(frame, appearance);
    // A sheet or a window drawn as part of the picture, not as a window of its own.
    if (view.isWindow())
        view.setWindowFlags(Qt::Widget);
    QWidget* const formerParent = view.parentWidget();
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    // A sheet (a dialog) keeps its own size, centred as it sits over its window, so that its image
    // looks as it does live; where it grows (a text editor), it takes the frame. Any other view is a
    // window's content and fills the frame.
    if (qobject_cast<QDialog*>(&view))
        layout->addWidget(&view, 0, Qt::AlignCenter);
    else
        layout->addWidget(&view);
    // Work the views queue for their first appearance is done before the picture is taken.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QImage image = OffscreenRenderer::render(frame, size, scale);
    layout->removeWidget(&view);
    view.hide();
    view.setParent(formerParent);
    if (image.isNull() || image.size() != size * scale)
        throw ExportError(ExportError::Kind::renderFailed);
    image.setDotsPerMeterX(qRound(pointsPerMetre * scale));
    image.setDotsPerMeterY(qRound(pointsPerMetre * scale));

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image) || png.isEmpty())
        throw ExportError(ExportError::Kind::encodeFailed);
    files.writeAtomically(path, png, NewFileAccess::everyone);
}

void populateSampleStore(Store& store)
{
    const std::optional<QList<Selection>> samples = addSamplesAndGroup(store);
    if (!samples || samples->isEmpty())
        return;
    store.ensureActiveDraft();
    for (qsizetype i = 0; i < std::min<qsizetype>(4, samples->size()); ++i)
        store.addSelectionToActiveDraft((*samples)[i].id);
}

QStringList surfaceFileNames(bool storageFailureOnly)
{
    QStringList names;
    if (!storageFailureOnly) {
        for (const Surface& surface : catalogue())
            names.append(QString::fromLatin1(surface.file));
    }
    for (const StorageFailure& failure : storageFailures) {
        for (const Appearance appearance : {Appearance::light, Appearance::dark})
            names.append(storageFailureFile(failure, appearance));
    }
    return names;
}

void exportSurfaces(const QString& directory, const QStringList& arguments, const ExportServices& services)
{
    Stage stage;
    if (arguments.contains(storageFailureOption)) {
        exportStorageFailureSurfaces(directory, services, stage);
        return;
    }
    // Declared in this order so that the empty library is drained and removed first, then the
    // populated one, on every way out.
    SnapshotFixture populated(services, stage.clock, std::nullopt);
    populateSampleStore(populated.store());
    Store& store = populated.store();
    if (store.selections().isEmpty() || !store.activeDraft() || !store.findByID(store.selections().first().id))
        throw ExportError(ExportError::Kind::renderFailed);
    const QUuid firstID = store.selections().first().id;
    const QUuid draftID = store.activeDraft()->id;
    SnapshotFixture empty(services, stage.clock, std::nullopt);
    const QUuid emptyDraftID = empty.store().ensureActiveDraft().id;
    services.fileSystem.createDirectories(directory);

    Context context{stage, services, populated, empty, firstID, draftID, emptyDraftID};
    for (const Surface& surface : catalogue()) {
        stopIfInterrupted(services);
        if (surface.before)
            surface.before(context);
        const std::unique_ptr<QWidget> view = surface.view(context);
        render(*view, surface.size, 1, surface.appearance, directory + u'/' + QLatin1String(surface.file),
               services.fileSystem);
    }
    exportStorageFailureSurfaces(directory, services, stage);
    empty.cleanUp();
    populated.cleanUp();
}

void exportSampleScreenshot(const QString& file, const ExportServices& services)
{
    Stage stage;
    SnapshotFixture fixture(services, stage.clock, std::nullopt);
    Store& store = fixture.store();
    const std::optional<QList<Selection>> samples = addSamplesAndGroup(store);
    if (!samples || samples->isEmpty())
        throw ExportError(ExportError::Kind::renderFailed);
    store.ensureActiveDraft();
    store.addSelectionToActiveDraft(samples->first().id);

    AppScreenshotView view(AppScreenshotView::Services{.store = store,
                                                       .pasteboard = stage.pasteboard,
                                                       .scheduler = services.scheduler,
                                                       .clock = stage.clock,
                                                       .desktop = stage.desktop},
                           samples->first().id);
    services.fileSystem.createDirectories(file.left(std::max<qsizetype>(file.lastIndexOf(u'/'), 1)));
    stopIfInterrupted(services);
    render(view, QSize(1120, 660), 2, Appearance::light, file, services.fileSystem);
}

} // namespace vellicord::AppScreenshotExporter
