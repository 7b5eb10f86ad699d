#pragma once

// What a test of a command's output asks of it: that nothing in it steers a
// terminal.

#include <gtest/gtest.h>

#include <string>

namespace corvale::testing {

// Success when `output` holds no control character but the line feeds and
// tabs of the program's own lines: no C0 byte, no DEL, no C1 control in
// UTF-8 (C2 80 to C2 9F) and no bare C1 byte after a byte below 0x80.
inline ::testing::AssertionResult only_own_controls(const std::string& output) {
    for (std::size_t i = 0; i < output.size(); ++i) {
        const auto byte = static_cast<unsigned char>(output[i]);
        const bool c0 = (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F;
        const bool c1_utf8 = byte == 0xC2 && i + 1 < output.size() &&
                             static_cast<unsigned char>(output[i + 1]) < 0xA0;
        const bool c1_bare = byte >= 0x80 && byte < 0xA0 &&
                             (i == 0 || static_cast<unsigned char>(output[i - 1]) < 0x80);
        if (c0 || c1_utf8 || c1_bare) {
            return ::testing::AssertionFailure()
                   << "control byte " << static_cast<int>(byte) << " at " << i << " in: " << output;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace corvale::testing
