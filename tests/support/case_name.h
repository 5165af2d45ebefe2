#pragma once
// Names of parameterised cases that a failure report and `ctest -R` can find again: the case
// as gtest prints it (its PrintTo, or the value itself), cut to letters, digits and underscores.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace cv::test {

inline std::string caseName(const std::string& printed) {
    std::string name;
    bool gap = false;
    for (size_t i = 0; i < printed.size(); ++i) {
        const char c = printed[i];
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !name.empty()) name += '_';
            name += c;
            gap = false;
        } else if (c == '-' && i + 1 < printed.size() && std::isdigit(static_cast<unsigned char>(printed[i + 1])) &&
                   (name.empty() || gap || printed[i - 1] == ' ')) {
            name += name.empty() ? "Minus" : "_Minus";
            gap = false;
        } else {
            gap = true;
        }
    }
    return name.empty() ? "Empty" : name;
}

// The name generator: INSTANTIATE_TEST_SUITE_P(Prefix, Suite, values, test::ReadableName()).
struct ReadableName {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return caseName(::testing::PrintToString(info.param));
    }
};

} // namespace cv::test
