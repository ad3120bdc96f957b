// Loads a ProgramImage into the cell store and relocates its code.
//
// The image comes from a file a user may have damaged or crafted, so every header value is checked
// before it is used: offsets lie inside the file and ascend, counts fit their cell ranges, strings end
// inside their area, and every code position names a code word. A refused image leaves nothing loaded.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/files.h"
#include "vm/machine.h"

namespace vm {

namespace {

constexpr int32_t kFormat = 1;
constexpr int32_t kHeaderWords = 1024;
constexpr int32_t kMaxConstants = 2000;  // per kind: cells 9000, 11000, 13000 ...
constexpr int32_t kMaxVariables = 2000;
constexpr int32_t kMaxDataItems = kUnaddressedBase - kDataBase;

class ImageReader {
public:
    ImageReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t words() const { return size_ / 4; }
    int32_t word(size_t index) const {
        uint32_t u;
        std::memcpy(&u, data_ + index * 4, 4);  // callers check index < words()
        return static_cast<int32_t>(u);         // the format is little-endian, as is every host we build for
    }
    const uint8_t* bytes() const { return data_; }
    size_t size() const { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
};

struct Failure {
    std::string why;
};

void check(bool ok, const char* why) {
    if (!ok) throw Failure{why};
}

// A zero-terminated string starting at byte `at` that must end before byte `end`; returns its length.
size_t terminatedLength(const ImageReader& r, size_t at, size_t end) {
    const void* zero = std::memchr(r.bytes() + at, 0, end - at);
    check(zero != nullptr, "a string does not end inside its area");
    return static_cast<const uint8_t*>(zero) - (r.bytes() + at);
}

// String values never exceed 255 characters; a longer stored string is cut there.
void setStoredString(Cell& c, const uint8_t* data, size_t length) {
    setString(c, reinterpret_cast<const char*>(data), length > size_t(kMaxStringLength) ? kMaxStringLength : length);
}

void loadConstants(Machine& m, const ImageReader& r) {
    int32_t w1 = r.word(1), w2 = r.word(2), w3 = r.word(3), w5 = r.word(5);
    noteCellsUsed(m, kIntConstBase, w2 - w1);
    noteCellsUsed(m, kRealConstBase, w3 - w2);
    for (int32_t k = 0; k < w2 - w1; ++k) m.cells[kIntConstBase + k].i = r.word(w1 + k);
    for (int32_t k = 0; k < w3 - w2; ++k) m.cells[kRealConstBase + k].i = r.word(w2 + k);

    int32_t count = r.word(4);
    noteCellsUsed(m, kStringConstBase, count);
    size_t at = size_t(w3) * 4, end = size_t(w5) * 4;
    for (int32_t k = 0; k < count; ++k) {
        check(at < end, "more string constants than the string area holds");
        size_t length = terminatedLength(r, at, end);
        setStoredString(m.cells[kStringConstBase + k], r.bytes() + at, length);
        at += length + 1;
    }
}

void loadData(Machine& m, const ImageReader& r, int32_t ownerStart) {
    int32_t w5 = r.word(5), count = r.word(6);
    size_t mapWords = size_t(count) / 4 + 1;
    check(size_t(w5) + mapWords <= size_t(ownerStart), "the DATA type map runs into the owner tables");
    const uint8_t* types = r.bytes() + size_t(w5) * 4;
    m.program.dataTypes.assign(types, types + count);
    m.program.dataCount = count;

    size_t at = size_t(w5) + mapWords;  // word index
    noteCellsUsed(m, kDataBase, count);
    for (int32_t k = 0; k < count; ++k) {
        Cell& c = m.cells[kDataBase + k];
        switch (types[k]) {
            case 'l':
            case 'f':
                check(at < size_t(ownerStart), "the DATA values run into the owner tables");
                c.i = r.word(at++);
                break;
            case 's': {
                size_t length = terminatedLength(r, at * 4, size_t(ownerStart) * 4);
                setStoredString(c, r.bytes() + at * 4, length);
                at += (length + 1) / 4 + 1;
                check(at <= size_t(ownerStart), "the DATA values run into the owner tables");
                break;
            }
            default:
                throw Failure{"a DATA item has an unknown type"};
        }
    }
}

void loadOwners(Machine& m, const ImageReader& r, int32_t ownerStart, int32_t ownerWords) {
    size_t at = size_t(ownerStart), end = size_t(ownerStart) + size_t(ownerWords);
    const int bases[3] = {kIntVarBase, kRealVarBase, kStringVarBase};
    int kind = 0;
    for (auto& table : m.program.owners) {
        check(at < end, "the owner tables are shorter than their counts");
        int32_t count = r.word(at++);
        check(count >= 0 && count <= kMaxVariables, "an owner table count is out of range");
        noteCellsUsed(m, bases[kind++], count);  // calls save and restore these
        check(size_t(count) <= end - at, "the owner tables are shorter than their counts");
        table.resize(count);
        for (int32_t k = 0; k < count; ++k) table[k] = static_cast<int16_t>(r.word(at++));
    }
}

Op relocate(Machine& m, int32_t word, int32_t codeSize) {
    Op op{&m.scratch, word, codeSize - 1};
    if (word >= 10000 && word < 25000) {
        op.cell = &m.cells[word - 10000];
        noteCellsUsed(m, word - 10000, 1);
    } else if (word >= 25000 && word < 35000) {
        op.n = word - 25000;
    } else if (word >= 37000) {
        check(word - 37000 < codeSize, "a code position lies past the end of the code");
        op.target = word - 37000;
    }
    return op;
}

void loadCode(Machine& m, const ImageReader& r) {
    int32_t w7 = r.word(7);
    size_t codeStart = size_t(w7) * 4;
    size_t rest = r.size() - codeStart;
    // The code is the first half of the rest and the line table the second; an image whose halves are
    // not whole words, or with no code at all, is malformed.
    check(rest >= 8 && rest % 8 == 0, "the code area is not two equal whole-word halves");
    int32_t n = static_cast<int32_t>(rest / 8);
    Program& p = m.program;
    p.codeSize = n;
    p.rawCode.resize(n);
    p.lines.resize(n);
    p.code.clear();
    p.code.reserve(n + kCodeGuardWords);
    for (int32_t k = 0; k < n; ++k) {
        p.rawCode[k] = r.word(w7 + k);
        p.lines[k] = r.word(w7 + n + k);
        p.code.push_back(relocate(m, p.rawCode[k], n));
    }
    for (int k = 0; k < kCodeGuardWords; ++k) p.code.push_back(Op{&m.scratch, 0, n - 1});
}

void checkHeader(const ImageReader& r) {
    check(r.size() >= 4, "the file is empty");
    check(r.word(0) == kFormat, "not a program image (format number is not 1)");
    check(r.size() % 4 == 0, "the file is not made of whole words");
    check(r.words() > size_t(kHeaderWords), "the file is shorter than the header");
    int64_t words = static_cast<int64_t>(r.words());
    int32_t w1 = r.word(1), w2 = r.word(2), w3 = r.word(3), w4 = r.word(4), w5 = r.word(5), w6 = r.word(6),
            w7 = r.word(7), w10 = r.word(10), w11 = r.word(11);
    check(w1 == kHeaderWords, "the integer constants do not follow the header");
    check(w2 >= w1 && w2 - w1 <= kMaxConstants, "the integer constant count is out of range");
    check(w3 >= w2 && w3 - w2 <= kMaxConstants, "the real constant count is out of range");
    check(w4 >= 0 && w4 <= kMaxConstants, "the string constant count is out of range");
    check(w5 > w3, "the string area runs backwards");
    check(w6 >= 0 && w6 <= kMaxDataItems, "the DATA item count is out of range");
    check(w10 >= 0 && w10 <= kMaxVariables, "the string variable count is out of range");
    check(w11 >= 3, "the owner tables are too short");
    check(w7 > w5 && int64_t(w7) < words, "the code offset lies outside the file");
    check(int64_t(w7) - w11 > w5, "the owner tables overlap the DATA area");
}

}  // namespace

bool loadImage(Machine& m, const uint8_t* data, size_t size, std::string* why) {
    unloadProgram(m);
    try {
        ImageReader r(data, size);
        checkHeader(r);
        int32_t ownerStart = r.word(7) - r.word(11);
        loadConstants(m, r);
        loadData(m, r, ownerStart);
        loadOwners(m, r, ownerStart, r.word(11));
        m.program.stringVariableCount = r.word(10);
        noteCellsUsed(m, kStringVarBase, m.program.stringVariableCount);
        for (int32_t k = 0; k < m.program.stringVariableCount; ++k) setString(m.cells[kStringVarBase + k], "", 0);
        loadCode(m, r);
    } catch (const Failure& f) {
        unloadProgram(m);
        if (why) *why = f.why;
        return false;
    }
    m.program.loaded = true;
    m.pc = m.program.code.data();
    return true;
}

bool loadImageFile(Machine& m, const std::string& path, std::string* why) {
    std::vector<uint8_t> bytes;
    const bool ok = platform::readRegularFile(path, bytes);  // a folder or device is no image
    if (!ok) {
        unloadProgram(m);
        if (why) *why = "cannot read " + path;
        return false;
    }
    return loadImage(m, bytes.data(), bytes.size(), why);
}

void unloadProgram(Machine& m) {
    m.program = Program{};
    m.pc = nullptr;
    freeString(m.scratch);
    m.scratch.i = 0;
    // Only blocks a program could write are swept (a half-built load marked what it wrote first);
    // the rest of the tables are still untouched zero pages.
    for (int block = 0; block < kCellBlockCount; ++block) {
        if (!m.usedCellBlocks.test(size_t(block))) continue;
        const int first = block * kCellBlock, end = std::min(first + kCellBlock, kCellCount);
        for (int cell = first; cell < end; ++cell) {
            freeString(m.cells[cell]);
            m.cells[cell].i = 0;
            m.refs[cell] = ElementRef{};
            if (cell >= kIntVarBase && cell < kIntVarBase + kVariableCellCount) releaseArray(m.arrays[cell - kIntVarBase]);
        }
    }
    m.usedCellBlocks.reset();
}

Machine::~Machine() { unloadProgram(*this); }

int sourceLine(const Machine& m, const Op* word) {
    const Program& p = m.program;
    if (p.code.empty() || word < p.code.data() || word >= p.code.data() + p.codeSize) return 0;
    return p.lines[word - p.code.data()];
}

}  // namespace vm
