// In a test program a failed shared check is one GoogleTest failure.
#include <gtest/gtest.h>

#include "check.h"

void qcheck::Fail(const char *file, int line, const char *what) {
    ADD_FAILURE_AT(file, line) << what << "\n  " << Context();
}
