/* A program built against the 1.2 header (tests/consumer/tarnel-1.2, as
 * released), run on this library: fills its 1.2 options record with
 * tarnel_decode_options_init, which must write no byte past it, decodes a
 * picture through tarnel_decode_ex and compares its pixels with the
 * expected 24-bit BMP (bottom row first, blue-green-red). Exit 0 when every
 * pixel matches; with EXPECTED.bmp "-", exit 0 when the file is refused as
 * 1.2 refuses it (no layout of the twenty), 1 when it opens.
 *
 *     consumer12 PICTURE EXPECTED.bmp|-
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tarnel/tarnel.h>

static unsigned char* read_file(const char* path, size_t* size) {
    FILE* file = fopen(path, "rb");
    unsigned char* bytes = NULL;
    long length;
    if (file == NULL) return NULL;
    if (fseek(file, 0, SEEK_END) == 0 && (length = ftell(file)) >= 0 &&
        fseek(file, 0, SEEK_SET) == 0) {
        bytes = malloc((size_t)length + 1);
        if (bytes != NULL && fread(bytes, 1, (size_t)length, file) != (size_t)length) {
            free(bytes);
            bytes = NULL;
        }
        *size = (size_t)length;
    }
    fclose(file);
    return bytes;
}

/* The record and what lies after it in this program's memory. */
struct guarded {
    tarnel_decode_options options;
    unsigned char after[64];
};

int main(int argc, char** argv) {
    enum { ROW = TARNEL_WIDTH * 3, BMP_PIXELS = 54 };
    static unsigned char pixels[TARNEL_HEIGHT][ROW];
    static struct guarded guarded;
    size_t size = 0, bmp_size = 0, k;
    unsigned char *data, *bmp = NULL;
    tarnel_decoder* decoder;
    tarnel_info_ex info;
    int result, x, y, differences = 0;
    const int refusal = argc == 3 && strcmp(argv[2], "-") == 0;

    if (argc != 3) {
        fprintf(stderr, "usage: %s PICTURE EXPECTED.bmp|-\n", argv[0]);
        return 2;
    }
    data = read_file(argv[1], &size);
    if (!refusal) bmp = read_file(argv[2], &bmp_size);
    if (data == NULL ||
        (!refusal && (bmp == NULL || bmp_size != BMP_PIXELS + (size_t)ROW * TARNEL_HEIGHT))) {
        fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    memset(guarded.after, 0x5A, sizeof guarded.after);
    tarnel_decode_options_init(&guarded.options);
    for (k = 0; k < sizeof guarded.after; ++k) {
        if (guarded.after[k] != 0x5A) {
            fprintf(stderr, "tarnel_decode_options_init wrote past the 1.2 record\n");
            return 1;
        }
    }
    if (guarded.options.size != sizeof guarded.options) {
        fprintf(stderr, "the record's size is %u, not the 1.2 record's %u\n",
                (unsigned)guarded.options.size, (unsigned)sizeof guarded.options);
        return 1;
    }
    memset(&info, 0, sizeof info);
    info.size = sizeof info;
    decoder = tarnel_decoder_new();
    if (decoder == NULL) return 2;
    result = tarnel_decode_ex(decoder, data, size, &guarded.options, pixels, sizeof pixels[0],
                              &info);
    tarnel_decoder_free(decoder);
    if (refusal) {
        printf("tarnel %s: %s: %s\n", tarnel_version(), argv[1], tarnel_strerror(result));
        free(data);
        return result == TARNEL_E_NOT_RECOGNISED || result == TARNEL_E_TOO_LARGE ? 0 : 1;
    }
    if (result != TARNEL_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], tarnel_strerror(result));
        return 1;
    }
    for (y = 0; y < TARNEL_HEIGHT; ++y) {
        const unsigned char* expected = bmp + BMP_PIXELS + (size_t)(TARNEL_HEIGHT - 1 - y) * ROW;
        for (x = 0; x < ROW; x += 3) {
            differences += pixels[y][x] != expected[x + 2] || pixels[y][x + 1] != expected[x + 1] ||
                           pixels[y][x + 2] != expected[x];
        }
    }
    printf("tarnel %s: %s is layout %d (%s), %d x %d, %d pixels differ\n", tarnel_version(),
           argv[1], info.info.layout, info.info.name, info.output_width, info.output_height,
           differences);
    free(data);
    free(bmp);
    return differences == 0 ? 0 : 1;
}
