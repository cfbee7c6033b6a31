// Output sinks for the conversion loops. Each loop runs once over a
// BufferSink (the caller's buffer) or a MeasureSink (length-only mode), so
// a conversion and its measurement cannot take different decisions.
#pragma once

#include <stdint.h>

namespace quemba::detail {

// The caller's buffer. `space` excludes any unit the driver holds back for a
// terminator, so at() always stays inside the caller's size.
template <typename Unit>
class BufferSink {
public:
    static constexpr bool kMeasuring = false;

    BufferSink(Unit *start, uint32_t space) : start_(start), pos_(start), space_(space) {}

    Unit *at() const { return pos_; }
    uint32_t room() const { return space_; }
    uint32_t stepRoom() const { return space_; }
    bool full() const { return space_ == 0; }
    // Callbacks report what they wrote; a claim beyond the space they were
    // given must not move the position past the caller's buffer.
    void advance(uint32_t n) {
        if (n > space_) n = space_;
        pos_ += n;
        space_ -= n;
    }
    void advanceStep(uint32_t n) { advance(n); }
    bool put(Unit unit) {
        if (space_ == 0) return false;
        *pos_++ = unit;
        --space_;
        return true;
    }
    uint32_t written() const { return static_cast<uint32_t>(pos_ - start_); }

private:
    Unit *start_;
    Unit *pos_;
    uint32_t space_;
};

// Length-only mode: every call writes into the same scratch buffer and only
// the number of units is kept. It never runs out of room. Fixers and parsers
// get 256 units of it; engine steps get all of it, so that a long text is
// measured in few steps (the count does not depend on the step size).
template <typename Unit>
class MeasureSink {
public:
    static constexpr bool kMeasuring = true;
    static constexpr uint32_t kScratch = 256;
    static constexpr uint32_t kStepScratch = 16384 / sizeof(Unit);

    Unit *at() { return scratch_; }
    uint32_t room() const { return kScratch; }
    uint32_t stepRoom() const { return kStepScratch; }
    bool full() const { return false; }
    void advance(uint32_t n) { total_ += n > kScratch ? kScratch : n; }
    void advanceStep(uint32_t n) { total_ += n > kStepScratch ? kStepScratch : n; }
    bool put(Unit) {
        ++total_;
        return true;
    }
    uint32_t written() const { return total_; }

private:
    Unit scratch_[kStepScratch];
    uint32_t total_ = 0;
};

}  // namespace quemba::detail
