#pragma once

#include "Tovak/export/ExportServices.h"
#include "platform/Desktop.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <exception>
#include <optional>

class QWidget;

namespace vellicord {

class FileSystem;
class Store;

// The command-line export of interface surfaces to PNG files: the catalogue of the application's
// windows and sheets, or its storage-failure screens alone, and the sample main window. Each is
// drawn from throwaway sample libraries at a fixed size, and written whole or not at all. Main
// thread only, with a QApplication on the offscreen platform (RenderEnvironment).
namespace AppScreenshotExporter {

class ExportError final : public std::exception {
public:
    enum class Kind {
        missingOutputPath,
        missingSurfacesDirectory,
        renderFailed,
        encodeFailed,
        outputIsFolder,
        outputIsNotAFile, // a device, a pipe or a socket
        fontsMissing,
        interrupted,
    };

    explicit ExportError(Kind kind)
        : kind_(kind)
    {
    }
    Kind kind() const { return kind_; }
    QString description() const;
    const char* what() const noexcept override { return "export error"; }

private:
    Kind kind_;
};

// The argument after the first "-exportUISurfaces" or "-exportStorageFailureSurfaces", as an
// absolute, cleaned directory path with the argument's bytes (NativePath); none without either
// option; throws missingSurfacesDirectory when the option is the last argument or is followed by an
// empty one.
std::optional<QString> requestedSurfacesDirectory(const QStringList& arguments);
// The same for "-exportSampleScreenshot"; throws missingOutputPath, outputIsFolder for a path
// that names a folder ("shots/", or one that is there), and outputIsNotAFile for a device, a pipe
// or a socket that is there.
std::optional<QString> requestedOutputURL(const QStringList& arguments);

// The whole catalogue into the directory (made when missing), or, when the arguments hold
// "-exportStorageFailureSurfaces" anywhere, the storage-failure images alone. Throws the first
// error, and interrupted before the next image once the services say so; images written before
// stay, the throwaway libraries go.
void exportSurfaces(const QString& directory, const QStringList& arguments, const ExportServices& services);
// The sample main window, 1120 × 660 points at scale 2, into the file (its folder made when missing).
void exportSampleScreenshot(const QString& file, const ExportServices& services);

// The files exportSurfaces writes, in the order it writes them.
QStringList surfaceFileNames(bool storageFailureOnly);

// Draws the view in a frame of the size in points (a sheet at its own size, centred; any other
// view filling it), at scale pixels per point, in the appearance, with en_US and UTC, and writes it
// as a PNG file, atomically: encoded in memory first, so that a failure leaves no file and an
// earlier file as it was. Throws renderFailed, encodeFailed or the write's error.
void render(QWidget& view, QSize size, int scale, Appearance appearance, const QString& path, FileSystem& files);

// The sample library of the catalogue: the six samples, the group "Swift research" with the first
// sample and the first from Terminal, and a prompt holding the first four samples.
void populateSampleStore(Store& store);

} // namespace AppScreenshotExporter
} // namespace vellicord
