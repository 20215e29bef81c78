// The converter's commands: convert, info, samples and thumbnail, each run
// with its options already read from the command line (main.cpp).
#include "converter/commands.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "authoring/format_samples.h"
#include "authoring/sample_pictures.h"
#include "converter/ordered_batch.h"
#include "converter/palette_file.h"
#include "converter/picture_file.h"
#include "converter/thumbnail.h"
#include "imageio/image_io.h"
#include "tarnel/tarnel.h"

namespace fs = std::filesystem;
using namespace tarnel_tools;

namespace tarnel_converter {
namespace {

// Above this many files a progress bar is worth showing.
constexpr size_t PROGRESS_MIN_FILES = 4;
constexpr int PROGRESS_WIDTH = 30;

// One input to work on, or the reason it cannot be one.
struct Input {
    std::string path;
    std::string error;  // set when the path could not even be listed
};

// Expands directories (recursively, regular files only, in name order) and
// keeps everything else as given, so that a missing file is reported as one;
// "-" is standard input.
std::vector<Input> ExpandInputs(const std::vector<std::string>& arguments) {
    std::vector<Input> inputs;
    for (const std::string& argument : arguments) {
        std::error_code ec;
        if (argument == STDIN_PATH || !fs::is_directory(argument, ec)) {
            inputs.push_back({argument, ""});
            continue;
        }
        std::vector<std::string> found;
        fs::recursive_directory_iterator it(argument, fs::directory_options::none, ec);
        if (ec) {
            inputs.push_back({argument, "cannot be read: " + ec.message()});
            continue;
        }
        for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
            if (ec) {
                inputs.push_back({argument, "cannot be read: " + ec.message()});
                break;
            }
            std::error_code typeError;
            if (it->is_regular_file(typeError)) found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        for (std::string& path : found) inputs.push_back({std::move(path), ""});
    }
    return inputs;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string WithThousands(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) {
        digits.insert(static_cast<size_t>(i), ",");
    }
    return digits;
}

// A progress bar on standard error, drawn only when that is a terminal.
class Progress {
public:
    explicit Progress(size_t total)
        : total_(total), shown_(total > PROGRESS_MIN_FILES && isatty(STDERR_FILENO) == 1) {}
    void Update(size_t done) {
        if (!shown_) return;
        const int filled = static_cast<int>(done * PROGRESS_WIDTH / total_);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "##############################",
                     PROGRESS_WIDTH - filled, "", done, total_);
        std::fflush(stderr);
        drawn_ = true;
    }
    // Clears the bar so that a message can take the line.
    void Clear() {
        if (!drawn_) return;
        std::fprintf(stderr, "\r\033[K");
        drawn_ = false;
    }

private:
    size_t total_;
    bool shown_;
    bool drawn_ = false;
};

void ReportFailure(Progress* progress, const std::string& path, const std::string& reason) {
    if (progress != nullptr) progress->Clear();
    std::fprintf(stderr, "%s: %s\n", path.c_str(), reason.c_str());
}

// ---------------------------------------------------------------------------
// convert

enum class Format { Png, Bmp };

// How wide a C64 pixel is for its height, as a fraction: square pixels,
// and the shapes VICE gives for PAL and NTSC machines.
struct PixelAspect {
    const char* name;
    uint32_t numerator;
    uint32_t denominator;
};
constexpr PixelAspect PIXEL_ASPECTS[] = {
    {"square", 1, 1},
    {"pal", 9365, 10000},
    {"ntsc", 3, 4},
};

PixelAspect FindAspect(const std::string& name) {
    for (const PixelAspect& aspect : PIXEL_ASPECTS) {
        if (name == aspect.name) return aspect;
    }
    return PIXEL_ASPECTS[0];
}

// A width of square pixels showing `width` pixels of that shape, rounded.
uint32_t AspectWidth(uint32_t width, const PixelAspect& aspect) {
    const uint64_t scaled =
        (uint64_t{width} * aspect.numerator + aspect.denominator / 2) / aspect.denominator;
    return static_cast<uint32_t>(std::max<uint64_t>(scaled, 1));
}

// `image` resampled by area averaging to the width that gives its pixels
// `aspect`'s shape; unchanged for square pixels.
RgbImage ShapePixels(RgbImage image, const PixelAspect& aspect) {
    if (aspect.numerator == aspect.denominator) return image;
    return ScaleByArea(image, AspectWidth(image.width, aspect), image.height);
}

// --border-colour: a C64 colour 0 to 15, or "background".
int ParseBorderColour(const std::string& text) {
    if (Lower(text) == "background") return TARNEL_BORDER_COLOUR_BACKGROUND;
    return std::stoi(text);
}

}  // namespace

std::string CheckLayoutName(const std::string& text) {
    if (tarnel_layout_find(text.c_str()) > 0) return "";
    return "no layout is named " + text + "; tarnel layouts lists the names and codes";
}

int ParseLayoutName(const std::string& text) {
    const int code = tarnel_layout_find(text.c_str());
    return code > 0 ? code : 0;
}

std::string CheckBorderColour(const std::string& text) {
    if (Lower(text) == "background") return "";
    if (text.empty() || text.size() > 2 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoi(text) > 15) {
        return "a C64 colour 0 to 15, or background";
    }
    return "";
}

namespace {

// A whole number from 0 to `most`, in decimal digits alone; -1 otherwise.
int ParseNumber(const std::string& text, int most) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return -1;
    }
    const int value = std::stoi(text);
    return value <= most ? value : -1;
}

// The largest screen --frame names: the library's TARNEL_FRAME_AT(65535).
constexpr int LAST_SCREEN = 65535;

}  // namespace

std::string CheckFrame(const std::string& text) {
    const std::string word = Lower(text);
    if (word == "blend" || word == "both" || ParseNumber(text, LAST_SCREEN) >= 0) return "";
    return "blend, both, or a frame or screen 0 to 65535";
}

std::string CheckScreenColours(const std::string& text) {
    const size_t comma = text.find(',');
    if (comma != std::string::npos && ParseNumber(text.substr(0, comma), 15) >= 0 &&
        ParseNumber(text.substr(comma + 1), 15) >= 0) {
        return "";
    }
    return "INK,PAPER: two C64 colours 0 to 15, e.g. 1,0 for white on black";
}

namespace {

// What every conversion of one run shares; read only while they run.
struct ConvertSettings {
    Format format = Format::Png;
    int layout = 0;  // --as: the layout every input is opened as, or 0
    unsigned scale = 1;
    PixelAspect aspect = PIXEL_ASPECTS[0];
    tarnel_decode_options options{};
    // --charset's set, which options.charset points into.
    CharacterSet charset;
    // The frames each input gives (tarnel_frame values): one, or with
    // --frame both two, each to its own output.
    std::vector<int> frames;
};

// One input and where it goes, or why it cannot be converted at all.
struct ConvertJob {
    std::string input;
    std::vector<std::string> outputs;  // one per frame; STDOUT_PATH for standard output
    std::string error;                 // set when known before reading the input
};

// The output name that stands for standard output.
const char* const STDOUT_PATH = "-";

// Writes the decoded pixels (in the settings' pixel format) to `output`, a
// file that appears whole or not at all, or standard output.
bool WritePicture(const std::string& output, const ConvertSettings& settings,
                  std::vector<uint8_t> pixels, uint32_t width, uint32_t height, std::string* why) {
    std::vector<uint8_t> bytes;
    RgbImage image;
    FileWriter write;
    if (settings.format == Format::Bmp) {
        bytes = BmpFile(DibFromBgr(width, height, pixels));
        write = BytesWriter(bytes);
    } else {
        image.width = width;
        image.height = height;
        image.pixels = std::move(pixels);
        image = ShapePixels(Enlarge(image, settings.scale), settings.aspect);
        write = [&image](std::FILE* file, std::string* error) {
            return WritePng(file, image, error);
        };
    }
    std::string problem;
    bool written = false;
    if (output == STDOUT_PATH) {
        written = write(stdout, &problem);
        if (written && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
            problem = std::strerror(errno);
            written = false;
        }
    } else {
        written = WriteAtomically(output, write, &problem);
    }
    if (!written) {
        *why = "cannot write " + (output == STDOUT_PATH ? "to stdout" : output) + ": " + problem;
    }
    return written;
}

// Decodes `input` and writes `output`. `outputOwner` names an earlier input
// already written to the same output (empty when none): such an input fails,
// but only once it has decoded, so that a file that is no picture at all is
// reported as such.
bool ConvertOne(tarnel_decoder* decoder, const ConvertSettings& settings, const std::string& input,
                const std::vector<std::string>& outputs, const std::string& outputOwner,
                std::string* why) {
    const PictureFile picture = ReadPicture(input, settings.layout, settings.charset);
    if (!picture.recognised) {
        *why = picture.reason;
        return false;
    }
    for (size_t i = 0; i < settings.frames.size(); ++i) {
        tarnel_decode_options options = settings.options;
        options.frame = settings.frames[i];
        std::vector<uint8_t> pixels;
        uint32_t width = 0;
        uint32_t height = 0;
        if (!DecodePicture(decoder, picture, options, &pixels, &width, &height, why)) return false;
        if (!outputOwner.empty()) {
            *why = "its output " + outputs[i] + " is already the output of " + outputOwner;
            return false;
        }
        if (!WritePicture(outputs[i], settings, std::move(pixels), width, height, why)) {
            return false;
        }
    }
    return true;
}

void UsageError(const std::string& message) {
    std::fprintf(stderr, "tarnel convert: %s\n", message.c_str());
}

// The format, from --format or the output's name; false after a usage
// message when neither tells.
bool ChooseFormat(const ConvertOptions& options, Format* format) {
    *format = Format::Png;
    if (!options.format.empty()) {
        *format = options.format == "bmp" ? Format::Bmp : Format::Png;
    } else if (!options.output.empty() && options.output != STDOUT_PATH) {
        const std::string extension = Lower(fs::path(options.output).extension().string());
        if (extension == ".bmp") {
            *format = Format::Bmp;
        } else if (extension != ".png") {
            UsageError("cannot tell the format from \"" + options.output +
                       "\"; name it .png or .bmp, or give --format png or --format bmp");
            return false;
        }
    }
    return true;
}

// Checks the arguments and fills `settings`; false after a usage message.
bool PrepareConvert(const ConvertOptions& options, const std::vector<Input>& inputs,
                    ConvertSettings* settings) {
    const auto fromStdin = std::count(options.inputs.begin(), options.inputs.end(), STDIN_PATH);
    if (!options.output.empty() && inputs.size() != 1) {
        UsageError("-o names the output of one input file; use --out-dir for several");
        return false;
    }
    if (fromStdin > 0 && options.output.empty()) {
        UsageError(
            "a picture from standard input needs -o FILE, or -o - to write it to standard output");
        return false;
    }
    if (options.output == STDOUT_PATH && isatty(STDOUT_FILENO) == 1) {
        UsageError("-o -: standard output is a terminal; send it to a file or a pipe");
        return false;
    }
    if (!ChooseFormat(options, &settings->format)) return false;
    if (settings->format == Format::Bmp && options.scale != 1) {
        UsageError("--scale is for PNG output; a BMP holds the module's bitmap unchanged");
        return false;
    }
    if (settings->format == Format::Bmp && options.aspect != "square") {
        UsageError("--aspect is for PNG output; a BMP holds the module's bitmap unchanged");
        return false;
    }
    const std::string frame = Lower(options.frame);
    if (frame == "both" && options.output == STDOUT_PATH) {
        UsageError("--frame both writes two files; -o - takes one picture");
        return false;
    }
    settings->scale = options.scale;
    settings->layout = options.layout;
    settings->aspect = FindAspect(options.aspect);
    // A number is a frame of an interlaced picture or a screen of a file of
    // several: 0 and 1 are TARNEL_FRAME_0 and TARNEL_FRAME_1.
    settings->frames = frame == "both"    ? std::vector<int>{TARNEL_FRAME_0, TARNEL_FRAME_1}
                       : frame == "blend" ? std::vector<int>{TARNEL_FRAME_BLEND}
                                          : std::vector<int>{TARNEL_FRAME_AT(std::stoi(frame))};
    tarnel_decode_options_init(&settings->options);
    if (!options.charset.empty()) {
        std::string error;
        if (!ReadCharacterSet(options.charset, &settings->charset, &error)) {
            UsageError("--charset " + error);
            return false;
        }
        UseCharacterSet(settings->charset, &settings->options);
    }
    if (!options.colours.empty()) {
        const size_t comma = options.colours.find(',');
        settings->options.screen_colours =
            TARNEL_SCREEN_COLOURS(std::stoi(options.colours.substr(0, comma)),
                                  std::stoi(options.colours.substr(comma + 1)));
    }
    settings->options.view = options.view == "c64" ? TARNEL_VIEW_C64 : TARNEL_VIEW_STORED;
    // --border-colour alone asks for the border too.
    if (options.border || !options.borderColour.empty()) {
        settings->options.border = TARNEL_BORDER_FULL;
    }
    if (!options.borderColour.empty()) {
        settings->options.border_colour = ParseBorderColour(options.borderColour);
    }
    settings->options.pixel_format = settings->format == Format::Bmp ? TARNEL_BGR24 : TARNEL_RGB24;
    if (!options.palette.empty()) {
        std::string error;
        if (!ResolvePalette(options.palette, settings->options.palette, &error)) {
            UsageError("--palette " + error);
            return false;
        }
        settings->options.use_palette = 1;
    }
    return true;
}

// Where each input goes, and the groups of inputs that must run one after
// another because they would write the same output (the first to succeed
// takes it).
// With --frame both, "pic.png" becomes "pic.frame0.png" and "pic.frame1.png".
std::vector<std::string> FrameOutputs(const fs::path& output, size_t frames) {
    if (frames == 1) return {output.string()};
    std::vector<std::string> outputs;
    for (size_t i = 0; i < frames; ++i) {
        fs::path named = output;
        named.replace_filename(output.stem().string() + ".frame" + std::to_string(i) +
                               output.extension().string());
        outputs.push_back(named.string());
    }
    return outputs;
}

void PlanJobs(const ConvertOptions& options, const std::vector<Input>& inputs,
              const ConvertSettings& settings, std::vector<ConvertJob>* jobs,
              std::vector<std::vector<size_t>>* groups) {
    const char* extension = settings.format == Format::Bmp ? ".bmp" : ".png";
    std::map<std::string, size_t> groupOfOutput;
    for (const Input& input : inputs) {
        ConvertJob job{input.path, {}, input.error};
        std::string key;
        if (job.error.empty()) {
            fs::path output;
            if (!options.output.empty()) {
                output = options.output;
            } else {
                fs::path name = fs::path(input.path).filename();
                name.replace_extension(extension);
                output = options.outDir.empty() ? fs::path(input.path).replace_filename(name)
                                                : fs::path(options.outDir) / name;
            }
            job.outputs = FrameOutputs(output, settings.frames.size());
            // The outputs of one input share their stem: the first stands
            // for all of them.
            if (job.outputs[0] != STDOUT_PATH) {
                std::error_code ec;
                key = fs::weakly_canonical(job.outputs[0], ec).string();
                for (const std::string& each : job.outputs) {
                    if (input.path != STDIN_PATH &&
                        fs::weakly_canonical(each, ec) == fs::weakly_canonical(input.path, ec)) {
                        job.error = "its output " + each + " would replace it";
                        key.clear();
                    }
                }
            }
        }
        const size_t item = jobs->size();
        jobs->push_back(std::move(job));
        if (key.empty()) {
            groups->push_back({item});
            continue;
        }
        const auto found = groupOfOutput.emplace(key, groups->size());
        if (found.second) groups->emplace_back();
        (*groups)[found.first->second].push_back(item);
    }
}

using Decoder = std::unique_ptr<tarnel_decoder, void (*)(tarnel_decoder*)>;

}  // namespace

int RunConvert(const ConvertOptions& options) {
    std::vector<Input> inputs = ExpandInputs(options.inputs);
    ConvertSettings settings;
    if (!PrepareConvert(options, inputs, &settings)) return EXIT_USAGE;

    if (!options.outDir.empty()) {
        std::error_code ec;
        fs::create_directories(options.outDir, ec);
        if (ec) {
            std::fprintf(stderr, "tarnel convert: cannot create %s: %s\n", options.outDir.c_str(),
                         ec.message().c_str());
            return EXIT_SOME_FAILED;
        }
    }

    std::vector<ConvertJob> jobs;
    std::vector<std::vector<size_t>> groups;
    PlanJobs(options, inputs, settings, &jobs, &groups);
    std::vector<size_t> groupOf(jobs.size());
    for (size_t g = 0; g < groups.size(); ++g) {
        for (size_t item : groups[g]) groupOf[item] = g;
    }

    // One decoder for each worker.
    size_t workers = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
    workers = std::max<size_t>(1, std::min(workers, groups.size()));
    std::vector<Decoder> decoders;
    for (size_t w = 0; w < workers; ++w) {
        decoders.emplace_back(tarnel_decoder_new(), tarnel_decoder_free);
        if (!decoders.back()) {
            std::fprintf(stderr, "tarnel convert: out of memory\n");
            return EXIT_SOME_FAILED;
        }
    }

    // Each group's output, once one of its inputs has written it: only a
    // written output is taken, so an input that fails leaves the name free
    // for the next. Each group is run by one worker at a time.
    std::vector<std::string> ownerOfGroup(groups.size());
    std::vector<std::string> failures(jobs.size());
    Progress progress(jobs.size());
    size_t converted = 0;
    size_t failed = 0;
    progress.Update(0);
    RunOrderedBatch(
        workers, groups, jobs.size(),
        [&](size_t worker, size_t item) {
            const ConvertJob& job = jobs[item];
            std::string& why = failures[item];
            why = job.error;
            if (!why.empty()) return;
            std::string& owner = ownerOfGroup[groupOf[item]];
            if (ConvertOne(decoders[worker].get(), settings, job.input, job.outputs, owner, &why)) {
                owner = job.input;
            }
        },
        [&](size_t item) {
            if (failures[item].empty()) {
                ++converted;
            } else {
                ++failed;
                ReportFailure(&progress, DisplayName(jobs[item].input), failures[item]);
            }
        },
        [&](size_t done) { progress.Update(done); });
    progress.Update(jobs.size());
    progress.Clear();
    // A picture written to standard output keeps it to itself.
    if (options.output != STDOUT_PATH)
        std::printf("%zu converted, %zu failed\n", converted, failed);
    return failed == 0 ? EXIT_ALL_DONE : EXIT_SOME_FAILED;
}

namespace {

// ---------------------------------------------------------------------------
// info

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // Pass well-formed UTF-8 through; a stray byte (file names are
            // any bytes) becomes U+FFFD so the output stays valid JSON.
            const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            bool valid = length != 0 && c <= 0xF4 && i + length <= text.size();
            for (size_t k = 1; valid && k < length; ++k) {
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            }
            if (valid) {
                out.append(text, i, length);
                i += length;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
    return out + "\"";
}

struct InfoRecord {
    std::string path;
    std::string reason;
    PictureFile picture;
};

InfoRecord Inspect(const Input& input, int layout, const CharacterSet& charset) {
    InfoRecord record;
    record.path = input.path;
    if (!input.error.empty()) {
        record.reason = input.error;
        return record;
    }
    record.picture = ReadPicture(input.path, layout, charset);
    record.reason = record.picture.reason;
    return record;
}

// The name of the format with code `code`.
const char* LayoutName(int code) {
    tarnel_format_info format;
    for (int i = 0; tarnel_format_at(i, &format) == TARNEL_OK; ++i) {
        if (format.code == code) return format.name;
    }
    return "?";
}

// Where a character screen's glyphs come from, for the JSON's
// "charset_source", and which set, for its "charset_case".
const char* CharsetSourceKey(int source) {
    switch (source) {
        case TARNEL_CHARSET_FILE:
            return "file";
        case TARNEL_CHARSET_CALLER:
            return "caller";
        case TARNEL_CHARSET_ENVIRONMENT:
            return "environment";
        case TARNEL_CHARSET_VICE:
            return "vice";
        default:
            return "missing";
    }
}

const char* CharsetCaseKey(int letterCase) {
    return letterCase == TARNEL_CHARSET_OWN     ? "own"
           : letterCase == TARNEL_CHARSET_LOWER ? "lower"
                                                : "upper";
}

// The text's line: "upper case, from TARNEL_CHARGEN (/path)" and the like.
std::string CharsetText(const PictureFile& p) {
    if (p.charsetSource == TARNEL_CHARSET_FILE) return "the file's own";
    const std::string set = p.charsetCase == TARNEL_CHARSET_LOWER ? "lower case" : "upper case";
    switch (p.charsetSource) {
        case TARNEL_CHARSET_CALLER:
            return set + ", from --charset " + p.charsetPath;
        case TARNEL_CHARSET_ENVIRONMENT:
            return set + ", from TARNEL_CHARGEN (" + p.charsetPath + ")";
        case TARNEL_CHARSET_VICE:
            return set + ", from VICE (" + p.charsetPath + ")";
        default:
            return "none found for its " + set + " set: name one with --charset or TARNEL_CHARGEN";
    }
}

// Every picture is one page of 320 x 200 pixels, three 8-bit components.
constexpr unsigned COMPONENT_COUNT = 3;
constexpr unsigned BITS_PER_COMPONENT = 8;
constexpr unsigned PAGE_COUNT = 1;

void PrintText(const InfoRecord& r) {
    const tarnel_info& l = r.picture.info;
    const PictureFile& p = r.picture;
    std::printf("%s\n", DisplayName(r.path).c_str());
    std::printf("  layout        %d %s\n", l.layout, l.name);
    if (p.chosen) {
        std::printf("  opened as     %s, as %s\n", tarnel_layout_short_name(l.layout),
                    p.layout != 0 ? "named with --as" : "its file name says");
    }
    if (l.packed != 0) {
        std::printf("  packed        yes, unpacks to layout %d (%s)\n", l.unpacked_as,
                    LayoutName(l.unpacked_as));
    } else {
        std::printf("  packed        no\n");
    }
    std::printf("  interlaced    %s\n", l.interlaced != 0 ? "yes, two frames blended" : "no");
    std::printf("  frames        %d\n", p.frameCount);
    if (p.charsetSource != TARNEL_CHARSET_NONE) {
        std::printf("  charset       %s\n", CharsetText(p).c_str());
    }
    std::printf("  file size     %s bytes\n", WithThousands(p.fileSize).c_str());
    if (p.ignoredBytes != 0) {
        std::printf("  ignored       %s bytes after the end of its packed stream\n",
                    WithThousands(static_cast<uint64_t>(p.ignoredBytes)).c_str());
    }
    std::printf("  load address  $%04X%s\n", static_cast<uint32_t>(l.load_address),
                p.headerless ? " (the layout's; the file has none)" : "");
    std::printf("  geometry      %d x %d pixels, %u components of %u bits, %u page%s\n", l.width,
                l.height, COMPONENT_COUNT, BITS_PER_COMPONENT, PAGE_COUNT,
                PAGE_COUNT == 1 ? "" : "s");
}

std::string JsonRecord(const InfoRecord& r) {
    std::string json = "{\"file\": " + JsonString(r.path);
    json += ", \"recognised\": ";
    json += r.picture.recognised ? "true" : "false";
    if (r.picture.sizeKnown) json += ", \"fileSize\": " + std::to_string(r.picture.fileSize);
    if (!r.picture.recognised) return json + ", \"reason\": " + JsonString(r.reason) + "}";
    const tarnel_info& l = r.picture.info;
    const PictureFile& p = r.picture;
    char load[8];
    std::snprintf(load, sizeof load, "$%04X", static_cast<uint32_t>(l.load_address));
    json += ", \"code\": " + std::to_string(l.layout);
    json += ", \"name\": " + JsonString(l.name);
    json += ", \"shortName\": " + JsonString(tarnel_layout_short_name(l.layout));
    json += ", \"chosen\": ";
    json += p.chosen ? "true" : "false";
    json += ", \"headerless\": ";
    json += p.headerless ? "true" : "false";
    json += ", \"packed\": ";
    json += l.packed != 0 ? "true" : "false";
    json += ", \"unpacksTo\": " + std::to_string(l.unpacked_as);
    json += ", \"ignoredBytes\": " + std::to_string(p.ignoredBytes);
    json += ", \"interlaced\": ";
    json += l.interlaced != 0 ? "true" : "false";
    json += ", \"frameCount\": " + std::to_string(p.frameCount);
    if (p.charsetSource != TARNEL_CHARSET_NONE) {
        json += ", \"charset_source\": " + JsonString(CharsetSourceKey(p.charsetSource));
        json += ", \"charset_case\": " + JsonString(CharsetCaseKey(p.charsetCase));
        json += ", \"charset_path\": " + JsonString(p.charsetPath);
    }
    json += ", \"loadAddress\": " + std::to_string(static_cast<uint32_t>(l.load_address));
    json += ", \"loadAddressHex\": " + JsonString(load);
    json += ", \"width\": " + std::to_string(l.width);
    json += ", \"height\": " + std::to_string(l.height);
    json += ", \"bitsPerComponent\": " + std::to_string(BITS_PER_COMPONENT);
    json += ", \"componentCount\": " + std::to_string(COMPONENT_COUNT);
    json += ", \"pageCount\": " + std::to_string(PAGE_COUNT);
    json += ", \"pageWidth\": " + std::to_string(l.width);
    json += ", \"pageHeight\": " + std::to_string(l.height);
    return json + "}";
}

}  // namespace

int RunLayouts() {
    std::printf("%-5s %-20s %s\n", "code", "--as name", "layout");
    tarnel_info layout;
    for (int index = 0; tarnel_layout(index, &layout) == TARNEL_OK; ++index) {
        std::printf("%-5d %-20s %s\n", layout.layout, tarnel_layout_short_name(layout.layout),
                    layout.name);
    }
    std::printf("Opened only with --as, never recognised from a file's bytes:\n");
    for (int index = 0; tarnel_layout_on_request(index, &layout) == TARNEL_OK; ++index) {
        std::printf("%-5d %-20s %s\n", layout.layout, tarnel_layout_short_name(layout.layout),
                    layout.name);
    }
    std::printf("Other formats, at their own size (by content, or * by the file's name):\n");
    tarnel_format_info format;
    for (int index = 0; tarnel_format_at(index, &format) == TARNEL_OK; ++index) {
        if (format.since_1_3 == 0) continue;
        const std::string name = std::string(format.name) + " (." + format.extensions + ")";
        std::printf("%-5d %-20s %s%s\n", format.code, format.short_name, name.c_str(),
                    format.found_by == TARNEL_FOUND_BY_NAME ? " *" : "");
    }
    return EXIT_ALL_DONE;
}

int RunInfo(const std::vector<std::string>& arguments, bool json, int layout,
            const std::string& charsetFile) {
    CharacterSet charset;
    std::string error;
    if (!charsetFile.empty() && !ReadCharacterSet(charsetFile, &charset, &error)) {
        std::fprintf(stderr, "tarnel info: --charset %s\n", error.c_str());
        return EXIT_USAGE;
    }
    const std::vector<Input> inputs = ExpandInputs(arguments);
    size_t failed = 0;
    if (json) std::printf("[");
    for (size_t i = 0; i < inputs.size(); ++i) {
        const InfoRecord record = Inspect(inputs[i], layout, charset);
        if (!record.picture.recognised) {
            ++failed;
            ReportFailure(nullptr, DisplayName(record.path), record.reason);
        }
        if (json) {
            std::printf("%s\n  %s", i == 0 ? "" : ",", JsonRecord(record).c_str());
        } else if (record.picture.recognised) {
            PrintText(record);
        }
        std::fflush(stdout);
    }
    if (json) std::printf("%s]\n", inputs.empty() ? "" : "\n");
    return failed == 0 ? EXIT_ALL_DONE : EXIT_SOME_FAILED;
}

// ---------------------------------------------------------------------------
// samples

int RunSamples(const std::string& directory) {
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec) {
        std::fprintf(stderr, "tarnel samples: cannot create %s: %s\n", directory.c_str(),
                     ec.message().c_str());
        return EXIT_SOME_FAILED;
    }
    size_t written = 0;
    size_t failed = 0;
    auto write = [&](const std::string& path, const std::vector<uint8_t>& bytes,
                     tarnel::FormatCode code) {
        std::string why;
        if (bytes.empty()) {
            why = "the sample of layout " + std::to_string(code) + " could not be built";
        } else if (!WriteAtomically(path, BytesWriter(bytes), &why)) {
            why = "cannot be written: " + why;
        }
        if (why.empty()) {
            ++written;
        } else {
            ++failed;
            ReportFailure(nullptr, path, why);
        }
    };
    for (const SamplePicture& sample : MakeAllSamples()) {
        write((fs::path(directory) / sample.fileName).string(), sample.bytes, sample.code);
    }
    // The other formats' samples, in a folder of their own.
    const fs::path formats = fs::path(directory) / "formats";
    fs::create_directories(formats, ec);
    if (ec) {
        std::fprintf(stderr, "tarnel samples: cannot create %s: %s\n", formats.c_str(),
                     ec.message().c_str());
        return EXIT_SOME_FAILED;
    }
    for (const FormatSample& sample : MakeFormatSamples()) {
        write((formats / sample.fileName).string(), sample.bytes, sample.code);
    }
    // Character screens, with the made-up character ROM they are drawn with
    // (TARNEL_CHARGEN=DIR/petscii/made-up-chargen.bin, or --charset).
    const fs::path petscii = fs::path(directory) / "petscii";
    fs::create_directories(petscii, ec);
    if (ec) {
        std::fprintf(stderr, "tarnel samples: cannot create %s: %s\n", petscii.c_str(),
                     ec.message().c_str());
        return EXIT_SOME_FAILED;
    }
    for (const FormatSample& sample : tarnel_tools::MakePetsciiSamples()) {
        const fs::path path = petscii / sample.fileName;
        write(path.string(), sample.bytes, sample.code);
        if (!sample.companion.empty()) {
            write(fs::path(path).replace_extension(".col").string(), sample.companion, sample.code);
        }
    }
    write((petscii / "made-up-chargen.bin").string(), tarnel_tools::MadeUpChargen(), 0);
    std::printf("%zu sample pictures written to %s, %zu failed\n", written, directory.c_str(),
                failed);
    return failed == 0 ? EXIT_ALL_DONE : EXIT_SOME_FAILED;
}

// ---------------------------------------------------------------------------
// thumbnail

// The picture scaled by area averaging so that its width is `size` pixels
// (320 x 200 becomes size x size*5/8), as a PNG; what a file manager's
// thumbnailer entry runs (desktop/mime/tarnel.thumbnailer).
int RunThumbnail(const ThumbnailOptions& options) {
    const std::string& input = options.input;
    const std::string& output = options.output;
    CharacterSet charset;
    std::string unread;
    if (!options.charset.empty() && !ReadCharacterSet(options.charset, &charset, &unread)) {
        std::fprintf(stderr, "tarnel thumbnail: --charset %s\n", unread.c_str());
        return EXIT_USAGE;
    }
    const PictureFile picture = ReadPicture(input, 0, charset);
    if (!picture.recognised) {
        ReportFailure(nullptr, input, picture.reason);
        return EXIT_SOME_FAILED;
    }
    std::unique_ptr<tarnel_decoder, void (*)(tarnel_decoder*)> decoder(tarnel_decoder_new(),
                                                                       tarnel_decoder_free);
    tarnel_decode_options decoding;
    tarnel_decode_options_init(&decoding);
    UseCharacterSet(charset, &decoding);
    RgbImage image;
    std::string why = "out of memory";
    if (!decoder || !DecodePicture(decoder.get(), picture, decoding, &image.pixels, &image.width,
                                   &image.height, &why)) {
        ReportFailure(nullptr, input, why);
        return EXIT_SOME_FAILED;
    }
    // The picture's shape with the chosen pixels, fitted to the size, in
    // one resampling.
    uint32_t width = 0;
    uint32_t height = 0;
    FitSize(AspectWidth(image.width, FindAspect(options.aspect)), image.height, options.size,
            &width, &height);
    const RgbImage thumbnail = ScaleByArea(image, width, height);
    const bool written = WriteAtomically(
        output,
        [&thumbnail](std::FILE* file, std::string* error) {
            return WritePng(file, thumbnail, error);
        },
        &why);
    if (!written) {
        ReportFailure(nullptr, output, "cannot be written: " + why);
        return EXIT_SOME_FAILED;
    }
    return EXIT_ALL_DONE;
}

}  // namespace tarnel_converter
