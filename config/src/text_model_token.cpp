#include "text_model_token.h"

#include <cstring>

namespace cfgfile {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

// Exact tokens and their port counts.
const struct {
  const char* token;
  int ports;
} kExactModels[] = {
    {"5JV2", 1},     {"5JV0", 1},     {"3144", 3},     {"5963", 3},     {"3147", 4},
    {"5964", 4},     {"2596", 4},     {"3643", 4},     {"8928", 4},     {"9833", 4},
    {"H-2400WR", 2}, {"VF-226", 1},   {"VF-225", 1},   {"XYZ-389", 2},  {"XYZ-321", 2},
    {"XYZ-390", 3},  {"XYZ-319", 3},  {"XYZ-328", 4},  {"XYZ-376", 4},  {"XYZ-370", 5},
    {"XYZ-317", 5},  {"XYZ-399", 6},  {"XYZ-345", 8},
};

// Names whose token may carry "-" and a port count of one or two digits.
const struct {
  const char* prefix;
  bool zeroAllowed;
} kCountedModels[] = {
    {"3144-", true},  {"5963-", true},   {"3147-", true},    {"5964-", true},   {"2596-", true},
    {"3643-", true},  {"8928-", true},   {"9833-", true},    {"L1431Z-", false}, {"N4904X-", false},
    {"XYZ1558-", false},
};

// Prefixes followed by one character that is not a digit; the name is the
// prefix and that character.
const struct {
  const char* prefix;
  int ports;
} kNineCharacterModels[] = {
    {"XYZ-8603", 4}, {"XYZ-8043", 4}, {"XYZ-8158", 4}, {"XYZ-8072", 8}, {"XYZ-8359", 8},
};

// One or two digits that end the token.
bool Count(const std::string& token, size_t at, int* count) {
  const size_t digits = token.size() - at;
  if (digits < 1 || digits > 2 || !IsDigit(token[at]) || (digits == 2 && !IsDigit(token[at + 1])))
    return false;
  *count = std::stoi(token.substr(at));
  return true;
}

bool Set(TextModel* model, const std::string& name, int ports) {
  if (ports > 68) return false;
  model->serverName = name;
  model->ports = ports;
  return true;
}

}  // namespace

bool ParseTextModel(const std::string& token, TextModel* model) {
  *model = TextModel();
  auto isBaseCount = [](char c) { return c >= '1' && c <= '8' && c != '6'; };

  if (token.size() == 1 && isBaseCount(token[0])) return Set(model, "Q410X" + token, token[0] - '0');
  if ((StartsWith(token, "Q410X") || StartsWith(token, "1380K")) && token.size() >= 6) {
    const char c = token[5];
    if (isBaseCount(c)) return Set(model, token.substr(0, 6), c - '0');
    if (c == 'A' || c == 'X') return Set(model, token.substr(0, 6), 2);
    return false;
  }
  for (const auto& m : kExactModels) {
    if (token == m.token) return Set(model, token, m.ports);
  }
  for (const auto& m : kCountedModels) {
    int count;
    if (StartsWith(token, m.prefix) && Count(token, std::strlen(m.prefix), &count)) {
      if (count == 0 && !m.zeroAllowed) return false;
      return Set(model, token, count);
    }
  }
  // "H7XZ", one character, ":", base ports p, "-", then the port counts of
  // slots 1..4.
  if (StartsWith(token, "H7XZ") && token.size() >= 12 && token[5] == ':' && IsDigit(token[6]) &&
      token[7] == '-') {
    int ports = token[6] - '0';
    model->slotPorts[0] = ports;
    for (int s = 1; s <= 4; ++s) {
      const char c = token[7 + s];
      if (!IsDigit(c)) return false;
      model->slotPorts[s] = c - '0';
      ports += c - '0';
    }
    if (ports == 0) return false;
    model->slotted = true;
    model->serverName = token.substr(0, 12);
    model->ports = ports;
    return true;
  }
  for (const auto& m : kNineCharacterModels) {
    if (StartsWith(token, m.prefix) && token.size() >= 9 && !IsDigit(token[8]))
      return Set(model, token.substr(0, 9), m.ports);
  }
  return false;
}

}  // namespace cfgfile
