/*
 * tarnel: Commodore 64 pictures, decoded.
 *
 * A C library that recognises twenty C64 picture layouts (plain memory dumps,
 * run-length packed files and interlaced two-frame pictures) by their content
 * and decodes each into a 320 x 200 picture in the caller's buffer.
 *
 *     tarnel_decoder *decoder = tarnel_decoder_new();
 *     unsigned char pixels[TARNEL_HEIGHT][TARNEL_WIDTH * 3];
 *     tarnel_info info;
 *     int result = tarnel_decode(decoder, data, size, NULL, pixels, sizeof pixels[0], &info);
 *     if (result != TARNEL_OK) fprintf(stderr, "%s\n", tarnel_strerror(result));
 *     tarnel_decoder_free(decoder);
 *
 * Every function is safe on any bytes: the library reads only inside the
 * `size` bytes it is given and never writes outside the rows it is given.
 * A decoder holds all the working memory of a decode and allocates nothing
 * per file; different decoders may be used on different threads at once.
 * The library keeps no global state.
 *
 * Valid C99 and C++.
 */
#ifndef TARNEL_TARNEL_H
#define TARNEL_TARNEL_H

#include <stddef.h>

#if defined(_WIN32)
#define TARNEL_API
#elif defined(__GNUC__)
#define TARNEL_API __attribute__((visibility("default")))
#else
#define TARNEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define TARNEL_VERSION_MAJOR 1
#define TARNEL_VERSION_MINOR 1
#define TARNEL_VERSION_PATCH 0

/* Every picture is this size. */
#define TARNEL_WIDTH 320
#define TARNEL_HEIGHT 200
/* Files above this many bytes are refused (no layout is larger). */
#define TARNEL_MAX_FILE_SIZE 36864
/* The number of layouts the library knows. */
#define TARNEL_LAYOUT_COUNT 20

/* Results: 0 for success, a negative TARNEL_E_ code for failure. */
#define TARNEL_OK 0
#define TARNEL_E_NULL_ARGUMENT (-1)  /* a required pointer was NULL */
#define TARNEL_E_NOT_RECOGNISED (-2) /* the bytes are none of the twenty layouts */
#define TARNEL_E_TOO_LARGE (-3)      /* above TARNEL_MAX_FILE_SIZE bytes */
#define TARNEL_E_STRIDE (-4)         /* the row stride is smaller than one row of pixels */
#define TARNEL_E_BAD_OPTIONS (-5)    /* an unknown pixel format, or a bad option value */
#define TARNEL_E_NO_MEMORY (-6)      /* memory ran out */
#define TARNEL_E_RANGE (-7)          /* an index (layout, palette) out of range */

/* How each pixel is laid out in the caller's buffer, bytes in memory order. */
typedef enum tarnel_pixel_format {
    TARNEL_RGB24 = 0,  /* red, green, blue: 3 bytes a pixel (the default) */
    TARNEL_BGR24 = 1,  /* blue, green, red: 3 bytes a pixel */
    TARNEL_RGBA32 = 2, /* red, green, blue, alpha 255: 4 bytes a pixel */
    TARNEL_BGRA32 = 3  /* blue, green, red, alpha 255: 4 bytes a pixel */
} tarnel_pixel_format;

/* Decoding options. Fill them with tarnel_options_init, then change fields. */
typedef struct tarnel_options {
    /* A tarnel_pixel_format value. Default TARNEL_RGB24. */
    int pixel_format;
    /* Nonzero: `palette` replaces the library's own palette. Default 0. */
    int use_palette;
    /* C64 colours 0 to 15 as red, green, blue. Interlaced pictures blend
     * pairs of these colours (the average of each channel, rounded down). */
    unsigned char palette[16][3];
} tarnel_options;

/* What a file is. */
typedef struct tarnel_info {
    int layout;       /* the layout's code: 1 to 9 or 11 to 21 */
    const char* name; /* the layout's name, e.g. "Koala Painter"; static text */
    int packed;       /* 1 when the file holds a run-length packed stream */
    int interlaced;   /* 1 when two frames are blended into the picture */
    int width;        /* TARNEL_WIDTH */
    int height;       /* TARNEL_HEIGHT */
    int unpacked_as;  /* the layout a packed file unpacks to (its own code if not packed) */
    int load_address; /* the C64 load address in the file's first two bytes */
} tarnel_info;

/* An opaque decoder: all working memory of a decode, reused file after file. */
typedef struct tarnel_decoder tarnel_decoder;

/* A new decoder, or NULL when memory runs out. */
TARNEL_API tarnel_decoder* tarnel_decoder_new(void);

/* Frees a decoder and all its memory. NULL is ignored. */
TARNEL_API void tarnel_decoder_free(tarnel_decoder* decoder);

/* Fills `options` with the defaults: TARNEL_RGB24 and the library's own
 * palette (which it also copies into `palette`). */
TARNEL_API void tarnel_options_init(tarnel_options* options);

/* Bytes one pixel of `pixel_format` takes (3 or 4), or 0 for an unknown format. */
TARNEL_API size_t tarnel_bytes_per_pixel(int pixel_format);

/* Identifies the file of `size` bytes at `data` without decoding it. Returns
 * TARNEL_OK and fills `info` (may be NULL), or TARNEL_E_TOO_LARGE,
 * TARNEL_E_NOT_RECOGNISED or TARNEL_E_NULL_ARGUMENT (data NULL with size
 * above 0). A file above TARNEL_MAX_FILE_SIZE is refused on its size alone,
 * before any of its bytes is read, so for such a file `data` need hold only
 * its first bytes (any number). */
TARNEL_API int tarnel_identify(const void* data, size_t size, tarnel_info* info);

/* Decodes the whole file of `size` bytes at `data` into `pixels`: 200 rows,
 * the top row first, row y starting at pixels + y * stride, each row
 * 320 pixels of options->pixel_format. Bytes between the end of a row's
 * pixels and the next row are not touched. `options` NULL means the
 * defaults of tarnel_options_init; `info` may be NULL.
 * Returns TARNEL_OK and fills `info`; or a negative TARNEL_E_ code, and then
 * neither `pixels` nor `info` is written. Malformed packed data are no
 * failure: they give the picture they describe, partly drawn. */
TARNEL_API int tarnel_decode(tarnel_decoder* decoder, const void* data, size_t size,
                             const tarnel_options* options, void* pixels, size_t stride,
                             tarnel_info* info);

/* Fills `info` for the layout with the given index, 0 to
 * TARNEL_LAYOUT_COUNT - 1 (in code order), or returns TARNEL_E_RANGE. */
TARNEL_API int tarnel_layout(int index, tarnel_info* info);

/* Why the file of `size` bytes at `data` is refused, in words, written into
 * `text` (at most `text_size` bytes with the terminating zero). When the file
 * comes close to a layout the text says so, e.g. "10,003 bytes, the size of
 * a Koala Painter file, but it loads at $0000 instead of $6000" or "too
 * large: 61,700 bytes, the largest layout is 36,864"; otherwise it is
 * tarnel_strerror's text. It explains and does not guess: the file stays
 * refused. Returns the result tarnel_identify gives for the file (and for a
 * recognised file writes tarnel_strerror(TARNEL_OK)). */
TARNEL_API int tarnel_explain(const void* data, size_t size, char* text, size_t text_size);

/* The named palettes the library carries. Index 0 is the library's own
 * palette (the default). */
TARNEL_API int tarnel_palette_count(void);
/* The palette's short name (e.g. "tarnel"), or NULL when out of range. */
TARNEL_API const char* tarnel_palette_name(int index);
/* Where the palette's values come from, in words, or NULL when out of range. */
TARNEL_API const char* tarnel_palette_credit(int index);
/* The index of the palette named `name` (case-insensitive), or TARNEL_E_RANGE. */
TARNEL_API int tarnel_palette_find(const char* name);
/* Copies palette `index` into `palette`; TARNEL_E_RANGE when out of range. */
TARNEL_API int tarnel_palette_colours(int index, unsigned char palette[16][3]);

/* A short English text for a result code; never NULL. */
TARNEL_API const char* tarnel_strerror(int result);

/* The library's version, "major.minor.patch". */
TARNEL_API const char* tarnel_version(void);

#ifdef __cplusplus
}
#endif

#endif /* TARNEL_TARNEL_H */
