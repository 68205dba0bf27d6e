// Block expansion: turns a compressed image (runs, literal stretches and
// back-references, no entropy coding) back into the bytes it stands for.
// docs/compressed-image-format.md describes the image byte by byte.
#pragma once

#include <cstdint>

#include "core/str.h"

constexpr uint32_t CompressedImageMagic = 0x9EC72BA1u;
constexpr int CompressedImageHeadSize = 8;  // magic word, expanded size hint
// A String cannot be longer; an image that would expand further is malformed.
constexpr int MaxExpandedLength = 0x40000000;

// Replaces a block that holds a compressed image by its expanded bytes.
//
// Contract: never reads outside the block's bytes and never writes outside the
// output buffer it allocates, whatever the image holds. Results:
// - false, block unchanged: the block is shorter than 8 bytes or does not
//   begin with the magic word (so any block may be offered), or the image is
//   malformed: a token's operands are cut off by the end of the image, or the
//   output would pass MaxExpandedLength.
// - true: the block now holds exactly the bytes produced. A back-reference
//   whose source does not lie wholly inside the bytes already produced
//   writes nothing and expansion goes on; the caller's checksum finds that.
// The size hint only pre-sizes the output, never more than the tokens could
// produce (at most 65,538 bytes per 5 token bytes) nor MaxExpandedLength, so
// a forged hint cannot make the expander allocate more than honest tokens
// could; a wrong hint only costs reallocations.
bool ExpandBlock(String& block);

// Told how far an expansion has come, for a reader that takes the bytes
// while they are produced (on another thread): count bytes at the start of
// the output are final.
using ExpansionReport = void (*)(void* context, int count);

// The output of an expansion. Keeps CopySlack spare bytes behind its
// capacity so that short copies can move whole 16-byte chunks.
//
// Either growable (its own buffer) or fixed: the caller's buffer of
// capacity + CopySlack bytes, which never grows, so that a reader may take
// bytes from it while it fills; an image that would produce more than
// fits is refused there.
class ExpansionOutput {
public:
    static constexpr int CopySlack = 16;

    explicit ExpansionOutput(int initialCapacity);
    ExpansionOutput(char* fixedBuffer, int capacity);
    ~ExpansionOutput();
    ExpansionOutput(const ExpansionOutput&) = delete;
    ExpansionOutput& operator=(const ExpansionOutput&) = delete;

    char* bytes() { return bytes_; }
    int capacity() const { return capacity_; }
    // The most the output may hold: MaxExpandedLength, or a fixed capacity.
    int limit() const { return owned_ ? MaxExpandedLength : capacity_; }
    // Grows the capacity to at least needed (at most limit()); a fixed
    // output stays as it is.
    void growTo(int needed);
    // Hands the buffer to the caller (allocated by core/memory.h) and empties
    // this; a fixed output hands back null (the buffer is the caller's already).
    char* release();

    // Has report told (with context) of the bytes produced each time another step bytes are done.
    void reportTo(ExpansionReport report, void* context, int step);
    void reportProduced(int count) const { report_(reportContext_, count); }
    bool reports() const { return report_ != nullptr; }
    int reportStep() const { return reportStep_; }

private:
    char* bytes_;
    int capacity_;
    bool owned_;
    ExpansionReport report_ = nullptr;
    void* reportContext_ = nullptr;
    int reportStep_ = 0;
};

// Expands a token stream (the image without its 8-byte head) into out from
// position 0. Returns the number of bytes produced, or -1 when the stream is
// malformed (see ExpandBlock) or, for a fixed output, does not fit. Reads
// only tokens[0, length), writes only out.
int expandTokens(const unsigned char* tokens, int length, ExpansionOutput& out);

// The number of bytes expandTokens would produce from the stream, or -1
// where it would refuse it as malformed: found by reading the tokens
// without writing anything, so that a reader knows the whole output's size,
// and that it is sound, before the first byte is expanded.
int measureTokens(const unsigned char* tokens, int length);

// The tokens of an image and the output size its hint asks for, bounded as
// ExpandBlock bounds it; false when the block is no image (no head, no magic).
struct TokenImage {
    const unsigned char* tokens = nullptr;
    int length = 0;
    int presize = 0;
};
bool readTokenImage(const String& block, TokenImage& image);
