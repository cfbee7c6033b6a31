// NUL-terminated input measured as a conversion goes: only as far as the
// conversion can reach, and in growing pieces.
#pragma once

#include <cstdint>

#include "converter/measure.h"

namespace quemba::detail {

// A conversion that stops early (an unmappable character in a long text)
// must not have measured the rest, or converting a text with many stops
// costs its length squared. So the first piece is scaled to the output
// space, and each later one is as long as what lies behind it.
template <typename In>
class MeasuredInput {
public:
    // Input of a known length (a count, or none to measure).
    static MeasuredInput Known(uint32_t length) { return MeasuredInput(nullptr, length, 0, true); }

    // NUL-terminated input for `space` output units, each taking at most
    // `longest` input units.
    static MeasuredInput Terminated(const In *s, uint32_t space, uint32_t longest) {
        MeasuredInput m(s, 0, longest, false);
        m.Grow(0, Reach(space, longest), space < kFirstPiece ? space * 2 + 32 : kFirstPiece);
        return m;
    }

    // Input units known from the start to lie before the NUL, for a
    // conversion standing at `in` with `space` output units left. A
    // conversion may have stepped past the measure by a character.
    uint32_t Available(uint32_t in, uint32_t space) {
        if (!settled_ && (in > available_ || available_ - in < longest_ + 32)) {
            Grow(in, Reach(space, longest_), in > kFirstPiece ? in : kFirstPiece);
        }
        return available_;
    }

private:
    static constexpr uint32_t kFirstPiece = 4096;

    MeasuredInput(const In *s, uint32_t available, uint32_t longest, bool settled)
        : s_(s), available_(available), longest_(longest), settled_(settled) {}

    // Settled once the NUL is found or the measure covers the reach.
    void Grow(uint32_t in, uint32_t reach, uint32_t piece) {
        const uint32_t limit = reach < piece ? reach : piece;
        const uint32_t more = Measure(s_ + in, limit);
        available_ = in + more;
        settled_ = more < limit || limit == reach;
    }

    const In *s_;
    uint32_t available_;
    uint32_t longest_;
    bool settled_;
};

}  // namespace quemba::detail
