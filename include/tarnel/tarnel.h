/*
 * tarnel: Commodore 64 pictures, decoded.
 *
 * A C library that recognises twenty C64 picture layouts (plain memory dumps,
 * run-length packed files and interlaced two-frame pictures) by their content
 * and decodes each into a 320 x 200 picture in the caller's buffer; since
 * 1.2, tarnel_decode_ex also gives either frame of an interlaced picture and
 * the picture inside the C64's border. Since 1.3, a caller whose options
 * record is 1.3's (tarnel_decode_options.size) also opens the formats
 * beyond the twenty layouts (character sets, CharPad projects, SpritePad
 * sprite sets, ...; tarnel_format_at lists them), each at its own picture
 * size, helped by the file's name where its bytes carry no signature.
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
 * The library keeps no global state that a call changes: the one
 * process-wide fact it holds is which of the processor's instruction sets
 * (AVX-512, AVX2, SSSE3 or none) its inner loops use, asked once at the
 * first decode and fixed from then on; every set gives the same pixels.
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
#define TARNEL_VERSION_MINOR 3
#define TARNEL_VERSION_PATCH 0

/* Every picture of the twenty layouts is this size; since 1.3 a picture of
 * another format has its own (tarnel_info.width and height). */
#define TARNEL_WIDTH 320
#define TARNEL_HEIGHT 200
/* Files above this many bytes are refused (no layout is larger); 1.1 and
 * 1.2 callers never see a larger one opened. */
#define TARNEL_MAX_FILE_SIZE 36864
/* Since 1.3: files above this many bytes are refused for 1.3 callers too
 * (no format's file is larger: CharPad projects are the largest). */
#define TARNEL_MAX_ANY_FILE_SIZE 8388608
/* Since 1.3: the largest picture any file gives, in pixels a side and in
 * all; a file that would need a larger one (a CharPad map of 5,000 x 5,000
 * tiles, say) is refused with TARNEL_E_TOO_LARGE before anything is
 * allocated. At 4 bytes a pixel the largest picture takes 64 MiB. */
#define TARNEL_MAX_PICTURE_SIDE 16384
#define TARNEL_MAX_PICTURE_PIXELS 16777216
/* The number of layouts the library knows. */
#define TARNEL_LAYOUT_COUNT 20

/* The picture inside the C64's border (tarnel_decode_options.border): the
 * 320 x 200 picture at (TARNEL_BORDER_LEFT, TARNEL_BORDER_TOP) of a
 * TARNEL_BORDER_WIDTH x TARNEL_BORDER_HEIGHT picture, as VICE's screenshots
 * frame it. Since 1.2. */
#define TARNEL_BORDER_WIDTH 384
#define TARNEL_BORDER_HEIGHT 272
#define TARNEL_BORDER_LEFT 32
#define TARNEL_BORDER_TOP 35

/* Results: 0 for success, a negative TARNEL_E_ code for failure. */
#define TARNEL_OK 0
#define TARNEL_E_NULL_ARGUMENT (-1)  /* a required pointer was NULL */
#define TARNEL_E_NOT_RECOGNISED (-2) /* the bytes are none of the twenty layouts */
#define TARNEL_E_TOO_LARGE \
    (-3) /* above TARNEL_MAX_FILE_SIZE bytes (1.3: the file or its picture too large) */
#define TARNEL_E_STRIDE (-4)      /* the row stride is smaller than one row of pixels */
#define TARNEL_E_BAD_OPTIONS (-5) /* an unknown pixel format, or a bad option value */
#define TARNEL_E_NO_MEMORY (-6)   /* memory ran out */
#define TARNEL_E_RANGE (-7)       /* an index (layout, palette) out of range */
/* Since 1.3: a character screen (PETSCII), and no character set to draw it
 * with: the file carries none, and neither the caller
 * (tarnel_decode_options.charset), TARNEL_CHARGEN nor an installed VICE
 * gives the C64's; or the screen needs another machine's set. tarnel_explain_ex
 * says which set and how to supply it. */
#define TARNEL_E_NO_CHARSET (-8)

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

/* Every format's code (tarnel_info.layout): the twenty layouts (1 to 9 and
 * 11 to 21), Hires Manager (opened on request) and, since 1.3, the formats
 * opened only by 1.3 callers. Codes are never reused or renumbered. */
typedef enum tarnel_format_code {
    TARNEL_FORMAT_FUNPAINT_PACKED = 1,
    TARNEL_FORMAT_FUNPAINT = 2,
    TARNEL_FORMAT_GUNPAINT = 3,
    TARNEL_FORMAT_FLI_DESIGNER = 4,
    TARNEL_FORMAT_ADVANCED_ART_STUDIO = 5,
    TARNEL_FORMAT_DRAZLACE = 6,
    TARNEL_FORMAT_DRAZLACE_PACKED = 7,
    TARNEL_FORMAT_FLI = 8,
    TARNEL_FORMAT_FACE_PAINTER = 9,
    TARNEL_FORMAT_AMICA_PAINT = 11,
    TARNEL_FORMAT_HIRES = 12,
    TARNEL_FORMAT_FLI_GRAPH = 13,
    TARNEL_FORMAT_FLI_GRAPH_PACKED = 14,
    TARNEL_FORMAT_ART_STUDIO = 15,
    TARNEL_FORMAT_DOODLE_9217 = 16,
    TARNEL_FORMAT_AFLI = 17,
    TARNEL_FORMAT_PAINT_MAGIC = 18,
    TARNEL_FORMAT_MULTICOLOUR_PACKED = 19,
    TARNEL_FORMAT_KOALA = 20,
    TARNEL_FORMAT_DOODLE = 21,
    TARNEL_FORMAT_HIRES_MANAGER = 22,
    /* Since 1.3. */
    TARNEL_FORMAT_CHARSET = 23,      /* .64c: a load address, then characters */
    TARNEL_FORMAT_FONT_64 = 24,      /* .g: 64 characters at $0042 */
    TARNEL_FORMAT_CHARSET_9 = 25,    /* .zs: characters 9 bytes apart */
    TARNEL_FORMAT_CHARPAD = 26,      /* .ctm: CharPad project, format versions 1 to 9 */
    TARNEL_FORMAT_SPRITEPAD = 27,    /* .spd: SpritePad sprite set, every version */
    TARNEL_FORMAT_SPRITE_BANK = 28,  /* .a: 127 multicolour sprites */
    TARNEL_FORMAT_LOGO_PAINTER = 29, /* .lp3: 40 x 50 characters */
    TARNEL_FORMAT_FLUFF64 = 30,      /* .flf: Fluff64 / TRSE image, C64 types */
    TARNEL_FORMAT_CGFX = 31,         /* .cgx: RIFF CGFX character frames */
    /* Since 1.3: plain bitmaps of other paint programs. */
    TARNEL_FORMAT_HIRES_INVERSE = 32,      /* .rpo .gih: black on white */
    TARNEL_FORMAT_HIRES_SIZED = 33,        /* .gr .cs: its size in cells first */
    TARNEL_FORMAT_HI_EDDI = 34,            /* .hed */
    TARNEL_FORMAT_IMAGE_SYSTEM_HIRES = 35, /* .ish */
    TARNEL_FORMAT_WIGMORE = 36,            /* .a64 .wig: Wigmore Artist 64 */
    TARNEL_FORMAT_BLAZING_PADDLES = 37,    /* .bpl .pi */
    TARNEL_FORMAT_CDU_PAINT = 38,          /* .cdu */
    TARNEL_FORMAT_CHEESE = 39,             /* .che */
    TARNEL_FORMAT_IMAGE_SYSTEM = 40,       /* .ism */
    TARNEL_FORMAT_P64 = 41,                /* .p64 .fly */
    TARNEL_FORMAT_VIDCOM = 42,             /* .dol .bed .vid: Dolphin Ed / Vidcom 64 */
    TARNEL_FORMAT_RAINBOW_PAINTER = 43,    /* .rp */
    TARNEL_FORMAT_SARACEN_PAINT = 44,      /* .sar */
    TARNEL_FORMAT_SINGLE_PALETTE = 45,     /* .cle */
    TARNEL_FORMAT_MULTICOLOUR_WINDOW = 46, /* .mwi .mwin */
    /* Since 1.3: packed bitmaps. */
    TARNEL_FORMAT_KOALA_GG = 48,          /* .gg: Koala Painter, compressed */
    TARNEL_FORMAT_BDP = 49,               /* .bdp: three kinds of header */
    TARNEL_FORMAT_ZOOMATIC = 50,          /* .zom: packed backwards */
    TARNEL_FORMAT_DRAZPAINT = 51,         /* .drz .drp: raw or packed */
    TARNEL_FORMAT_DOODLE_JJ = 52,         /* .jj: Doodle, compressed */
    TARNEL_FORMAT_MICRO_ILLUSTRATOR = 53, /* .mil: raw or packed */
    TARNEL_FORMAT_SHP = 54,               /* .shp: packed hires or multicolour */
    /* Since 1.3: pictures of other programs. */
    TARNEL_FORMAT_PRINTFOX = 60,   /* .bs .gb .pg: Printfox / Pagefox page */
    TARNEL_FORMAT_GODOT_4BIT = 61, /* .4bt: GoDot 4-bit picture, unpacked or packed */
    TARNEL_FORMAT_GODOT_CLIP = 62, /* .clp: GoDot clip */
    TARNEL_FORMAT_SHS = 63,        /* .shs: hires, two sprite layers over a window */
    TARNEL_FORMAT_SH1 = 64,        /* .sh1: 96 x 168 hires, two sprite layers */
    TARNEL_FORMAT_SH2 = 65,        /* .sh2: 192 x 168 hires, a sprite layer */
    TARNEL_FORMAT_SHE = 66,        /* .she: hires with sprites, two sizes */
    /* Since 1.3: FLI pictures, and FLI with sprites. */
    TARNEL_FORMAT_FLI_DESIGNER_PACKED = 70, /* .fbi: FLI Designer, packed */
    TARNEL_FORMAT_FED = 71,                 /* .fed: a background a line */
    TARNEL_FORMAT_FLM = 72,                 /* .flm: raw or packed */
    TARNEL_FORMAT_EMC = 73,                 /* .emc: 320 x 192 */
    TARNEL_FORMAT_HCB = 74,                 /* .hcb: two screens a cell row */
    TARNEL_FORMAT_BIG_FLI = 75,             /* .bfl .bfli: 320 x 400 */
    TARNEL_FORMAT_FLI_PROFI = 76,           /* .fpr: sprites over the left strip */
    TARNEL_FORMAT_HFC = 77,                 /* .hfc .hfd: hires FLI, 320 x 112 */
    TARNEL_FORMAT_CFLI = 78,                /* .cfli: screens only */
    TARNEL_FORMAT_UFLI = 79,                /* .ufl: raw or packed */
    TARNEL_FORMAT_NUFLI = 80,               /* .nuf .nup: raw or packed */
    TARNEL_FORMAT_MUFFLON = 81,             /* .muf .mup: raw or packed */
    TARNEL_FORMAT_XFL = 82,                 /* .xfl: 192 x 167, packed */
    TARNEL_FORMAT_SHF = 83,                 /* .shf: 208 x 167, or 96 x 167 packed */
    TARNEL_FORMAT_SHX = 84,                 /* .shx: 144 x 168, raw or packed */
    /* Since 1.3: interlaced pictures (two frames). */
    TARNEL_FORMAT_TRUE_PAINT = 100,      /* .mci: raw or self-extracting */
    TARNEL_FORMAT_FP = 101,              /* .fp */
    TARNEL_FORMAT_PIXEL_PERFECT = 102,   /* .pp .ppp: raw or packed */
    TARNEL_FORMAT_FFLI = 103,            /* .ffl .ffli */
    TARNEL_FORMAT_IHE = 104,             /* .ihe */
    TARNEL_FORMAT_HIRES_INTERLACE = 105, /* .hlf .hie: Hires-Interlace (Feniks) */
    TARNEL_FORMAT_HLE = 106,             /* .hle */
    TARNEL_FORMAT_VHI = 107,             /* .vhi: raw or packed */
    TARNEL_FORMAT_ECI = 108,             /* .eci .ecp: raw or packed */
    TARNEL_FORMAT_ILE = 109,             /* .ile: interlaced logo */
    TARNEL_FORMAT_MLE = 110,             /* .mle: interlaced logo characters */
    TARNEL_FORMAT_ISH_INTERLACE = 111,   /* .ish of 30,738 bytes: hires and sprites */
    TARNEL_FORMAT_ESH = 112,             /* .esh: raw or packed */
    TARNEL_FORMAT_SHI = 113,             /* .shi: Super Hires Interlace, raw or packed */
    TARNEL_FORMAT_UIF = 114,             /* .uif: UFLI interlaced, packed */
    TARNEL_FORMAT_MUI = 115,             /* .mui: Mufflon interlaced */
    TARNEL_FORMAT_SIF = 116,             /* .sif: hires and sprites, two packed frames */
    /* Since 1.3: character screens (PETSCII), drawn with a character set
     * (tarnel_decode_options.charset). */
    TARNEL_FORMAT_PETMATE = 120,         /* .petmate: Petmate project, JSON, screens */
    TARNEL_FORMAT_PETMATE_PET = 121,     /* .pet: Petmate's export, any size */
    TARNEL_FORMAT_C64OS_PET = 122,       /* .pet: C64 OS, "PET2", its own font */
    TARNEL_FORMAT_PETSCII_SCREEN = 123,  /* .pet of 2,026 bytes */
    TARNEL_FORMAT_PDR = 124,             /* .pdr */
    TARNEL_FORMAT_PBOT = 125,            /* .pbot: 5 x 7 or 12 x 16 tiles */
    TARNEL_FORMAT_SCR_COL = 126,         /* .scr with its .col beside it */
    TARNEL_FORMAT_FLUFF64_PETSCII = 127, /* .flf of type 7 */
    TARNEL_FORMAT_SCREEN_1000 = 128,     /* screen memory: only on request */
    TARNEL_FORMAT_SCREEN_2000 = 129      /* screen and colour memory: only on request */
} tarnel_format_code;

/* What a file is. */
typedef struct tarnel_info {
    int layout;       /* the format's code (tarnel_format_code) */
    const char* name; /* the layout's name, e.g. "Koala Painter"; static text */
    int packed;       /* 1 when the file holds a run-length packed stream */
    int interlaced;   /* 1 when two frames are blended into the picture */
    int width;        /* TARNEL_WIDTH; since 1.3 the picture's own width */
    int height;       /* TARNEL_HEIGHT; since 1.3 the picture's own height */
    int unpacked_as;  /* the layout a packed file unpacks to (its own code if not packed) */
    int load_address; /* the C64 load address in the file's first two bytes (0 for
                         a format whose files start with a signature instead) */
} tarnel_info;

/* Which picture of a file tarnel_decode_ex draws (tarnel_decode_options.frame).
 * An interlaced layout holds two frames, which a C64 shows alternately; a
 * single-frame layout gives its one picture for every value. Since 1.2. */
typedef enum tarnel_frame {
    TARNEL_FRAME_BLEND = 0, /* both frames blended, exactly as tarnel_decode (the default) */
    TARNEL_FRAME_0 = 1,     /* the first frame alone, plain C64 colours */
    TARNEL_FRAME_1 = 2      /* the second frame alone, plain C64 colours, at its own place */
} tarnel_frame;

/* Since 1.3: frame or screen `n` (from 0) of a file of several: a Petmate
 * project's screens are its frames (tarnel_info_ex.frame_count), and
 * TARNEL_FRAME_BLEND shows its first. A value past a file's last frame gives
 * TARNEL_E_RANGE; up to TARNEL_FRAME_AT(65535). */
#define TARNEL_FRAME_AT(n) ((n) + 1)

/* Whether tarnel_decode_ex draws the C64's border (tarnel_decode_options.border).
 * Since 1.2. */
typedef enum tarnel_border {
    TARNEL_BORDER_NONE = 0, /* the picture alone, TARNEL_WIDTH x TARNEL_HEIGHT (the default) */
    /* the picture inside the border, TARNEL_BORDER_WIDTH x _HEIGHT; a picture
     * that is not 320 x 200 (since 1.3) is drawn alone, at its own size */
    TARNEL_BORDER_FULL = 1
} tarnel_border;

/* How tarnel_decode_ex shows a picture (tarnel_decode_options.view).
 * Since 1.2. */
typedef enum tarnel_view {
    /* The picture as the file stores it, as tarnel_decode draws it (the default). */
    TARNEL_VIEW_STORED = 0,
    /* As a C64 shows it, where that differs:
     * - the FLI layouts (FLI Designer, the 17,665-byte FLI, FLI Graph, AFLI,
     *   Gunpaint, Funpaint II, Hires Manager): the leftmost 24 pixels of
     *   each line, where the VIC-II reads $FF for the screen bytes, show
     *   light grey (colour 15) for every colour taken from screen or colour
     *   memory, and the line's background for multicolour bit pair 00;
     * - Drazlace: the second bitmap one pixel to the right of the first when
     *   the file's flag byte asks for it (its first pixel the background),
     *   and aligned with it when not; for the blend and for either frame.
     * Every other layout is drawn as stored. */
    TARNEL_VIEW_C64 = 1
} tarnel_view;

/* tarnel_decode_options.border_colour: the border takes the picture's
 * background colour (colour 0, black, for layouts that keep none). */
#define TARNEL_BORDER_COLOUR_BACKGROUND (-1)

/* Options of tarnel_decode_ex and tarnel_identify_ex. Fill them with
 * tarnel_decode_options_init, then change fields. Since 1.2.
 *
 * The record grows at its end in later versions; `size` tells the library
 * how much of it the caller knows. A field the caller's size does not reach
 * takes its default, and every later field's default is its zero value. A
 * size smaller than this version's record, or bytes past the end of the
 * record this library knows that are not zero (an option it cannot honour),
 * give TARNEL_E_BAD_OPTIONS. */
typedef struct tarnel_decode_options {
    /* sizeof(tarnel_decode_options), as tarnel_decode_options_init sets it. */
    size_t size;
    /* A tarnel_pixel_format value. Default TARNEL_RGB24. */
    int pixel_format;
    /* Nonzero: `palette` replaces the library's own palette. Default 0. */
    int use_palette;
    /* C64 colours 0 to 15 as red, green, blue; also the border's colours. */
    unsigned char palette[16][3];
    /* A tarnel_frame value. Default TARNEL_FRAME_BLEND. */
    int frame;
    /* A tarnel_border value. Default TARNEL_BORDER_NONE. */
    int border;
    /* With TARNEL_BORDER_FULL: the border's C64 colour, 0 to 15, or
     * TARNEL_BORDER_COLOUR_BACKGROUND (the default). */
    int border_colour;
    /* 0 (the default): the layout is found from the file's bytes. A layout's
     * code: open the file as that layout, the caller's word for what it is.
     * The file is taken when it passes that layout's own test with the
     * layout's load address in its first two bytes (a file saved at another
     * address), or with that address put before it (a file saved without
     * one, two bytes shorter); otherwise it is refused with
     * TARNEL_E_NOT_RECOGNISED, and tarnel_explain_ex says what the layout's
     * files are. Packed layouts read their stream as from a recognised file. */
    int layout;
    /* A tarnel_view value. Default TARNEL_VIEW_STORED. */
    int view;
    /* Since 1.3. The file's name, a path ("/pictures/logo.64c") or an
     * extension ("64c", ".64c"), or NULL (the default); the library keeps
     * no pointer to it. The bytes decide first: the name only decides
     * between formats the bytes fit equally, and opens the formats whose
     * files carry no signature (a .64c character set is a load address and
     * character bytes). A file whose bytes fit no format stays refused,
     * whatever its name. For a .scr (screen codes) the library reads the
     * colours from the .col file of the same name beside it, unless
     * `companion` gives them. */
    const char* file_name;
    /* Since 1.3. The character set character screens (PETSCII) are drawn
     * with, where the file carries none: charset_size 4096 bytes, the C64's
     * upper-case/graphics set then its lower-case set (as VICE keeps its
     * character ROM), or 2048 bytes, one set used for both; the library
     * copies what it needs. NULL (the default): TARNEL_CHARGEN names such a
     * file, else an installed VICE's ROM is used (chargen-901225-01.bin or
     * chargen in /usr/share/vice/C64, /usr/lib/vice/C64 or
     * ~/.local/share/vice/C64 or $XDG_DATA_HOME/vice/C64), else
     * TARNEL_E_NO_CHARSET. Another size
     * gives TARNEL_E_BAD_OPTIONS. */
    const unsigned char* charset;
    size_t charset_size;
    /* Nonzero: neither TARNEL_CHARGEN nor VICE's folders are looked at. */
    int no_system_charset;
    /* The colours of raw screen memory opened on request, which keeps none:
     * 0 (the default) the C64's at power-on, light blue characters on blue;
     * otherwise TARNEL_SCREEN_COLOURS(characters, background). */
    int screen_colours;
    /* The companion file some formats keep part of their picture in (the
     * .col of a .scr), or NULL (the default): the library then reads it from
     * beside file_name, when that is a path. */
    const unsigned char* companion;
    size_t companion_size;
} tarnel_decode_options;

/* tarnel_decode_options.screen_colours: character and background colours,
 * 0 to 15 each. Since 1.3. */
#define TARNEL_SCREEN_COLOURS(characters, background) \
    (0x100 | ((characters)&15) << 4 | ((background)&15))

/* Where a character screen's glyphs came from (tarnel_info_ex.charset_source).
 * Since 1.3. */
#define TARNEL_CHARSET_NONE 0        /* not a character screen */
#define TARNEL_CHARSET_FILE 1        /* the file's own */
#define TARNEL_CHARSET_CALLER 2      /* tarnel_decode_options.charset */
#define TARNEL_CHARSET_ENVIRONMENT 3 /* the file TARNEL_CHARGEN names */
#define TARNEL_CHARSET_VICE 4        /* an installed VICE's character ROM */
#define TARNEL_CHARSET_MISSING 5     /* none found: decoding gives TARNEL_E_NO_CHARSET */
/* Which of the C64's two sets (tarnel_info_ex.charset_case). */
#define TARNEL_CHARSET_UPPER 0 /* upper case and graphics */
#define TARNEL_CHARSET_LOWER 1 /* lower and upper case */
#define TARNEL_CHARSET_OWN 2   /* the file's own glyphs */

/* The size of the 1.2 record: what a program built against 1.2 passes.
 * Such a record, and tarnel_decode and tarnel_identify, open the twenty
 * layouts exactly as 1.2 does, and nothing else. Since 1.3. */
#define TARNEL_DECODE_OPTIONS_SIZE_1_2 (offsetof(tarnel_decode_options, file_name))

/* What a file is, with what tarnel_info has no room for. Set `size` to
 * sizeof(tarnel_info_ex) before passing it (the library writes no further
 * than `size` bytes; later versions add fields at the end). Since 1.2. */
typedef struct tarnel_info_ex {
    size_t size;       /* sizeof(tarnel_info_ex), set by the caller */
    tarnel_info info;  /* as tarnel_identify fills it */
    int frame_count;   /* 2 for an interlaced layout, otherwise 1 */
    int output_width;  /* the width of the picture drawn with the options given */
    int output_height; /* its height */
    /* 1 when the layout is the caller's choice (tarnel_decode_options.layout)
     * rather than found from the file's bytes. */
    int chosen;
    /* 1 when the file, opened as the caller's layout, has no load address;
     * info.load_address is then the layout's own. */
    int headerless;
    /* Since 1.3: bytes at the file's end that are no part of its picture
     * and were not read (an Amica Paint file named as such with bytes after
     * its end marker); 0 for every other file. Written only when `size`
     * reaches it: 1.2's record ends before it. */
    int ignored_bytes;
    /* Since 1.3, for character screens: where the glyphs came from
     * (TARNEL_CHARSET_NONE for every other format), which set
     * (TARNEL_CHARSET_UPPER, _LOWER or _OWN), and the file read for them
     * (TARNEL_CHARSET_ENVIRONMENT and _VICE), else empty. */
    int charset_source;
    int charset_case;
    char charset_path[256];
} tarnel_info_ex;

/* The size of the 1.2 record, which 1.2 programs pass: the fields before
 * ignored_bytes, with the record's padding (on 64-bit machines that padding
 * is where ignored_bytes lies, and it is written there). Since 1.3. */
#define TARNEL_INFO_EX_SIZE_1_2                                                        \
    ((offsetof(tarnel_info_ex, ignored_bytes) + sizeof(size_t) - 1) / sizeof(size_t) * \
     sizeof(size_t))

/* A format of the library's table (tarnel_format_at). Since 1.3. */
typedef struct tarnel_format_info {
    int code;               /* tarnel_format_code */
    const char* short_name; /* e.g. "koala", "charpad": tarnel_layout_find knows it */
    const char* name;       /* e.g. "Koala Painter", "CharPad project" */
    const char* extensions; /* usual file name extensions, lower case, space-separated */
    const char* mime_type;  /* e.g. "image/x-c64-koala" */
    /* How files are found to be this format: TARNEL_FOUND_BY_CONTENT (its
     * bytes alone say so), TARNEL_FOUND_BY_NAME (its bytes fit, and its name
     * says so) or TARNEL_FOUND_ON_REQUEST (only when the caller names it). */
    int found_by;
    /* 1 when only 1.3 callers (and later) open it. */
    int since_1_3;
} tarnel_format_info;

#define TARNEL_FOUND_BY_CONTENT 1
#define TARNEL_FOUND_BY_NAME 2
#define TARNEL_FOUND_ON_REQUEST 3

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

/* The number of formats in the library's table (every tarnel_format_code).
 * Since 1.3. */
TARNEL_API int tarnel_format_count(void);

/* Fills `info` for the format with the given index, 0 to
 * tarnel_format_count() - 1, in code order; TARNEL_E_RANGE out of range,
 * TARNEL_E_NULL_ARGUMENT for NULL `info`. Since 1.3. */
TARNEL_API int tarnel_format_at(int index, tarnel_format_info* info);

/* Fills `info` for the layout with the given index, 0 to
 * TARNEL_LAYOUT_COUNT - 1 (in code order), or returns TARNEL_E_RANGE. */
TARNEL_API int tarnel_layout(int index, tarnel_info* info);

/* Fills `info` for the layout with the given index among those the library
 * opens only when the caller names one (tarnel_decode_options.layout),
 * never from a file's bytes, or returns TARNEL_E_RANGE. Index 0 is Hires
 * Manager (code 22), whose unpacked files are the size and load address of
 * AFLI files. Since 1.2. */
TARNEL_API int tarnel_layout_on_request(int index, tarnel_info* info);

/* Why the file of `size` bytes at `data` is refused, in words, written into
 * `text` (at most `text_size` bytes with the terminating zero). When the file
 * comes close to a layout the text says so, e.g. "10,003 bytes, the size of
 * a Koala Painter file, but it loads at $0000 instead of $6000" or "too
 * large: 61,700 bytes, the largest layout is 36,864"; otherwise it is
 * tarnel_strerror's text. It explains and does not guess: the file stays
 * refused. Returns the result tarnel_identify gives for the file (and for a
 * recognised file writes tarnel_strerror(TARNEL_OK)). */
TARNEL_API int tarnel_explain(const void* data, size_t size, char* text, size_t text_size);

/* tarnel_explain with `options` (NULL: the defaults). With a chosen layout
 * (options->layout) the text says why the file is not that layout, naming
 * the layout's sizes, e.g. "9,000 bytes, but a Koala Painter file is 10,003
 * bytes, or 10,001 without its load address"; the result is what
 * tarnel_identify_ex gives. Since 1.2. */
TARNEL_API int tarnel_explain_ex(const void* data, size_t size,
                                 const tarnel_decode_options* options, char* text,
                                 size_t text_size);

/* The short name of the format with code `code` (as in tarnel_info.layout),
 * e.g. "koala" or "art-studio", by which users name it; NULL for a code that
 * is no layout. Since 1.2. */
TARNEL_API const char* tarnel_layout_short_name(int code);

/* The code of the layout named `name`: a short name (case-insensitive) or a
 * code in decimal, e.g. "koala" or "20"; TARNEL_E_RANGE for neither.
 * Since 1.2. */
TARNEL_API int tarnel_layout_find(const char* name);

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

/* Fills `options` with the defaults: `size` set to
 * TARNEL_DECODE_OPTIONS_SIZE_1_2, TARNEL_RGB24, the library's own palette
 * (also copied into `palette`), the blend, no border, the border in the
 * picture's background colour. Writes only the 1.2 record. Since 1.2; a
 * program built against 1.3 calls tarnel_decode_options_init_ex through
 * the macro below. */
TARNEL_API void tarnel_decode_options_init(tarnel_decode_options* options);

/* Fills the first `size` bytes of `options` with the defaults (those of
 * tarnel_decode_options_init, no file name) and sets `size`: between
 * TARNEL_DECODE_OPTIONS_SIZE_1_2 and the largest record this library
 * knows; any other size leaves `options` untouched. Since 1.3. */
TARNEL_API void tarnel_decode_options_init_ex(tarnel_decode_options* options, size_t size);

/* Programs built against this header fill the whole of their record. */
#define tarnel_decode_options_init(options) \
    tarnel_decode_options_init_ex((options), sizeof *(options))

/* The width and height, in pixels, of the picture tarnel_decode_ex draws
 * with `options` (NULL: the defaults) for a file of the twenty layouts (or,
 * with a 1.3 record naming a format of one fixed size, for that format):
 * TARNEL_WIDTH x TARNEL_HEIGHT, or TARNEL_BORDER_WIDTH x
 * TARNEL_BORDER_HEIGHT with the border. A picture whose size comes from its
 * file (a CharPad map, a sprite set) has the size tarnel_identify_ex gives
 * (tarnel_info_ex.output_width and output_height). Returns TARNEL_OK, or TARNEL_E_BAD_OPTIONS (a
 * bad size or value) or TARNEL_E_NULL_ARGUMENT (width or height NULL), and then writes nothing.
 * Since 1.2. */
TARNEL_API int tarnel_output_size(const tarnel_decode_options* options, int* width, int* height);

/* tarnel_identify with `options` (NULL: the defaults), filling `info` (may be
 * NULL) with the frame count and the output size as well. Returns what
 * tarnel_identify returns, or TARNEL_E_BAD_OPTIONS for bad options or an
 * `info->size` below the 1.2 record's, with nothing written. Since 1.2. */
TARNEL_API int tarnel_identify_ex(const void* data, size_t size,
                                  const tarnel_decode_options* options, tarnel_info_ex* info);

/* tarnel_decode with the options of tarnel_decode_options (NULL: the
 * defaults, which give exactly tarnel_decode's pixels). `pixels` holds
 * tarnel_output_size's height rows, row y starting at pixels + y * stride,
 * each of its width pixels of options->pixel_format; bytes between the end
 * of a row's pixels and the next row are not touched. With the border, the
 * picture lies at (TARNEL_BORDER_LEFT, TARNEL_BORDER_TOP) and every other
 * pixel shows the border colour, taken from the palette in use.
 * TARNEL_FRAME_0 and TARNEL_FRAME_1 draw that frame of an interlaced picture
 * alone in plain palette colours, each at its own place (the blend shows
 * the second frame one pixel to the right of the first); a single-frame
 * picture is drawn as it is. `info` may be NULL; its `size` must be set.
 * Returns TARNEL_OK and fills `info`; or a negative TARNEL_E_ code
 * (TARNEL_E_BAD_OPTIONS for a bad value of any option), and then neither
 * `pixels` nor `info` is written. Since 1.2. */
TARNEL_API int tarnel_decode_ex(tarnel_decoder* decoder, const void* data, size_t size,
                                const tarnel_decode_options* options, void* pixels, size_t stride,
                                tarnel_info_ex* info);

/* A short English text for a result code; never NULL. */
TARNEL_API const char* tarnel_strerror(int result);

/* The library's version, "major.minor.patch". */
TARNEL_API const char* tarnel_version(void);

#ifdef __cplusplus
}
#endif

#endif /* TARNEL_TARNEL_H */
