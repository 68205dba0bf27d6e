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

// The growable output of an expansion. Keeps CopySlack spare bytes behind its
// capacity so that short copies can move whole 16-byte chunks.
class ExpansionOutput {
public:
    static constexpr int CopySlack = 16;

    explicit ExpansionOutput(int initialCapacity);
    ~ExpansionOutput();
    ExpansionOutput(const ExpansionOutput&) = delete;
    ExpansionOutput& operator=(const ExpansionOutput&) = delete;

    char* bytes() { return bytes_; }
    int capacity() const { return capacity_; }
    // Grows the capacity to at least needed (at most MaxExpandedLength).
    void growTo(int needed);
    // Hands the buffer to the caller (allocated by core/memory.h) and empties this.
    char* release();

private:
    char* bytes_;
    int capacity_;
};

// Expands a token stream (the image without its 8-byte head) into out from
// position 0. Returns the number of bytes produced, or -1 when the stream is
// malformed (see ExpandBlock). Reads only tokens[0, length), writes only out.
int expandTokens(const unsigned char* tokens, int length, ExpansionOutput& out);
