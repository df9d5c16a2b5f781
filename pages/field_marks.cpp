#include "pages/field_marks.h"

#include <algorithm>

namespace quorvel {

std::vector<int> FieldMarks::UnmarkAll() {
  std::vector<int> unmarked;
  for (int& mark : marks_) {
    if (mark != kEmpty) unmarked.push_back(mark);
    mark = kEmpty;
  }
  return unmarked;
}

bool FieldMarks::IsMarked(int field) const { return std::find(marks_.begin(), marks_.end(), field) != marks_.end(); }

}  // namespace quorvel
