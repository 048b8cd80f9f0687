// An archive member inflated ahead of its reader.
//
// The inflater owns the opened member. A thread of its own inflates the
// member into a ring of large blocks while the reader copies out of the
// block before; the thread waits when every block is full and ends when
// the data does, when it fails, or when the inflater is destroyed. A member
// of at most one block, or a system that cannot start the thread, is
// inflated by the reader itself, block by block. Everything the reader sees
// is the same either way: the same bytes, the same end, the same errors.
//
// A member opened as raw deflate data is inflated here (with ISA-L) and
// checked as the archive layer checks the others: never more than its
// stated size comes out, and its CRC-32 is compared when exactly that much
// has.
#pragma once

#include "tiger/zip_archive.h"

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace zalor {

class MemberInflater {
public:
    // Bytes inflated at a time: the size of a block of the ring (a member
    // smaller than that has blocks of its own size).
    static constexpr std::size_t kBlockSize = std::size_t(1) << 20;

    // True when deflated members are to be opened as raw deflate data (the
    // `rawDeflate` of TZipObj::OpenUnZip) for the inflater to inflate: with
    // ISA-L, about two and a half times as fast as zlib.
    static bool TakesRawDeflate();

    // Takes over the opened member; with `ahead`, a thread inflates it.
    MemberInflater(std::unique_ptr<TZipObj> zip, bool ahead);
    ~MemberInflater();
    MemberInflater(const MemberInflater&) = delete;
    MemberInflater& operator=(const MemberInflater&) = delete;

    // Copies up to `n` bytes of the member into `dst`; 0 once its data has
    // ended. What the inflating thread threw is thrown here, after the
    // blocks it completed.
    std::size_t Read(char* dst, std::size_t n);

    // After Read has given 0: inflating failed / the member failed its check.
    bool Damaged() const { return damaged_; }
    bool Corrupt() const { return corrupt_; }

private:
    static constexpr std::size_t kBlocks = 3;

    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t size = 0;
    };
    struct RawInflation; // the inflation of raw deflate data

    void Run();
    bool Produce();
    bool ReadMember(Block& b);
    bool InflateRaw(Block& b); // built with ISA-L only
    bool EndRaw();             // built with ISA-L only
    bool TakeBlock();
    void ReleaseBlock();

    std::unique_ptr<TZipObj> zip_;      // used by the producer only
    std::unique_ptr<RawInflation> raw_; // raw deflate data: its inflation
    std::array<Block, kBlocks> blocks_;
    std::size_t blockSize_ = kBlockSize;
    bool damaged_ = false; // set by the producer before finished_
    bool corrupt_ = false;

    std::mutex mutex_;
    std::condition_variable filled_; // a block was filled, or the data ended
    std::condition_variable freed_;  // a block was released, or stop
    std::size_t produced_ = 0;       // blocks filled so far
    std::size_t consumed_ = 0;       // blocks the reader has released
    bool finished_ = false;          // no block will follow
    bool stop_ = false;
    std::exception_ptr failure_;

    Block* current_ = nullptr; // the reader's block
    std::size_t offset_ = 0;

    std::thread thread_; // last: starts when everything above exists
};

} // namespace zalor
