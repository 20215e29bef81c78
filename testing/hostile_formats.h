// Hostile files of the formats beyond the twenty layouts: CharPad projects
// with absurd counts, indexes out of range, blocks cut short or unmarked;
// SpritePad sets that promise more than they hold; broken RIFF chunks; and
// files whose names say one thing and bytes another; Petmate projects with
// huge sizes, missing fields, wrong types and another machine's characters. Each with its name
// (the extension is the hint a caller passes) and what a 1.3 caller must
// get: a picture of the given format, or the given refusal.
#ifndef TARNEL_TESTING_HOSTILE_FORMATS_H
#define TARNEL_TESTING_HOSTILE_FORMATS_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel_hostile {

enum class Outcome : uint8_t {
    Opens,      // a picture, maybe partly drawn
    Refused,    // not recognised
    TooLarge,   // its picture would be too large to draw
    NoCharset,  // a character screen whose character set is nowhere to be had
};

struct HostileFormatFile {
    std::string name;
    std::vector<uint8_t> bytes;
    Outcome outcome;
    uint8_t code;  // the format it opens as; 0 when it does not
};

// Every file, in a fixed order; the same on every run.
std::vector<HostileFormatFile> HostileFormatFiles();

}  // namespace tarnel_hostile

#endif  // TARNEL_TESTING_HOSTILE_FORMATS_H
