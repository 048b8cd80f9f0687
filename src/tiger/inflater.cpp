#include "tiger/inflater.h"

#ifdef ZALOR_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

#include <algorithm>
#include <cstring>
#include <system_error>

namespace zalor {

#ifdef ZALOR_HAVE_ISAL
namespace {

constexpr std::size_t kInputChunk = std::size_t(1) << 18; // deflate data read at a time

} // namespace

struct MemberInflater::RawInflation {
    inflate_state state{};
    std::unique_ptr<char[]> input{new char[kInputChunk]};
    bool inputDone = false;
    int64_t out = 0; // bytes inflated so far
};

bool MemberInflater::TakesRawDeflate() { return true; }
#else
struct MemberInflater::RawInflation {}; // never made: the archive layer inflates

bool MemberInflater::TakesRawDeflate() { return false; }
#endif

MemberInflater::MemberInflater(std::unique_ptr<TZipObj> zip, bool ahead) : zip_(std::move(zip))
{
    // Never more than the stated size comes out of a member.
    if (zip_->Size() >= 0 && static_cast<uint64_t>(zip_->Size()) < kBlockSize)
        blockSize_ = std::max<std::size_t>(static_cast<std::size_t>(zip_->Size()), 1);
#ifdef ZALOR_HAVE_ISAL
    if (zip_->RawDeflate()) {
        raw_ = std::make_unique<RawInflation>();
        isal_inflate_init(&raw_->state);
        raw_->state.crc_flag = ISAL_GZIP_NO_HDR; // keeps the CRC-32 of the output
    }
#endif
    if (!ahead) return;
    try {
        thread_ = std::thread(&MemberInflater::Run, this);
    } catch (const std::system_error&) {
        // No thread: the reader inflates.
    }
}

MemberInflater::~MemberInflater()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    freed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

std::size_t MemberInflater::Read(char* dst, std::size_t n)
{
    if (!current_ && !TakeBlock()) return 0;
    const std::size_t got = std::min(n, current_->size - offset_);
    std::memcpy(dst, current_->bytes.get() + offset_, got);
    offset_ += got;
    if (offset_ == current_->size) ReleaseBlock();
    return got;
}

void MemberInflater::Run()
{
    try {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                freed_.wait(lock, [this] { return stop_ || produced_ - consumed_ < kBlocks; });
                if (stop_) return;
            }
            const bool more = Produce();
            filled_.notify_one();
            if (!more) return;
        }
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            finished_ = true;
        }
        filled_.notify_one();
    }
}

// Inflates the next block; false once the data has ended. Only the
// producer (the thread, or the reader when there is none) writes
// produced_, and the block it fills is none that the reader holds.
bool MemberInflater::Produce()
{
    Block& b = blocks_[produced_ % kBlocks];
    if (!b.bytes) b.bytes.reset(new char[blockSize_]);
    b.size = 0;
#ifdef ZALOR_HAVE_ISAL
    const bool more = raw_ ? InflateRaw(b) : ReadMember(b);
#else
    const bool more = ReadMember(b);
#endif
    std::lock_guard<std::mutex> lock(mutex_);
    if (b.size > 0) ++produced_;
    if (!more) finished_ = true;
    return more;
}

// Fills the block through the archive layer, which inflates and checks.
bool MemberInflater::ReadMember(Block& b)
{
    while (b.size < blockSize_) {
        const int64_t got = zip_->ReadUnZip(b.bytes.get() + b.size, blockSize_ - b.size);
        if (got <= 0) {
            if (got < 0) damaged_ = true;
            zip_->CloseUnZip(); // runs the member's check
            corrupt_ = zip_->MemberCorrupt();
            return false;
        }
        b.size += static_cast<std::size_t>(got);
    }
    return true;
}

#ifdef ZALOR_HAVE_ISAL
// Fills the block from the member's deflate data.
bool MemberInflater::InflateRaw(Block& b)
{
    inflate_state& z = raw_->state;
    const int64_t size = zip_->Size();
    for (;;) {
        if (raw_->out >= size) return EndRaw(); // never more than the stated size
        if (b.size == blockSize_) return true;
        if (z.avail_in == 0 && !raw_->inputDone) {
            const int64_t got = zip_->ReadUnZip(raw_->input.get(), kInputChunk);
            if (got < 0) {
                damaged_ = true;
                return EndRaw();
            }
            if (got == 0) raw_->inputDone = true;
            z.next_in = reinterpret_cast<uint8_t*>(raw_->input.get());
            z.avail_in = static_cast<uint32_t>(got);
        }
        const std::size_t room =
            static_cast<std::size_t>(std::min<int64_t>(static_cast<int64_t>(blockSize_ - b.size), size - raw_->out));
        const uint32_t inBefore = z.avail_in;
        z.next_out = reinterpret_cast<uint8_t*>(b.bytes.get() + b.size);
        z.avail_out = static_cast<uint32_t>(room);
        const int rc = isal_inflate(&z);
        const std::size_t made = room - z.avail_out;
        b.size += made;
        raw_->out += static_cast<int64_t>(made);
        if (rc < 0) {
            damaged_ = true;
            return EndRaw();
        }
        if (z.block_state == ISAL_BLOCK_FINISH) return EndRaw();
        // No progress: the deflate data ended before its last block.
        if (made == 0 && z.avail_in == inBefore && raw_->inputDone) return EndRaw();
        if (made == 0 && z.avail_in == inBefore && z.avail_in > 0) {
            damaged_ = true; // cannot happen with sound data; never loop on it
            return EndRaw();
        }
    }
}

// The end of raw deflate data: the member is closed and, when its stated
// size came out in full, its CRC-32 compared.
bool MemberInflater::EndRaw()
{
    zip_->CloseUnZip();
    if (!damaged_ && raw_->out == zip_->Size() && raw_->state.crc != zip_->MemberCrc()) corrupt_ = true;
    return false;
}
#endif

bool MemberInflater::TakeBlock()
{
    if (!thread_.joinable()) {
        if (produced_ == consumed_ && !finished_) Produce();
        if (produced_ == consumed_) return false;
    } else {
        std::unique_lock<std::mutex> lock(mutex_);
        filled_.wait(lock, [this] { return produced_ > consumed_ || finished_; });
        if (produced_ == consumed_) {
            if (failure_) std::rethrow_exception(failure_);
            return false;
        }
    }
    current_ = &blocks_[consumed_ % kBlocks];
    offset_ = 0;
    return true;
}

void MemberInflater::ReleaseBlock()
{
    current_ = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++consumed_;
    }
    freed_.notify_one();
}

} // namespace zalor
