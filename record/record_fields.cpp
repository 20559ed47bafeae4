#include "record/record_fields.h"

namespace nimbrel {

RecordFields SplitRecord(std::string_view text) {
  RecordFields fields{};
  text = text.substr(0, text.find('\0'));
  // Token by token rather than character by character: this runs for every exported record.
  for (std::size_t field = 0; field < kRecordFieldCount; ++field) {
    const std::size_t space = text.find(' ');
    fields[field].Assign(text.substr(0, space));
    if (space == std::string_view::npos) {
      break;
    }
    text.remove_prefix(space + 1);
  }
  return fields;
}

}  // namespace nimbrel
