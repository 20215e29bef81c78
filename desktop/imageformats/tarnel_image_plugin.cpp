// The Qt image plugin (libqtarnel.so), built for Qt 6 and for Qt 5 from this
// one source: C64 pictures in every Qt program, through the C library
// (tarnel/tarnel.h). A file is taken by its content alone; the format names
// ("c64" and the usual file name extensions) only pick the plugin when a
// program names the format or Qt goes by the suffix.
#include <QByteArray>
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
constexpr qint64 READ_LIMIT = TARNEL_MAX_FILE_SIZE + 1;

// True when the bytes ahead on `device` are a picture the library knows;
// reads nothing away.
bool HoldsPicture(QIODevice* device) {
    if (device == nullptr || !device->isReadable()) return false;
    const QByteArray bytes = device->peek(READ_LIMIT);
    return tarnel_identify(bytes.constData(), static_cast<size_t>(bytes.size()), nullptr) ==
           TARNEL_OK;
}

class TarnelImageHandler : public QImageIOHandler {
public:
    bool canRead() const override {
        if (!HoldsPicture(device())) return false;
        setFormat("c64");
        return true;
    }

    bool read(QImage* image) override {
        const QByteArray bytes = device()->read(READ_LIMIT);
        const auto size = static_cast<size_t>(bytes.size());
        if (size > TARNEL_MAX_FILE_SIZE) {
            qCWarning(tarnelImageFormat, "%s", tarnel_strerror(TARNEL_E_TOO_LARGE));
            return false;
        }
        char why[256];
        if (tarnel_explain(bytes.constData(), size, why, sizeof why) != TARNEL_OK) {
            qCWarning(tarnelImageFormat, "%s", why);
            return false;
        }
        QImage picture(TARNEL_WIDTH, TARNEL_HEIGHT, QImage::Format_RGB888);
        tarnel_decoder* decoder = tarnel_decoder_new();
        if (picture.isNull() || decoder == nullptr) {
            tarnel_decoder_free(decoder);
            qCWarning(tarnelImageFormat, "%s", tarnel_strerror(TARNEL_E_NO_MEMORY));
            return false;
        }
        // Format_RGB888 rows are exactly the library's RGB24 rows.
        const int result = tarnel_decode(decoder, bytes.constData(), size, nullptr, picture.bits(),
                                         static_cast<size_t>(picture.bytesPerLine()), nullptr);
        tarnel_decoder_free(decoder);
        if (result != TARNEL_OK) {
            qCWarning(tarnelImageFormat, "%s", tarnel_strerror(result));
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
        if (option == Size && HoldsPicture(device())) return QSize(TARNEL_WIDTH, TARNEL_HEIGHT);
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
        // bytes decide. Pictures are only read, never written.
        if (!format.isEmpty()) return IsOurFormat(format) ? CanRead : Capabilities();
        return HoldsPicture(device) ? CanRead : Capabilities();
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
