#include "export/record_fields.h"

namespace nimbrel {

RecordFields SplitRecord(std::string_view text) {
  RecordFields fields{};
  std::size_t field = 0;
  for (const char c : text) {
    if (c == '\0') {
      break;
    }
    if (c == ' ') {
      if (++field == kRecordFieldCount) {
        break;
      }
      continue;
    }
    fields[field].Append(c);
  }
  return fields;
}

}  // namespace nimbrel
