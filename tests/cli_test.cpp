// The converter end to end: the built `tarnel` program run as a separate
// process on real files, its exit codes, messages and output files checked
// against the module's own blocks (decoded here in-process through the
// exports). Native builds only: it starts processes the POSIX way.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/layouts.h"
#include "core/palette.h"
#include "testing/host.h"

#ifndef TARNEL_CLI
#error "TARNEL_CLI names the converter program"
#endif
#ifndef TARNEL_GOLDEN_DIR
#error "TARNEL_GOLDEN_DIR names the folder of golden pictures"
#endif
#if !defined(TARNEL_VIEWS_DIR) || !defined(TARNEL_PALETTES_DIR)
#error "TARNEL_VIEWS_DIR and TARNEL_PALETTES_DIR name folders of tests/data"
#endif
#ifndef TARNEL_MAN_PAGE
#error "TARNEL_MAN_PAGE names the converter's manual page"
#endif

namespace {

namespace fs = std::filesystem;

constexpr const char* NOT_PICTURE = "not a C64 picture this module knows";

std::string TooLarge(const std::string& size) {
    return "too large: " + size + " bytes, the largest file of any format is 8,388,608";
}

constexpr const char* EXIT_CODES = "Exit codes: 0 all done; 1 some files failed";

// Environment variables set for the converter's run; an empty value unsets one.
using Environment = std::vector<std::pair<std::string, std::string>>;

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Every name in a directory, hidden ones included.
std::set<std::string> Listing(const fs::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

struct Png {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG with libpng's own reader, as any viewer would.
bool ReadPng(const fs::path& path, Png* png) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) return false;
    image.format = PNG_FORMAT_RGB;
    png->width = image.width;
    png->height = image.height;
    png->rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (png_image_finish_read(&image, nullptr, png->rgb.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// The picture files of the golden folder: the built-in samples.
std::vector<fs::path> GoldenPictures() {
    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(TARNEL_GOLDEN_DIR)) {
        if (entry.path().extension() != ".bmp") pictures.push_back(entry.path());
    }
    std::sort(pictures.begin(), pictures.end());
    return pictures;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tarnel-cli-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Runs the converter with `arguments`, standard input read from `input`
    // (empty by default) and this process's environment changed by
    // `environment`, and collects what it writes and its exit code.
    Result Tarnel(const std::vector<std::string>& arguments, const std::string& input = "/dev/null",
                  const Environment& environment = {}) {
        const fs::path outPath = dir / ".stdout";
        const fs::path errPath = dir / ".stderr";
        std::vector<std::string> all = {TARNEL_CLI};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int in = open(input.c_str(), O_RDONLY);
            const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0) _exit(127);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            for (const auto& [name, value] : environment) {
                if (value.empty()) {
                    unsetenv(name.c_str());
                } else {
                    setenv(name.c_str(), value.c_str(), 1);
                }
            }
            execv(argv[0], argv.data());
            _exit(127);
        }
        Result run;
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child) return run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadText(outPath);
        run.err = ReadText(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return run;
    }

    // Copies the golden samples into a fresh folder of the test's own.
    fs::path CopySamples(const std::string& name, size_t count = 100) {
        const fs::path target = dir / name;
        fs::create_directories(target);
        for (const fs::path& picture : GoldenPictures()) {
            if (count-- == 0) break;
            fs::copy_file(picture, target / picture.filename());
        }
        return target;
    }

    fs::path dir;
};

// ---------------------------------------------------------------------------
// Arguments and exit codes

TEST_F(CliTest, VersionAndHelp) {
    Result run = Tarnel({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("tarnel ", 0), 0u) << run.out;

    run = Tarnel({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"convert", "info", "samples", "--version"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
    EXPECT_NE(run.out.find(EXIT_CODES), std::string::npos);
    run = Tarnel({"convert", "--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"--out-dir", "--format", "--scale", "-o", "--palette", "--jobs",
                             "--frame", "--border", "--border-colour", "--aspect", EXIT_CODES}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
    run = Tarnel({"info", "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("--json"), std::string::npos);
    EXPECT_NE(run.out.find(EXIT_CODES), std::string::npos);
    run = Tarnel({"samples", "--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("DIR"), std::string::npos);
    EXPECT_NE(run.out.find(EXIT_CODES), std::string::npos);
}

// Every option a command's help lists is in the manual page.
TEST_F(CliTest, ManPageNamesEveryOption) {
    std::string manual = ReadText(TARNEL_MAN_PAGE);
    ASSERT_FALSE(manual.empty());
    // roff writes a minus sign as \-.
    for (size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at)) {
        manual.erase(at, 1);
    }
    for (const char* command : {"convert", "info", "samples", "thumbnail", "layouts"}) {
        const Result run = Tarnel({command, "--help"});
        ASSERT_EQ(run.exitCode, 0);
        EXPECT_NE(manual.find(std::string("tarnel ") + command), std::string::npos) << command;
        size_t options = 0;
        for (size_t at = run.out.find("--"); at != std::string::npos;
             at = run.out.find("--", at + 2)) {
            size_t end = at + 2;
            while (
                end < run.out.size() &&
                (std::isalnum(static_cast<unsigned char>(run.out[end])) || run.out[end] == '-')) {
                ++end;
            }
            const std::string option = run.out.substr(at, end - at);
            EXPECT_NE(manual.find(option), std::string::npos) << command << " " << option;
            ++options;
        }
        EXPECT_GT(options, 0u) << command;
    }
    EXPECT_NE(manual.find("EXIT STATUS"), std::string::npos);
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndWriteNothing) {
    const fs::path samples = CopySamples("in", 2);
    const std::string a = (samples / GoldenPictures()[0].filename()).string();
    const std::string b = (samples / GoldenPictures()[1].filename()).string();
    const std::string out = (dir / "out").string();
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"frobnicate"},
        {"convert"},
        {"info"},
        {"samples"},
        {"convert", a, b, "-o", out + ".png"},
        {"convert", a, "--scale", "0", "-o", out + ".png"},
        {"convert", a, "--scale", "9", "-o", out + ".png"},
        {"convert", a, "--format", "gif", "-o", out + ".png"},
        {"convert", a, "-o", out + ".gif"},
        {"convert", a, "-o", out + ".png", "--out-dir", out},
        {"convert", a, "--format", "bmp", "--scale", "2", "-o", out + ".bmp"},
        {"convert", "-"},
        {"convert", "-", "-", "-o", out + ".png"},
        {"convert", a, "-j", "0", "-o", out + ".png"},
        {"convert", a, "--palette", "no-such-palette", "-o", out + ".png"},
        {"convert", a, "--frame", "65536", "-o", out + ".png"},
        {"convert", a, "--frame", "-1", "-o", out + ".png"},
        {"convert", a, "--colours", "1,16", "-o", out + ".png"},
        {"convert", a, "--frame", "", "-o", out + ".png"},
        {"convert", a, "--border-colour", "16", "-o", out + ".png"},
        {"convert", a, "--border-colour", "-1", "-o", out + ".png"},
        {"convert", a, "--border-colour", "red", "-o", out + ".png"},
        {"convert", a, "--aspect", "wide", "-o", out + ".png"},
        {"convert", a, "--aspect", "pal", "-o", out + ".bmp"},
        {"convert", a, "--frame", "both", "-o", "-"},
        {"thumbnail", "--aspect", "pal2", a, out + ".png"},
        {"convert", a, "--as", "koala-painter", "-o", out + ".png"},
        {"info", "--as", "10", a},
    };
    for (const auto& arguments : wrong) {
        std::string line;
        for (const std::string& word : arguments) line += word + " ";
        SCOPED_TRACE(line);
        const Result run = Tarnel(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(Listing(dir), (std::set<std::string>{"in"}));
    EXPECT_EQ(Listing(samples).size(), 2u);
}

// ---------------------------------------------------------------------------
// Output files

TEST_F(CliTest, SamplesCommandWritesTheGoldenPictures) {
    const Result run = Tarnel({"samples", (dir / "samples").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::set<std::string> expected;
    for (const fs::path& picture : GoldenPictures()) {
        expected.insert(picture.filename().string());
        EXPECT_EQ(ReadBytes(dir / "samples" / picture.filename()), ReadBytes(picture))
            << picture.filename() << " differs from the golden copy; see tests/data/README.md";
    }
    EXPECT_EQ(expected.size(), tarnel::LAYOUT_COUNT);
    expected.insert("formats");
    expected.insert("petscii");
    EXPECT_EQ(Listing(dir / "samples"), expected);
    // The other formats' samples and the character screens' (with the
    // made-up ROM they are drawn with), each in its folder: the golden ones.
    for (const char* folder : {TARNEL_FORMATS_DIR, TARNEL_PETSCII_DIR}) {
        const fs::path written = dir / "samples" / fs::path(folder).filename();
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".bmp") continue;
            names.insert(entry.path().filename().string());
            EXPECT_EQ(ReadBytes(written / entry.path().filename()), ReadBytes(entry.path()))
                << entry.path().filename() << " differs from the golden copy";
        }
        EXPECT_EQ(Listing(written), names);
    }
}

// The other formats, each by its name, at its own size: their golden .bmp.
TEST_F(CliTest, OtherFormatsConvertToTheirGoldenBmp) {
    const fs::path in = dir / "formats";
    fs::create_directories(in);
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(TARNEL_FORMATS_DIR)) {
        if (entry.path().extension() == ".bmp") continue;
        fs::copy_file(entry.path(), in / entry.path().filename());
        ++count;
    }
    const Result run =
        Tarnel({"convert", "--format", "bmp", "--out-dir", (dir / "bmp").string(), in.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, std::to_string(count) + " converted, 0 failed\n");
    for (const auto& entry : fs::directory_iterator(in)) {
        fs::path bmpName = entry.path().filename();
        bmpName.replace_extension(".bmp");
        EXPECT_EQ(ReadBytes(dir / "bmp" / bmpName),
                  ReadBytes(fs::path(TARNEL_FORMATS_DIR) / bmpName))
            << bmpName;
    }
}

TEST_F(CliTest, BmpIsTheFileHeaderAndTheModulesBlock) {
    const fs::path samples = CopySamples("in");
    const Result run = Tarnel(
        {"convert", "--format", "bmp", "--out-dir", (dir / "bmp").string(), samples.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "20 converted, 0 failed\n");
    EXPECT_EQ(run.err, "");
    for (const fs::path& picture : GoldenPictures()) {
        SCOPED_TRACE(picture.filename().string());
        const std::vector<uint8_t> block = tarnel_test::DecodeFile(ReadBytes(picture));
        ASSERT_EQ(block.size(), 192040u);
        fs::path bmpName = picture.filename();
        bmpName.replace_extension(".bmp");
        const std::vector<uint8_t> bmp = ReadBytes(dir / "bmp" / bmpName);
        ASSERT_EQ(bmp.size(), 14u + 192040u);
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(Read32(bmp, 2), 192054u);  // the file's size
        EXPECT_EQ(Read32(bmp, 6), 0u);       // reserved
        EXPECT_EQ(Read32(bmp, 10), 54u);     // pixels after both headers
        EXPECT_TRUE(std::equal(block.begin(), block.end(), bmp.begin() + 14));
    }
}

TEST_F(CliTest, PngHoldsTheBlocksPixelsTopRowFirst) {
    const fs::path samples = CopySamples("in");
    const Result run = Tarnel({"convert", "--out-dir", (dir / "png").string(), samples.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const fs::path& picture : GoldenPictures()) {
        SCOPED_TRACE(picture.filename().string());
        const std::vector<uint8_t> block = tarnel_test::DecodeFile(ReadBytes(picture));
        ASSERT_EQ(block.size(), 192040u);
        fs::path pngName = picture.filename();
        pngName.replace_extension(".png");
        Png png;
        ASSERT_TRUE(ReadPng(dir / "png" / pngName, &png));
        ASSERT_EQ(png.width, 320u);
        ASSERT_EQ(png.height, 200u);
        size_t wrong = 0;
        for (uint32_t y = 0; y < 200; ++y) {
            for (uint32_t x = 0; x < 320; ++x) {
                // Block row 0 is the bottom picture row; its pixels are B, G, R.
                const uint8_t* bgr = block.data() + 40 + (199 - y) * 960 + 3 * x;
                const uint8_t* rgb = png.rgb.data() + (y * 320 + x) * 3;
                wrong += rgb[0] != bgr[2] || rgb[1] != bgr[1] || rgb[2] != bgr[0];
            }
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST_F(CliTest, ScaleRepeatsEveryPixel) {
    const fs::path samples = CopySamples("in", 1);
    const fs::path input = samples / GoldenPictures()[0].filename();
    const Result run =
        Tarnel({"convert", input.string(), "--scale", "3", "-o", (dir / "big.png").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> block = tarnel_test::DecodeFile(ReadBytes(input));
    ASSERT_EQ(block.size(), 192040u);
    Png png;
    ASSERT_TRUE(ReadPng(dir / "big.png", &png));
    ASSERT_EQ(png.width, 960u);
    ASSERT_EQ(png.height, 600u);
    size_t wrong = 0;
    for (uint32_t y = 0; y < 600; ++y) {
        for (uint32_t x = 0; x < 960; ++x) {
            const uint8_t* bgr = block.data() + 40 + (199 - y / 3) * 960 + 3 * (x / 3);
            const uint8_t* rgb = png.rgb.data() + (y * 960 + x) * 3;
            wrong += rgb[0] != bgr[2] || rgb[1] != bgr[1] || rgb[2] != bgr[0];
        }
    }
    EXPECT_EQ(wrong, 0u);
}

TEST_F(CliTest, FormatFollowsTheOutputNameOrTheOption) {
    const fs::path samples = CopySamples("in", 1);
    const std::string input = (samples / GoldenPictures()[0].filename()).string();
    const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

    ASSERT_EQ(Tarnel({"convert", input, "-o", (dir / "a.BMP").string()}).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir / "a.BMP").size(), 192054u);
    ASSERT_EQ(Tarnel({"convert", input, "-o", (dir / "b.png").string()}).exitCode, 0);
    EXPECT_TRUE(std::equal(pngSignature, pngSignature + 8, ReadBytes(dir / "b.png").begin()));
    // --format wins over the name.
    ASSERT_EQ(
        Tarnel({"convert", input, "--format", "bmp", "-o", (dir / "c.img").string()}).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir / "c.img").size(), 192054u);
    // Without -o or --out-dir the output goes beside the input.
    ASSERT_EQ(Tarnel({"convert", input}).exitCode, 0);
    fs::path beside = input;
    beside.replace_extension(".png");
    EXPECT_TRUE(fs::is_regular_file(beside));
}

// ---------------------------------------------------------------------------
// Many files, some failing

TEST_F(CliTest, FailuresAreOneLineEachAndDoNotStopTheOthers) {
    const fs::path in = CopySamples("in", 3);
    fs::create_directories(in / "nested");
    fs::copy_file(GoldenPictures()[3], in / "nested" / GoldenPictures()[3].filename());
    WriteBytes(in / "empty.bin", {});
    WriteBytes(in / "words.txt", {'h', 'e', 'l', 'l', 'o'});
    // The size limit: 8,388,608 bytes may be opened, one more may not.
    WriteBytes(in / "limit.bin", std::vector<uint8_t>(8388608, 0x55));
    WriteBytes(in / "toolarge.bin", std::vector<uint8_t>(8388609, 0x55));
    const std::string missing = (dir / "missing.koa").string();

    const fs::path out = dir / "out";
    const Result run = Tarnel({"convert", "--out-dir", out.string(), in.string(), missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "4 converted, 5 failed\n");
    const std::vector<std::string> lines = Lines(run.err);
    const std::set<std::string> failures(lines.begin(), lines.end());
    EXPECT_EQ(lines.size(), 5u) << run.err;
    EXPECT_EQ(failures, (std::set<std::string>{
                            (in / "empty.bin").string() + ": " + NOT_PICTURE,
                            (in / "words.txt").string() + ": " + NOT_PICTURE,
                            (in / "limit.bin").string() + ": " + NOT_PICTURE,
                            (in / "toolarge.bin").string() + ": " + TooLarge("8,388,609"),
                            missing + ": cannot be read: No such file or directory",
                        }));
    // Only the converted pictures are there: no output for a failure and no
    // temporary file left behind.
    std::set<std::string> expected;
    for (size_t i : {0, 1, 2, 3}) {
        fs::path name = GoldenPictures()[i].filename();
        expected.insert(name.replace_extension(".png").string());
    }
    EXPECT_EQ(Listing(out), expected);
}

TEST_F(CliTest, AFailedConversionLeavesNoPartialFile) {
    const fs::path in = CopySamples("in", 1);
    const fs::path input = in / GoldenPictures()[0].filename();
    const fs::path out = dir / "out";
    fs::create_directories(out);

    // The output name is taken by a directory: the rename fails at the end,
    // and the finished temporary file must go again.
    fs::create_directories(out / "taken.png" / "inside");
    Result run = Tarnel({"convert", input.string(), "-o", (out / "taken.png").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "0 converted, 1 failed\n");
    EXPECT_EQ(run.err.rfind(input.string() + ": cannot write " + (out / "taken.png").string(), 0),
              0u)
        << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u);
    EXPECT_EQ(Listing(out), (std::set<std::string>{"taken.png"}));

    // An input that fails leaves an earlier output of the same name alone.
    WriteBytes(in / "bad.koa", {1, 2, 3});
    WriteBytes(out / "bad.png", {'o', 'l', 'd'});
    run = Tarnel({"convert", (in / "bad.koa").string(), "-o", (out / "bad.png").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadText(out / "bad.png"), "old");
    EXPECT_EQ(Listing(out), (std::set<std::string>{"taken.png", "bad.png"}));
}

TEST_F(CliTest, TwoInputsCannotShareAnOutput) {
    const fs::path a = dir / "a";
    const fs::path b = dir / "b";
    fs::create_directories(a);
    fs::create_directories(b);
    const fs::path picture = GoldenPictures()[0];
    fs::copy_file(picture, a / picture.filename());
    fs::copy_file(picture, b / picture.filename());
    const Result run =
        Tarnel({"convert", "--out-dir", (dir / "out").string(), a.string(), b.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "1 converted, 1 failed\n");
    EXPECT_NE(run.err.find((b / picture.filename()).string() + ": its output "), std::string::npos)
        << run.err;
}

TEST_F(CliTest, AFailedInputDoesNotTakeItsOutputName) {
    // Walked in name order: pic.aaa (not a picture) comes before pic.koa,
    // and both would be written as pic.png.
    const fs::path in = dir / "in";
    fs::create_directories(in);
    WriteBytes(in / "pic.aaa", {1, 2, 3});
    fs::copy_file(fs::path(TARNEL_GOLDEN_DIR) / "20-koala-painter.koa", in / "pic.koa");
    const Result run = Tarnel({"convert", "--out-dir", (dir / "out").string(), in.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "1 converted, 1 failed\n");
    EXPECT_EQ(run.err, (in / "pic.aaa").string() + ": " + NOT_PICTURE + "\n");
    EXPECT_EQ(Listing(dir / "out"), (std::set<std::string>{"pic.png"}));
}

// ---------------------------------------------------------------------------
// info

TEST_F(CliTest, InfoJsonDescribesEveryFile) {
    const fs::path in = CopySamples("in");
    WriteBytes(in / "zz-words.txt", {'h', 'i'});
    const Result run = Tarnel({"info", "--json", in.string()});
    EXPECT_EQ(run.exitCode, 1);  // one file is not a picture
    EXPECT_EQ(run.err, (in / "zz-words.txt").string() + ": " + NOT_PICTURE + "\n");
    const nlohmann::json all = nlohmann::json::parse(run.out);
    ASSERT_TRUE(all.is_array());
    ASSERT_EQ(all.size(), tarnel::LAYOUT_COUNT + 1);

    std::set<int> codes;
    for (const nlohmann::json& entry : all) {
        const std::string file = entry.at("file").get<std::string>();
        SCOPED_TRACE(file);
        const std::vector<uint8_t> bytes = ReadBytes(file);
        EXPECT_EQ(entry.at("fileSize").get<uint64_t>(), bytes.size());
        if (!entry.at("recognised").get<bool>()) {
            EXPECT_EQ(file, (in / "zz-words.txt").string());
            EXPECT_EQ(entry.at("reason").get<std::string>(), NOT_PICTURE);
            continue;
        }
        const int code = entry.at("code").get<int>();
        codes.insert(code);
        // Each sample is named after its code.
        EXPECT_EQ(std::stoi(fs::path(file).filename().string().substr(0, 2)), code);
        const tarnel::LayoutInfo* layout = tarnel::FindLayout(static_cast<uint8_t>(code));
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(entry.at("name").get<std::string>(), layout->name);
        EXPECT_EQ(entry.at("packed").get<bool>(), layout->packed);
        EXPECT_EQ(entry.at("interlaced").get<bool>(), layout->interlaced);
        EXPECT_EQ(entry.at("frameCount").get<int>(), layout->interlaced ? 2 : 1);
        EXPECT_EQ(entry.at("loadAddress").get<unsigned>(),
                  static_cast<unsigned>(bytes[0] | bytes[1] << 8));
        EXPECT_EQ(entry.at("width").get<int>(), 320);
        EXPECT_EQ(entry.at("height").get<int>(), 200);
        EXPECT_EQ(entry.at("bitsPerComponent").get<int>(), 8);
        EXPECT_EQ(entry.at("componentCount").get<int>(), 3);
        EXPECT_EQ(entry.at("pageCount").get<int>(), 1);
    }
    EXPECT_EQ(codes.size(), tarnel::LAYOUT_COUNT);
}

TEST_F(CliTest, InfoTextNamesTheLayout) {
    const fs::path in = CopySamples("in");
    const fs::path koala = in / "20-koala-painter.koa";
    ASSERT_TRUE(fs::is_regular_file(koala)) << "the golden folder lacks the Koala Painter sample";
    Result run = Tarnel({"info", koala.string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, koala.string() +
                           "\n"
                           "  layout        20 Koala Painter\n"
                           "  packed        no\n"
                           "  interlaced    no\n"
                           "  frames        1\n"
                           "  file size     10,003 bytes\n"
                           "  load address  $6000\n"
                           "  geometry      320 x 200 pixels, 3 components of 8 bits, 1 page\n");

    run = Tarnel({"info", (dir / "nothing-here").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              (dir / "nothing-here").string() + ": cannot be read: No such file or directory\n");
}

TEST_F(CliTest, InfoJsonOfNothingRecognisedStillParses) {
    WriteBytes(dir / "odd \"name\"\t.bin", std::vector<uint8_t>(8388609, 1));
    const Result run = Tarnel({"info", "--json", (dir / "odd \"name\"\t.bin").string()});
    EXPECT_EQ(run.exitCode, 1);
    const nlohmann::json all = nlohmann::json::parse(run.out);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].at("file").get<std::string>(), (dir / "odd \"name\"\t.bin").string());
    EXPECT_FALSE(all[0].at("recognised").get<bool>());
    EXPECT_EQ(all[0].at("reason").get<std::string>(), TooLarge("8,388,609"));
}

// ---------------------------------------------------------------------------
// Pipes

// A FIFO at `path` that a child process fills with `bytes` once a reader
// opens it; returns the child, to be waited for.
pid_t FeedFifo(const fs::path& path, const std::vector<uint8_t>& bytes) {
    if (mkfifo(path.c_str(), 0600) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        const int fd = open(path.c_str(), O_WRONLY);
        size_t done = 0;
        while (fd >= 0 && done < bytes.size()) {
            const ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
            if (wrote <= 0) break;
            done += static_cast<size_t>(wrote);
        }
        _exit(done == bytes.size() ? 0 : 1);
    }
    return child;
}

// Exit code of a finished child.
int Wait(pid_t child) {
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CliTest, PipeRoundTripEqualsTheFilePath) {
    const fs::path in = CopySamples("in");
    for (const char* name : {"20-koala-painter.koa", "07-drazlace-packed.drz"}) {
        const fs::path input = in / name;
        ASSERT_TRUE(fs::is_regular_file(input)) << name;
        for (const std::string format : {"png", "bmp"}) {
            SCOPED_TRACE(std::string(name) + " " + format);
            const fs::path file = dir / ("file." + format);
            ASSERT_EQ(Tarnel({"convert", input.string(), "--format", format, "-o", file.string()})
                          .exitCode,
                      0);
            const Result piped =
                Tarnel({"convert", "-", "--format", format, "-o", "-"}, input.string());
            EXPECT_EQ(piped.exitCode, 0) << piped.err;
            EXPECT_EQ(piped.err, "");
            EXPECT_EQ(piped.out, ReadText(file));
        }
    }
    // Through a real pipe, which has no size to ask for, into a file; PNG
    // when no format is given.
    const fs::path koala = in / "20-koala-painter.koa";
    const pid_t writer = FeedFifo(dir / "fifo", ReadBytes(koala));
    const Result run =
        Tarnel({"convert", "-", "-o", (dir / "fifo.png").string()}, (dir / "fifo").string());
    EXPECT_EQ(Wait(writer), 0);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(Tarnel({"convert", koala.string(), "-o", (dir / "path.png").string()}).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir / "fifo.png"), ReadBytes(dir / "path.png"));
}

// ---------------------------------------------------------------------------
// Palettes

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb Average(const Rgb& x, const Rgb& y) {
    return {static_cast<uint8_t>((x.r + y.r) / 2), static_cast<uint8_t>((x.g + y.g) / 2),
            static_cast<uint8_t>((x.b + y.b) / 2)};
}

// The pixels of a BMP the converter wrote (blue, green, red after 54 bytes).
std::vector<Rgb> BmpPixels(const std::vector<uint8_t>& bmp) {
    std::vector<Rgb> pixels;
    for (size_t at = 54; at + 3 <= bmp.size(); at += 3) {
        pixels.push_back({bmp[at + 2], bmp[at + 1], bmp[at]});
    }
    return pixels;
}

TEST_F(CliTest, PaletteFileSetsEachColour) {
    // A colour of its own for each C64 colour, in both forms a palette file
    // takes, with comments, blank lines, VICE's fourth number and CRLF.
    Rgb own[16];
    Rgb chosen[16];
    std::string text = "# a test palette\n\n";
    for (int n = 0; n < 16; ++n) {
        own[n] = {tarnel::C64_PALETTE.red[n], tarnel::C64_PALETTE.green[n],
                  tarnel::C64_PALETTE.blue[n]};
        chosen[n] = {static_cast<uint8_t>(16 * n + 3), static_cast<uint8_t>(250 - 13 * n),
                     static_cast<uint8_t>(7 * n + 100)};
        char line[40];
        if (n % 2 == 0) {
            std::snprintf(line, sizeof line, "%02X %02x %X %X  # colour %d\n", chosen[n].r,
                          chosen[n].g, chosen[n].b, n % 16, n);
        } else {
            std::snprintf(line, sizeof line, "  #%02x%02X%02x\r\n", chosen[n].r, chosen[n].g,
                          chosen[n].b);
        }
        text += line;
    }
    const fs::path palette = dir / "test.vpl";
    WriteBytes(palette, std::vector<uint8_t>(text.begin(), text.end()));

    const fs::path in = CopySamples("in");
    for (const char* name : {"20-koala-painter.koa", "06-drazlace.drl"}) {
        SCOPED_TRACE(name);
        const fs::path input = in / name;
        ASSERT_EQ(Tarnel({"convert", input.string(), "-o", (dir / "own.bmp").string()}).exitCode,
                  0);
        const Result run = Tarnel({"convert", input.string(), "--palette", palette.string(), "-o",
                                   (dir / "chosen.bmp").string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<Rgb> before = BmpPixels(ReadBytes(dir / "own.bmp"));
        const std::vector<Rgb> after = BmpPixels(ReadBytes(dir / "chosen.bmp"));
        ASSERT_EQ(before.size(), 64000u);
        ASSERT_EQ(after.size(), before.size());
        // Every pixel is the blend (a single-frame picture: a colour with
        // itself) of a pair of colours whose blend in the own palette is
        // the pixel before.
        size_t wrong = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            bool explained = false;
            for (int a = 0; a < 16 && !explained; ++a) {
                for (int b = a; b < 16 && !explained; ++b) {
                    explained = Average(own[a], own[b]) == before[i] &&
                                Average(chosen[a], chosen[b]) == after[i];
                }
            }
            wrong += explained ? 0 : 1;
        }
        EXPECT_EQ(wrong, 0u);
    }
}

TEST_F(CliTest, ABadPaletteIsAUsageErrorNamingFileAndLine) {
    const fs::path in = CopySamples("in", 1);
    const std::string input = (in / GoldenPictures()[0].filename()).string();
    std::string colours;
    for (int n = 0; n < 15; ++n) colours += "#102030\n";
    struct Case {
        const char* name;
        std::string text;
        const char* where;
    };
    const std::vector<Case> cases = {
        {"letters.vpl", "# VICE palette\n00 00 00\n12 zz 00\n" + colours, ":3: "},
        {"range.vpl", colours + "100 00 00\n", ":16: "},
        {"two.vpl", "00 00\n" + colours, ":1: "},
        {"short.vpl", colours, ":15: "},
        {"long.vpl", colours + "#000000\n#000000\n", ":17: "},
        {"empty.vpl", "", ":1: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path palette = dir / c.name;
        WriteBytes(palette, std::vector<uint8_t>(c.text.begin(), c.text.end()));
        const Result run = Tarnel(
            {"convert", input, "--palette", palette.string(), "--out-dir", (dir / "out").string()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("tarnel convert: --palette " + palette.string() + c.where, 0), 0u)
            << run.err;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_FALSE(fs::exists(dir / "out"));
    }
    const Result run = Tarnel({"convert", input, "--palette", (dir / "missing.vpl").string(),
                               "--out-dir", (dir / "out").string()});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find((dir / "missing.vpl").string() + ": no palette of that name"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(dir / "out"));
    EXPECT_EQ(Listing(in).size(), 1u);
}

// ---------------------------------------------------------------------------
// Jobs

TEST_F(CliTest, TwoJobsWriteTheSameBytesAndMessagesAsOne) {
    // The samples twice, so that every output name is wanted by two inputs
    // (the first takes it), and files that fail between them.
    const fs::path in = CopySamples("in");
    for (const fs::path& picture : GoldenPictures()) {
        fs::create_directories(in / "again");
        fs::copy_file(picture, in / "again" / picture.filename());
    }
    WriteBytes(in / "10-words.txt", {'h', 'i'});
    WriteBytes(in / "again" / "00-empty.bin", {});

    // Into the same folder each time (the messages name it), kept apart after.
    const std::string out = (dir / "out").string();
    const Result one = Tarnel({"convert", "-j", "1", "--out-dir", out, in.string()});
    fs::rename(out, dir / "one");
    const Result two = Tarnel({"convert", "--jobs", "2", "--out-dir", out, in.string()});
    fs::rename(out, dir / "two");
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(one.out, "20 converted, 22 failed\n");
    EXPECT_EQ(Lines(one.err).size(), 22u);
    EXPECT_EQ(two.exitCode, one.exitCode);
    EXPECT_EQ(two.out, one.out);
    EXPECT_EQ(two.err, one.err);  // the same messages in the same order
    ASSERT_EQ(Listing(dir / "two"), Listing(dir / "one"));
    EXPECT_EQ(Listing(dir / "one").size(), 20u);
    for (const std::string& name : Listing(dir / "one")) {
        EXPECT_EQ(ReadBytes(dir / "two" / name), ReadBytes(dir / "one" / name)) << name;
    }
}

// ---------------------------------------------------------------------------
// Refusals

TEST_F(CliTest, RefusalsSayWhatAFileComesCloseTo) {
    const std::vector<uint8_t> koala =
        ReadBytes(fs::path(TARNEL_GOLDEN_DIR) / "20-koala-painter.koa");
    ASSERT_EQ(koala.size(), 10003u);
    const fs::path in = dir / "in";
    fs::create_directories(in);
    std::vector<uint8_t> moved = koala;
    moved[0] = 0x00;
    moved[1] = 0x00;
    WriteBytes(in / "a-moved.bin", moved);
    WriteBytes(in / "b-short.koa", std::vector<uint8_t>(koala.begin(), koala.end() - 2));
    WriteBytes(in / "c-huge.bin", std::vector<uint8_t>(8400000, 0x55));
    std::vector<uint8_t> amica(5000, 0x11);
    amica[1] = 0x40;
    amica[2] = 0xC2;
    amica[0] = 0;
    amica.back() = 0x05;  // no end marker by either escape byte
    WriteBytes(in / "d-amica.bin", amica);
    std::vector<uint8_t> far(5000, 0x11);
    far[0] = 0x00;
    far[1] = 0x60;
    WriteBytes(in / "e-far.bin", far);
    WriteBytes(in / "f-headerless.bin", std::vector<uint8_t>(koala.begin() + 2, koala.end()));
    const std::string openAsKoala = "; if it is a Koala Painter file, open it with --as koala";
    const std::vector<std::string> reasons = {
        "10,003 bytes, the size of a Koala Painter file, but it loads at $0000 instead of $6000" +
            openAsKoala,
        "loads at $6000 like a Koala Painter file, but is 10,001 bytes instead of 10,003",
        TooLarge("8,400,000"),
        "loads at $4000 like an Amica Paint (packed) file, but does not end with the end marker "
        "of its packed stream ($C2 $00)",
        NOT_PICTURE,
        NOT_PICTURE + openAsKoala,
    };
    const std::vector<std::string> names = {"a-moved.bin", "b-short.koa", "c-huge.bin",
                                            "d-amica.bin", "e-far.bin",   "f-headerless.bin"};

    Result run = Tarnel({"convert", "--out-dir", (dir / "out").string(), in.string()});
    EXPECT_EQ(run.exitCode, 1);
    std::string expected;
    for (size_t i = 0; i < names.size(); ++i) {
        expected += (in / names[i]).string() + ": " + reasons[i] + "\n";
    }
    EXPECT_EQ(run.err, expected);
    EXPECT_TRUE(Listing(dir / "out").empty());

    run = Tarnel({"info", "--json", in.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, expected);
    const nlohmann::json all = nlohmann::json::parse(run.out);
    ASSERT_EQ(all.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(all[i].at("recognised").get<bool>());
        EXPECT_EQ(all[i].at("reason").get<std::string>(), reasons[i]);
    }

    // A stream is read to its end to learn its size.
    const pid_t writer = FeedFifo(dir / "fifo", std::vector<uint8_t>(8400000, 0x55));
    run = Tarnel({"info", "-"}, (dir / "fifo").string());
    EXPECT_EQ(Wait(writer), 0);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "stdin: " + TooLarge("8,400,000") + "\n");
}

// By their names: each golden picture of an unpacked layout saved at another
// load address, and without its address, under its own extension, converts
// to its golden bitmap without --as, and says it was opened so; as do the
// sizes other programs save (a Koala picture with bytes after it, an Art
// Studio picture without its last bytes). A cut file stays refused.
TEST_F(CliTest, NamesOpenTheLayoutsInOtherForms) {
    const fs::path in = dir / "in";
    const fs::path out = dir / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    std::vector<std::pair<fs::path, fs::path>> cases;  // input, golden .bmp
    for (const fs::path& picture : GoldenPictures()) {
        const std::vector<uint8_t> bytes = ReadBytes(picture);
        const nlohmann::json info =
            nlohmann::json::parse(Tarnel({"info", "--json", picture.string()}).out)[0];
        if (info.at("packed").get<bool>()) continue;
        fs::path golden = picture;
        golden.replace_extension(".bmp");
        const std::string stem = picture.stem().string();
        std::vector<uint8_t> relocated = bytes;
        relocated[0] ^= 0x5A;
        WriteBytes(in / (stem + "-relocated" + picture.extension().string()), relocated);
        WriteBytes(in / (stem + "-headerless" + picture.extension().string()),
                   std::vector<uint8_t>(bytes.begin() + 2, bytes.end()));
        cases.push_back({in / (stem + "-relocated" + picture.extension().string()), golden});
        cases.push_back({in / (stem + "-headerless" + picture.extension().string()), golden});
    }
    std::vector<uint8_t> koala = ReadBytes(fs::path(TARNEL_GOLDEN_DIR) / "20-koala-painter.koa");
    koala.insert(koala.end(), {1, 2, 3});
    WriteBytes(in / "koala-10006.rpm", koala);
    cases.push_back({in / "koala-10006.rpm", fs::path(TARNEL_GOLDEN_DIR) / "20-koala-painter.bmp"});
    // Amica Paint with its colour-cycling table after the end marker.
    std::vector<uint8_t> amica = ReadBytes(fs::path(TARNEL_GOLDEN_DIR) / "11-amica-paint.ami");
    amica.insert(amica.end(), 256, 0xC2);
    WriteBytes(in / "amica-table.ami", amica);
    cases.push_back({in / "amica-table.ami", fs::path(TARNEL_GOLDEN_DIR) / "11-amica-paint.bmp"});
    std::vector<uint8_t> art = ReadBytes(fs::path(TARNEL_GOLDEN_DIR) / "15-art-studio.art");
    art.resize(9002);
    WriteBytes(in / "art-9002.iph", art);
    cases.push_back({in / "art-9002.iph", fs::path(TARNEL_GOLDEN_DIR) / "15-art-studio.bmp"});
    for (const auto& [input, golden] : cases) {
        SCOPED_TRACE(input.filename().string());
        const Result run = Tarnel(
            {"convert", "--format", "bmp", "-o", (out / "picture.bmp").string(), input.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(out / "picture.bmp"), ReadBytes(golden));
        const nlohmann::json info =
            nlohmann::json::parse(Tarnel({"info", "--json", input.string()}).out)[0];
        // Layouts known by a signature rather than their address open
        // relocated by their bytes alone.
        const std::string name = input.filename().string();
        if (name.find("relocated") == std::string::npos) {
            EXPECT_TRUE(info.at("chosen").get<bool>());
        }
        EXPECT_EQ(info.at("headerless").get<bool>(), name.find("headerless") != std::string::npos);
        EXPECT_EQ(info.at("ignoredBytes").get<int>(), name == "amica-table.ami" ? 256 : 0);
    }
    // Cut by two bytes at its own address: not taken for a file without one.
    koala.resize(10001);
    WriteBytes(in / "cut.koa", koala);
    EXPECT_EQ(Tarnel({"info", (in / "cut.koa").string()}).exitCode, 1);
}

// --as: each golden picture saved at another load address, and without its
// address, converts to its golden bitmap; the unchanged file too. A file of
// none of the layout's sizes is refused with the sizes named.
TEST_F(CliTest, OpenAsGivesTheGoldenPixels) {
    const fs::path in = dir / "in";
    fs::create_directories(in);
    for (const fs::path& picture : GoldenPictures()) {
        SCOPED_TRACE(picture.filename().string());
        const std::vector<uint8_t> bytes = ReadBytes(picture);
        Result run = Tarnel({"info", "--json", picture.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string name =
            nlohmann::json::parse(run.out)[0].at("shortName").get<std::string>();
        std::vector<uint8_t> relocated = bytes;
        relocated[0] ^= 0x5A;
        WriteBytes(in / "relocated", relocated);
        WriteBytes(in / "headerless", std::vector<uint8_t>(bytes.begin() + 2, bytes.end()));
        fs::copy_file(picture, in / "unchanged", fs::copy_options::overwrite_existing);
        const fs::path out = dir / "out";
        run = Tarnel({"convert", "--as", name, "--format", "bmp", "--out-dir", out.string(),
                      (in / "relocated").string(), (in / "headerless").string(),
                      (in / "unchanged").string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        fs::path golden = picture;
        golden.replace_extension(".bmp");
        for (const char* variant : {"relocated", "headerless", "unchanged"}) {
            EXPECT_EQ(ReadBytes(out / (std::string(variant) + ".bmp")), ReadBytes(golden))
                << variant;
        }
        fs::remove_all(out);
    }
    WriteBytes(in / "short", std::vector<uint8_t>(9000, 0));
    Result run =
        Tarnel({"convert", "--as", "koala", "--out-dir", dir.string(), (in / "short").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, (in / "short").string() +
                           ": 9,000 bytes, but a Koala Painter file is 10,003 bytes, or 10,001 "
                           "without its load address\n");
    run = Tarnel({"info", "--as", "4", (in / "short").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("17,409 or 17,410 bytes, or 17,407 or 17,408 without"),
              std::string::npos)
        << run.err;
}

// ---------------------------------------------------------------------------
// Frames, border and pixel shape

// tests/data/views: STEM.frame0.bmp and STEM.frame1.bmp are what --frame
// both writes for the golden picture STEM, STEM.border.bmp what --border
// writes, STEM.border-N.bmp what --border-colour N writes, and STEM.c64.bmp
// and STEM.c64-frameN.bmp what --view c64 writes. A picture kept beside the
// views whose code prefix its bytes do not give is opened with --as.
TEST_F(CliTest, FramesAndBordersAreTheGoldenViews) {
    const fs::path in = CopySamples("in");
    std::vector<fs::path> pictures = GoldenPictures();
    for (const auto& entry : fs::directory_iterator(TARNEL_VIEWS_DIR)) {
        if (entry.path().extension() != ".bmp") pictures.push_back(entry.path());
    }
    size_t checked = 0;
    for (const auto& entry : fs::directory_iterator(TARNEL_VIEWS_DIR)) {
        if (entry.path().extension() != ".bmp") continue;
        const std::string stem = entry.path().stem().stem().string();
        std::string view = entry.path().stem().extension().string().substr(1);
        SCOPED_TRACE(entry.path().filename().string());
        fs::path picture;
        for (const fs::path& p : pictures) {
            if (p.stem().string() == stem) picture = p;
        }
        ASSERT_FALSE(picture.empty());
        std::vector<std::string> arguments = {"convert", picture.string(), "--format",
                                              "bmp",     "--out-dir",      (dir / view).string()};
        if (stem.rfind("22-", 0) == 0) arguments.insert(arguments.end(), {"--as", "22"});
        if (view.rfind("c64", 0) == 0) {
            arguments.insert(arguments.end(), {"--view", "c64"});
            view = view.size() > 3 ? view.substr(4) : "";
        }
        std::string written = stem;
        if (view == "frame0" || view == "frame1") {
            arguments.insert(arguments.end(), {"--frame", "both"});
            written += "." + view;
        } else if (view == "border") {
            arguments.push_back("--border");
        } else if (view.rfind("border-", 0) == 0) {
            arguments.insert(arguments.end(), {"--border-colour", view.substr(7)});
        } else {
            ASSERT_TRUE(view.empty() || view == "stored") << view;
        }
        const Result run = Tarnel(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(ReadBytes(fs::path(arguments[5]) / (written + ".bmp")), ReadBytes(entry.path()));
        ++checked;
    }
    EXPECT_GE(checked, 18u);
    // --frame both: two files, named after the output given.
    const Result run = Tarnel({"convert", (in / "06-drazlace.drl").string(), "--frame", "both",
                               "-o", (dir / "pair.png").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir / "pair.frame0.png"));
    EXPECT_TRUE(fs::is_regular_file(dir / "pair.frame1.png"));
    EXPECT_FALSE(fs::exists(dir / "pair.png"));
}

// --aspect narrows PNG output after --scale: the width times 0.9365 (PAL)
// or 0.75 (NTSC), rounded; thumbnails too.
TEST_F(CliTest, AspectNarrowsTheWidth) {
    const fs::path koala = CopySamples("in") / "20-koala-painter.koa";
    struct Case {
        std::vector<std::string> options;
        uint32_t width, height;
    };
    const Case cases[] = {
        {{"--aspect", "square"}, 320, 200},
        {{"--aspect", "pal"}, 300, 200},
        {{"--aspect", "NTSC"}, 240, 200},
        {{"--aspect", "pal", "--scale", "2"}, 599, 400},
        {{"--aspect", "ntsc", "--border", "--scale", "3"}, 864, 816},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"convert", koala.string(), "-o",
                                              (dir / "shaped.png").string()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        SCOPED_TRACE(c.options[1]);
        ASSERT_EQ(Tarnel(arguments).exitCode, 0);
        Png png;
        ASSERT_TRUE(ReadPng(dir / "shaped.png", &png));
        EXPECT_EQ(png.width, c.width);
        EXPECT_EQ(png.height, c.height);
    }
    // Square pixels are the plain output, byte for byte.
    ASSERT_EQ(Tarnel({"convert", koala.string(), "-o", (dir / "plain.png").string()}).exitCode, 0);
    ASSERT_EQ(Tarnel({"convert", koala.string(), "--aspect", "square", "-o",
                      (dir / "square.png").string()})
                  .exitCode,
              0);
    EXPECT_EQ(ReadBytes(dir / "plain.png"), ReadBytes(dir / "square.png"));
    // A thumbnail 256 wide of PAL pixels (300 x 200) and of NTSC ones (240 x 200).
    for (const auto& [aspect, height] : {std::pair<const char*, uint32_t>{"pal", 171},
                                         std::pair<const char*, uint32_t>{"ntsc", 213}}) {
        ASSERT_EQ(
            Tarnel({"thumbnail", "--aspect", aspect, koala.string(), (dir / "thumb.png").string()})
                .exitCode,
            0);
        Png png;
        ASSERT_TRUE(ReadPng(dir / "thumb.png", &png));
        EXPECT_EQ(png.width, 256u);
        EXPECT_EQ(png.height, height) << aspect;
    }
}

// A VICE palette file whose colour lines carry the fourth column (the
// dithering hint) is read with it ignored: tarnel's own colours written so
// give the golden pictures.
TEST_F(CliTest, PaletteFileWithDitherColumn) {
    const fs::path in = CopySamples("in");
    for (const char* name : {"20-koala-painter.koa", "06-drazlace.drl"}) {
        SCOPED_TRACE(name);
        const Result run = Tarnel({"convert", (in / name).string(), "--palette",
                                   std::string(TARNEL_PALETTES_DIR) + "/tarnel-dither.vpl",
                                   "--format", "bmp", "-o", (dir / "dither.bmp").string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        fs::path golden = fs::path(TARNEL_GOLDEN_DIR) / name;
        golden.replace_extension(".bmp");
        EXPECT_EQ(ReadBytes(dir / "dither.bmp"), ReadBytes(golden));
    }
}

// Character screens: drawn with --charset's set; with none anywhere (no
// TARNEL_CHARGEN, a HOME without VICE's ROM) refused, the reason naming the
// ways to give one; --frame N picks a Petmate project's screen.
TEST_F(CliTest, CharacterScreensAndTheirCharacterSet) {
    const fs::path petscii = TARNEL_PETSCII_DIR;
    const std::string rom = (petscii / "made-up-chargen.bin").string();
    const std::string v1 = (petscii / "120-petmate-v1.petmate").string();
    const std::string v2 = (petscii / "120-petmate-v2.petmate").string();
    const std::string out = (dir / "out.bmp").string();
    fs::create_directories(dir / "home");
    const Environment bare = {
        {"TARNEL_CHARGEN", ""}, {"XDG_DATA_HOME", ""}, {"HOME", (dir / "home").string()}};
    bool viceRom = false;
    for (const char* folder : {"/usr/share/vice/C64", "/usr/lib/vice/C64"}) {
        for (const char* name : {"chargen-901225-01.bin", "chargen"}) {
            viceRom = viceRom || fs::exists(fs::path(folder) / name);
        }
    }
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string golden;   // the .bmp written must be this file's bytes, or "WxH" its size
        std::string message;  // in standard error, or standard output for info
    };
    const Case cases[] = {
        {{"convert", v1, "--charset", rom, "-o", out}, 0, "120-petmate-v1.bmp", ""},
        {{"convert", v2, "--charset", rom, "--frame", "1", "-o", out}, 0, "320x200", ""},
        {{"convert", v2, "--charset", rom, "--frame", "2", "-o", out}, 1, "", "no frame 2"},
        // A screen of its own: frame 1 is that screen, as for every one-frame picture.
        {{"convert", v1, "--charset", rom, "--frame", "1", "-o", out}, 0, "120-petmate-v1.bmp", ""},
        {{"convert", v1, "--charset", v1, "-o", out}, 2, "", "4,096"},
        {{"info", "--json", "--charset", rom, v1}, 0, "", "\"charset_source\": \"caller\""},
        {{"convert", v1, "-o", out}, 1, "", "TARNEL_CHARGEN"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& word : c.arguments) line += word + " ";
        SCOPED_TRACE(line);
        if (viceRom && c.message == "TARNEL_CHARGEN") continue;  // VICE's ROM draws it
        fs::remove(out);
        const Result run = Tarnel(c.arguments, "/dev/null", bare);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((c.arguments[0] == "info" ? run.out : run.err).find(c.message), std::string::npos)
            << run.out << run.err;
        const std::vector<uint8_t> bmp = ReadBytes(out);
        if (c.golden.empty()) {
            EXPECT_FALSE(fs::exists(out));
        } else if (c.golden.find(".bmp") == std::string::npos) {
            ASSERT_GE(bmp.size(), 26u);
            EXPECT_EQ(std::to_string(Read32(bmp, 18)) + "x" + std::to_string(Read32(bmp, 22)),
                      c.golden);
        } else {
            EXPECT_EQ(bmp, ReadBytes(petscii / c.golden));
        }
    }
}

}  // namespace
