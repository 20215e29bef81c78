// The hostile-file corpus: files built to sit on every edge the decoder has
// (cut short, grown, tiny, at the size limit, signatures cut by the file's
// end, broken packed streams, frames the file is too short to hold, random
// bytes), each with the result it must give. Built in memory, so the test
// and the corpus writer (make_corpus) use the very same files.
#ifndef TARNEL_TESTING_HOSTILE_CORPUS_H
#define TARNEL_TESTING_HOSTILE_CORPUS_H

#include <cstdint>
#include <string>
#include <vector>

namespace tarnel_hostile {

struct HostileFile {
    std::string name;  // file name in the written corpus
    std::vector<uint8_t> bytes;
    int32_t result;  // what IDP_OpenImage must return
    uint8_t code;    // the layout it opens as; 0 when it does not open
    // When it opens and this is not empty: a file built another way whose
    // picture must be identical, bit for bit. For packed files it is the
    // unpacked layout's file holding what a plain step-by-step unpacker
    // makes of the stream; for files too short for their frames it is the
    // file padded with zero bytes (bytes past a file's end read as 0).
    std::vector<uint8_t> samePictureAs;
    uint8_t samePictureCode;  // the layout that file opens as
};

// Every file of the corpus, in a fixed order; the same on every run.
std::vector<HostileFile> HostileCorpus();

// A deterministic C64 memory image (61,440 bytes) with runs mixed in so the
// packers have something to pack.
std::vector<uint8_t> MemoryImage(uint32_t seed);

// The file of `code` drawn from MemoryImage(seed).
std::vector<uint8_t> LayoutFile(uint8_t code, uint32_t seed);

}  // namespace tarnel_hostile

#endif  // TARNEL_TESTING_HOSTILE_CORPUS_H
