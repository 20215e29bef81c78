// The converter's commands, apart from the command-line wiring that reads
// their options (main.cpp). Each returns the program's exit code.
#ifndef TARNEL_CONVERTER_COMMANDS_H
#define TARNEL_CONVERTER_COMMANDS_H

#include <string>
#include <vector>

namespace tarnel_converter {

constexpr int EXIT_ALL_DONE = 0;
constexpr int EXIT_SOME_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr const char* EXIT_CODES_TEXT =
    "Exit codes: 0 all done; 1 some files failed (each named on standard error with the "
    "reason); 2 usage error (nothing done).";

struct ConvertOptions {
    std::vector<std::string> inputs;
    std::string output;
    std::string outDir;
    std::string format;
    std::string palette;
    unsigned scale = 1;
    unsigned jobs = 0;            // 0: one for every core
    std::string frame = "blend";  // blend, both, or a frame or screen from 0
    bool border = false;
    std::string borderColour;  // empty: the picture's background
    std::string aspect = "square";
    int layout = 0;               // --as: a layout's code, or 0 to go by content
    std::string view = "stored";  // stored or c64
    std::string charset;          // --charset: a character set file, or empty
    std::string colours;          // --colours INK,PAPER for raw screen memory, or empty
};

struct ThumbnailOptions {
    std::string input;
    std::string output;
    unsigned size = 256;
    std::string aspect = "square";
    std::string charset;  // --charset: a character set file, or empty
};

constexpr const char* ASPECT_HELP =
    "The C64's pixel shape: square (the default), pal (0.9365 as wide as high) or ntsc "
    "(0.75); the width is scaled by it, pixels averaged by area";

// Why --border-colour's text is not a colour, or "" when it is one:
// 0 to 15, or "background".
std::string CheckBorderColour(const std::string& text);
// Why --frame's text is none of blend, both and 0 to 65535, or "".
std::string CheckFrame(const std::string& text);
// Why --colours' text is not two C64 colours "INK,PAPER", or "".
std::string CheckScreenColours(const std::string& text);

int RunConvert(const ConvertOptions& options);
// `charset`: --charset's file, or empty.
int RunInfo(const std::vector<std::string>& arguments, bool json, int layout,
            const std::string& charset);
int RunLayouts();

// --as: a layout's short name or code, as its code; and the option's help.
std::string CheckLayoutName(const std::string& text);
int ParseLayoutName(const std::string& text);
constexpr const char* VIEW_HELP =
    "stored (the default): the picture as the file stores it; c64: as a C64 shows it, where that "
    "differs (the FLI layouts' leftmost 24 pixels in light grey, Drazlace's pixel shift as its "
    "flag asks)";
constexpr const char* AS_HELP =
    "Open every file as this layout, a short name or a code (see tarnel layouts): for files "
    "saved at another load address or without one; a file that does not fit the layout's "
    "sizes is refused";
constexpr const char* CHARSET_HELP =
    "The character set to draw character screens (PETSCII) with, where the file carries none: "
    "a 4096-byte character ROM file (upper case set first, as VICE keeps it) or a 2048-byte "
    "set; without it, the file TARNEL_CHARGEN names, else an installed VICE's ROM";
int RunSamples(const std::string& directory);
int RunThumbnail(const ThumbnailOptions& options);

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_COMMANDS_H
