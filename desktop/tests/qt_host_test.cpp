// The installed Qt image plugin, driven through QImageReader.
//
//   tarnel_qt_host_test PICTURES_DIR FORMATS_DIR MIME_TYPE...
//
// Run with QT_PLUGIN_PATH at the installed plugin folder (the parent of its
// imageformats/). Checks that Qt lists the "c64" format and every MIME type
// given; that every golden picture reads with the golden pixels at its own
// size, by file (Qt going by the suffix or the content, the plugin by the
// bytes and the file's name) and from memory (by content alone, or under
// the format the extension names); and that every file of the hostile
// corpus, read as "c64", either gives the library's picture or is refused
// cleanly.
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>
#include <cstdio>
#include <string>
#include <vector>

#include "desktop/tests/host_test_data.h"
#include "desktop/tests/library_reference.h"
#include "testing/hostile_corpus.h"

using namespace tarnel_desktop_test;

namespace {

// The image's pixels.
Pixels RgbOf(const QImage& image) {
    if (image.isNull()) return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    Pixels pixels;
    pixels.width = rgb.width();
    pixels.height = rgb.height();
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        pixels.rgb.insert(pixels.rgb.end(), row, row + static_cast<size_t>(rgb.width()) * 3);
    }
    return pixels;
}

QByteArray Bytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

std::string Text(const QString& text) {
    return text.toStdString();
}

void CheckFormats(Checks& checks, const std::vector<std::string>& types) {
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    checks.Expect(formats.contains("c64"), "QImageReader lists no format \"c64\"");
    checks.Expect(formats.contains("koa"), "QImageReader lists no format \"koa\"");
    const QList<QByteArray> mimeTypes = QImageReader::supportedMimeTypes();
    for (const std::string& type : types) {
        checks.Expect(mimeTypes.contains(QByteArray::fromStdString(type)),
                      "QImageReader lists no MIME type " + type);
        checks.Expect(
            !QImageReader::imageFormatsForMimeType(QByteArray::fromStdString(type)).isEmpty(),
            "QImageReader has no format for the MIME type " + type);
    }
}

void CheckRead(Checks& checks, const std::string& what, QImageReader& reader,
               const Pixels& expected) {
    checks.Expect(reader.canRead(), what + ": canRead is false");
    const QSize size = reader.size();
    checks.Expect(size == QSize(expected.width, expected.height),
                  what + ": the size option is " + std::to_string(size.width()) + " x " +
                      std::to_string(size.height()) + ", not " + expected.Size());
    const QImage image = reader.read();
    if (!checks.Expect(!image.isNull(), what + ": not read: " + Text(reader.errorString()))) {
        return;
    }
    checks.Expect(RgbOf(image) == expected, what + ": other pixels than the .bmp");
}

// True when the library opens the file without its name.
bool OpensByContent(const std::vector<uint8_t>& bytes) {
    return !LibraryPixels(bytes).empty();
}

void CheckGolden(Checks& checks, const GoldenPicture& golden, size_t* byFormatName) {
    std::string name;
    std::vector<uint8_t> bytes;
    Pixels expected;
    if (!LoadGolden(checks, golden, &name, &bytes, &expected)) return;

    QImageReader byFile(QString::fromStdString(golden.picture));
    CheckRead(checks, name + " (file)", byFile, expected);

    // From memory with no format: only the content can pick the plugin.
    QByteArray data = Bytes(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader byContent(&buffer);
    // Asked before reading: Qt answers from the bytes still ahead.
    const QByteArray format = byContent.format();
    if (OpensByContent(bytes)) {
        checks.Expect(format == "c64", name + ": taken from memory as format \"" +
                                           format.toStdString() + "\", not c64");
        CheckRead(checks, name + " (memory)", byContent, expected);
    } else {
        // Told only by its name, which memory has not.
        checks.Expect(format != "c64", name + ": taken from memory by content alone as c64");
    }

    // From memory under the format its extension names, where that is one
    // of Qt's format names: the plugin takes the name as the hint.
    const QByteArray extension =
        QFileInfo(QString::fromStdString(golden.picture)).suffix().toLatin1();
    if (QImageReader::supportedImageFormats().contains(extension)) {
        QBuffer named(&data);
        named.open(QIODevice::ReadOnly);
        QImageReader byFormat(&named, extension);
        CheckRead(checks, name + " (memory, format " + extension.toStdString() + ")", byFormat,
                  expected);
        ++*byFormatName;
    }
}

void CheckHostile(Checks& checks, size_t* opened, size_t* refused) {
    for (const tarnel_hostile::HostileFile& file : tarnel_hostile::HostileCorpus()) {
        const Pixels reference = LibraryPixels(file.bytes);
        (reference.empty() ? *refused : *opened) += 1;
        QByteArray data = Bytes(file.bytes);
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "c64");
        const QImage image = reader.read();
        if (!reference.empty()) {
            if (checks.Expect(!image.isNull(),
                              file.name + ": refused: " + Text(reader.errorString()))) {
                checks.Expect(RgbOf(image) == reference,
                              file.name + ": other pixels than the library's");
            }
        } else {
            checks.Expect(
                image.isNull() && reader.error() == QImageReader::InvalidDataError,
                file.name + ": not refused as expected (" + Text(reader.errorString()) + ")");
        }
        // And by content alone: no plugin must stumble over it, and a picture
        // read must be the library's.
        buffer.seek(0);
        QImageReader guess(&buffer);
        const QByteArray format = guess.format();
        const QImage guessed = guess.read();
        if (format == "c64") {
            checks.Expect(RgbOf(guessed) == reference,
                          file.name + ": taken as c64 by content, but not the library's picture");
        } else {
            // Another plugin may claim it first; but no plugin at all for a
            // file the library decodes means ours failed to recognise it.
            checks.Expect(reference.empty() || !format.isEmpty(),
                          file.name + ": the library decodes it, but Qt did not take it as c64 " +
                              "by content");
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The plugin says why it refuses each file; the corpus has hundreds.
    QLoggingCategory::setFilterRules("tarnel.imageformats.warning=false");
    // Built for Qt 6 and for Qt 5.
    Checks checks(QT_VERSION_MAJOR == 5 ? "tarnel_qt5_host_test" : "tarnel_qt_host_test");
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s PICTURES_DIR FORMATS_DIR MIME_TYPE...\n", argv[0]);
        return 2;
    }
    const std::vector<std::string> types(argv + 3, argv + argc);

    CheckFormats(checks, types);
    const std::vector<GoldenPicture> goldens = GoldenPictures(argv[1]);
    checks.Expect(goldens.size() >= 20, "fewer than twenty golden pictures found");
    size_t byFormatName = 0;
    for (const GoldenPicture& golden : goldens) CheckGolden(checks, golden, &byFormatName);
    const std::vector<GoldenPicture> formats = GoldenPictures(argv[2]);
    checks.Expect(!formats.empty(), "no golden pictures of the other formats found");
    for (const GoldenPicture& golden : formats) CheckGolden(checks, golden, &byFormatName);

    size_t opened = 0;
    size_t refused = 0;
    CheckHostile(checks, &opened, &refused);
    checks.Expect(opened > 0 && refused > 0, "the hostile corpus is empty");

    return checks.Finish(
        std::to_string(goldens.size()) + " golden pictures, " + std::to_string(formats.size()) +
        " of the other formats (" + std::to_string(byFormatName) +
        " also from memory under their extension); hostile corpus: " + std::to_string(opened) +
        " opened, " + std::to_string(refused) + " refused");
}
