#include "tools/epd_record.h"

#include <cstring>

namespace {

bool IsLineEnd(char c) { return c == 0 || c == '\n' || c == '\r'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The field an opcode stores into, or nullptr for opcodes the tools ignore.
char* FieldOf(EpdRecord* r, const char* opcode) {
  struct Named {
    const char* name;
    char* field;
  };
  const Named fields[] = {{"bm", r->bm}, {"am", r->am}, {"ce", r->ce}, {"sc", r->sc},
                          {"gr", r->gr}, {"id", r->id}, {"c0", r->c0}};
  for (const Named& f : fields)
    if (std::strcmp(opcode, f.name) == 0) return f.field;
  return nullptr;
}

// Copies text[0..length) into a field, cut to its size.
void Store(char* field, const char* text, int length) {
  if (length > kEpdFieldSize - 1) length = kEpdFieldSize - 1;
  std::memcpy(field, text, size_t(length));
  field[length] = 0;
}

}  // namespace

void SplitEpdLine(const char* line, EpdRecord* record) {
  std::memset(record, 0, sizeof *record);
  const char* p = line;
  // The position: everything up to the fourth run of blanks (spaces or
  // tabs), which is not copied.
  int blanks = 0;
  const char* start = p;
  while (!IsLineEnd(*p)) {
    if (IsBlank(*p) && !IsBlank(p[1]) && ++blanks == 4) break;
    p++;
  }
  Store(record->position, start, int(p - start));
  if (IsBlank(*p)) p++;
  // Half-move clock and move number, when present.
  while ((*p >= '0' && *p <= '9') || IsBlank(*p)) p++;
  // Operations.
  while (true) {
    while (IsBlank(*p) || *p == ';') p++;
    if (IsLineEnd(*p)) break;
    char opcode[16];
    int n = 0;
    while (!IsLineEnd(*p) && !IsBlank(*p) && *p != ';') {
      if (n < int(sizeof opcode) - 1) opcode[n++] = *p;
      p++;
    }
    opcode[n] = 0;
    while (IsBlank(*p)) p++;
    const char* operand = p;
    while (!IsLineEnd(*p) && *p != ';') p++;
    int length = int(p - operand);
    while (length > 0 && IsBlank(operand[length - 1])) length--;
    char* field = FieldOf(record, opcode);
    if (field != nullptr) Store(field, operand, length);
  }
}
