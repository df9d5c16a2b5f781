// The red marks of the real-time page: which fields show an invalid value.
// Ten mark slots, each empty or holding the number of the field it marks;
// the numbers matter only here.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace quorvel {

namespace field_id {
inline constexpr int kDate = 1003;
inline constexpr int kTime = 1004;
inline constexpr int kCurrent = 1007;
inline constexpr int kTierBoundary = 1015;
inline constexpr int kTierUpperEnd = 1017;
inline constexpr int kPrice1 = 1011;
inline constexpr int kPrice2 = 1012;
inline constexpr int kCo2Factor = 1178;
}  // namespace field_id

namespace mark_slot {
inline constexpr std::size_t kCurrent = 0;  // the decoder's current alarm
inline constexpr std::size_t kTierUpperEnd = 2;
inline constexpr std::size_t kTierBoundary = 3;
inline constexpr std::size_t kPrice1 = 4;
inline constexpr std::size_t kPrice2 = 5;
inline constexpr std::size_t kCo2Factor = 6;
inline constexpr std::size_t kDate = 8;
inline constexpr std::size_t kTime = 9;
}  // namespace mark_slot

class FieldMarks {
 public:
  static constexpr std::size_t kSlots = 10;
  static constexpr int kEmpty = -1;

  void Mark(std::size_t slot, int field) { marks_.at(slot) = field; }
  void Unmark(std::size_t slot) { marks_.at(slot) = kEmpty; }
  // Empties every slot (a valid download); returns the fields unmarked.
  std::vector<int> UnmarkAll();
  bool IsMarked(int field) const;

 private:
  std::array<int, kSlots> marks_ = Empty();
  static constexpr std::array<int, kSlots> Empty() {
    std::array<int, kSlots> marks{};
    marks.fill(kEmpty);
    return marks;
  }
};

}  // namespace quorvel
