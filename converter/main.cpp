// tarnel: converts Commodore 64 pictures to PNG or BMP and tells what a file
// is, through the C library (tarnel/tarnel.h). This file reads the command
// line; the commands are in commands.cpp.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "converter/commands.h"
#include "converter/palette_file.h"

#ifndef TARNEL_VERSION
#define TARNEL_VERSION "unknown"
#endif

using namespace tarnel_converter;

namespace {

CLI::App* AddThumbnailCommand(CLI::App& app, ThumbnailOptions* options) {
    CLI::App* command = app.add_subcommand(
        "thumbnail", "Write a thumbnail PNG of a picture, for a file manager's thumbnailer");
    command
        ->add_option("-s,--size", options->size,
                     "The thumbnail's longer side, its width, in pixels; the height keeps "
                     "the proportions (default 256: 256 x 160)")
        ->check(CLI::Range(1, 4096));
    command->add_option("--aspect", options->aspect, ASPECT_HELP)
        ->transform(CLI::IsMember({"square", "pal", "ntsc"}, CLI::ignore_case));
    command->add_option("--charset", options->charset, CHARSET_HELP);
    command->add_option("IN", options->input, "Picture file")->required();
    command->add_option("OUT", options->output, "PNG file to write")->required();
    return command;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Converts Commodore 64 pictures to PNG or BMP, and tells what a file is, with the "
        "decoder the Windows viewer module runs.",
        "tarnel"};
    app.set_version_flag("--version", "tarnel " TARNEL_VERSION);
    app.require_subcommand(1);
    app.footer(EXIT_CODES_TEXT);

    ConvertOptions convert;
    CLI::App* convertCommand =
        app.add_subcommand("convert", "Convert C64 pictures to PNG (the default) or BMP");
    convertCommand
        ->add_option("FILE", convert.inputs,
                     "Picture files, or directories to walk for regular files; - reads one "
                     "picture from standard input (then give -o)")
        ->required();
    CLI::Option* outputOption = convertCommand->add_option(
        "-o,--output", convert.output,
        "Output file, for a single input; its extension (.png or .bmp) sets the format; - writes "
        "to standard output (PNG unless --format bmp)");
    CLI::Option* outDirOption = convertCommand->add_option(
        "--out-dir", convert.outDir,
        "Folder for the outputs, each named after its input with the new extension (default: "
        "beside each input)");
    outputOption->excludes(outDirOption);
    convertCommand
        ->add_option("--format", convert.format,
                     "png (RGB, top row first) or bmp (the module's bitmap block unchanged)")
        ->transform(CLI::IsMember({"png", "bmp"}, CLI::ignore_case));
    convertCommand
        ->add_option("--scale", convert.scale,
                     "Enlarge PNG output N times by repeating pixels (1 to 8)")
        ->check(CLI::Range(1, 8));
    convertCommand->add_option("--palette", convert.palette,
                               "The C64 colours: a palette name (" + PaletteNames() +
                                   "; default tarnel) or a palette file (VICE .vpl lines of hex "
                                   "red green blue, or 16 lines of #rrggbb)");
    convertCommand
        ->add_option("--frame", convert.frame,
                     "Which picture of an interlaced file: blend (both frames blended, the "
                     "default), 0 or 1 (that frame alone), or both (two files, NAME.frame0.EXT "
                     "and NAME.frame1.EXT); a single-frame file gives its one picture for each. "
                     "N (0 to 65535): screen N of a Petmate project of several")
        ->check(CheckFrame);
    convertCommand->add_flag("--border", convert.border,
                             "Show the C64's border: the picture at (32, 35) of 384 x 272 pixels");
    convertCommand
        ->add_option("--border-colour", convert.borderColour,
                     "The border's C64 colour, 0 to 15, or background (the picture's background "
                     "colour, the default); implies --border")
        ->check(CheckBorderColour);
    convertCommand
        ->add_option("--aspect", convert.aspect,
                     std::string(ASPECT_HELP) + ", after --scale (PNG output only)")
        ->transform(CLI::IsMember({"square", "pal", "ntsc"}, CLI::ignore_case));
    convertCommand->add_option("--view", convert.view, VIEW_HELP)
        ->transform(CLI::IsMember({"stored", "c64"}, CLI::ignore_case));
    std::string convertAs;
    convertCommand->add_option("--as", convertAs, AS_HELP)->check(CheckLayoutName);
    convertCommand->add_option("--charset", convert.charset, CHARSET_HELP);
    convertCommand
        ->add_option("--colours", convert.colours,
                     "INK,PAPER: the character and background colours (0 to 15 each) of raw "
                     "screen memory opened with --as screen-1000 (screen-2000 takes only PAPER); "
                     "default 14,6, light blue on blue")
        ->check(CheckScreenColours);
    convertCommand
        ->add_option("-j,--jobs", convert.jobs,
                     "Convert N files at once (default: one for every core, here " +
                         std::to_string(std::max(1u, std::thread::hardware_concurrency())) + ")")
        ->check(CLI::Range(1, 1024));
    convertCommand->footer(EXIT_CODES_TEXT);

    std::vector<std::string> infoInputs;
    bool json = false;
    CLI::App* infoCommand = app.add_subcommand(
        "info", "Tell each file's layout, packing, interlacing, size, load address and geometry");
    infoCommand
        ->add_option("FILE", infoInputs,
                     "Files, or directories to walk for regular files; - reads standard input")
        ->required();
    infoCommand->add_flag("--json", json,
                          "Write a JSON array, one object per file (a refused file's \"reason\" "
                          "says why)");
    std::string infoAs;
    infoCommand->add_option("--as", infoAs, AS_HELP)->check(CheckLayoutName);
    std::string infoCharset;
    infoCommand->add_option("--charset", infoCharset, CHARSET_HELP);
    infoCommand->footer(EXIT_CODES_TEXT);

    CLI::App* layoutsCommand = app.add_subcommand(
        "layouts", "List the twenty layouts: code, the short name --as takes, and name");

    std::string samplesDirectory;
    CLI::App* samplesCommand =
        app.add_subcommand("samples", "Write the built-in sample pictures, one in each layout");
    samplesCommand->add_option("DIR", samplesDirectory, "Folder to write them to (made if missing)")
        ->required();
    samplesCommand->footer(EXIT_CODES_TEXT);

    ThumbnailOptions thumbnail;
    CLI::App* thumbnailCommand = AddThumbnailCommand(app, &thumbnail);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? EXIT_ALL_DONE : EXIT_USAGE;
    }

    if (*convertCommand) {
        convert.layout = ParseLayoutName(convertAs);
        return RunConvert(convert);
    }
    if (*infoCommand) return RunInfo(infoInputs, json, ParseLayoutName(infoAs), infoCharset);
    if (*layoutsCommand) return RunLayouts();
    if (*samplesCommand) return RunSamples(samplesDirectory);
    if (*thumbnailCommand) return RunThumbnail(thumbnail);
    return EXIT_USAGE;
}
