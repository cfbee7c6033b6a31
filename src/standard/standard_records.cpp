// Storage of the standard converters and the accessors of their handles.
#include "standard/internal.h"

namespace quemba::detail {

constinit Converter byteUni{};
constinit Converter lowerCase{};
constinit Converter upperCase{};

}  // namespace quemba::detail

extern "C" QUEMBA_API ConverterHandle KXZStandardByteUni(void) { return &quemba::detail::byteUni; }

extern "C" QUEMBA_API ConverterHandle KXZStandardLowerCase(void) {
    return &quemba::detail::lowerCase;
}

extern "C" QUEMBA_API ConverterHandle KXZStandardUpperCase(void) {
    return &quemba::detail::upperCase;
}
