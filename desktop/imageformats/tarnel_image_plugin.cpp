// The Qt image plugin (libqtarnel.so), built for Qt 6 and for Qt 5 from this
// one source: C64 pictures in every Qt program, through the C library
// (tarnel/tarnel.h), each at its own size (320 x 200 for the twenty
// layouts, a character set's or a sprite set's own for the other formats).
// The bytes decide, helped by the file's name where they carry no signature
// (a .64c character set is a load address and character bytes): the name
// of the file being read, or the format the program named for other
// devices. The format names ("c64" and the usual file name extensions)
// pick the plugin when a program names the format or Qt goes by the
// suffix; a file whose suffix is none of them (the too generic .a and .g
// among them) is offered to the plugin by content, with its name.
#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QImage>
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QLoggingCategory>
#include <QSize>
#include <QVariant>

#include "desktop_types.h"
#include "tarnel/tarnel.h"

namespace {

Q_LOGGING_CATEGORY(tarnelImageFormat, "tarnel.imageformats")

// A file is at most this long; one byte more tells a larger file apart.
constexpr qint64 READ_LIMIT = TARNEL_MAX_ANY_FILE_SIZE + 1;
// Room for the library's words on a refused file: the longest, on a
// character screen with no character set, names every way to give one.
constexpr size_t EXPLAIN_SIZE = 1024;

// The name hint for the bytes on `device`: the file's name when it is a
// file; otherwise the format the program named, unless that is "c64"
// (QImageReader(&buffer, "lp3") reads a Logo Painter picture); else none.
QByteArray NameHint(QIODevice* device, const QByteArray& format) {
    if (auto* file = qobject_cast<QFile*>(device)) return QFile::encodeName(file->fileName());
    const QByteArray name = format.toLower();
    return name == "c64" ? QByteArray() : name;
}

// As many bytes as the library needs to tell the file: all of it, or one
// byte more than the largest file, which it refuses.
qint64 WantedBytes(QIODevice* device) {
    if (device->isSequential()) return READ_LIMIT;
    return qBound<qint64>(0, device->size() - device->pos() + 1, READ_LIMIT);
}

// What the library makes of `bytes` under the name hint, with the options
// (a 1.3 record) that open it; `hint` must outlive `options`.
int Identify(const QByteArray& bytes, const QByteArray& hint, tarnel_decode_options* options,
             tarnel_info_ex* info) {
    tarnel_decode_options_init(options);
    options->file_name = hint.isEmpty() ? nullptr : hint.constData();
    info->size = sizeof *info;
    if (bytes.size() > TARNEL_MAX_ANY_FILE_SIZE) return TARNEL_E_TOO_LARGE;
    return tarnel_identify_ex(bytes.constData(), static_cast<size_t>(bytes.size()), options, info);
}

// The picture's size when the bytes ahead on `device` are a picture the
// library knows; reads nothing away.
bool PictureAhead(QIODevice* device, const QByteArray& format, QSize* size = nullptr) {
    if (device == nullptr || !device->isReadable()) return false;
    const QByteArray bytes = device->peek(WantedBytes(device));
    const QByteArray hint = NameHint(device, format);
    tarnel_decode_options options;
    tarnel_info_ex info;
    if (Identify(bytes, hint, &options, &info) != TARNEL_OK) return false;
    if (size != nullptr) *size = QSize(info.output_width, info.output_height);
    return true;
}

class TarnelImageHandler : public QImageIOHandler {
public:
    bool canRead() const override {
        if (!PictureAhead(device(), format())) return false;
        if (format().isEmpty()) setFormat("c64");
        return true;
    }

    bool read(QImage* image) override {
        const QByteArray bytes = device()->read(WantedBytes(device()));
        const auto size = static_cast<size_t>(bytes.size());
        if (size > TARNEL_MAX_ANY_FILE_SIZE) {
            qCWarning(tarnelImageFormat, "%s", tarnel_strerror(TARNEL_E_TOO_LARGE));
            return false;
        }
        const QByteArray hint = NameHint(device(), format());
        tarnel_decode_options options;
        tarnel_info_ex info;
        if (Identify(bytes, hint, &options, &info) != TARNEL_OK) {
            char why[EXPLAIN_SIZE];
            tarnel_explain_ex(bytes.constData(), size, &options, why, sizeof why);
            qCWarning(tarnelImageFormat, "%s", why);
            return false;
        }
        QImage picture(info.output_width, info.output_height, QImage::Format_RGB888);
        tarnel_decoder* decoder = tarnel_decoder_new();
        if (picture.isNull() || decoder == nullptr) {
            tarnel_decoder_free(decoder);
            qCWarning(tarnelImageFormat, "%s", tarnel_strerror(TARNEL_E_NO_MEMORY));
            return false;
        }
        // Format_RGB888 rows are exactly the library's RGB24 rows.
        const int result =
            tarnel_decode_ex(decoder, bytes.constData(), size, &options, picture.bits(),
                             static_cast<size_t>(picture.bytesPerLine()), nullptr);
        tarnel_decoder_free(decoder);
        if (result != TARNEL_OK) {
            // The library's words: a character screen with no character set
            // names the ways to give it one.
            char why[EXPLAIN_SIZE];
            tarnel_explain_ex(bytes.constData(), size, &options, why, sizeof why);
            qCWarning(tarnelImageFormat, "%s",
                      result == TARNEL_E_NO_CHARSET ? why : tarnel_strerror(result));
            return false;
        }
        *image = picture;
        return true;
    }

    bool supportsOption(ImageOption option) const override {
        return option == Size || option == ImageFormat;
    }

    QVariant option(ImageOption option) const override {
        // Known without decoding, and only for a picture.
        QSize size;
        if (option == Size && PictureAhead(device(), format(), &size)) return size;
        if (option == ImageFormat) return QImage::Format_RGB888;
        return QVariant();
    }
};

}  // namespace

class TarnelImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "tarnel.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override {
        // A named format: ours or not, whatever the bytes. No name: the
        // bytes decide, with the file's name when the device is a file.
        // Pictures are only read, never written.
        if (!format.isEmpty()) return IsOurFormat(format) ? CanRead : Capabilities();
        return PictureAhead(device, QByteArray()) ? CanRead : Capabilities();
    }

    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override {
        auto* handler = new TarnelImageHandler;
        handler->setDevice(device);
        handler->setFormat(format.isEmpty() ? QByteArray("c64") : format);
        return handler;
    }

private:
    static bool IsOurFormat(const QByteArray& format) {
        static const char* const KEYS[] = {TARNEL_QT_KEYS};
        const QByteArray name = format.toLower();
        for (const char* key : KEYS) {
            if (name == key) return true;
        }
        return false;
    }
};

#include "tarnel_image_plugin.moc"
