// The settings page's texts about the program: the description and the
// numbered feature lines, in UTF-8 (the bullets "●" and the ideographic
// comma "、" are multi-byte characters).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quorvel {

// Lines separated by "\n": the title, the paragraph, the features as
// bullet lines and a closing line.
std::string ProgramDescription();

// "1、set time" .. "10、display real time data in text mode".
const std::array<std::string_view, 10>& FeatureLines();

}  // namespace quorvel
