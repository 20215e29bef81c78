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
    unsigned jobs = 0;  // 0: one for every core
};

struct ThumbnailOptions {
    std::string input;
    std::string output;
    unsigned size = 256;
};

int RunConvert(const ConvertOptions& options);
int RunInfo(const std::vector<std::string>& arguments, bool json);
int RunSamples(const std::string& directory);
int RunThumbnail(const ThumbnailOptions& options);

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_COMMANDS_H
