/* A program built outside the tree against an installed tarnel: decodes a
 * picture and compares its pixels with the expected 24-bit BMP (bottom row
 * first, blue-green-red). Exit 0 when every pixel matches.
 *
 *     consumer PICTURE EXPECTED.bmp
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

int main(int argc, char** argv) {
    enum { ROW = TARNEL_WIDTH * 3, BMP_PIXELS = 54 };
    static unsigned char pixels[TARNEL_HEIGHT][ROW];
    size_t size = 0, bmp_size = 0;
    unsigned char *data, *bmp;
    tarnel_decoder* decoder;
    tarnel_info info;
    int result, x, y, differences = 0;

    if (argc != 3) {
        fprintf(stderr, "usage: %s PICTURE EXPECTED.bmp\n", argv[0]);
        return 2;
    }
    data = read_file(argv[1], &size);
    bmp = read_file(argv[2], &bmp_size);
    if (data == NULL || bmp == NULL || bmp_size != BMP_PIXELS + (size_t)ROW * TARNEL_HEIGHT) {
        fprintf(stderr, "cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    decoder = tarnel_decoder_new();
    if (decoder == NULL) return 2;
    result = tarnel_decode(decoder, data, size, NULL, pixels, sizeof pixels[0], &info);
    tarnel_decoder_free(decoder);
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
           argv[1], info.layout, info.name, info.width, info.height, differences);
    free(data);
    free(bmp);
    return differences == 0 ? 0 : 1;
}
