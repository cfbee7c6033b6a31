#include "converter/memo.h"

namespace quemba::detail {

namespace {

// Zero until first used, so a thread that never converts costs nothing but
// its share of the TLS block.
constinit thread_local ToUnicodeMemo toUnicode;
constinit thread_local ToByteMemo toByte;

}  // namespace

ToUnicodeMemo &ToUnicodeMemo::ThisThread() {
    toUnicode.Forget();
    return toUnicode;
}

ToByteMemo &ToByteMemo::ThisThread() {
    toByte.Forget();
    return toByte;
}

}  // namespace quemba::detail
